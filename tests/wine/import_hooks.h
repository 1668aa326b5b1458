// Counting wrappers for the imports of a loaded DLL. `HookImports` walks the
// module's import descriptors and points each slot of its import address table
// that `kImports` names at a wrapper (WinSock's and the ICMP library's calls,
// which the DLL loads at run time, through the wrapper of GetProcAddress); the wrapper counts the call, passes it on,
// and keeps the books of what the call opened or allocated. When the sweep asks
// for it (`FailAt`), the Nth call of one import does not reach the system: the
// wrapper returns that function's failure value and leaves the table's error
// code where the caller looks for it (GetLastError, WSAGetLastError, errno or
// the result itself). Closing and freeing functions told to fail still close or
// free, then report the failure: the caller cannot do more than call them once.
//
// Dialogs, the clock and shutdown never reach the system: MessageBoxA takes its
// answer from `DialogAnswer`, SleepEx and Sleep wait at most kShortSleepMs,
// GetFocus gives no window, GetCommandLineA gives `CommandLine`, and
// InitiateSystemShutdownA only records that it was asked.
#pragma once

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winsock.h>

#include <type_traits>

#include "icmp_api.h"

// ntdll's true version (Windows 2000 on), which the headers do not declare.
extern "C" NTSYSAPI LONG NTAPI RtlGetVersion(OSVERSIONINFOW* version);
#ifndef STATUS_INVALID_PARAMETER
#define STATUS_INVALID_PARAMETER ((LONG)0xC000000DL)
#endif

