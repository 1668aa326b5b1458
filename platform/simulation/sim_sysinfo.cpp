// System information: the version record, processors, memory figures and the
// logical drives with their volumes, each scripted by the tests.
#include "sim_internal.h"

#include <cctype>
#include <cstring>
#include <map>
#include <optional>

namespace sim {
namespace {

struct SysinfoState {
  OsVersion version;
  Processors processors;
  Memory memory;
  std::map<char, Drive> drives;  // by upper-case letter, so listed A to Z
  std::map<char, Drive> connecting;  // appear after the next listing
  std::optional<OsVersion> posed;     // what a compatibility mode reports
};

SysinfoState& Sysinfo() {
  static SysinfoState state;
  return state;
}

Drive EmptyDrive(UINT type) {
  Drive drive;
  drive.type = type;
  drive.fileSystem.clear();
  drive.volumeError = ERROR_NOT_READY;
  drive.spaceError = ERROR_NOT_READY;
  return drive;
}

char DriveLetter(char letter) { return static_cast<char>(std::toupper(static_cast<unsigned char>(letter))); }

// The drive a root path names: "X:\" (or "X:" where the call allows it); NULL
// is the current drive, C:. Null when the path names no root of a drive.
Drive* DriveOfRoot(LPCSTR root, bool backslashRequired) {
  char letter = 'C';
  if (root) {
    size_t length = std::strlen(root);
    bool shaped = (length == 3 && root[2] == '\\') || (length == 2 && !backslashRequired);
    // From Windows 2000 on, a volume mounted in a directory answers there too.
    std::string mounted;
    if (!shaped && backslashRequired && length > 3 && root[length - 1] == '\\' &&
        detail::KnowsReparsePoints()) {
      mounted = ResolvePath(root);
      if (mounted.size() == 3) {
        root = mounted.c_str();
        shaped = true;
      }
    }
    if (!shaped || root[1] != ':' || !std::isalpha(static_cast<unsigned char>(root[0]))) return nullptr;
    letter = DriveLetter(root[0]);
  }
  auto it = Sysinfo().drives.find(letter);
  return it == Sysinfo().drives.end() ? nullptr : &it->second;
}

}  // namespace

namespace detail {

void ResetSysinfo() {
  SysinfoState& s = Sysinfo();
  s = SysinfoState{};
  s.drives['A'] = EmptyDrive(DRIVE_REMOVABLE);
  s.drives['C'] = Drive{};
  s.drives['D'] = EmptyDrive(DRIVE_CDROM);
}

}  // namespace detail

void SetOsVersion(const OsVersion& version) {
  Sysinfo().version = version;
  detail::ApplySoftwareAccessList(version.major);
}
void SetCompatibilityMode(const OsVersion& posed) { Sysinfo().posed = posed; }

bool detail::DriveWithoutDisk(char letter) {
  auto it = Sysinfo().drives.find(DriveLetter(letter));
  if (it == Sysinfo().drives.end() || it->second.volumeError != ERROR_NOT_READY) return false;
  ShowNoDiskBox(it->second.type);
  return true;
}

bool detail::KnowsReparsePoints() { return Sysinfo().version.major >= 5; }
bool detail::VersionAtLeast(DWORD major, DWORD minor) {
  const OsVersion& v = Sysinfo().version;
  return v.platformId == VER_PLATFORM_WIN32_NT && (v.major > major || (v.major == major && v.minor >= minor));
}
DWORD detail::MajorVersion() { return Sysinfo().version.major; }
void SetProcessors(const Processors& processors) { Sysinfo().processors = processors; }
void SetMemory(const Memory& memory) { Sysinfo().memory = memory; }
void SetDrive(char letter, const Drive& drive) { Sysinfo().drives[DriveLetter(letter)] = drive; }
void RemoveDrive(char letter) { Sysinfo().drives.erase(DriveLetter(letter)); }
void RemoveAllDrives() { Sysinfo().drives.clear(); }
void ConnectDriveAfterNextListing(char letter, const Drive& drive) {
  Sysinfo().connecting[DriveLetter(letter)] = drive;
}

namespace {
// Drives connected meanwhile join the list once a listing is over.
void ConnectPendingDrives() {
  SysinfoState& s = Sysinfo();
  for (const auto& drive : s.connecting) s.drives[drive.first] = drive.second;
  s.connecting.clear();
}
}  // namespace

}  // namespace sim

namespace detail = sim::detail;

