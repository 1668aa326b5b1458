// Exports whose work is not built yet answer with their failure value.
#include "entry_points.h"
#include "hooks.h"

LONG WINAPI UninstInitialize(HWND dialog, HANDLE instance, LONG reserved) { return -1; }
LONG WINAPI UninstUnInitialize(HWND dialog, HANDLE instance, LONG reserved) { return 0; }