namespace hooks {

enum ErrorKind {
  COUNT_ONLY,     // cannot fail (or its failure is no failure): counted, passed on
  LAST_ERROR,     // SetLastError(error)
  RETURNED,       // the error is the result (registry, WSAStartup)
  WSA_ERROR,      // WSASetLastError(error)
  ERRNO,          // errno = error
  NO_ERROR_CODE,  // the failure value alone says it (inet_addr, VerQueryValueA)
};

// What a wrapper owns on behalf of its caller.
enum Resource {
  RES_REGISTRY_KEY,
  RES_FIND,
  RES_SERVICE,
  RES_FILE,
  RES_EVENT_LOG,
  RES_TOKEN,
  RES_ICMP,
  RES_SOCKET,
  RES_MODULE,
  RES_HEAP,
  RES_LOCAL,
  RES_STREAM,
  RES_WINSOCK,
  RES_COUNT
};
inline const char* const kResourceNames[RES_COUNT] = {
    "registry key", "find handle", "service handle", "file",   "event log",
    "token",        "ICMP handle", "socket",         "module", "heap block",
    "local block",  "stream",      "WinSock start"};

// DLL, function, how its error is given, failure value, error code, wrapper
// (PASS: counted and failed, else passed on; OWN: W_<function> below).
#define CVN_IMPORTS(X)                                                                      \
  X(advapi32, AddAccessAllowedAce, LAST_ERROR, FALSE, ERROR_ALLOTTED_SPACE_EXCEEDED, PASS)  \
  X(advapi32, AdjustTokenPrivileges, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)          \
  X(advapi32, CloseEventLog, LAST_ERROR, FALSE, ERROR_INVALID_HANDLE, OWN)                  \
  X(advapi32, CloseServiceHandle, LAST_ERROR, FALSE, ERROR_INVALID_HANDLE, OWN)             \
  X(advapi32, ControlService, LAST_ERROR, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, PASS)       \
  X(advapi32, DeleteService, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)                  \
  X(advapi32, GetNumberOfEventLogRecords, LAST_ERROR, FALSE, ERROR_INVALID_HANDLE, PASS)    \
  X(advapi32, GetTokenInformation, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)            \
  X(advapi32, InitializeAcl, LAST_ERROR, FALSE, ERROR_INVALID_PARAMETER, PASS)              \
  X(advapi32, InitializeSecurityDescriptor, LAST_ERROR, FALSE, ERROR_INVALID_PARAMETER, PASS) \
  X(advapi32, InitiateSystemShutdownA, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, OWN)         \
  X(advapi32, LookupPrivilegeValueA, LAST_ERROR, FALSE, ERROR_NO_SUCH_PRIVILEGE, PASS)      \
  X(advapi32, OpenEventLogA, LAST_ERROR, 0, ERROR_ACCESS_DENIED, OWN)                       \
  X(advapi32, OpenProcessToken, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, OWN)                \
  X(advapi32, OpenSCManagerA, LAST_ERROR, 0, ERROR_ACCESS_DENIED, OWN)                      \
  X(advapi32, OpenServiceA, LAST_ERROR, 0, ERROR_ACCESS_DENIED, OWN)                        \
  X(advapi32, QueryServiceStatus, LAST_ERROR, FALSE, ERROR_INVALID_HANDLE, PASS)            \
  X(advapi32, ReadEventLogA, LAST_ERROR, FALSE, ERROR_EVENTLOG_FILE_CORRUPT, PASS)          \
  X(advapi32, RegCloseKey, RETURNED, ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE, OWN)       \
  X(advapi32, RegCreateKeyExA, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, OWN)     \
  X(advapi32, RegDeleteKeyA, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, PASS)      \
  X(advapi32, RegDeleteKeyW, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, PASS)      \
  X(advapi32, RegEnumKeyExA, RETURNED, ERROR_MORE_DATA, ERROR_MORE_DATA, PASS)              \
  X(advapi32, RegEnumKeyExW, RETURNED, ERROR_MORE_DATA, ERROR_MORE_DATA, PASS)              \
  X(advapi32, RegEnumValueA, RETURNED, ERROR_MORE_DATA, ERROR_MORE_DATA, PASS)              \
  X(advapi32, RegGetKeySecurity, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, PASS)  \
  X(advapi32, RegOpenKeyExA, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, OWN)       \
  X(advapi32, RegOpenKeyExW, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, OWN)       \
  X(advapi32, RegQueryInfoKeyA, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, PASS)   \
  X(advapi32, RegQueryInfoKeyW, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, PASS)   \
  X(advapi32, RegQueryValueExA, RETURNED, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND, PASS) \
  X(advapi32, RegQueryValueExW, RETURNED, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND, PASS) \
  X(advapi32, RegSetValueExA, RETURNED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, PASS)     \
  X(advapi32, SetSecurityDescriptorControl, LAST_ERROR, FALSE, ERROR_INVALID_PARAMETER, PASS) \
  X(advapi32, SetSecurityDescriptorDacl, LAST_ERROR, FALSE, ERROR_INVALID_SECURITY_DESCR, PASS) \
  X(kernel32, CloseHandle, LAST_ERROR, FALSE, ERROR_INVALID_HANDLE, OWN)                    \
  X(kernel32, CopyFileA, LAST_ERROR, FALSE, ERROR_DISK_FULL, PASS)                          \
  X(kernel32, CreateFileA, LAST_ERROR, -1, ERROR_SHARING_VIOLATION, OWN)                    \
  X(kernel32, CreateFileW, LAST_ERROR, -1, ERROR_SHARING_VIOLATION, OWN)                    \
  X(kernel32, DeleteCriticalSection, COUNT_ONLY, 0, 0, PASS)                                \
  X(kernel32, DeleteFileA, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)                    \
  X(kernel32, DeleteFileW, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)                    \
  X(kernel32, EnterCriticalSection, COUNT_ONLY, 0, 0, PASS)                                 \
  X(kernel32, ExpandEnvironmentStringsA, LAST_ERROR, 0, ERROR_NOT_ENOUGH_MEMORY, PASS)      \
  X(kernel32, FindClose, LAST_ERROR, FALSE, ERROR_INVALID_HANDLE, OWN)                      \
  X(kernel32, FindFirstFileA, LAST_ERROR, -1, ERROR_ACCESS_DENIED, OWN)                     \
  X(kernel32, FindNextFileA, LAST_ERROR, FALSE, ERROR_UNEXP_NET_ERR, PASS)                  \
  X(kernel32, FindFirstFileW, LAST_ERROR, -1, ERROR_ACCESS_DENIED, OWN)                     \
  X(kernel32, FindNextFileW, LAST_ERROR, FALSE, ERROR_UNEXP_NET_ERR, PASS)                  \
  X(kernel32, FormatMessageA, LAST_ERROR, 0, ERROR_MR_MID_NOT_FOUND, OWN)                   \
  X(kernel32, FreeLibrary, LAST_ERROR, FALSE, ERROR_INVALID_HANDLE, OWN)                    \
  X(kernel32, GetActiveProcessorCount, LAST_ERROR, 0, ERROR_INVALID_PARAMETER, PASS)         \
  X(kernel32, GetCommandLineA, COUNT_ONLY, 0, 0, OWN)                                       \
  X(kernel32, GetComputerNameA, LAST_ERROR, FALSE, ERROR_BUFFER_OVERFLOW, PASS)             \
  X(kernel32, GetCurrentProcess, COUNT_ONLY, 0, 0, PASS)                                    \
  X(kernel32, GetDateFormatA, LAST_ERROR, 0, ERROR_INSUFFICIENT_BUFFER, PASS)               \
  X(kernel32, GetDiskFreeSpaceA, LAST_ERROR, FALSE, ERROR_NOT_READY, PASS)                  \
  X(kernel32, GetDiskFreeSpaceExA, LAST_ERROR, FALSE, ERROR_NOT_READY, PASS)                \
  X(kernel32, GetDriveTypeA, NO_ERROR_CODE, DRIVE_NO_ROOT_DIR, 0, PASS)                     \
  X(kernel32, GetFileAttributesA, LAST_ERROR, -1, ERROR_ACCESS_DENIED, PASS)                \
  X(kernel32, GetFileAttributesW, LAST_ERROR, -1, ERROR_ACCESS_DENIED, PASS)                \
  X(kernel32, GetFileInformationByHandle, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)     \
  X(kernel32, GetLastError, COUNT_ONLY, 0, 0, PASS)                                         \
  X(kernel32, GetLocalTime, COUNT_ONLY, 0, 0, PASS)                                         \
  X(kernel32, GetLogicalDriveStringsA, LAST_ERROR, 0, ERROR_NOT_ENOUGH_MEMORY, PASS)        \
  X(kernel32, GetModuleHandleA, LAST_ERROR, 0, ERROR_MOD_NOT_FOUND, PASS)                   \
  X(kernel32, GetNativeSystemInfo, COUNT_ONLY, 0, 0, PASS)                                  \
  X(kernel32, GetProcAddress, LAST_ERROR, 0, ERROR_PROC_NOT_FOUND, OWN)                     \
  X(kernel32, GetSystemDirectoryA, LAST_ERROR, 0, ERROR_NOT_ENOUGH_MEMORY, PASS)            \
  X(kernel32, GetSystemInfo, COUNT_ONLY, 0, 0, PASS)                                        \
  X(kernel32, GetTimeFormatA, LAST_ERROR, 0, ERROR_INSUFFICIENT_BUFFER, PASS)               \
  X(kernel32, GetVersionExA, LAST_ERROR, FALSE, ERROR_INSUFFICIENT_BUFFER, PASS)            \
  X(kernel32, GetVolumeInformationA, LAST_ERROR, FALSE, ERROR_NOT_READY, PASS)              \
  X(kernel32, GetWindowsDirectoryA, LAST_ERROR, 0, ERROR_NOT_ENOUGH_MEMORY, PASS)           \
  X(kernel32, GlobalMemoryStatus, COUNT_ONLY, 0, 0, PASS)                                   \
  X(kernel32, GlobalMemoryStatusEx, LAST_ERROR, FALSE, ERROR_INVALID_PARAMETER, PASS)       \
  X(kernel32, InitializeCriticalSection, COUNT_ONLY, 0, 0, PASS)                            \
  X(kernel32, IsDBCSLeadByte, COUNT_ONLY, 0, 0, PASS)                                       \
  X(kernel32, LeaveCriticalSection, COUNT_ONLY, 0, 0, PASS)                                 \
  X(kernel32, LoadLibraryA, LAST_ERROR, 0, ERROR_MOD_NOT_FOUND, OWN)                        \
  X(kernel32, LocalFree, LAST_ERROR, 0, ERROR_INVALID_HANDLE, OWN)                          \
  X(kernel32, MoveFileExA, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)                    \
  X(kernel32, MoveFileExW, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)                    \
  X(kernel32, MultiByteToWideChar, LAST_ERROR, 0, ERROR_INSUFFICIENT_BUFFER, PASS)          \
  X(kernel32, RemoveDirectoryA, LAST_ERROR, FALSE, ERROR_DIR_NOT_EMPTY, PASS)               \
  X(kernel32, RemoveDirectoryW, LAST_ERROR, FALSE, ERROR_DIR_NOT_EMPTY, PASS)               \
  X(kernel32, SetFileAttributesA, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)             \
  X(kernel32, SetFileAttributesW, LAST_ERROR, FALSE, ERROR_ACCESS_DENIED, PASS)             \
  X(kernel32, SetErrorMode, COUNT_ONLY, 0, 0, PASS)                                        \
  X(kernel32, SetFilePointer, LAST_ERROR, -1, ERROR_INVALID_PARAMETER, PASS)                \
  X(kernel32, Sleep, COUNT_ONLY, 0, 0, OWN)                                                 \
  X(kernel32, SleepEx, COUNT_ONLY, 0, 0, OWN)                                               \
  X(kernel32, TlsGetValue, LAST_ERROR, 0, ERROR_INVALID_PARAMETER, PASS)                    \
  X(kernel32, VirtualProtect, LAST_ERROR, FALSE, ERROR_INVALID_ADDRESS, PASS)               \
  X(kernel32, VirtualQuery, LAST_ERROR, 0, ERROR_INVALID_PARAMETER, PASS)                   \
  X(kernel32, WriteFile, LAST_ERROR, FALSE, ERROR_DISK_FULL, OWN)                           \
  X(msvcrt, calloc, ERRNO, 0, ENOMEM, OWN)                                                  \
  X(msvcrt, fclose, ERRNO, EOF, ENOSPC, OWN)                                                \
  X(msvcrt, free, COUNT_ONLY, 0, 0, OWN)                                                    \
  X(msvcrt, freopen, ERRNO, 0, EACCES, OWN)                                                 \
  X(msvcrt, fwrite, ERRNO, 0, ENOSPC, OWN)                                                  \
  X(msvcrt, malloc, ERRNO, 0, ENOMEM, OWN)                                                  \
  X(msvcrt, printf, ERRNO, -1, ENOSPC, OWN)                                                 \
  X(msvcrt, realloc, ERRNO, 0, ENOMEM, OWN)                                                 \
  X(msvcrt, vfprintf, ERRNO, -1, ENOSPC, OWN)                                               \
  X(msvcrt, wprintf, ERRNO, -1, ENOSPC, OWN)                                                \
  X(user32, CharNextA, COUNT_ONLY, 0, 0, PASS)                                              \
  X(user32, GetFocus, COUNT_ONLY, 0, 0, OWN)                                                \
  X(user32, LoadStringA, LAST_ERROR, 0, ERROR_RESOURCE_NAME_NOT_FOUND, PASS)                \
  X(user32, MessageBoxA, LAST_ERROR, 0, ERROR_NOT_ENOUGH_MEMORY, OWN)                       \
  X(user32, wsprintfA, COUNT_ONLY, 0, 0, OWN)                                               \
  X(user32, wvsprintfA, COUNT_ONLY, 0, 0, PASS)                                             \
  X(version, GetFileVersionInfoA, LAST_ERROR, FALSE, ERROR_RESOURCE_TYPE_NOT_FOUND, PASS)   \
  X(version, GetFileVersionInfoSizeA, LAST_ERROR, 0, ERROR_RESOURCE_DATA_NOT_FOUND, PASS)   \
  X(version, VerQueryValueA, NO_ERROR_CODE, FALSE, 0, PASS)                                 \
  X(wsock32, WSACleanup, WSA_ERROR, SOCKET_ERROR, WSAEINPROGRESS, OWN)                      \
  X(wsock32, WSAGetLastError, COUNT_ONLY, 0, 0, PASS)                                       \
  X(wsock32, WSAStartup, RETURNED, WSASYSNOTREADY, WSASYSNOTREADY, OWN)                     \
  X(wsock32, __WSAFDIsSet, COUNT_ONLY, 0, 0, PASS)                                          \
  X(wsock32, closesocket, WSA_ERROR, SOCKET_ERROR, WSAENETDOWN, OWN)                        \
  X(wsock32, connect, WSA_ERROR, SOCKET_ERROR, WSAETIMEDOUT, PASS)                          \
  X(wsock32, gethostbyaddr, WSA_ERROR, 0, WSATRY_AGAIN, PASS)                               \
  X(wsock32, gethostbyname, WSA_ERROR, 0, WSATRY_AGAIN, PASS)                               \
  X(wsock32, gethostname, WSA_ERROR, SOCKET_ERROR, WSAENETDOWN, PASS)                       \
  X(wsock32, getsockopt, WSA_ERROR, SOCKET_ERROR, WSAENETDOWN, PASS)                        \
  X(wsock32, htons, COUNT_ONLY, 0, 0, PASS)                                                 \
  X(wsock32, inet_addr, NO_ERROR_CODE, INADDR_NONE, 0, PASS)                                \
  X(wsock32, inet_ntoa, NO_ERROR_CODE, 0, 0, PASS)                                          \
  X(wsock32, ioctlsocket, WSA_ERROR, SOCKET_ERROR, WSAENETDOWN, PASS)                        \
  X(wsock32, select, WSA_ERROR, SOCKET_ERROR, WSAENETDOWN, PASS)                            \
  X(wsock32, socket, WSA_ERROR, INVALID_SOCKET, WSAEMFILE, OWN)                             \
  X(ntdll, RtlGetVersion, RETURNED, STATUS_INVALID_PARAMETER, STATUS_INVALID_PARAMETER, PASS) \
  X(icmp, IcmpCloseHandle, LAST_ERROR, FALSE, ERROR_INVALID_HANDLE, OWN)                    \
  X(icmp, IcmpCreateFile, LAST_ERROR, -1, ERROR_NOT_ENOUGH_MEMORY, OWN)                     \
  X(icmp, IcmpSendEcho, LAST_ERROR, 0, IP_REQ_TIMED_OUT, OWN)                               \
  X(iphlpapi, GetIpErrorString, RETURNED, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY, PASS)

enum ImportId {
#define CVN_IMPORT_ID(dll, name, kind, failure, error, wrapper) ID_##name,
  CVN_IMPORTS(CVN_IMPORT_ID)
#undef CVN_IMPORT_ID
      IMPORT_COUNT
};

struct Import {
  const char* dll;
  const char* name;
  ErrorKind kind;
  intptr_t failure;
  DWORD error;
  void* wrapper;
  void* real;  // the system's function, from the slot the wrapper took over
  int calls;
};

// Wrapped DLLs whose every import must have a wrapper (msvcrt: only the
// allocation and file functions above).
inline const char* const kFullyWrapped[] = {"kernel32", "advapi32", "user32",
                                            "version",  "wsock32",  "icmp"};

// ---- The run's state ----------------------------------------------------------------
inline int failImport = -1;  // the import to fail, or -1
inline int failUse = 0;      // at this call (1 = first)
inline bool injected = false;
inline bool ErrorReply = false;  // IcmpSendEcho fails with a reply (see there)
inline bool FailOnward = false;  // every call from the chosen one on fails
inline const char* CommandLine = "";
inline int DialogAnswer = IDYES;
inline int Dialogs = 0;
inline char FirstDialog[1024];  // the text of the run's first dialog
inline int ShutdownRequests = 0;
constexpr DWORD kShortSleepMs = 100;

// Open resources: one entry per handle, block or start.
struct Held {
  Resource kind;
  uintptr_t value;
};
constexpr int kMaxHeld = 16384;
inline Held held[kMaxHeld];
inline int heldCount = 0;
inline int strayReleases[RES_COUNT];  // releases of what was never seen opened
inline int heldOverflow = 0;

inline void Acquire(Resource kind, uintptr_t value) {
  if (heldCount == kMaxHeld) {
    ++heldOverflow;
    return;
  }
  held[heldCount++] = {kind, value};
}

// True when the resource was held (and now is not).
inline bool Forget(Resource kind, uintptr_t value) {
  for (int i = heldCount - 1; i >= 0; --i) {
    if (held[i].kind == kind && held[i].value == value) {
      held[i] = held[--heldCount];
      return true;
    }
  }
  return false;
}

inline void Release(Resource kind, uintptr_t value) {
  if (!Forget(kind, value)) ++strayReleases[kind];
}

inline int HeldOf(Resource kind) {
  int n = 0;
  for (int i = 0; i < heldCount; ++i) n += held[i].kind == kind;
  return n;
}

Import* Table();

// Starts a run: counters and books cleared, the Nth call of `id` to fail.
inline void StartRun(int id, int use) {
  Import* table = Table();
  for (int i = 0; i < IMPORT_COUNT; ++i) table[i].calls = 0;
  failImport = id;
  failUse = use;
  injected = false;
  heldCount = 0;
  heldOverflow = 0;
  memset(strayReleases, 0, sizeof strayReleases);
  Dialogs = 0;
  FirstDialog[0] = '\0';
  ShutdownRequests = 0;
}

inline void StopInjecting() { failImport = -1; }

// Called at the start of every wrapped call, before it is counted: a host
// may end its process there (null: nothing).
inline void (*OnCall)(ImportId id) = nullptr;

// Counts the call; true when this is the call to fail (its error then set).
inline bool Fail(ImportId id) {
  if (OnCall) OnCall(id);
  Import& import = Table()[id];
  ++import.calls;
  bool chosen = import.calls == failUse || (FailOnward && import.calls > failUse);
  if (!chosen || failImport != id || import.kind == COUNT_ONLY) return false;
  injected = true;
  switch (import.kind) {
    case LAST_ERROR:
      SetLastError(import.error);
      break;
    case WSA_ERROR:
      WSASetLastError((int)import.error);
      break;
    case ERRNO:
      errno = (int)import.error;
      break;
    default:
      break;
  }
  return true;
}

template <typename T>
T Failure(ImportId id) {
  return (T)Table()[id].failure;
}

template <typename Fn>
Fn Real(ImportId id) {
  return reinterpret_cast<Fn>(Table()[id].real);
}

// Book-keeping must not disturb the error a caller reads next.
struct KeepLastError {
  DWORD saved = GetLastError();
  ~KeepLastError() { SetLastError(saved); }
};

// The wrapper of an import that needs nothing but its count and its failure.
template <ImportId id, typename Fn>
struct Pass;
template <ImportId id, typename R, typename... A>
struct Pass<id, R(WINAPI*)(A...)> {
  static R WINAPI Call(A... args) {
    if constexpr (!std::is_void_v<R>) {
      if (Fail(id)) return Failure<R>(id);
    } else {
      Fail(id);
    }
    return Real<R(WINAPI*)(A...)>(id)(args...);
  }
};

// An import that opens something: `invalid` is its failure value.
template <typename H, typename... A>
H Open(ImportId id, Resource kind, H invalid, A... args) {
  if (Fail(id)) return Failure<H>(id);
  H handle = Real<H(WINAPI*)(A...)>(id)(args...);
  KeepLastError keep;
  if (handle != invalid) Acquire(kind, (uintptr_t)handle);
  return handle;
}

// An import that closes something (BOOL result).
template <typename H>
BOOL Close(ImportId id, Resource kind, H handle) {
  bool fail = Fail(id);
  BOOL ok = Real<BOOL(WINAPI*)(H)>(id)(handle);
  KeepLastError keep;
  if (ok) Release(kind, (uintptr_t)handle);
  if (fail) keep.saved = Table()[id].error;
  return fail ? FALSE : ok;
}

#define CVN_REAL(name) Real<decltype(&::name)>(ID_##name)
#define CVN_FAIL(name, type) \
  if (Fail(ID_##name)) return Failure<type>(ID_##name)

// ---- advapi32 ------------------------------------------------------------------------
inline BOOL WINAPI W_CloseEventLog(HANDLE handle) {
  return Close(ID_CloseEventLog, RES_EVENT_LOG, handle);
}
inline BOOL WINAPI W_CloseServiceHandle(SC_HANDLE handle) {
  return Close(ID_CloseServiceHandle, RES_SERVICE, handle);
}
// Never passed on: this machine is not restarted by a test.
inline BOOL WINAPI W_InitiateSystemShutdownA(LPSTR, LPSTR, DWORD, BOOL, BOOL) {
  CVN_FAIL(InitiateSystemShutdownA, BOOL);
  ++ShutdownRequests;
  return TRUE;
}
inline HANDLE WINAPI W_OpenEventLogA(LPCSTR server, LPCSTR source) {
  return Open(ID_OpenEventLogA, RES_EVENT_LOG, (HANDLE)NULL, server, source);
}
inline BOOL WINAPI W_OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  CVN_FAIL(OpenProcessToken, BOOL);
  BOOL ok = CVN_REAL(OpenProcessToken)(process, access, token);
  KeepLastError keep;
  if (ok) Acquire(RES_TOKEN, (uintptr_t)*token);
  return ok;
}
inline SC_HANDLE WINAPI W_OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) {
  return Open(ID_OpenSCManagerA, RES_SERVICE, (SC_HANDLE)NULL, machine, database, access);
}
inline SC_HANDLE WINAPI W_OpenServiceA(SC_HANDLE scm, LPCSTR name, DWORD access) {
  return Open(ID_OpenServiceA, RES_SERVICE, (SC_HANDLE)NULL, scm, name, access);
}
inline LONG WINAPI W_RegCloseKey(HKEY key) {
  bool fail = Fail(ID_RegCloseKey);
  LONG status = CVN_REAL(RegCloseKey)(key);
  if (status == ERROR_SUCCESS) Release(RES_REGISTRY_KEY, (uintptr_t)key);
  return fail ? Failure<LONG>(ID_RegCloseKey) : status;
}
inline LONG WINAPI W_RegCreateKeyExA(HKEY key, LPCSTR subkey, DWORD reserved, LPSTR className,
                                     DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                     PHKEY result, LPDWORD disposition) {
  CVN_FAIL(RegCreateKeyExA, LONG);
  LONG status = CVN_REAL(RegCreateKeyExA)(key, subkey, reserved, className, options, access,
                                          security, result, disposition);
  if (status == ERROR_SUCCESS) Acquire(RES_REGISTRY_KEY, (uintptr_t)*result);
  return status;
}
inline LONG WINAPI W_RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM access,
                                   PHKEY result) {
  CVN_FAIL(RegOpenKeyExA, LONG);
  LONG status = CVN_REAL(RegOpenKeyExA)(key, subkey, options, access, result);
  if (status == ERROR_SUCCESS) Acquire(RES_REGISTRY_KEY, (uintptr_t)*result);
  return status;
}
inline LONG WINAPI W_RegOpenKeyExW(HKEY key, LPCWSTR subkey, DWORD options, REGSAM access,
                                   PHKEY result) {
  CVN_FAIL(RegOpenKeyExW, LONG);
  LONG status = CVN_REAL(RegOpenKeyExW)(key, subkey, options, access, result);
  if (status == ERROR_SUCCESS) Acquire(RES_REGISTRY_KEY, (uintptr_t)*result);
  return status;
}

