// The processor, memory and drive sections of the report. Neither check
// looks at the report level: the driver prints their whole section or none.
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

// Processor generations by processor level; any other level is unknown.
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
  size_t i;

  for (i = 0; i < sizeof kProcessorNames / sizeof kProcessorNames[0]; ++i) {
    if (kProcessorNames[i].level != processorLevel) continue;
    ReportAdd(LoadMessage(kProcessorNames[i].message));
    if (kProcessorNames[i].severity == SEV_ERROR) ++ErrorCount;
    return kProcessorNames[i].severity;
  }
  ReportAdd(LoadMessage(MSG_UNKNOWN_PROCESSOR), (int)processorLevel);
  ++WarningCount;
  return SEV_WARNING;
}

int CheckSystemInfo(int level) {
  SYSTEM_INFO system;
  MEMORYSTATUS memory;
  int severity;

  memset(&system, 0, sizeof system);
  GetSystemInfo(&system);
  if (system.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL) {
    ReportAdd(LoadMessage(MSG_UNSUPPORTED_ARCHITECTURE));
    ++ErrorCount;
    return SEV_ERROR;
  }

  ReportAdd(LoadMessage(MSG_INTEL_SYSTEM));
  ReportAdd(LoadMessage(MSG_PROCESSOR_COUNT), (int)system.dwNumberOfProcessors);
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

  memset(&memory, 0, sizeof memory);
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  ReportAdd(LoadMessage(MSG_TOTAL_PHYSICAL), (int)(memory.dwTotalPhys / kMemoryDivisor));
  ReportAdd(LoadMessage(MSG_FREE_PHYSICAL), (int)(memory.dwAvailPhys / kMemoryDivisor));
  ReportAdd(LoadMessage(MSG_TOTAL_PAGE_FILE), (int)(memory.dwTotalPageFile / kMemoryDivisor));
  ReportAdd(LoadMessage(MSG_FREE_PAGE_FILE), (int)(memory.dwAvailPageFile / kMemoryDivisor));
  return severity;
}

// Mb held by `clusters` clusters, `unit` being the cluster size / 32. The
// count and the cluster size are divided first, as the figures always were,
// so every volume below 2 Tb shows what 32-bit figures show; the product is
// taken in 64 bits so that larger volumes keep their true size.
static int ClustersToMb(DWORD clusters, ULONGLONG unit) {
  const ULONGLONG largest = 0x7FFFFFFF;
  ULONGLONG groups = clusters / 32;
  ULONGLONG mb;

  if (unit != 0 && groups > ~(ULONGLONG)0 / unit) return (int)largest;
  mb = groups * unit / 1024;
  return (int)(mb > largest ? largest : mb);
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
    ULONGLONG unit;
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
    unit = (ULONGLONG)bytesPerSector * sectorsPerCluster / 32;
    freeMb = ClustersToMb(freeClusters, unit);
    totalMb = ClustersToMb(totalClusters, unit);
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
