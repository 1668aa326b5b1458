// System information: the version record, processors, memory, drives and
// volumes, the computer name, the Windows and system directories and the
// local time's formats. Figures differ between machines; the cases state
// the rules every machine follows.
#include <cctype>

#include "conformance.h"

namespace {

const char kArea[] = "system information";
const LCID kUsEnglish = 0x0409;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

CASE(kArea, "the version record of its own size is filled for Windows NT") {
  OSVERSIONINFOA info;
  std::memset(&info, 0xcc, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  REQUIRE(GetVersionExA(&info));
  CHECK_EQ(info.dwOSVersionInfoSize, sizeof info);
  CHECK_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  CHECK(info.dwMajorVersion >= 3);
  CHECK(std::memchr(info.szCSDVersion, '\0', sizeof info.szCSDVersion) != nullptr);
}

CASE(kArea, "a version record of another size is refused with 122 and left alone") {
  for (DWORD size : {0u, 147u, 149u}) {
    OSVERSIONINFOA info;
    std::memset(&info, 0xcc, sizeof info);
    info.dwOSVersionInfoSize = size;
    SetLastError(0xdeadbeef);
    CHECK(!GetVersionExA(&info));
    CHECK_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(info.dwMajorVersion, 0xccccccccu);
  }
}

CASE(kArea, "the processor is an Intel one whose type follows its level") {
  SYSTEM_INFO info;
  std::memset(&info, 0xcc, sizeof info);
  GetSystemInfo(&info);
  CHECK_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
  CHECK(info.dwNumberOfProcessors >= 1);
  CHECK_EQ(info.dwPageSize, 4096);
  DWORD expected = info.wProcessorLevel >= 5 ? 586 : info.wProcessorLevel == 4 ? 486 : 386;
  CHECK_EQ(info.dwProcessorType, expected);
}

CASE(kArea, "the memory status fills its length and keeps available within total") {
  MEMORYSTATUS status;
  std::memset(&status, 0xcc, sizeof status);
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  CHECK_EQ(status.dwLength, 32);
  CHECK(status.dwMemoryLoad <= 100);
  CHECK(status.dwAvailPhys <= status.dwTotalPhys);
  CHECK(status.dwAvailVirtual <= status.dwTotalVirtual);
  CHECK(status.dwTotalPhys > 0);
}

WINE_DIFFERS(kArea, "the available page file is within its total",
             "Wine clamps the memory totals at 2 GB but not the available page file") {
  MEMORYSTATUS status;
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  CHECK(status.dwAvailPageFile <= status.dwTotalPageFile);
}

CASE(kArea, "the drive list's size query counts the final NUL") {
  DWORD needed = GetLogicalDriveStringsA(0, nullptr);
  REQUIRE(needed > 4);
  CHECK_EQ(needed % 4, 1);
  std::vector<char> list(needed + 8, 0x55);
  CHECK_EQ(GetLogicalDriveStringsA(needed, list.data()), needed - 1);
  CHECK_EQ(list[needed - 1], '\0');
  CHECK_EQ(list[needed], 0x55);
}

CASE(kArea, "a drive list buffer one short is left alone and the size needed returned") {
  DWORD needed = GetLogicalDriveStringsA(0, nullptr);
  REQUIRE(needed > 4);
  std::vector<char> list(needed, 0x55);
  CHECK_EQ(GetLogicalDriveStringsA(needed - 1, list.data()), needed);
  CHECK_EQ(list[0], 0x55);
}

CASE(kArea, "the drive list names each root in letter order and holds C") {
  char list[256];
  DWORD length = GetLogicalDriveStringsA(sizeof list, list);
  REQUIRE(length > 0 && length < sizeof list);
  std::vector<std::string> roots;
  for (const char* root = list; *root; root += std::strlen(root) + 1) roots.push_back(root);
  bool sorted = true, hasC = false;
  for (size_t i = 0; i < roots.size(); ++i) {
    CHECK_EQ(roots[i].size(), 3);
    CHECK_STR(roots[i].substr(1), ":\\");
    if (i > 0 && roots[i - 1] >= roots[i]) sorted = false;
    if (roots[i] == "C:\\") hasC = true;
  }
  CHECK(sorted);
  CHECK(hasC);
}

CASE(kArea, "C is a fixed drive with or without its backslash") {
  CHECK_EQ(GetDriveTypeA("C:\\"), DRIVE_FIXED);
  CHECK_EQ(GetDriveTypeA("c:\\"), DRIVE_FIXED);
  CHECK_EQ(GetDriveTypeA("C:"), DRIVE_FIXED);
}

CASE(kArea, "a letter without a drive has no root directory") {
  CHECK_EQ(GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
}

WINE_DIFFERS(kArea, "a directory below a root is no root directory",
             "Wine answers with the type of the path's drive; Windows wants the root directory itself") {
  CHECK_EQ(GetDriveTypeA("C:\\cvnconf"), DRIVE_NO_ROOT_DIR);
}

CASE(kArea, "the volume of C names its file system and a component length of 255") {
  char fileSystem[32];
  DWORD serial = 0, component = 0, flags = 0;
  REQUIRE(GetVolumeInformationA("C:\\", nullptr, 0, &serial, &component, &flags, fileSystem, sizeof fileSystem));
  CHECK_STR(fileSystem, "NTFS");
  CHECK_EQ(component, 255);
}

CASE(kArea, "the volume of a letter without a drive gives 3") {
  char fileSystem[32];
  SetLastError(0xdeadbeef);
  CHECK(!GetVolumeInformationA("Q:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem));
  CHECK_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

CASE(kArea, "the free space of C is within its size") {
  DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
  REQUIRE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &total));
  CHECK(sectors > 0);
  CHECK_EQ(bytes, 512);
  CHECK(freeClusters <= total);
  CHECK(total > 0);
}

CASE(kArea, "the computer name reports the size it needs") {
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  REQUIRE(GetComputerNameA(name, &size));
  CHECK_EQ(size, std::strlen(name));
  DWORD length = size;
  size = length;  // no room for the NUL
  SetLastError(0xdeadbeef);
  CHECK(!GetComputerNameA(name, &size));
  CHECK_EQ(GetLastError(), ERROR_BUFFER_OVERFLOW);
  CHECK_EQ(size, length + 1);
}

CASE(kArea, "the system directory is system32 in the Windows directory") {
  char windows[MAX_PATH], system[MAX_PATH];
  UINT w = GetWindowsDirectoryA(windows, sizeof windows);
  UINT s = GetSystemDirectoryA(system, sizeof system);
  CHECK_EQ(w, std::strlen(windows));
  CHECK_EQ(s, std::strlen(system));
  CHECK_EQ(s, w + 9);
  CHECK_EQ(Lower(system), Lower(std::string(windows) + "\\system32"));
  CHECK_EQ(GetFileAttributesA(system) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
}

CASE(kArea, "a directory buffer too small gets the size needed with its NUL") {
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, sizeof system);
  std::memset(system, 0x55, sizeof system);
  CHECK_EQ(GetSystemDirectoryA(system, length), length + 1);
  CHECK_EQ(system[0], 0x55);
  CHECK_EQ(GetWindowsDirectoryA(system, 1), length - 8);
}

// Monday, December 7, 2026, 22:05:09.
SYSTEMTIME Evening() {
  SYSTEMTIME time{};
  time.wYear = 2026;
  time.wMonth = 12;
  time.wDay = 7;
  time.wDayOfWeek = 1;
  time.wHour = 22;
  time.wMinute = 5;
  time.wSecond = 9;
  return time;
}

CASE(kArea, "the US English time format is hours, minutes, seconds and AM or PM") {
  SYSTEMTIME time = Evening();
  char text[64];
  CHECK_EQ(GetTimeFormatA(kUsEnglish, 0, &time, nullptr, text, sizeof text), 12);
  CHECK_STR(text, "10:05:09 PM");
}

CASE(kArea, "the US English short date is month, day and year") {
  SYSTEMTIME time = Evening();
  char text[64];
  CHECK_EQ(GetDateFormatA(kUsEnglish, DATE_SHORTDATE, &time, nullptr, text, sizeof text), 10);
  CHECK_STR(text, "12/7/2026");
}

// MSDN, GetDateFormat and GetTimeFormat: LOCALE_USE_CP_ACP converts the
// text with the system's ANSI code page; for US English it changes nothing.
CASE(kArea, "the system code page flag leaves US English dates and times as they are") {
  SYSTEMTIME time = Evening();
  char text[64];
  CHECK_EQ(GetDateFormatA(kUsEnglish, DATE_SHORTDATE | LOCALE_USE_CP_ACP, &time, nullptr, text, sizeof text), 10);
  CHECK_STR(text, "12/7/2026");
  CHECK_EQ(GetTimeFormatA(kUsEnglish, LOCALE_USE_CP_ACP, &time, nullptr, text, sizeof text), 12);
  CHECK_STR(text, "10:05:09 PM");
}

#ifdef CVN_SIM
// Russian names: Monday and December (genitive).
sim::UserLocale Russian() {
  sim::UserLocale locale;
  locale.lcid = 0x0419;
  locale.codePage = 1251;
  locale.days = {u"\u0432\u043e\u0441\u043a\u0440\u0435\u0441\u0435\u043d\u044c\u0435",
                 u"\u043f\u043e\u043d\u0435\u0434\u0435\u043b\u044c\u043d\u0438\u043a",
                 u"\u0432\u0442\u043e\u0440\u043d\u0438\u043a", u"\u0441\u0440\u0435\u0434\u0430",
                 u"\u0447\u0435\u0442\u0432\u0435\u0440\u0433", u"\u043f\u044f\u0442\u043d\u0438\u0446\u0430",
                 u"\u0441\u0443\u0431\u0431\u043e\u0442\u0430"};
  locale.months.assign(12, u"\u0434\u0435\u043a\u0430\u0431\u0440\u044f");
  return locale;
}

NATIVE_CASE(kArea, "a user locale's date comes in its own code page, with the flag in the system's") {
  sim::SetUserLocale(Russian());
  SYSTEMTIME time = Evening();
  char text[64];
  // In 1251 Cyrillic a..ya are 0xE0..0xFF; code page 1252 has no Cyrillic.
  REQUIRE(GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE, &time, nullptr, text, sizeof text) > 0);
  CHECK_STR(text, "\xef\xee\xed\xe5\xe4\xe5\xeb\xfc\xed\xe8\xea, 7 \xe4\xe5\xea\xe0\xe1\xf0\xff 2026");
  REQUIRE(GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE | LOCALE_USE_CP_ACP, &time, nullptr, text,
                         sizeof text) > 0);
  CHECK_STR(text, "???????????, 7 ??????? 2026");
  sim::SetCodePage(1251);
  REQUIRE(GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE | LOCALE_USE_CP_ACP, &time, nullptr, text,
                         sizeof text) > 0);
  CHECK_STR(text, "\xef\xee\xed\xe5\xe4\xe5\xeb\xfc\xed\xe8\xea, 7 \xe4\xe5\xea\xe0\xe1\xf0\xff 2026");
}

// The Win32 SDK's winnls.h defines the flag outside its WINVER 0x0400 guard
// (LOCALE_RETURN_NUMBER, of Windows NT 4.0, is inside): Windows NT 3.51
// takes it too.
NATIVE_CASE(kArea, "NT 3.51 takes the system code page flag") {
  sim::OsVersion version;
  version.major = 3;
  version.minor = 51;
  sim::SetOsVersion(version);
  SYSTEMTIME time = Evening();
  char text[64];
  CHECK(GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE | LOCALE_USE_CP_ACP, &time, nullptr, text, sizeof text) >
        0);
  CHECK_STR(text, "Monday, December 7, 2026");
  CHECK(GetTimeFormatA(LOCALE_USER_DEFAULT, LOCALE_USE_CP_ACP, &time, nullptr, text, sizeof text) > 0);
}
#endif

