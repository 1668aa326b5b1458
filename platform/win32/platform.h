// The one header through which product code reaches the system.
// Windows build: the real Windows, WinSock 1.1 and ICMP declarations.
#pragma once

// The C runtime comes first: windows.h pulls in a C++ library header that
// turns MinGW's own printf family back on, and we want msvcrt's (the build
// defines __USE_MINGW_ANSI_STDIO=0), so that printf and wprintf behave as
// they do for every other program on the machine. (The PE image test checks
// that no MinGW printf made it into the binaries.)
#include <stdio.h>
#include <wchar.h>

// Standard output straight from msvcrt's exported stream table: the header's
// own stdout goes through a MinGW shim that brings a data section and an
// unwind frame of its own into the binary, a kilobyte of file for one pointer.
#undef stdout
#define stdout (&_iob[1])

#include <windows.h>
#include <winsock.h>

#include "icmp_api.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
