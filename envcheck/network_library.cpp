// The network libraries, loaded from the system directory for each use and
// released after it: nothing of ours stays loaded between two calls of an
// export, and a failed load is reported where a failed start would be.
#include "network_library.h"

WinSockCalls WinSock;
IcmpCalls Icmp;

#define NETWORK_CALL_NAME(name) #name,
static const char* const kWinSockNames[] = {WINSOCK_CALLS(NETWORK_CALL_NAME)};
static const char* const kIcmpNames[] = {ICMP_CALLS(NETWORK_CALL_NAME)};
#undef NETWORK_CALL_NAME

static const char kWinSockLibrary[] = "\\wsock32.dll";
static const char kIcmpLibrary[] = "\\icmp.dll";
static const char kIpHelperLibrary[] = "\\iphlpapi.dll";
static const char* const kIpHelperNames[] = {"GetIpErrorString"};

static HMODULE winSockModule;
static HMODULE icmpModule;

// Loads the library `name` ("\file.dll") of the system directory and puts
// the addresses of `count` calls into `calls` (a structure of as many
// function pointers, in the order of `names`). 0 with *module, else the error.
static DWORD LoadSystemLibrary(const char* name, const char* const* names, size_t count,
                               void* calls, HMODULE* module) {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0) return GetLastError();
  size_t nameLength = strlen(name);
  if (length + nameLength >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  memcpy(path + length, name, nameLength + 1);
  *module = LoadLibraryA(path);
  if (*module == NULL) return GetLastError();
  for (size_t i = 0; i < count; ++i) {
    FARPROC call = GetProcAddress(*module, names[i]);
    if (call == NULL) {
      DWORD error = GetLastError();
      FreeLibrary(*module);
      return error;
    }
    memcpy((char*)calls + i * sizeof call, &call, sizeof call);
  }
  return 0;
}

int StartWinSock(WSADATA* data) {
  static_assert(sizeof WinSock == sizeof kWinSockNames / sizeof(char*) * sizeof(FARPROC),
                "one pointer per call");
  if (LoadSystemLibrary(kWinSockLibrary, kWinSockNames, sizeof kWinSockNames / sizeof(char*),
                        &WinSock, &winSockModule) != 0)
    return WSASYSNOTREADY;
  int error = WinSock.WSAStartup(WINSOCK_VERSION_1_1, data);
  if (error != 0) FreeLibrary(winSockModule);
  return error;
}

void StopWinSock(void) {
  WinSock.WSACleanup();
  FreeLibrary(winSockModule);
}

HANDLE OpenEcho(DWORD* error) {
  static_assert(sizeof Icmp == sizeof kIcmpNames / sizeof(char*) * sizeof(FARPROC),
                "one pointer per call");
  *error = LoadSystemLibrary(kIcmpLibrary, kIcmpNames, sizeof kIcmpNames / sizeof(char*), &Icmp,
                             &icmpModule);
  if (*error != 0) return INVALID_HANDLE_VALUE;
  HANDLE echo = Icmp.IcmpCreateFile();
  if (echo == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    FreeLibrary(icmpModule);
  }
  return echo;
}

void CloseEcho(HANDLE echo) {
  Icmp.IcmpCloseHandle(echo);
  FreeLibrary(icmpModule);
}

int GetIpStatusText(ULONG status, WCHAR* text, DWORD size) {
  decltype(&::GetIpErrorString) call;
  HMODULE module;
  DWORD length = size - 1;
  DWORD error;

  if (LoadSystemLibrary(kIpHelperLibrary, kIpHelperNames, 1, &call, &module) != 0) return -1;
  error = call(status, text, &length);
  FreeLibrary(module);
  return (int)error;
}
