// Libraries: LoadLibraryA, GetProcAddress and FreeLibrary over the system's
// own libraries and the files of the simulated tree.
#include "sim_internal.h"

#include <map>

namespace sim {
namespace {

struct Export {
  const char* name;
  FARPROC call;
  DWORD sinceMajor = 0;  // the first Windows version that has it
};

// Every export as the one pointer type GetProcAddress returns; a function
// pointer converts through void (*)(void) without a warning.
template <typename F>
FARPROC Call(F* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}

struct SystemLibrary {
  const char* name;  // lower case, in the system directory
  std::vector<Export> exports;
  DWORD sinceMajor = 3;  // the first Windows version that ships it
};

// Loaded with the product (imported by it): GetModuleHandleA finds it.
const char kResidentLibrary[] = "advapi32.dll";

const std::vector<SystemLibrary>& SystemLibraries() {
  static const std::vector<SystemLibrary> libraries = {
      {kResidentLibrary, {{"SetSecurityDescriptorControl", Call(&SetSecurityDescriptorControl), 5}}},
      {"wsock32.dll",
       {{"WSAStartup", Call(&WSAStartup)},
        {"WSACleanup", Call(&WSACleanup)},
        {"WSAGetLastError", Call(&WSAGetLastError)},
        {"socket", Call(&socket)},
        {"connect", Call(&connect)},
        {"closesocket", Call(&closesocket)},
        {"gethostname", Call(&gethostname)},
        {"gethostbyname", Call(&gethostbyname)},
        {"gethostbyaddr", Call(&gethostbyaddr)},
        {"inet_addr", Call(&inet_addr)},
        {"inet_ntoa", Call(&inet_ntoa)},
        {"htons", Call(&htons)},
        {"ioctlsocket", Call(&ioctlsocket)},
        {"select", Call(&select)},
        {"getsockopt", Call(&getsockopt)},
        {"__WSAFDIsSet", Call(&__WSAFDIsSet)}}},
      {"icmp.dll",
       {{"IcmpCreateFile", Call(&IcmpCreateFile)},
        {"IcmpCloseHandle", Call(&IcmpCloseHandle)},
        {"IcmpSendEcho", Call(&IcmpSendEcho)}}},
      // The IP helper library came with Windows 2000.
      {"iphlpapi.dll", {{"GetIpErrorString", Call(&GetIpErrorString)}}, 5},
  };
  return libraries;
}

// Calls of later Windows versions in the libraries every process has loaded,
// offered from the version that brought them; GetProcAddress finds nothing
// else there.
struct LaterCall {
  const char* module;
  const char* name;
  FARPROC call;
  DWORD major, minor;
};

const std::vector<LaterCall>& LaterCalls() {
  static const std::vector<LaterCall> calls = {
      {"kernel32.dll", "GetDiskFreeSpaceExA", Call(&GetDiskFreeSpaceExA), 4, 0},
      {"kernel32.dll", "GlobalMemoryStatusEx", Call(&GlobalMemoryStatusEx), 5, 0},
      {"kernel32.dll", "GetNativeSystemInfo", Call(&GetNativeSystemInfo), 5, 1},
      {"kernel32.dll", "GetActiveProcessorCount", Call(&GetActiveProcessorCount), 6, 1},
      {"kernel32.dll", "GetVolumeNameForVolumeMountPointW", Call(&GetVolumeNameForVolumeMountPointW), 5, 0},
      {"ntdll.dll", "RtlGetVersion", Call(&RtlGetVersion), 5, 0},
  };
  return calls;
}

struct Loaded {
  const SystemLibrary* library;  // null for a file of the tree
  int references;
  bool resident = false;  // the product's own import, not counted
};

struct ModuleState {
  std::vector<std::string> loads;
  // By the full path in upper case; the handle is the path's slot.
  std::map<std::string, uintptr_t> handles;
  std::map<uintptr_t, Loaded> loaded;
  uintptr_t nextModule = 0x70000000;
};

ModuleState& Modules() {
  static ModuleState state;
  return state;
}

const SystemLibrary* SystemLibraryAt(const std::string& resolved) {
  for (const SystemLibrary& library : SystemLibraries()) {
    std::string path = ResolvePath(detail::SystemDirectoryPath() + "\\" + library.name);
    if (!path.empty() && path == resolved && detail::MajorVersion() >= library.sinceMajor)
      return &library;
  }
  return nullptr;
}

}  // namespace

const std::vector<std::string>& LibraryLoads() { return Modules().loads; }

namespace detail {

void ResetModules() { Modules() = ModuleState{}; }

int LibraryReferences() {
  int references = 0;
  for (const auto& module : Modules().loaded) references += module.second.references - module.second.resident;
  return references;
}

uintptr_t ResidentModule(const std::string& lowerName) {
  if (lowerName != kResidentLibrary) return 0;
  ModuleState& s = Modules();
  std::string path = ResolvePath(SystemDirectoryPath() + "\\" + kResidentLibrary);
  auto found = s.handles.find(path);
  if (found != s.handles.end()) return found->second;
  uintptr_t module = s.nextModule;
  s.nextModule += 0x10000;
  s.handles[path] = module;
  s.loaded[module] = Loaded{SystemLibraryAt(path), 1, true};
  return module;
}

}  // namespace detail
}  // namespace sim

namespace detail = sim::detail;

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  DWORD error;
  if (detail::ShouldFail("LoadLibraryA", &error)) {
    SetLastError(error);
    return nullptr;
  }
  sim::ModuleState& s = sim::Modules();
  s.loads.push_back(lpLibFileName);
  std::string resolved = sim::ResolvePath(lpLibFileName);
  const sim::SystemLibrary* library = sim::SystemLibraryAt(resolved);
  if (!library && (resolved.empty() || !sim::Exists(resolved) || sim::IsDirectory(resolved))) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  auto found = s.handles.find(resolved);
  uintptr_t module;
  if (found != s.handles.end()) {
    module = found->second;
  } else {
    module = s.nextModule;
    s.nextModule += 0x10000;
    s.handles[resolved] = module;
    s.loaded[module] = sim::Loaded{library, 0};
  }
  ++s.loaded[module].references;
  return reinterpret_cast<HMODULE>(module);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  DWORD error;
  if (detail::ShouldFail("GetProcAddress", &error)) {
    SetLastError(error);
    return nullptr;
  }
  std::string loadedName = detail::ModuleName(hModule);
  if (loadedName == "kernel32.dll" || loadedName == "ntdll.dll") {
    for (const sim::LaterCall& entry : sim::LaterCalls()) {
      if (loadedName == entry.module && std::string(entry.name) == lpProcName &&
          detail::VersionAtLeast(entry.major, entry.minor))
        return entry.call;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  auto it = sim::Modules().loaded.find(reinterpret_cast<uintptr_t>(hModule));
  if (it == sim::Modules().loaded.end() || it->second.references == 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (it->second.library) {
    for (const sim::Export& entry : it->second.library->exports)
      if (std::string(entry.name) == lpProcName && detail::MajorVersion() >= entry.sinceMajor) return entry.call;
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  DWORD error;
  if (detail::ShouldFail("FreeLibrary", &error)) {
    SetLastError(error);
    return FALSE;
  }
  auto it = sim::Modules().loaded.find(reinterpret_cast<uintptr_t>(hLibModule));
  if (it == sim::Modules().loaded.end() || it->second.references == 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  --it->second.references;
  return TRUE;
}
