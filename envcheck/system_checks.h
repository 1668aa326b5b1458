// The checks of the operating system, its service-pack files, the processor,
// memory and the drives.
#pragma once

#include "checks.h"  // CheckOsVersion, CheckSystemInfo, CheckDrives, WindowsDirectory

// Compares the installed version of every file of `table` (rows "NAME,a,b,c,d",
// each ended by a NUL, the table by an empty row) in the system32 directory
// below `windowsDirectory` with the row's: 1 when a file is older.
int CompareServicePackFiles(const char* table, const char* windowsDirectory, int level);
// Fills WindowsDirectory; 0 when the system cannot give the path.
int FillWindowsDirectory(void);

// The files of each service pack, packed (see service_pack_tables.cpp).
extern const char Nt4Sp3Files[];
extern const char Nt351Sp5Files[];

// Room for either table unpacked.
enum { SERVICE_PACK_ROWS_SIZE = 8192 };
// Writes the packed table `packed` into `rows` (`size` bytes) as the rows
// CompareServicePackFiles reads: "NAME.DLL,a,b,c,d", each ended by a NUL, the
// table by an empty row. 1 on success, 0 when they do not fit or the table is
// malformed (the contents of `rows` are then undefined).
int UnpackServicePackTable(const char* packed, char* rows, size_t size);