// ---- kernel32 -------------------------------------------------------------------------
// CloseHandle closes files and tokens alike.
inline BOOL WINAPI W_CloseHandle(HANDLE handle) {
  bool fail = Fail(ID_CloseHandle);
  BOOL ok = CVN_REAL(CloseHandle)(handle);
  KeepLastError keep;
  if (ok && !Forget(RES_FILE, (uintptr_t)handle) && !Forget(RES_TOKEN, (uintptr_t)handle))
    ++strayReleases[RES_FILE];
  if (fail) keep.saved = ERROR_INVALID_HANDLE;
  return fail ? FALSE : ok;
}
inline HANDLE WINAPI W_CreateFileA(LPCSTR name, DWORD access, DWORD share,
                                   LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                   HANDLE templateFile) {
  return Open(ID_CreateFileA, RES_FILE, INVALID_HANDLE_VALUE, name, access, share, security,
              disposition, flags, templateFile);
}
inline HANDLE WINAPI W_CreateFileW(LPCWSTR name, DWORD access, DWORD share,
                                   LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                   HANDLE templateFile) {
  return Open(ID_CreateFileW, RES_FILE, INVALID_HANDLE_VALUE, name, access, share, security,
              disposition, flags, templateFile);
}
inline BOOL WINAPI W_FindClose(HANDLE handle) { return Close(ID_FindClose, RES_FIND, handle); }
inline HANDLE WINAPI W_FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  return Open(ID_FindFirstFileA, RES_FIND, INVALID_HANDLE_VALUE, pattern, data);
}
inline HANDLE WINAPI W_FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  return Open(ID_FindFirstFileW, RES_FIND, INVALID_HANDLE_VALUE, pattern, data);
}
inline DWORD WINAPI W_FormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language,
                                     LPSTR buffer, DWORD size, va_list* arguments) {
  CVN_FAIL(FormatMessageA, DWORD);
  DWORD length = CVN_REAL(FormatMessageA)(flags, source, id, language, buffer, size, arguments);
  KeepLastError keep;
  if (length != 0 && (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER))
    Acquire(RES_LOCAL, (uintptr_t) * (LPSTR*)buffer);
  return length;
}
inline BOOL WINAPI W_FreeLibrary(HMODULE handle) {
  return Close(ID_FreeLibrary, RES_MODULE, handle);
}
inline LPSTR WINAPI W_GetCommandLineA(void) {
  Fail(ID_GetCommandLineA);
  return (LPSTR)CommandLine;
}
// WinSock, the ICMP library and the IP helper are loaded at run time, not
// imported, and the calls of later Windows versions are looked up in
// kernel32, ntdll and advapi32: for one of them GetProcAddress gives that
// call's wrapper (and the
// wrapper the system's function), so they are counted and failed as imports.
inline bool LookedUp(const Import& import) {
  static const char* const kLaterCalls[] = {"GetActiveProcessorCount", "GetDiskFreeSpaceExA",
                                            "GetNativeSystemInfo",     "GlobalMemoryStatusEx",
                                            "RtlGetVersion",           "SetSecurityDescriptorControl"};
  if (strcmp(import.dll, "wsock32") == 0 || strcmp(import.dll, "icmp") == 0 || strcmp(import.dll, "iphlpapi") == 0)
    return true;
  for (const char* later : kLaterCalls)
    if (strcmp(import.name, later) == 0) return true;
  return false;
}
inline FARPROC WINAPI W_GetProcAddress(HMODULE module, LPCSTR name) {
  CVN_FAIL(GetProcAddress, FARPROC);
  FARPROC call = CVN_REAL(GetProcAddress)(module, name);
  if (call == NULL || IS_INTRESOURCE(name)) return call;
  Import* table = Table();
  for (int i = 0; i < IMPORT_COUNT; ++i) {
    bool loadedLater = LookedUp(table[i]);
    if (loadedLater && strcmp(table[i].name, name) == 0) {
      table[i].real = reinterpret_cast<void*>(call);
      return reinterpret_cast<FARPROC>(table[i].wrapper);
    }
  }
  return call;
}
inline HMODULE WINAPI W_LoadLibraryA(LPCSTR name) {
  return Open(ID_LoadLibraryA, RES_MODULE, (HMODULE)NULL, name);
}
// A failed LocalFree gives the block back; this one has freed it all the same.
inline HLOCAL WINAPI W_LocalFree(HLOCAL block) {
  bool fail = Fail(ID_LocalFree);
  HLOCAL left = CVN_REAL(LocalFree)(block);
  KeepLastError keep;
  if (left == NULL && block != NULL) Release(RES_LOCAL, (uintptr_t)block);
  if (fail) keep.saved = ERROR_INVALID_HANDLE;
  return fail ? block : left;
}
inline void WINAPI W_Sleep(DWORD ms) {
  Fail(ID_Sleep);
  CVN_REAL(Sleep)(ms < kShortSleepMs ? ms : kShortSleepMs);
}
inline DWORD WINAPI W_SleepEx(DWORD ms, BOOL alertable) {
  Fail(ID_SleepEx);
  return CVN_REAL(SleepEx)(ms < kShortSleepMs ? ms : kShortSleepMs, alertable);
}
inline BOOL WINAPI W_WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                               LPOVERLAPPED overlapped) {
  if (Fail(ID_WriteFile)) {
    if (written) *written = 0;
    return FALSE;
  }
  return CVN_REAL(WriteFile)(file, data, size, written, overlapped);
}

