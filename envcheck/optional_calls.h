// Calls that later Windows versions offer, looked up at run time in the
// system libraries every process has loaded, so that the library still loads
// on Windows NT 3.51. Each gives 0 when the system lacks the call or the call
// fails: the caller then goes on with what Windows NT 3.51 gives.
#pragma once

#include "platform.h"

// The memory figures in 64 bits (Windows 2000 and later); 1 on success.
int ReadMemoryStatus(MEMORYSTATUSEX* status);
// The bytes free to this caller and the total bytes of the volume of `root`
// in 64 bits (Windows NT 4.0 and later); 1 on success.
int ReadDiskBytes(const char* root, ULONGLONG* freeBytes, ULONGLONG* totalBytes);
// The true version numbers (Windows 2000 and later): GetVersionExA tells a
// program without a compatibility manifest that Windows 8.1 and later are
// Windows 8. 1 on success, the three figures then set.
int ReadTrueVersion(DWORD* major, DWORD* minor, DWORD* build);
// The machine's processors where GetSystemInfo tells fewer: a 32-bit process
// on 64-bit Windows is shown at most 32, and one processor group (at most
// 64). The active processors of every group (Windows 7 and later), else the
// native system information (Windows XP and later); 1 on success.
int ReadProcessorCount(DWORD* count);
