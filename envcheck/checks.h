// Every check the driver and the pre-installation validation call. Each
// returns a severity unless it prints its own section. An area's own header
// may declare the same functions; the declarations must agree.
#pragma once

#include "platform.h"
#include "configuration_checks.h"  // paths, compatibility, registry dump, binaries, event log
#include "network_checks.h"        // connectivity, ping, port assignments

// Operating system and service-pack files; fills WindowsDirectory.
int CheckOsVersion(int level);
// Processor, Windows directory and memory.
int CheckSystemInfo(int level);
// Size, free space and file system of the fixed drives.
int CheckDrives(int level);

// The Windows directory: filled by the system checks, read by the later
// sections; empty until a check has filled it.
extern char WindowsDirectory[MAX_PATH];
