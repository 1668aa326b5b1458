// The processor, memory and drive sections of the report. Neither check
// looks at the report level: the driver prints their whole section or none.
#include "optional_calls.h"
#include "report.h"
#include "system_checks.h"

enum {
  MSG_LINE_END = 50005,
  MSG_INTEL_SYSTEM = 50023,
  MSG_PROCESSOR_COUNT = 50024,
  MSG_PROCESSOR_TYPE = 50025,
  MSG_80386 = 50026,
  MSG_80486 = 50027,
  MSG_PENTIUM = 50028,
  MSG_PENTIUM_PRO = 50029,
  MSG_WINDOWS_DIRECTORY = 50030,
  MSG_TOTAL_PHYSICAL = 50031,
  MSG_FREE_PHYSICAL = 50032,
  MSG_TOTAL_PAGE_FILE = 50033,
  MSG_FREE_PAGE_FILE = 50034,
  MSG_DRIVE_HEADER = 52006,
  MSG_DRIVE_LINE = 52007,
  MSG_NO_NTFS = 52008,
  MSG_UNKNOWN_PROCESSOR = 53001,
  MSG_NO_WINDOWS_DIRECTORY = 53029,
  MSG_NO_DRIVE_LIST = 53030,
  MSG_UNSUPPORTED_ARCHITECTURE = 54001,
  MSG_TOO_LITTLE_SPACE = 54002,
};

// The report has always shown memory divided by this (hexadecimal FFFF7,
// just short of a Mb); kept so figures compare with earlier reports.
static const DWORD kMemoryDivisor = 1048567;
// The product's target service needs this much free space on one fixed drive.
static const int MinimumFreeSpaceMb = 50;
static const char kNtfs[] = "NTFS";

// Processor generations by processor level. Levels above 6 (15 for the
// Pentium 4, 23 and 25 for today's AMD processors) are later generations of
// the same line and take the newest name; any other level is unknown.
static const struct {
  WORD level;
  UINT message;
  int severity;
} kProcessorNames[] = {
    {3, MSG_80386, SEV_ERROR},
    {4, MSG_80486, SEV_INFORMATION},
    {5, MSG_PENTIUM, SEV_INFORMATION},
    {6, MSG_PENTIUM_PRO, SEV_INFORMATION},
};

// Continues the processor line with the generation's name, counting an
// unsupported or unknown one.
static int AddProcessorName(WORD processorLevel) {
  const WORD newestLevel = 6;
  size_t i;

  for (i = 0; i < sizeof kProcessorNames / sizeof kProcessorNames[0]; ++i) {
    if (kProcessorNames[i].level != (processorLevel > newestLevel ? newestLevel : processorLevel)) continue;
    ReportAdd(LoadMessage(kProcessorNames[i].message));
    if (kProcessorNames[i].severity == SEV_ERROR) ++ErrorCount;
    return kProcessorNames[i].severity;
  }
  ReportAdd(LoadMessage(MSG_UNKNOWN_PROCESSOR), (int)processorLevel);
  ++WarningCount;
  return SEV_WARNING;
}

// Mb of a memory figure, within what the catalog's %d prints. The library
// links without the compiler's 64-bit division, so the figure is divided a
// byte at a time in 32 bits (the remainder stays below the divisor, 2^20).
static int MemoryMb(ULONGLONG bytes) {
  DWORD quotient = 0;
  DWORD remainder = 0;
  int shift;

  for (shift = 56; shift >= 0; shift -= 8) {
    if (quotient >= 0x800000) return 0x7FFFFFFF;  // another byte would pass 2^31
    remainder = (remainder << 8) | (DWORD)((bytes >> shift) & 0xFF);
    quotient = (quotient << 8) | (remainder / kMemoryDivisor);
    remainder %= kMemoryDivisor;
  }
  return (int)quotient;
}

// The memory figures in 64 bits where the system has them; else the 32-bit
// ones, which stop at 2 Gb or lose what lies beyond 4 Gb.
static void ReadMemory(MEMORYSTATUSEX* memory) {
  MEMORYSTATUS legacy;

  if (ReadMemoryStatus(memory)) return;
  memset(&legacy, 0, sizeof legacy);
  legacy.dwLength = sizeof legacy;
  GlobalMemoryStatus(&legacy);
  memory->ullTotalPhys = legacy.dwTotalPhys;
  memory->ullAvailPhys = legacy.dwAvailPhys;
  memory->ullTotalPageFile = legacy.dwTotalPageFile;
  memory->ullAvailPageFile = legacy.dwAvailPageFile;
}