extern "C" {

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  DWORD error;
  if (detail::ShouldFail("GetVersionExA", &error)) {
    SetLastError(error);
    return FALSE;
  }
  // NT 4.0 knows only this record; the larger EX record came with later versions.
  if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const sim::SysinfoState& s = sim::Sysinfo();
  const sim::OsVersion& v = s.posed ? *s.posed : s.version;
  // Windows 8.1 and later pose as Windows 8 to a program without a manifest.
  bool shimmed = v.platformId == VER_PLATFORM_WIN32_NT && (v.major > 6 || (v.major == 6 && v.minor > 2));
  lpVersionInformation->dwMajorVersion = shimmed ? 6 : v.major;
  lpVersionInformation->dwMinorVersion = shimmed ? 2 : v.minor;
  lpVersionInformation->dwBuildNumber = shimmed ? 9200 : v.build;
  lpVersionInformation->dwPlatformId = v.platformId;
  size_t length = v.csd.size() < sizeof lpVersionInformation->szCSDVersion
                      ? v.csd.size()
                      : sizeof lpVersionInformation->szCSDVersion - 1;
  std::memcpy(lpVersionInformation->szCSDVersion, v.csd.data(), length);
  lpVersionInformation->szCSDVersion[length] = '\0';
  return TRUE;
}

LONG WINAPI RtlGetVersion(LPOSVERSIONINFOW lpVersionInformation) {
  DWORD error;
  // Documented to succeed always; a scripted failure stands for a system that does not.
  if (detail::ShouldFail("RtlGetVersion", &error)) return STATUS_INVALID_PARAMETER;
  // The record or its extended form (284 bytes, of which the fields here
  // are the first); any other size is refused and the record left alone.
  const DWORD extendedSize = 284;
  DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOW) && size != extendedSize) return STATUS_INVALID_PARAMETER;
  const sim::OsVersion& v = sim::Sysinfo().version;
  lpVersionInformation->dwMajorVersion = v.major;
  lpVersionInformation->dwMinorVersion = v.minor;
  lpVersionInformation->dwBuildNumber = v.build;
  lpVersionInformation->dwPlatformId = v.platformId;
  size_t length = v.csd.size() < 127 ? v.csd.size() : 127;
  for (size_t i = 0; i < length; ++i) {
    lpVersionInformation->szCSDVersion[i] = static_cast<unsigned char>(v.csd[i]);
  }
  lpVersionInformation->szCSDVersion[length] = 0;
  return STATUS_SUCCESS;
}

namespace {

// Processors of a 64-bit system: one group holds at most 64, and from
// Windows 7 on a larger machine is split into groups of even size.
constexpr DWORD kGroupSize = 64;
// What a 32-bit process under WOW64 is shown at most.
constexpr DWORD kWow64Processors = 32;

DWORD GroupCount(const sim::Processors& p) {
  if (!sim::detail::VersionAtLeast(6, 1)) return 1;
  return p.count == 0 ? 1 : (p.count + kGroupSize - 1) / kGroupSize;
}

// The processors of the process's group, as a native program sees them.
DWORD ProcessGroupProcessors(const sim::Processors& p) {
  DWORD groups = GroupCount(p);
  DWORD inGroup = (p.count + groups - 1) / groups;
  return inGroup > kGroupSize ? kGroupSize : inGroup;
}

void FillSystemInfo(LPSYSTEM_INFO info, WORD architecture, DWORD processors) {
  const sim::Processors& p = sim::Sysinfo().processors;
  info->dwOemId = 0;
  info->wProcessorArchitecture = architecture;
  info->dwPageSize = 4096;
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x00010000);
  info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFF);
  // The mask has a bit for each of the first 32 processors in 32 bits.
  info->dwActiveProcessorMask = processors >= 32 ? 0xFFFFFFFFu : (1u << processors) - 1;
  info->dwNumberOfProcessors = processors;
  info->dwProcessorType = p.level == 3   ? PROCESSOR_INTEL_386
                          : p.level == 4 ? PROCESSOR_INTEL_486
                                         : PROCESSOR_INTEL_PENTIUM;
  info->dwAllocationGranularity = 65536;
  info->wProcessorLevel = p.level;
  info->wProcessorRevision = p.revision;
}

}  // namespace

// A void call: a scripted failure leaves the record as it was.
void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  DWORD error;
  if (detail::ShouldFail("GetSystemInfo", &error)) {
    SetLastError(error);
    return;
  }
  const sim::Processors& p = sim::Sysinfo().processors;
  DWORD processors = p.wow64 ? ProcessGroupProcessors(p) : p.count;
  if (p.wow64 && processors > kWow64Processors) processors = kWow64Processors;
  FillSystemInfo(lpSystemInfo, p.architecture, processors);
}

