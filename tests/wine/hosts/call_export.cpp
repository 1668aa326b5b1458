// Calls one environment-check export of CVNUNIST.dll the way setup does and
// exits with its result (the export redirects and closes standard output, so
// the scenario reads the file it wrote):
//   call_export zrHealthLog FILE [MODULE|-]
//   call_export ValidateEnvironment FLAGS LEVEL FILE [TARGETS|- [MODULE|-]]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// The product's declarations before the developer kit's header: a calling
// convention the header adds is a conflicting declaration (wine_dll_test.cpp
// includes them the other way round). The calls go through the header's types.
#include "entry_points.h"
#include "hooks.h"

#include "cvnunist.h"

typedef void (*AnyFunction)(void);  // converts to every function pointer type

static const char* Optional(int argc, char** argv, int i) {
  return i < argc && strcmp(argv[i], "-") != 0 ? argv[i] : NULL;
}

int main(int argc, char** argv) {
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  if (dll == NULL || argc < 3) {
    fprintf(stderr, "usage, or CVNUNIST.dll not loaded (error %lu)\n", GetLastError());
    return 100;
  }
  if (strcmp(argv[1], "zrHealthLog") == 0) {
    CVN_HEALTH_LOG call = (CVN_HEALTH_LOG)(AnyFunction)GetProcAddress(dll, "zrHealthLog");
    return call(argv[2], Optional(argc, argv, 3));
  }
  if (strcmp(argv[1], "ValidateEnvironment") == 0 && argc >= 5) {
    CVN_VALIDATE_ENVIRONMENT call =
        (CVN_VALIDATE_ENVIRONMENT)(AnyFunction)GetProcAddress(dll, "ValidateEnvironment");
    static char targets[1024];
    const char* list = Optional(argc, argv, 5);
    if (list != NULL) strncpy(targets, list, sizeof targets - 1);
    return call((unsigned)strtoul(argv[2], NULL, 0), atoi(argv[3]), argv[4],
                list != NULL ? targets : NULL, Optional(argc, argv, 6));
  }
  fprintf(stderr, "unknown export %s\n", argv[1]);
  return 100;
}
