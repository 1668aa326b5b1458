// The one header through which product code reaches the system.
// Windows build: the real Windows, WinSock 1.1 and ICMP declarations.
#pragma once

#include <windows.h>
#include <winsock.h>

#include "icmp_api.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wchar.h>