// ---- msvcrt: allocation and files ------------------------------------------------------
inline void* __cdecl W_malloc(size_t size) {
  CVN_FAIL(malloc, void*);
  void* block = CVN_REAL(malloc)(size);
  if (block) Acquire(RES_HEAP, (uintptr_t)block);
  return block;
}
inline void* __cdecl W_calloc(size_t count, size_t size) {
  CVN_FAIL(calloc, void*);
  void* block = CVN_REAL(calloc)(count, size);
  if (block) Acquire(RES_HEAP, (uintptr_t)block);
  return block;
}
inline void* __cdecl W_realloc(void* old, size_t size) {
  CVN_FAIL(realloc, void*);
  void* block = CVN_REAL(realloc)(old, size);
  if (old != NULL && (block != NULL || size == 0)) Release(RES_HEAP, (uintptr_t)old);
  if (block) Acquire(RES_HEAP, (uintptr_t)block);
  return block;
}
inline void __cdecl W_free(void* block) {
  Fail(ID_free);
  if (block) Release(RES_HEAP, (uintptr_t)block);
  CVN_REAL(free)(block);
}
inline FILE* __cdecl W_freopen(const char* name, const char* mode, FILE* stream) {
  CVN_FAIL(freopen, FILE*);
  FILE* reopened = CVN_REAL(freopen)(name, mode, stream);
  if (reopened) Acquire(RES_STREAM, (uintptr_t)reopened);
  return reopened;
}
// A failed fclose has closed the stream all the same.
inline int __cdecl W_fclose(FILE* stream) {
  bool fail = Fail(ID_fclose);
  int result = CVN_REAL(fclose)(stream);
  Release(RES_STREAM, (uintptr_t)stream);
  if (fail) {
    errno = ENOSPC;
    return EOF;
  }
  return result;
}
inline size_t __cdecl W_fwrite(const void* data, size_t size, size_t count, FILE* stream) {
  CVN_FAIL(fwrite, size_t);
  return CVN_REAL(fwrite)(data, size, count, stream);
}
inline int __cdecl W_vfprintf(FILE* stream, const char* format, va_list args) {
  CVN_FAIL(vfprintf, int);
  return CVN_REAL(vfprintf)(stream, format, args);
}
inline int __cdecl W_printf(const char* format, ...) {
  CVN_FAIL(printf, int);
  va_list args;
  va_start(args, format);
  int n = vprintf(format, args);
  va_end(args);
  return n;
}
inline int __cdecl W_wprintf(const wchar_t* format, ...) {
  CVN_FAIL(wprintf, int);
  va_list args;
  va_start(args, format);
  int n = vwprintf(format, args);
  va_end(args);
  return n;
}