void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  DWORD error;
  if (detail::ShouldFail("GetNativeSystemInfo", &error)) {
    SetLastError(error);
    return;
  }
  const sim::Processors& p = sim::Sysinfo().processors;
  if (!p.wow64) {
    FillSystemInfo(lpSystemInfo, p.architecture, p.count);
    return;
  }
  FillSystemInfo(lpSystemInfo, PROCESSOR_ARCHITECTURE_AMD64, ProcessGroupProcessors(p));
}

DWORD WINAPI GetActiveProcessorCount(WORD GroupNumber) {
  DWORD error;
  if (detail::ShouldFail("GetActiveProcessorCount", &error)) {
    SetLastError(error);
    return 0;
  }
  const sim::Processors& p = sim::Sysinfo().processors;
  if (!p.wow64) {
    if (GroupNumber == 0 || GroupNumber == ALL_PROCESSOR_GROUPS) return p.count;
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD groups = GroupCount(p);
  if (GroupNumber == ALL_PROCESSOR_GROUPS) return groups == 1 ? ProcessGroupProcessors(p) : p.count;
  if (GroupNumber >= groups) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Groups of even size; the last takes what is left.
  DWORD inGroup = ProcessGroupProcessors(p);
  return DWORD{GroupNumber} + 1 < groups ? inGroup : p.count - inGroup * (groups - 1);
}

// A void call: a scripted failure leaves the record as it was.
void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS lpBuffer) {
  DWORD error;
  if (detail::ShouldFail("GlobalMemoryStatus", &error)) {
    SetLastError(error);
    return;
  }
  const sim::Memory& m = sim::Sysinfo().memory;
  // NT 3.51 and 4.0 keep the low 32 bits; later versions stop at 2 Gb for a
  // program that is not large-address-aware (MSDN, GlobalMemoryStatus).
  bool capped = detail::VersionAtLeast(5, 0);
  auto figure = [capped](ULONGLONG bytes) {
    if (capped) return static_cast<DWORD>(bytes > 0x7FFFFFFFu ? 0x7FFFFFFFu : bytes);
    return static_cast<DWORD>(bytes);
  };
  lpBuffer->dwLength = sizeof(MEMORYSTATUS);
  lpBuffer->dwMemoryLoad = m.totalPhys == 0 ? 0 : static_cast<DWORD>(100 - m.availPhys * 100 / m.totalPhys);
  lpBuffer->dwTotalPhys = figure(m.totalPhys);
  lpBuffer->dwAvailPhys = figure(m.availPhys);
  lpBuffer->dwTotalPageFile = figure(m.totalPageFile);
  lpBuffer->dwAvailPageFile = figure(m.availPageFile);
  lpBuffer->dwTotalVirtual = figure(m.totalVirtual);
  lpBuffer->dwAvailVirtual = figure(m.availVirtual);
}