int CheckSystemInfo(int level) {
  SYSTEM_INFO system;
  MEMORYSTATUSEX memory;
  DWORD processors;
  int severity;

  memset(&system, 0, sizeof system);
  GetSystemInfo(&system);
  if (system.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL) {
    ReportAdd(LoadMessage(MSG_UNSUPPORTED_ARCHITECTURE));
    ++ErrorCount;
    return SEV_ERROR;
  }

  // The architecture stays this process's own (Intel under WOW64 too); the
  // count is the machine's where the system can tell it.
  if (!ReadProcessorCount(&processors)) processors = system.dwNumberOfProcessors;
  ReportAdd(LoadMessage(MSG_INTEL_SYSTEM));
  ReportAdd(LoadMessage(MSG_PROCESSOR_COUNT), (int)processors);
  ReportAdd(LoadMessage(MSG_PROCESSOR_TYPE));
  severity = AddProcessorName(system.wProcessorLevel);
  ReportAdd(LoadMessage(MSG_LINE_END));

  if (FillWindowsDirectory()) {
    ReportAdd(LoadMessage(MSG_WINDOWS_DIRECTORY), WindowsDirectory);
  } else {
    ReportAdd(LoadMessage(MSG_NO_WINDOWS_DIRECTORY));
    ++WarningCount;
    if (severity < SEV_WARNING) severity = SEV_WARNING;
  }

  ReadMemory(&memory);
  ReportAdd(LoadMessage(MSG_TOTAL_PHYSICAL), MemoryMb(memory.ullTotalPhys));
  ReportAdd(LoadMessage(MSG_FREE_PHYSICAL), MemoryMb(memory.ullAvailPhys));
  ReportAdd(LoadMessage(MSG_TOTAL_PAGE_FILE), MemoryMb(memory.ullTotalPageFile));
  ReportAdd(LoadMessage(MSG_FREE_PAGE_FILE), MemoryMb(memory.ullAvailPageFile));
  return severity;
}

// Mb held by `clusters` clusters, `unit` being the cluster size / 32. The
// count and the cluster size are divided first, as the figures always were,
// so every volume below 2 Tb shows what 32-bit figures show; the product is
// taken in 64 bits so that larger volumes keep their true size.
static int ClustersToMb(ULONGLONG clusters, ULONGLONG unit) {
  const ULONGLONG largest = 0x7FFFFFFF;
  ULONGLONG groups = clusters / 32;
  ULONGLONG mb;

  if (unit != 0 && groups > ~(ULONGLONG)0 / unit) return (int)largest;
  mb = groups * unit / 1024;
  return (int)(mb > largest ? largest : mb);
}

// Cluster sizes are powers of two (any other is left to the cluster counts):
// a shift divides by one, and the library links without 64-bit division.
static int IsPowerOfTwo(ULONGLONG value) { return value != 0 && (value & (value - 1)) == 0; }

static ULONGLONG ClustersIn(ULONGLONG bytes, ULONGLONG clusterBytes) {
  for (; clusterBytes > 1; clusterBytes >>= 1) bytes >>= 1;
  return bytes;
}

static int DriveListUnavailable(void) {
  ReportAdd(LoadMessage(MSG_NO_DRIVE_LIST));
  ++ErrorCount;
  return SEV_ERROR;
}

int CheckDrives(int level) {
  char* drives;
  const char* root;
  DWORD size;
  DWORD length;
  int ntfsFound = 0;
  int largestFreeMb = 0;

  ReportAdd(LoadMessage(MSG_DRIVE_HEADER));
  size = GetLogicalDriveStringsA(0, NULL);
  if (size == 0) return DriveListUnavailable();
  drives = (char*)malloc(size + 2);
  if (drives == NULL) return DriveListUnavailable();
  // A list that grew after the size query (a drive connected meanwhile)
  // comes back as the larger size it needs, with nothing written.
  length = GetLogicalDriveStringsA(size, drives);
  if (length == 0 || length >= size) {
    free(drives);
    return DriveListUnavailable();
  }

  for (root = drives; *root != '\0'; root += strlen(root) + 1) {
    char fileSystem[MAX_PATH];
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    ULONGLONG unit, clusterBytes, freeBytes, totalBytes;
    ULONGLONG freeCount, totalCount;
    int freeMb, totalMb;

    // Removable, network, CD-ROM and RAM drives count for nothing.
    if (GetDriveTypeA(root) != DRIVE_FIXED) continue;
    if (!GetVolumeInformationA(root, NULL, 0, NULL, NULL, NULL, fileSystem, MAX_PATH)) {
      fileSystem[0] = '\0';
    }
    if (strcmp(fileSystem, kNtfs) == 0) ntfsFound = 1;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
      continue;
    }
    // Beyond 2^32 clusters the counts above are the low 32 bits of the true
    // ones; the byte counts, where the system has them, give them whole. The
    // 32-bit counts are never more than the truth, so the larger one counts.
    clusterBytes = (ULONGLONG)bytesPerSector * sectorsPerCluster;
    freeCount = freeClusters;
    totalCount = totalClusters;
    if (IsPowerOfTwo(clusterBytes) && ReadDiskBytes(root, &freeBytes, &totalBytes)) {
      freeBytes = ClustersIn(freeBytes, clusterBytes);
      totalBytes = ClustersIn(totalBytes, clusterBytes);
      if (freeBytes > freeCount) freeCount = freeBytes;
      if (totalBytes > totalCount) totalCount = totalBytes;
    }
    unit = clusterBytes / 32;
    freeMb = ClustersToMb(freeCount, unit);
    totalMb = ClustersToMb(totalCount, unit);
    if (freeMb > largestFreeMb) largestFreeMb = freeMb;
    ReportAdd(LoadMessage(MSG_DRIVE_LINE), root, totalMb, freeMb, fileSystem);
  }
  free(drives);

  if (largestFreeMb < MinimumFreeSpaceMb) {
    ReportAdd(LoadMessage(MSG_TOO_LITTLE_SPACE), MinimumFreeSpaceMb, largestFreeMb);
    ++ErrorCount;
    return SEV_ERROR;
  }
  // Only an NTFS system can be a target server.
  if (!ntfsFound) ReportAdd(LoadMessage(MSG_NO_NTFS));
  return SEV_INFORMATION;
}