// ---- user32 ----------------------------------------------------------------------------
inline HWND WINAPI W_GetFocus(void) {
  Fail(ID_GetFocus);
  return NULL;
}
inline int WINAPI W_MessageBoxA(HWND, LPCSTR text, LPCSTR, UINT) {
  CVN_FAIL(MessageBoxA, int);
  if (Dialogs++ == 0) lstrcpynA(FirstDialog, text ? text : "", sizeof FirstDialog);
  return DialogAnswer;
}
inline int WINAPIV W_wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  Fail(ID_wsprintfA);
  va_list args;
  va_start(args, format);
  int n = wvsprintfA(buffer, format, args);
  va_end(args);
  return n;
}

// ---- wsock32 -------------------------------------------------------------------------------
inline int PASCAL W_WSACleanup(void) {
  bool fail = Fail(ID_WSACleanup);
  int result = CVN_REAL(WSACleanup)();
  if (result == 0) Release(RES_WINSOCK, 0);
  if (fail) {
    WSASetLastError(WSAEINPROGRESS);
    return SOCKET_ERROR;
  }
  return result;
}
inline int PASCAL W_WSAStartup(WORD version, LPWSADATA data) {
  CVN_FAIL(WSAStartup, int);
  int result = CVN_REAL(WSAStartup)(version, data);
  if (result == 0) Acquire(RES_WINSOCK, 0);
  return result;
}
inline int PASCAL W_closesocket(SOCKET s) {
  bool fail = Fail(ID_closesocket);
  int result = CVN_REAL(closesocket)(s);
  if (result == 0) Release(RES_SOCKET, (uintptr_t)s);
  if (fail) {
    WSASetLastError(WSAENETDOWN);
    return SOCKET_ERROR;
  }
  return result;
}
inline SOCKET PASCAL W_socket(int family, int type, int protocol) {
  return Open(ID_socket, RES_SOCKET, INVALID_SOCKET, family, type, protocol);
}

