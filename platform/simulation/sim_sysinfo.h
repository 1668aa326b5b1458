// Control API of the system information area: the version GetVersionExA
// reports, the processors, the memory figures and the logical drives.
#pragma once

#include "win32_api.h"

#include <string>

namespace sim {

// A fresh machine is Windows NT 4.0 build 1381 "Service Pack 3". From
// Windows 8.1 (6.3) on GetVersionExA tells a program without a compatibility
// manifest, as every host here is, that it runs on Windows 8 (6.2 build
// 9200); RtlGetVersion tells the truth.
struct OsVersion {
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  DWORD major = 4;
  DWORD minor = 0;
  DWORD build = 1381;
  std::string csd = "Service Pack 3";
};
void SetOsVersion(const OsVersion& version);
// A compatibility mode (an administrator's setting or the system's
// compatibility database, "Windows NT 4.0 SP5"): GetVersionExA reports
// `posed` while the system stays the one SetOsVersion made, with its calls,
// links and RtlGetVersion's truth.
void SetCompatibilityMode(const OsVersion& posed);

// A fresh machine has one Intel Pentium (level 5). `count` is the machine's
// logical processors. On a 64-bit Windows (wow64: the process runs 32-bit
// under WOW64) GetSystemInfo reports the process's processor group, at most
// 64 processors (groups, from Windows 7 on, split a larger machine evenly;
// before Windows 7 the system runs on 64 at most), and to the 32-bit process
// at most 32 with the architecture Intel. GetNativeSystemInfo (Windows XP on)
// gives the group without the 32-processor cap and the architecture AMD64;
// GetActiveProcessorCount (Windows 7 on) every group's processors.
struct Processors {
  WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
  DWORD count = 1;
  WORD level = 5;
  WORD revision = 0x0204;
  bool wow64 = false;
};
void SetProcessors(const Processors& processors);

// The machine's byte counts, as GlobalMemoryStatusEx reports them. A fresh
// machine has 64 Mb of memory. GlobalMemoryStatus has 32 bits for each:
// Windows NT 3.51 and 4.0 give the low 32 bits of a larger figure, Windows
// 2000 and later at most 2 Gb to a program that is not large-address-aware.
struct Memory {
  ULONGLONG totalPhys = 64u << 20;
  ULONGLONG availPhys = 20u << 20;
  ULONGLONG totalPageFile = 100u << 20;
  ULONGLONG availPageFile = 70u << 20;
  ULONGLONG totalVirtual = 0x7FFE0000u;
  ULONGLONG availVirtual = 0x7FA00000u;
};
void SetMemory(const Memory& memory);

// One logical drive. GetVolumeInformationA fails with volumeError when it is
// not 0 (ERROR_NOT_READY for an empty floppy or CD-ROM drive), and
// GetDiskFreeSpaceA fails with spaceError likewise. A drive whose
// volumeError is ERROR_NOT_READY has no disk: a volume call on it, and a file
// call on it while the file system has no such drive (sim::AddDrive), first
// shows the critical-error box (sim::ErrorMode). Cluster counts beyond
// 32 bits reach GetDiskFreeSpaceA as their low 32 bits; GetDiskFreeSpaceExA
// gives the true byte counts.
struct Drive {
  UINT type = DRIVE_FIXED;
  std::string fileSystem = "NTFS";
  std::string label;
  DWORD serial = 0x1C2D3E4F;
  DWORD volumeError = 0;
  DWORD sectorsPerCluster = 8;
  DWORD bytesPerSector = 512;
  ULONGLONG freeClusters = 131072;
  ULONGLONG totalClusters = 262144;
  DWORD spaceError = 0;
};
// A fresh machine has A: (removable, no disk in it), C: (fixed, NTFS, 1 Gb
// with 512 Mb free) and D: (CD-ROM, no disc). SetDrive adds or replaces the
// drive of a letter ('A' to 'Z', either case).
void SetDrive(char letter, const Drive& drive);
void RemoveDrive(char letter);
void RemoveAllDrives();
// A drive connected while a program reads the drive list: it appears just
// after the next GetLogicalDriveStringsA call that does not fail.
void ConnectDriveAfterNextListing(char letter, const Drive& drive);

}  // namespace sim