// MSDN, SetErrorMode: it returns the mode it replaces.
CASE(kArea, "SetErrorMode gives back the mode it replaces") {
  UINT before = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  CHECK_EQ(SetErrorMode(before), static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
  CHECK_EQ(SetErrorMode(before), before);
}

#ifdef CVN_SIM
// MSDN, GetVolumeInformation and SetErrorMode: a drive without a disk makes
// the system ask for one in its critical-error box unless the process fails
// critical errors (kernel32/tests/drive.c leaves floppies out for this);
// ntstatus STATUS_NO_MEDIA_IN_DEVICE gives the box its title and text.
NATIVE_CASE(kArea, "a call on a drive without a disk shows the system's box unless critical errors fail") {
  UINT before = SetErrorMode(0);
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetFileAttributesA("A:\\data"), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(GetLastError(), ERROR_NOT_READY);
  REQUIRE(sim::Dialogs().size() == 1u);
  CHECK_STR(sim::Dialogs()[0].caption.c_str(), "No Disk");
  CHECK_STR(sim::Dialogs()[0].text.c_str(),
            "There is no disk in the drive.\r\nPlease insert a disk into drive \\Device\\Floppy0.");
  CHECK(sim::Dialogs()[0].owner == nullptr);
  CHECK_EQ(sim::Dialogs()[0].style & MB_SYSTEMMODAL, static_cast<UINT>(MB_SYSTEMMODAL));
  CHECK(!GetVolumeInformationA("D:\\", nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0));
  REQUIRE(sim::Dialogs().size() == 2u);
  CHECK(sim::Dialogs()[1].text.find("\\Device\\CdRom0") != std::string::npos);

  SetErrorMode(SEM_FAILCRITICALERRORS);
  WIN32_FIND_DATAA entry;
  CHECK(FindFirstFileA("A:\\*.*", &entry) == INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_NOT_READY);
  CHECK(CreateFileA("A:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr) ==
        INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_NOT_READY);
  CHECK(!GetDiskFreeSpaceA("A:\\", nullptr, nullptr, nullptr, nullptr));
  CHECK_EQ(GetLastError(), ERROR_NOT_READY);
  CHECK_EQ(sim::Dialogs().size(), 2u);
  SetErrorMode(before);
}

NATIVE_CASE(kArea, "a drive without a disk is not ready") {
  sim::Drive drive;
  drive.type = DRIVE_REMOVABLE;
  drive.volumeError = ERROR_NOT_READY;
  sim::SetDrive('A', drive);
  char fileSystem[32];
  CHECK(!GetVolumeInformationA("A:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem));
  CHECK_EQ(GetLastError(), ERROR_NOT_READY);
  CHECK_EQ(GetDriveTypeA("A:\\"), DRIVE_REMOVABLE);
}
#endif

}  // namespace

// ---- Calls of later versions, looked up at run time ---------------------------

namespace {

typedef LONG(WINAPI* TrueVersionCall)(OSVERSIONINFOW*);

// The true version from ntdll (Windows 2000 on); false where there is none.
bool TrueVersion(OSVERSIONINFOW* version) {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  FARPROC found = ntdll ? GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
  if (!found) return false;
  TrueVersionCall call;
  std::memcpy(&call, &found, sizeof call);
  std::memset(version, 0, sizeof *version);
  version->dwOSVersionInfoSize = sizeof *version;
  return call(version) == 0;
}

CASE(kArea, "the true version from 2000 on is the version record's, which says 6.2 build 9200 from 8.1 on") {
  // MSDN, GetVersionEx: a program without a manifest for Windows 8.1 or 10 is told Windows 8.
  OSVERSIONINFOA info;
  info.dwOSVersionInfoSize = sizeof info;
  REQUIRE(GetVersionExA(&info));
  OSVERSIONINFOW truth;
  CHECK_EQ(sizeof truth, 276);
  if (!TrueVersion(&truth)) {
    CHECK(info.dwMajorVersion < 5);  // Windows NT 3.51 and 4.0 have none
    return;
  }
  CHECK_EQ(truth.dwPlatformId, info.dwPlatformId);
  bool shimmed = truth.dwMajorVersion > 6 || (truth.dwMajorVersion == 6 && truth.dwMinorVersion > 2);
  CHECK_EQ(info.dwMajorVersion, shimmed ? 6u : truth.dwMajorVersion);
  CHECK_EQ(info.dwMinorVersion, shimmed ? 2u : truth.dwMinorVersion);
  CHECK_EQ(info.dwBuildNumber, shimmed ? 9200u : truth.dwBuildNumber);
}

typedef LONG(WINAPI* ExtendedVersionCall)(void*);

// The cases of later calls run on the system Wine poses as, Windows 10: the
// simulation's fresh machine is Windows NT 4.0, which has none of them.
void PoseAsWindows10() {
#ifdef CVN_SIM
  sim::OsVersion version;
  version.major = 10;
  version.build = 19045;
  sim::SetOsVersion(version);
#endif
}

// MSDN, RtlGetVersion: the caller sets dwOSVersionInfoSize to the size of
// RTL_OSVERSIONINFOW (276) or RTL_OSVERSIONINFOEXW (284); any other size is
// refused with STATUS_INVALID_PARAMETER and the record left alone.
WINE_DIFFERS(kArea, "the true version takes its record or the extended one, any other size gives invalid parameter",
             "Wine's RtlGetVersion fills the record whatever size it names") {
  PoseAsWindows10();
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  FARPROC found = ntdll ? GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
  REQUIRE(found != nullptr);
  ExtendedVersionCall call;
  std::memcpy(&call, &found, sizeof call);
  DWORD record[71];
  for (DWORD size : {0u, 148u, 275u, 277u}) {
    std::memset(record, 0xcc, sizeof record);
    record[0] = size;
    CHECK_EQ(call(record), STATUS_INVALID_PARAMETER);
    CHECK_EQ(record[1], 0xccccccccu);
  }
  for (DWORD size : {276u, 284u}) {
    std::memset(record, 0, sizeof record);
    record[0] = size;
    CHECK_EQ(call(record), 0);
    CHECK(record[1] >= 5);
  }
}

// MSDN, GetVolumeNameForVolumeMountPoint: Windows 2000 and later, which
// have mount points and junctions; the export is there whatever version a
// compatibility mode makes GetVersionEx report.
CASE(kArea, "the volume name of a mount point is a call of every system with junctions") {
  PoseAsWindows10();
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  REQUIRE(kernel32 != nullptr);
  FARPROC found = GetProcAddress(kernel32, "GetVolumeNameForVolumeMountPointW");
  REQUIRE(found != nullptr);
#ifdef CVN_SIM
  // A drive's root names its volume; a directory that mounts nothing does not.
  BOOL(WINAPI * volumeName)(LPCWSTR, LPWSTR, DWORD);
  std::memcpy(&volumeName, &found, sizeof volumeName);
  WCHAR name[64];
  CHECK(volumeName(L"C:\\", name, 64));
  CHECK(name[0] == '\\' && name[1] == '\\' && name[2] == '?' && name[3] == '\\');
  CHECK(!volumeName(L"C:\\WINNT\\", name, 64));
  CHECK_EQ(GetLastError(), ERROR_NOT_A_REPARSE_POINT);
#endif
}

// The processors in other views: MSDN, GetNativeSystemInfo (Windows XP on;
// under WOW64 the native system) and GetActiveProcessorCount (Windows 7 on;
// ALL_PROCESSOR_GROUPS counts every group). Neither counts fewer than
// GetSystemInfo, which shows a 32-bit process at most 32 and one group.
CASE(kArea, "the native system information and every group's processors count at least GetSystemInfo's") {
  PoseAsWindows10();
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  REQUIRE(kernel32 != nullptr);
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  FARPROC nativeFound = GetProcAddress(kernel32, "GetNativeSystemInfo");
  FARPROC activeFound = GetProcAddress(kernel32, "GetActiveProcessorCount");
  REQUIRE(nativeFound != nullptr && activeFound != nullptr);
  void(WINAPI * native)(SYSTEM_INFO*);
  DWORD(WINAPI * active)(WORD);
  std::memcpy(&native, &nativeFound, sizeof native);
  std::memcpy(&active, &activeFound, sizeof active);
  SYSTEM_INFO seen;
  std::memset(&seen, 0xcc, sizeof seen);
  native(&seen);
  CHECK(seen.dwNumberOfProcessors >= info.dwNumberOfProcessors);
  CHECK_EQ(seen.dwPageSize, 4096);
  CHECK(seen.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL ||
        seen.wProcessorArchitecture == 9);  // AMD64, a 64-bit system seen from WOW64
  CHECK(active(0xffff) >= info.dwNumberOfProcessors);
}

CASE(kArea, "the 64-bit memory status wants its own record length, else 87") {
  MEMORYSTATUSEX status;
  std::memset(&status, 0xcc, sizeof status);
  status.dwLength = sizeof status;
  REQUIRE(GlobalMemoryStatusEx(&status));
  CHECK_EQ(sizeof status, 64);
  CHECK(status.ullTotalPhys > 0);
  CHECK(status.ullAvailPhys <= status.ullTotalPhys);
  CHECK(status.dwMemoryLoad <= 100);
  status.dwLength = sizeof(MEMORYSTATUS);
  SetLastError(0xdeadbeef);
  CHECK(!GlobalMemoryStatusEx(&status));
  CHECK_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

CASE(kArea, "the byte counts of C are its cluster counts times the cluster size") {
  DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
  REQUIRE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &total));
  ULARGE_INTEGER available, totalBytes, totalFree;
  REQUIRE(GetDiskFreeSpaceExA("C:\\", &available, &totalBytes, &totalFree));
  ULONGLONG cluster = ULONGLONG{sectors} * bytes;
  // Below 2^32 clusters; the other engineers' files may change the free space.
  CHECK_EQ(totalBytes.QuadPart / cluster, total);
  CHECK(available.QuadPart <= totalBytes.QuadPart);
  CHECK(totalFree.QuadPart <= totalBytes.QuadPart);
}

CASE(kArea, "the byte counts of a letter without a drive give 3") {
  ULARGE_INTEGER available, totalBytes, totalFree;
  SetLastError(0xdeadbeef);
  CHECK(!GetDiskFreeSpaceExA("Q:\\", &available, &totalBytes, &totalFree));
  CHECK_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

#ifdef CVN_SIM
NATIVE_CASE(kArea, "calls of later versions are found from the version that brought them, else 127") {
  struct Posture {
    DWORD major, minor;
    bool diskBytes, memory, trueVersion;
  };
  const Posture postures[] = {{3, 51, false, false, false}, {4, 0, true, false, false},
                              {5, 0, true, true, true},     {10, 0, true, true, true}};
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  REQUIRE(kernel32 != nullptr && ntdll != nullptr);
  for (const Posture& posture : postures) {
    sim::OsVersion version;
    version.major = posture.major;
    version.minor = posture.minor;
    sim::SetOsVersion(version);
    const std::pair<FARPROC, bool> found[] = {
        {GetProcAddress(kernel32, "GetDiskFreeSpaceExA"), posture.diskBytes},
        {GetProcAddress(kernel32, "GlobalMemoryStatusEx"), posture.memory},
        {GetProcAddress(ntdll, "RtlGetVersion"), posture.trueVersion}};
    for (const auto& call : found) CHECK_EQ(call.first != nullptr, call.second);
    SetLastError(0);
    CHECK(GetProcAddress(ntdll, "GlobalMemoryStatusEx") == nullptr);
    CHECK_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  }
}

// MSDN, "Processor Groups": a 64-bit system puts at most 64 processors in a
// group, from Windows 7 on in groups of even size; "WOW64 Implementation
// Details" / GetSystemInfo: a 32-bit process is shown at most 32.
NATIVE_CASE(kArea, "a 32-bit process on 48 and 128 threads sees 32, the native view one group, all groups every one") {
  struct Machine {
    DWORD threads, native, active;
  };
  sim::OsVersion version;
  version.major = 10;
  sim::SetOsVersion(version);
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  for (const Machine& machine : {Machine{48, 48, 48}, Machine{128, 64, 128}}) {
    sim::Processors processors;
    processors.count = machine.threads;
    processors.wow64 = true;
    sim::SetProcessors(processors);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    CHECK_EQ(info.dwNumberOfProcessors, 32);
    CHECK_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
    CHECK_EQ(info.dwActiveProcessorMask, 0xFFFFFFFFu);
    GetNativeSystemInfo(&info);
    CHECK_EQ(info.dwNumberOfProcessors, machine.native);
    CHECK_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    CHECK_EQ(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), machine.active);
    CHECK(GetProcAddress(kernel32, "GetActiveProcessorCount") != nullptr);
  }
  CHECK_EQ(GetActiveProcessorCount(1), 64);
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetActiveProcessorCount(2), 0);
  CHECK_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

NATIVE_CASE(kArea, "the processor calls are offered from XP and from 7 on") {
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  const struct {
    DWORD major, minor;
    bool native, active;
  } postures[] = {{5, 0, false, false}, {5, 1, true, false}, {6, 0, true, false}, {6, 1, true, true}};
  for (const auto& posture : postures) {
    sim::OsVersion version;
    version.major = posture.major;
    version.minor = posture.minor;
    sim::SetOsVersion(version);
    CHECK_EQ(GetProcAddress(kernel32, "GetNativeSystemInfo") != nullptr, posture.native);
    CHECK_EQ(GetProcAddress(kernel32, "GetActiveProcessorCount") != nullptr, posture.active);
  }
}

NATIVE_CASE(kArea, "the 32-bit memory figures keep NT 4.0's low 32 bits and stop at 2 Gb from 2000 on") {
  // MSDN, GlobalMemoryStatus: 2 Gb for a program that is not large-address-aware.
  sim::Memory memory;
  memory.totalPhys = 5ull << 30;
  memory.availPhys = 3ull << 30;
  sim::SetMemory(memory);
  MEMORYSTATUS status;
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  CHECK_EQ(status.dwTotalPhys, 1u << 30);
  CHECK_EQ(status.dwAvailPhys, 3u << 30);
  sim::OsVersion version;
  version.major = 5;
  sim::SetOsVersion(version);
  GlobalMemoryStatus(&status);
  CHECK_EQ(status.dwTotalPhys, 0x7FFFFFFFu);
  CHECK_EQ(status.dwAvailPhys, 0x7FFFFFFFu);
}

NATIVE_CASE(kArea, "a drive beyond 2^32 clusters gives the low 32 bits of its counts and its whole bytes") {
  sim::Drive drive;
  drive.totalClusters = (1ull << 32) + 10240;
  drive.freeClusters = 1ull << 32;
  sim::SetDrive('G', drive);
  DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
  REQUIRE(GetDiskFreeSpaceA("G:\\", &sectors, &bytes, &freeClusters, &total));
  CHECK_EQ(total, 10240u);
  CHECK_EQ(freeClusters, 0u);
  ULARGE_INTEGER available, totalBytes, totalFree;
  REQUIRE(GetDiskFreeSpaceExA("G:\\", &available, &totalBytes, &totalFree));
  CHECK_EQ(totalBytes.QuadPart, ((1ull << 32) + 10240) * 4096);
  CHECK_EQ(available.QuadPart, (1ull << 32) * 4096);
}
#endif

}  // namespace