// ---- icmp --------------------------------------------------------------------------------
inline BOOL WINAPI W_IcmpCloseHandle(HANDLE handle) {
  return Close(ID_IcmpCloseHandle, RES_ICMP, handle);
}
inline HANDLE WINAPI W_IcmpCreateFile(void) {
  return Open(ID_IcmpCreateFile, RES_ICMP, INVALID_HANDLE_VALUE);
}
// With `ErrorReply` the failed echo is a reply that a router sends back: it
// arrives, but its status says the host is unreachable.
inline DWORD WINAPI W_IcmpSendEcho(HANDLE icmp, IPAddr address, LPVOID data, WORD size,
                                   PIP_OPTION_INFORMATION options, LPVOID reply, DWORD replySize,
                                   DWORD timeout) {
  if (!Fail(ID_IcmpSendEcho))
    return CVN_REAL(IcmpSendEcho)(icmp, address, data, size, options, reply, replySize, timeout);
  if (!ErrorReply) return Failure<DWORD>(ID_IcmpSendEcho);
  DWORD replies =
      CVN_REAL(IcmpSendEcho)(icmp, address, data, size, options, reply, replySize, timeout);
  if (replies != 0) static_cast<ICMP_ECHO_REPLY*>(reply)->Status = IP_DEST_HOST_UNREACHABLE;
  return replies;
}

