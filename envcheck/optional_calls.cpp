// Calls of later Windows versions, found with GetProcAddress in kernel32 or
// ntdll (both loaded in every process, so nothing is loaded or released).
// An address becomes the call's own type by copy, as the network calls do.
#include "optional_calls.h"

typedef BOOL(WINAPI* MemoryStatusCall)(MEMORYSTATUSEX*);
typedef BOOL(WINAPI* DiskBytesCall)(LPCSTR, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);
typedef LONG(WINAPI* TrueVersionCall)(OSVERSIONINFOW*);
typedef DWORD(WINAPI* ProcessorCountCall)(WORD);
typedef void(WINAPI* NativeSystemInfoCall)(SYSTEM_INFO*);

static const char kKernel32[] = "kernel32.dll";
// GetActiveProcessorCount's group number that asks for every group.
static const WORD kAllProcessorGroups = 0xFFFF;

// The address of `name` in the loaded module `module`, or NULL.
static FARPROC FindCall(const char* module, const char* name) {
  HMODULE handle = GetModuleHandleA(module);
  if (handle == NULL) return NULL;
  return GetProcAddress(handle, name);
}


int ReadMemoryStatus(MEMORYSTATUSEX* status) {
  MemoryStatusCall call;
  FARPROC found = FindCall(kKernel32, "GlobalMemoryStatusEx");
  if (found == NULL) return 0;
  memcpy(&call, &found, sizeof call);
  memset(status, 0, sizeof *status);
  status->dwLength = sizeof *status;
  return call(status) ? 1 : 0;
}

int ReadDiskBytes(const char* root, ULONGLONG* freeBytes, ULONGLONG* totalBytes) {
  ULARGE_INTEGER available, total, totalFree;
  DiskBytesCall call;
  FARPROC found = FindCall(kKernel32, "GetDiskFreeSpaceExA");
  if (found == NULL) return 0;
  memcpy(&call, &found, sizeof call);
  if (!call(root, &available, &total, &totalFree)) return 0;
  *freeBytes = available.QuadPart;
  *totalBytes = total.QuadPart;
  return 1;
}

int ReadTrueVersion(DWORD* major, DWORD* minor, DWORD* build) {
  OSVERSIONINFOW version;
  TrueVersionCall call;
  FARPROC found = FindCall("ntdll.dll", "RtlGetVersion");
  if (found == NULL) return 0;
  memcpy(&call, &found, sizeof call);
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  if (call(&version) != 0) return 0;  // an NTSTATUS: 0 is success
  *major = version.dwMajorVersion;
  *minor = version.dwMinorVersion;
  *build = version.dwBuildNumber;
  return 1;
}

int ReadProcessorCount(DWORD* count) {
  ProcessorCountCall countCall;
  NativeSystemInfoCall infoCall;
  SYSTEM_INFO native;
  FARPROC found = FindCall(kKernel32, "GetActiveProcessorCount");
  if (found != NULL) {
    memcpy(&countCall, &found, sizeof countCall);
    *count = countCall(kAllProcessorGroups);
    if (*count != 0) return 1;
  }
  found = FindCall(kKernel32, "GetNativeSystemInfo");
  if (found == NULL) return 0;
  memcpy(&infoCall, &found, sizeof infoCall);
  memset(&native, 0, sizeof native);
  infoCall(&native);
  *count = native.dwNumberOfProcessors;
  return *count != 0;
}
