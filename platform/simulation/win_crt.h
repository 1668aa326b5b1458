// The C runtime calls the product makes, routed through the simulation so that
// tests can count heap blocks, capture standard output, follow freopen/fclose
// onto simulated files and catch exit(). Included last by platform.h, after
// every standard header the product may use.
#pragma once

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wchar.h>

#ifdef __cplusplus
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
extern "C" {
#endif

void* SimMalloc(size_t size);
void* SimCalloc(size_t count, size_t size);
void* SimRealloc(void* block, size_t size);
void SimFree(void* block);

int SimPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int SimWprintf(const wchar_t* format, ...);
FILE* SimFreopen(const char* path, const char* mode, FILE* stream);
int SimFclose(FILE* stream);
int SimFflush(FILE* stream);
FILE* SimStdout(void);
__attribute__((noreturn)) void SimExit(int code);
char* SimCtime(const time_t* when);

#ifdef __cplusplus
}
namespace std {
using ::SimCalloc;
using ::SimCtime;
using ::SimExit;
using ::SimFclose;
using ::SimFflush;
using ::SimFree;
using ::SimFreopen;
using ::SimMalloc;
using ::SimPrintf;
using ::SimRealloc;
using ::SimWprintf;
}  // namespace std
#endif

#define malloc(size) SimMalloc(size)
#define calloc(count, size) SimCalloc(count, size)
#define realloc(block, size) SimRealloc(block, size)
#define free(block) SimFree(block)
#define printf SimPrintf
#define wprintf SimWprintf
#define freopen SimFreopen
#define fclose SimFclose
#define fflush SimFflush
#undef stdout
#define stdout SimStdout()
#define exit SimExit
#define ctime SimCtime