#undef CVN_FAIL
#undef CVN_REAL

inline Import* Table() {
  static Import table[IMPORT_COUNT] = {
#define CVN_WRAPPER_PASS(name) (void*)&Pass<ID_##name, decltype(&::name)>::Call
#define CVN_WRAPPER_OWN(name) (void*)&W_##name
#define CVN_IMPORT_ENTRY(dll, name, kind, failure, error, wrapper) \
  {#dll, #name, kind, (intptr_t)(failure), (DWORD)(error), CVN_WRAPPER_##wrapper(name), nullptr, 0},
      CVN_IMPORTS(CVN_IMPORT_ENTRY)
#undef CVN_IMPORT_ENTRY
#undef CVN_WRAPPER_PASS
#undef CVN_WRAPPER_OWN
  };
  return table;
}

// "KERNEL32.dll" -> "kernel32".
inline void BaseName(const char* dll, char* out, size_t size) {
  size_t i = 0;
  for (; dll[i] != '\0' && dll[i] != '.' && i + 1 < size; ++i)
    out[i] = (char)tolower((unsigned char)dll[i]);
  out[i] = '\0';
}

inline bool FullyWrapped(const char* dll) {
  for (const char* name : kFullyWrapped)
    if (strcmp(name, dll) == 0) return true;
  return false;
}

// Points the module's import slots at the wrappers. Returns how many slots
// were taken over; an import of a fully wrapped DLL without a wrapper is
// printed to `problems` (one line each) and counted in *missing.
inline int HookImports(HMODULE module, FILE* problems, int* missing) {
  BYTE* base = reinterpret_cast<BYTE*>(module);
  auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int hooked = 0;
  *missing = 0;
  Import* table = Table();
  for (auto descriptor =
           reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    char dll[32];
    BaseName(reinterpret_cast<char*>(base + descriptor->Name), dll, sizeof dll);
    DWORD namesAt =
        descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
    auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesAt);
    auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      const char* name = "(by ordinal)";
      if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
        name = reinterpret_cast<char*>(
            reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      Import* import = nullptr;
      for (int i = 0; i < IMPORT_COUNT; ++i)
        if (strcmp(table[i].dll, dll) == 0 && strcmp(table[i].name, name) == 0) import = &table[i];
      if (import == nullptr) {
        if (FullyWrapped(dll)) {
          ++*missing;
          fprintf(problems, "no wrapper for %s!%s\n", dll, name);
        }
        continue;
      }
      DWORD old;
      void** slot = reinterpret_cast<void**>(&slots->u1.Function);
      if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) continue;
      import->real = *slot;
      *slot = import->wrapper;
      VirtualProtect(slot, sizeof *slot, old, &old);
      ++hooked;
    }
  }
  return hooked;
}

}  // namespace hooks
