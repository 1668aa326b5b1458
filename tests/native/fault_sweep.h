// The fault sweep's tools: how each Win32 and C runtime call fails on Windows,
// which of its uses to fail, a picture of the machine outside the product's
// own files, keys and services, and the checks of a report file.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim.h"

namespace sweep {

// Errors Windows gives that the platform headers do not name.
constexpr DWORD kResourceNameNotFound = 1814;     // ERROR_RESOURCE_NAME_NOT_FOUND
constexpr DWORD kEventLogFileCorrupt = 1500;      // ERROR_EVENTLOG_FILE_CORRUPT
constexpr DWORD kUnexpectedNetworkError = 59;     // ERROR_UNEXP_NET_ERR
constexpr DWORD kNoFailureCode = 0;               // the call reports none
constexpr DWORD kAllottedSpaceExceeded = 1344;    // ERROR_ALLOTTED_SPACE_EXCEEDED
constexpr DWORD kInvalidSecurityDescriptor = 1338;  // ERROR_INVALID_SECURITY_DESCR

// What a failed call may leave behind: a failed close keeps the handle it
// was to close, a failed WSACleanup the WinSock start it was to end.
enum class Leaves { Nothing, OneHandle, OneWinsockStart };

// One way a call fails: the error it leaves.
struct ApiFailure {
  const char* api;
  DWORD error;
  Leaves leaves = Leaves::Nothing;
};

// Every call the product makes and how it fails; a call may fail more than
// one way (an echo that times out, or one a router answers with an error; a
// key the user may not open, or one that is gone).
inline const std::vector<ApiFailure>& Failures() {
  static const std::vector<ApiFailure> table = {
      // Registry
      {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
      {"RegOpenKeyExA", ERROR_FILE_NOT_FOUND},
      {"RegCreateKeyExA", ERROR_ACCESS_DENIED},
      {"RegQueryValueExA", ERROR_ACCESS_DENIED},
      {"RegQueryValueExA", ERROR_MORE_DATA},  // the value grew since its size was asked
      {"RegEnumKeyExA", ERROR_ACCESS_DENIED},
      {"RegEnumKeyExA", ERROR_MORE_DATA},
      {"RegEnumValueA", ERROR_ACCESS_DENIED},
      {"RegEnumValueA", ERROR_MORE_DATA},
      {"RegQueryInfoKeyA", ERROR_ACCESS_DENIED},
      {"RegQueryInfoKeyA", ERROR_KEY_DELETED},
      {"RegSetValueExA", ERROR_ACCESS_DENIED},
      {"RegDeleteKeyA", ERROR_ACCESS_DENIED},
      {"RegOpenKeyExW", ERROR_ACCESS_DENIED},
      {"RegOpenKeyExW", ERROR_FILE_NOT_FOUND},
      {"RegQueryValueExW", ERROR_ACCESS_DENIED},
      {"RegEnumKeyExW", ERROR_ACCESS_DENIED},
      {"RegEnumKeyExW", ERROR_MORE_DATA},
      {"RegQueryInfoKeyW", ERROR_ACCESS_DENIED},
      {"RegQueryInfoKeyW", ERROR_KEY_DELETED},
      {"RegDeleteKeyW", ERROR_ACCESS_DENIED},
      {"RegCloseKey", ERROR_INVALID_HANDLE, Leaves::OneHandle},
      {"RegGetKeySecurity", ERROR_ACCESS_DENIED},
      // Security descriptors and the token
      {"InitializeSecurityDescriptor", ERROR_INVALID_PARAMETER},
      {"InitializeAcl", ERROR_INVALID_PARAMETER},
      {"AddAccessAllowedAce", kAllottedSpaceExceeded},
      {"SetSecurityDescriptorDacl", kInvalidSecurityDescriptor},
      {"SetSecurityDescriptorControl", ERROR_INVALID_PARAMETER},
      {"GetTokenInformation", ERROR_ACCESS_DENIED},
      // Service Control Manager
      {"OpenSCManagerA", ERROR_ACCESS_DENIED},
      {"OpenServiceA", ERROR_ACCESS_DENIED},
      {"OpenServiceA", ERROR_SERVICE_DOES_NOT_EXIST},
      {"ControlService", ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
      {"ControlService", ERROR_DEPENDENT_SERVICES_RUNNING},
      {"QueryServiceStatus", ERROR_ACCESS_DENIED},
      {"DeleteService", ERROR_SERVICE_MARKED_FOR_DELETE},
      {"CloseServiceHandle", ERROR_INVALID_HANDLE, Leaves::OneHandle},
      // Files and directories
      {"FindFirstFileA", ERROR_ACCESS_DENIED},
      {"FindFirstFileA", ERROR_PATH_NOT_FOUND},
      {"FindNextFileA", kUnexpectedNetworkError},
      {"FindFirstFileW", ERROR_ACCESS_DENIED},
      {"FindFirstFileW", ERROR_PATH_NOT_FOUND},
      {"FindNextFileW", kUnexpectedNetworkError},
      {"FindClose", ERROR_INVALID_HANDLE, Leaves::OneHandle},
      {"GetFileAttributesA", ERROR_ACCESS_DENIED},
      {"GetFileAttributesA", ERROR_FILE_NOT_FOUND},
      {"SetFileAttributesA", ERROR_ACCESS_DENIED},
      {"DeleteFileA", ERROR_SHARING_VIOLATION},
      {"MoveFileExA", ERROR_ACCESS_DENIED},
      {"RemoveDirectoryA", ERROR_DIR_NOT_EMPTY},
      {"GetFileAttributesW", ERROR_ACCESS_DENIED},
      {"GetFileAttributesW", ERROR_FILE_NOT_FOUND},
      {"SetFileAttributesW", ERROR_ACCESS_DENIED},
      {"DeleteFileW", ERROR_SHARING_VIOLATION},
      {"MoveFileExW", ERROR_ACCESS_DENIED},
      {"MoveFileExW", ERROR_FILE_NOT_FOUND},  // a name scheduled before it exists, refused
      {"RemoveDirectoryW", ERROR_DIR_NOT_EMPTY},
      {"CreateDirectoryA", ERROR_ACCESS_DENIED},
      {"CopyFileA", ERROR_DISK_FULL},
      {"CreateFileA", ERROR_SHARING_VIOLATION},
      {"CreateFileW", ERROR_SHARING_VIOLATION},
      {"GetFileInformationByHandle", ERROR_ACCESS_DENIED},
      {"SetFilePointer", ERROR_INVALID_PARAMETER},
      {"ReadFile", ERROR_HANDLE_EOF},
      {"WriteFile", ERROR_DISK_FULL},
      {"CloseHandle", ERROR_INVALID_HANDLE, Leaves::OneHandle},
      // System information
      {"GetVersionExA", ERROR_INSUFFICIENT_BUFFER},
      {"GetLogicalDriveStringsA", ERROR_NOT_ENOUGH_MEMORY},
      {"GetDriveTypeA", ERROR_NOT_READY},
      {"GetVolumeInformationA", ERROR_NOT_READY},
      {"GetDiskFreeSpaceA", ERROR_NOT_READY},
      {"GetDiskFreeSpaceExA", ERROR_NOT_READY},
      {"GlobalMemoryStatusEx", ERROR_INVALID_PARAMETER},
      {"GetActiveProcessorCount", ERROR_INVALID_PARAMETER},
      {"RtlGetVersion", kNoFailureCode},  // its NTSTATUS result says it
      {"GetComputerNameA", ERROR_BUFFER_OVERFLOW},
      {"GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY},
      {"GetSystemDirectoryA", ERROR_NOT_ENOUGH_MEMORY},
      // Event log
      {"OpenEventLogA", ERROR_ACCESS_DENIED},
      {"GetNumberOfEventLogRecords", ERROR_INVALID_HANDLE},
      {"ReadEventLogA", kEventLogFileCorrupt},
      {"ReadEventLogA", ERROR_INSUFFICIENT_BUFFER},  // a record grew since its size was asked
      {"CloseEventLog", ERROR_INVALID_HANDLE, Leaves::OneHandle},
      // Privileges and shutdown
      {"OpenProcessToken", ERROR_ACCESS_DENIED},
      {"LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE},
      {"AdjustTokenPrivileges", ERROR_ACCESS_DENIED},
      {"InitiateSystemShutdownA", ERROR_PRIVILEGE_NOT_HELD},
      // Process, texts and dialogs
      {"GetCommandLineA", kNoFailureCode},
      {"ExpandEnvironmentStringsA", ERROR_NOT_ENOUGH_MEMORY},
      {"MultiByteToWideChar", ERROR_INSUFFICIENT_BUFFER},
      {"GetModuleHandleA", ERROR_MOD_NOT_FOUND},
      {"LoadLibraryA", ERROR_MOD_NOT_FOUND},
      {"GetProcAddress", ERROR_PROC_NOT_FOUND},
      {"FreeLibrary", ERROR_INVALID_HANDLE, Leaves::OneHandle},
      {"GetDateFormatA", ERROR_INVALID_PARAMETER},
      {"GetTimeFormatA", ERROR_INVALID_PARAMETER},
      {"FormatMessageA", ERROR_MR_MID_NOT_FOUND},
      {"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY},
      {"LoadStringA", kResourceNameNotFound},
      {"wsprintfA", ERROR_INVALID_PARAMETER},
      {"wvsprintfA", ERROR_INVALID_PARAMETER},
      {"MessageBoxA", ERROR_INVALID_WINDOW_HANDLE},
      // Version resources
      {"GetFileVersionInfoSizeA", ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"GetFileVersionInfoA", ERROR_RESOURCE_DATA_NOT_FOUND},
      {"VerQueryValueA", ERROR_RESOURCE_TYPE_NOT_FOUND},
      // WinSock
      {"WSAStartup", WSASYSNOTREADY},
      {"WSACleanup", WSAENETDOWN, Leaves::OneWinsockStart},
      {"gethostname", WSAENETDOWN},
      {"gethostbyname", WSATRY_AGAIN},
      {"gethostbyname", WSAHOST_NOT_FOUND},
      {"gethostbyaddr", WSATRY_AGAIN},
      {"inet_addr", kNoFailureCode},
      {"inet_ntoa", kNoFailureCode},
      {"socket", WSAEMFILE},
      {"connect", WSAETIMEDOUT},
      {"connect", WSAECONNREFUSED},
      {"ioctlsocket", WSAENETDOWN},
      {"select", WSAENETDOWN},
      {"select", WSAEINVAL},
      {"getsockopt", WSAENETDOWN},
      {"closesocket", WSAENETDOWN, Leaves::OneHandle},
      // ICMP echo
      {"IcmpCreateFile", ERROR_NOT_ENOUGH_MEMORY},
      {"IcmpSendEcho", IP_REQ_TIMED_OUT},
      {"IcmpSendEcho", IP_DEST_HOST_UNREACHABLE},
      {"IcmpSendEcho", IP_TTL_EXPIRED_TRANSIT},
      {"IcmpCloseHandle", ERROR_INVALID_HANDLE, Leaves::OneHandle},
      {"GetIpErrorString", ERROR_NOT_ENOUGH_MEMORY},
      // C runtime
      {"malloc", ERROR_NOT_ENOUGH_MEMORY},
      {"calloc", ERROR_NOT_ENOUGH_MEMORY},
      {"realloc", ERROR_NOT_ENOUGH_MEMORY},
      {"freopen", ERROR_ACCESS_DENIED},
      {"printf", ERROR_DISK_FULL},
      {"wprintf", ERROR_DISK_FULL},
      {"ctime", ERROR_INVALID_PARAMETER},
  };
  return table;
}

// Calls that have no failure on Windows: nothing to inject.
inline const std::set<std::string>& CannotFail() {
  static const std::set<std::string> calls = {"SleepEx",         "GetLocalTime",        "GetSystemInfo",
                                              "GetNativeSystemInfo", "GlobalMemoryStatus", "IsDBCSLeadByte",
                                              "CharNextA",       "SetErrorMode",        "__WSAFDIsSet"};
  return calls;
}

// Output calls: a failure of one loses exactly what it was to write.
inline bool IsOutputCall(const std::string& api) { return api == "printf" || api == "wprintf"; }

// The uses to fail of a call used `uses` times: all of a few; of more, the
// first, the second, the last and `spread` evenly spaced between them.
inline std::vector<int> SampleUses(int uses, int spread) {
  std::set<int> picked;
  if (uses <= spread + 3) {
    for (int use = 1; use <= uses; ++use) picked.insert(use);
  } else {
    picked = {1, 2, uses};
    for (int i = 1; i <= spread; ++i)
      picked.insert(2 + static_cast<int>(static_cast<long>(i) * (uses - 2) / (spread + 1)));
  }
  return std::vector<int>(picked.begin(), picked.end());
}

// ---- The machine outside the product ---------------------------------------------

// What the product may change: its files and directories, keys and values,
// and services, each named by a lower-case path or name.
struct ProductScope {
  std::vector<std::string> pathPrefixes;  // files and directories at and below these
  std::vector<std::string> keyPrefixes;   // "hklm\..." / "hkcu\..." keys at and below these
  std::vector<std::string> values;        // "hklm\key|value name"
  std::vector<std::string> services;
};

// Files (attributes and contents), directories, keys, values, services and
// reboot operations, each as one entry, that lie outside `scope`.
std::map<std::string, std::string> MachineOutside(const ProductScope& scope);
// The entries that differ, one per line; empty when none.
std::string Differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& after);

// ---- Report files ----------------------------------------------------------------------

// The fault a run met, as the report checks need it.
struct RunFault {
  bool lostWrites = false;  // the failed call was an output call
  bool lasting = false;     // it failed at that use and every use after it
  int failedUses = 0;       // uses of the call that failed
};

// What is wrong with a report file, one problem per line, judged against the
// report the same machine gives without a fault:
// - a NUL byte;
// - a last line without its line break (unless the catalog's marker for a
//   message it could not give ends it: the marker stands for the whole
//   message, line break included);
// - a line said more often than it may be: each failed use may say what
//   failed once, so a line the faultless report lacks may appear once per
//   failed use, and one it has, as often as there (plus once per failed use
//   when the failure lasts and the same step fails again and again).
// After lost writes the report must be the faultless one with those writes'
// text missing and nothing else changed: one piece missing after one lost
// write, an in-order selection of it after lasting ones. A lost write may
// tear the line it belonged to; nothing more.
std::string ReportProblems(const std::string& text, const std::string& faultless, const RunFault& fault);

}  // namespace sweep
