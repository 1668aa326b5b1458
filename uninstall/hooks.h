// The uninstaller's extension hooks and the exported service stop.
#pragma once

#include "platform.h"

#ifdef __cplusplus
extern "C" {
#endif

// Called when the uninstall starts; 0 lets it proceed, -1 aborts it.
LONG WINAPI UninstInitialize(HWND dialog, HANDLE instance, LONG reserved);
// Called when the uninstall ends; always 0.
LONG WINAPI UninstUnInitialize(HWND dialog, HANDLE instance, LONG reserved);
// Stops a service and waits for it: 0 stopped or not installed, a Win32 error
// code when opening or stopping failed, -1 otherwise.
int inEnsureServiceNotRunning(const char* serviceName);

#ifdef __cplusplus
}
#endif
