// Control API of the system information area: the version GetVersionExA
// reports, the processors, the memory figures and the logical drives.
#pragma once

#include "win32_api.h"

#include <string>

namespace sim {

// A fresh machine is Windows NT 4.0 build 1381 "Service Pack 3".
struct OsVersion {
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  DWORD major = 4;
  DWORD minor = 0;
  DWORD build = 1381;
  std::string csd = "Service Pack 3";
};
void SetOsVersion(const OsVersion& version);

// A fresh machine has one Intel Pentium (level 5).
struct Processors {
  WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
  DWORD count = 1;
  WORD level = 5;
  WORD revision = 0x0204;
};
void SetProcessors(const Processors& processors);

// Byte counts GlobalMemoryStatus reports. A fresh machine has 64 Mb of memory.
struct Memory {
  DWORD totalPhys = 64u << 20;
  DWORD availPhys = 20u << 20;
  DWORD totalPageFile = 100u << 20;
  DWORD availPageFile = 70u << 20;
  DWORD totalVirtual = 0x7FFE0000u;
  DWORD availVirtual = 0x7FA00000u;
};
void SetMemory(const Memory& memory);

// One logical drive. GetVolumeInformationA fails with volumeError when it is
// not 0 (ERROR_NOT_READY for an empty floppy or CD-ROM drive), and
// GetDiskFreeSpaceA fails with spaceError likewise.
struct Drive {
  UINT type = DRIVE_FIXED;
  std::string fileSystem = "NTFS";
  std::string label;
  DWORD serial = 0x1C2D3E4F;
  DWORD volumeError = 0;
  DWORD sectorsPerCluster = 8;
  DWORD bytesPerSector = 512;
  DWORD freeClusters = 131072;
  DWORD totalClusters = 262144;
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