BOOL WINAPI GlobalMemoryStatusEx(LPMEMORYSTATUSEX lpBuffer) {
  DWORD error;
  if (detail::ShouldFail("GlobalMemoryStatusEx", &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (lpBuffer->dwLength != sizeof(MEMORYSTATUSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const sim::Memory& m = sim::Sysinfo().memory;
  lpBuffer->dwMemoryLoad = m.totalPhys == 0 ? 0 : static_cast<DWORD>(100 - m.availPhys * 100 / m.totalPhys);
  lpBuffer->ullTotalPhys = m.totalPhys;
  lpBuffer->ullAvailPhys = m.availPhys;
  lpBuffer->ullTotalPageFile = m.totalPageFile;
  lpBuffer->ullAvailPageFile = m.availPageFile;
  lpBuffer->ullTotalVirtual = m.totalVirtual;
  lpBuffer->ullAvailVirtual = m.availVirtual;
  lpBuffer->ullAvailExtendedVirtual = 0;
  return TRUE;
}

// "A:\<NUL>C:\<NUL><NUL>": the length without the final NUL, or, when the
// buffer is too small, the size it needs (with the final NUL) and nothing written.
static DWORD ListDriveStrings(DWORD nBufferLength, LPSTR lpBuffer) {
  DWORD length = static_cast<DWORD>(sim::Sysinfo().drives.size() * 4);
  if (!lpBuffer || nBufferLength < length + 1) return length + 1;
  char* out = lpBuffer;
  for (const auto& drive : sim::Sysinfo().drives) {
    *out++ = drive.first;
    *out++ = ':';
    *out++ = '\\';
    *out++ = '\0';
  }
  *out = '\0';
  return length;
}

DWORD WINAPI GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer) {
  DWORD error;
  if (detail::ShouldFail("GetLogicalDriveStringsA", &error)) {
    SetLastError(error);
    return 0;
  }
  DWORD result = ListDriveStrings(nBufferLength, lpBuffer);
  sim::ConnectPendingDrives();
  return result;
}

UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
  DWORD error;
  if (detail::ShouldFail("GetDriveTypeA", &error)) {
    SetLastError(error);
    return DRIVE_UNKNOWN;
  }
  const sim::Drive* drive = sim::DriveOfRoot(lpRootPathName, false);
  return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

// The drive of a volume call's root (X:\ exactly), or null with the
// error set: a scripted failure, no such root, or the drive's own error.
static const sim::Drive* ReadyVolume(const char* api, LPCSTR root, DWORD sim::Drive::*driveError) {
  DWORD error;
  if (detail::ShouldFail(api, &error)) {
    SetLastError(error);
    return nullptr;
  }
  const sim::Drive* drive = sim::DriveOfRoot(root, true);
  if (!drive) {
    SetLastError(root && std::strlen(root) == 3 ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
    return nullptr;
  }
  if (drive->*driveError != 0) {
    // The disk is asked for before the call fails (MSDN, GetVolumeInformation).
    if (drive->*driveError == ERROR_NOT_READY) detail::ShowNoDiskBox(drive->type);
    SetLastError(drive->*driveError);
    return nullptr;
  }
  return drive;
}

BOOL WINAPI GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer,
                                  DWORD nVolumeNameSize, LPDWORD lpVolumeSerialNumber,
                                  LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags,
                                  LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize) {
  const sim::Drive* drive = ReadyVolume("GetVolumeInformationA", lpRootPathName, &sim::Drive::volumeError);
  if (!drive) return FALSE;
  if ((lpVolumeNameBuffer && nVolumeNameSize < drive->label.size() + 1) ||
      (lpFileSystemNameBuffer && nFileSystemNameSize < drive->fileSystem.size() + 1)) {
    SetLastError(ERROR_BAD_LENGTH);
    return FALSE;
  }
  if (lpVolumeNameBuffer) std::memcpy(lpVolumeNameBuffer, drive->label.c_str(), drive->label.size() + 1);
  if (lpVolumeSerialNumber) *lpVolumeSerialNumber = drive->serial;
  if (lpMaximumComponentLength) *lpMaximumComponentLength = 255;
  if (lpFileSystemFlags) {
    *lpFileSystemFlags = drive->fileSystem == "NTFS"
                             ? FS_CASE_SENSITIVE | FS_CASE_IS_PRESERVED | FS_UNICODE_STORED_ON_DISK |
                                   FS_PERSISTENT_ACLS
                             : FS_CASE_IS_PRESERVED | FS_UNICODE_STORED_ON_DISK;
  }
  if (lpFileSystemNameBuffer) {
    std::memcpy(lpFileSystemNameBuffer, drive->fileSystem.c_str(), drive->fileSystem.size() + 1);
  }
  return TRUE;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster,
                              LPDWORD lpBytesPerSector, LPDWORD lpNumberOfFreeClusters,
                              LPDWORD lpTotalNumberOfClusters) {
  const sim::Drive* drive = ReadyVolume("GetDiskFreeSpaceA", lpRootPathName, &sim::Drive::spaceError);
  if (!drive) return FALSE;
  if (lpSectorsPerCluster) *lpSectorsPerCluster = drive->sectorsPerCluster;
  if (lpBytesPerSector) *lpBytesPerSector = drive->bytesPerSector;
  // 32 bits of a count: the low ones.
  if (lpNumberOfFreeClusters) *lpNumberOfFreeClusters = static_cast<DWORD>(drive->freeClusters);
  if (lpTotalNumberOfClusters) *lpTotalNumberOfClusters = static_cast<DWORD>(drive->totalClusters);
  return TRUE;
}

// Of a root, like GetDiskFreeSpaceA (Windows takes any directory). No quotas:
// the caller may use every free byte.
BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes,
                                PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  const sim::Drive* drive = ReadyVolume("GetDiskFreeSpaceExA", lpDirectoryName, &sim::Drive::spaceError);
  if (!drive) return FALSE;
  ULONGLONG cluster = ULONGLONG{drive->sectorsPerCluster} * drive->bytesPerSector;
  if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = drive->freeClusters * cluster;
  if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = drive->totalClusters * cluster;
  if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = drive->freeClusters * cluster;
  return TRUE;
}

}  // extern "C"
