// Every check the driver and the pre-installation validation call. Each
// returns a severity unless it prints its own section. An area's own header
// may declare the same functions; the declarations must agree.
#pragma once

#include "platform.h"
#include "configuration_checks.h"  // paths, compatibility, registry dump, binaries, event log

// Operating system and service-pack files; fills WindowsDirectory.
int CheckOsVersion(int level);
// Processor, Windows directory and memory.
int CheckSystemInfo(int level);
// Size, free space and file system of the fixed drives.
int CheckDrives(int level);
// Self ping, name-server pings and naming.
int CheckNetworkConnectivity(int level);
// Port mapper and the product's default TCP ports; `installType` is the
// product's Type value (0 when it cannot be read).
int CheckPortAssignments(DWORD installType, int level);
// Resolves and pings `hostName` (NULL for this host): 0 replied, 1 failed,
// 2 no WinSock. A non-zero `quiet` takes back the lines of a good ping.
unsigned PingHost(const char* hostName, int quiet);

// The Windows directory: filled by the system checks, read by the later
// sections; empty until a check has filled it.
extern char WindowsDirectory[MAX_PATH];
