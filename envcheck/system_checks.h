// The checks of the operating system, its service-pack files, the processor,
// memory and the drives.
#pragma once

#include "checks.h"  // CheckOsVersion, CheckSystemInfo, CheckDrives, WindowsDirectory

// Compares the installed version of every file of `table` in the system32
// directory below `windowsDirectory` with the row's: 1 when a file is older.
int CompareServicePackFiles(const char* table, const char* windowsDirectory, int level);
// Fills WindowsDirectory; 0 when the system cannot give the path.
int FillWindowsDirectory(void);

// Rows "NAME,a,b,c,d", each ended by a NUL, the table by an empty row.
extern const char Nt4Sp3Files[];
extern const char Nt351Sp5Files[];
