// The uninstall extension under Wine, as the uninstaller drives it. One step
// per run (the scenario restarts the machine in between):
//   install          the product on this machine: keys, files, the five
//                    services, CVNSvc (cvn_test_service.exe) running
//   uninstall ...    both hooks in order; "-a " on the command line makes the
//                    uninstall unattended
//   rebooted         what is left after the restart
//   ensure           inEnsureServiceNotRunning on a running and a missing service
#include <windows.h>

#include <string>

#include "check.h"

namespace {

const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
const char kStashKey[] = "SOFTWARE\\Velmora Software Uninstall";
const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cvnsvc.exe";
const char kInstallDir[] = "C:\\Program Files\\Corvane\\";
const char kDatabases[] = "C:\\CVN\\Databases";
const char kJournals[] = "C:\\CVN\\Journals";
const char kPidFile[] = "C:\\cvn_test_service.pid";
const char kShippedStatus[] = "[MIF]\r\nProduct=Corvane\r\nStatus=Uninstalled\r\n";

const char* const kProgramFiles[] = {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll", "cvnmapi.dll",
                                     "DeIsL1.isu"};
const char* const kLeftovers[] = {"WinHelp.GID", "Search.FTS", "nightly.rpt", "Logs\\cvnsvc.log"};
// Removed by the uninstaller itself between the hooks (its own log).
const char* const kLoggedFiles[] = {"cvnax.ocx", "readme.txt", "cvnunins.mi_"};
const char* const kDriverFiles[] = {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys", "cvnmapi.log"};
const char* const kDrivers[] = {"cvn-jnl", "cvn-fltr", "cvn-rec"};
const char kPortMapper[] = "NobleNet Portmapper for TCP";

std::string Directory(UINT(WINAPI* get)(LPSTR, UINT)) {
  char buffer[MAX_PATH];
  UINT length = get(buffer, MAX_PATH);
  return length && length < MAX_PATH ? std::string(buffer) : std::string();
}

std::string ReadFileText(const std::string& path) {
  std::string text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

bool WriteFileText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL) && written == text.size();
  CloseHandle(file);
  return ok;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every missing directory of a path, then the file.
bool MakeFile(const std::string& path, const std::string& text = "x") {
  for (size_t at = 3; (at = path.find('\\', at)) != std::string::npos; ++at)
    CreateDirectoryA(path.substr(0, at).c_str(), NULL);
  return CHECK_THAT(WriteFileText(path, text), "cannot write %s (%lu)", path.c_str(), GetLastError());
}

bool SetString(HKEY root, const char* key, const char* name, const std::string& value) {
  HKEY handle;
  LONG status = RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    RegCloseKey(handle);
  }
  return CHECK_THAT(status == ERROR_SUCCESS, "%s\\%s: %ld", key, name ? name : "", status);
}

bool SetDword(HKEY root, const char* key, const char* name, DWORD value) {
  HKEY handle;
  LONG status = RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(handle, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(handle);
  }
  return CHECK_THAT(status == ERROR_SUCCESS, "%s\\%s: %ld", key, name, status);
}

bool KeyExists(HKEY root, const char* key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

std::string GetString(HKEY root, const char* key, const char* name) {
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<no key>";
  char buffer[1024];
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  LONG status = RegQueryValueExA(handle, name, NULL, &type, (BYTE*)buffer, &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) return "<no value>";
  buffer[size] = '\0';
  return buffer;
}

DWORD ServiceState(SC_HANDLE scm, const char* name, DWORD* openError) {
  SC_HANDLE service = OpenServiceA(scm, name, SERVICE_QUERY_STATUS);
  *openError = service ? 0 : GetLastError();
  if (!service) return 0;
  SERVICE_STATUS status = {};
  QueryServiceStatus(service, &status);
  CloseServiceHandle(service);
  return status.dwCurrentState;
}

// Creates CVNSvc on our test service program and starts it.
bool StartTestService(SC_HANDLE scm) {
  char self[MAX_PATH];
  GetModuleFileNameA(NULL, self, MAX_PATH);
  std::string binary = self;
  binary = "\"" + binary.substr(0, binary.rfind('\\') + 1) + "cvn_test_service.exe\" " + kPidFile;
  SC_HANDLE service = CreateServiceA(scm, "CVNSvc", "Corvane Service", SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                     SERVICE_ERROR_NORMAL, binary.c_str(), NULL, NULL, NULL, NULL, NULL);
  if (!CHECK_THAT(service != NULL, "CreateServiceA CVNSvc: %lu", GetLastError())) return false;
  bool started = CHECK_THAT(StartServiceA(service, 0, NULL), "StartServiceA: %lu", GetLastError());
  SERVICE_STATUS status = {};
  for (int i = 0; started && i < 100; ++i) {
    if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING) break;
    Sleep(100);
  }
  CloseServiceHandle(service);
  return started && CHECK_EQ((DWORD)SERVICE_RUNNING, status.dwCurrentState);
}

bool CreateOtherService(SC_HANDLE scm, const char* name, DWORD type, const std::string& binary) {
  SC_HANDLE service = CreateServiceA(scm, name, name, SERVICE_ALL_ACCESS, type, SERVICE_DEMAND_START,
                                     SERVICE_ERROR_NORMAL, binary.c_str(), NULL, NULL, NULL, NULL, NULL);
  if (service) CloseServiceHandle(service);
  return CHECK_THAT(service != NULL, "CreateServiceA %s: %lu", name, GetLastError());
}

int Install() {
  std::string install = kInstallDir;
  std::string windows = Directory(GetWindowsDirectoryA);
  std::string system = Directory(GetSystemDirectoryA);
  CHECK(!windows.empty() && !system.empty());

  SetString(HKEY_LOCAL_MACHINE, kProductKey, "InstallationDirectory", install);
  SetString(HKEY_LOCAL_MACHINE, kProductKey, "ProtectedDatasetDirectory", kDatabases);
  SetString(HKEY_LOCAL_MACHINE, kProductKey, "JournalRoot", kJournals);
  SetDword(HKEY_LOCAL_MACHINE, kProductKey, "Type", 1);
  SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane\\1.5\\Jobs\\Nightly", "Hour", 2);
  SetString(HKEY_LOCAL_MACHINE, kAppPath, NULL, install + "cvnsvc.exe");
  SetString(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane\\1.5\\Admin", "Window", "0 0 640 480");
  SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, (install + "cvnax.ocx").c_str(), 3);

  for (const char* name : kProgramFiles) MakeFile(install + name);
  for (const char* name : kLeftovers) MakeFile(install + name);
  for (const char* name : kLoggedFiles) MakeFile(install + name);
  MakeFile(install + "cvnunins.mi_", kShippedStatus);
  for (const char* name : kDriverFiles) MakeFile(system + "\\drivers\\" + name);
  MakeFile(std::string(kDatabases) + "\\jobs.db");
  MakeFile(std::string(kJournals) + "\\job1\\0001.jnl");

  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (!CHECK(scm != NULL)) return check::Summary();
  StartTestService(scm);
  CreateOtherService(scm, kPortMapper, SERVICE_WIN32_OWN_PROCESS, "C:\\NobleNet\\portmap.exe");
  for (const char* driver : kDrivers)
    CreateOtherService(scm, driver, SERVICE_KERNEL_DRIVER,
                       std::string("system32\\drivers\\") + driver + ".sys");
  CloseServiceHandle(scm);
  return check::Summary();
}

typedef LONG(WINAPI* Hook)(HWND, HANDLE, LONG);
typedef int (*EnsureStopped)(const char*);

// An export by name, as the function type the caller knows it by.
template <typename Function>
Function Export(HMODULE dll, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

void CheckServicesGone() {
  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
  if (!CHECK(scm != NULL)) return;
  const char* names[] = {"CVNSvc", kPortMapper, kDrivers[0], kDrivers[1], kDrivers[2]};
  for (const char* name : names) {
    DWORD error = 0;
    ServiceState(scm, name, &error);
    CHECK_THAT(error == ERROR_SERVICE_DOES_NOT_EXIST, "service %s still there (open: %lu)", name, error);
  }
  CloseServiceHandle(scm);
}

int Uninstall() {
  std::string install = kInstallDir;
  std::string windows = Directory(GetWindowsDirectoryA);
  std::string system = Directory(GetSystemDirectoryA);
  CHECK(strstr(GetCommandLineA(), " -a ") != NULL);

  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  if (!CHECK_THAT(dll != NULL, "LoadLibraryA: %lu", GetLastError())) return check::Summary();
  Hook initialize = Export<Hook>(dll, "UninstInitialize");
  Hook uninitialize = Export<Hook>(dll, "UninstUnInitialize");
  if (!CHECK(initialize && uninitialize)) return check::Summary();

  DWORD started = GetTickCount();
  CHECK_EQ(0L, initialize(NULL, NULL, 0));
  CHECK_THAT(GetTickCount() - started < 70000, "first hook took %lu ms", GetTickCount() - started);
  CheckServicesGone();
  for (const char* name : kDriverFiles)
    CHECK_THAT(!Exists(system + "\\drivers\\" + name), "%s not deleted", name);
  for (const char* name : kLeftovers) CHECK_THAT(!Exists(install + name), "%s not deleted", name);
  CHECK(!Exists(install + "Logs"));
  CHECK_STR(kShippedStatus, ReadFileText(windows + "\\cvnunins.mi_").c_str());
  CHECK_STR(kInstallDir, GetString(HKEY_LOCAL_MACHINE, kStashKey, "InstallationDirectory").c_str());
  CHECK_STR("x", ReadFileText(std::string(kDatabases) + "\\jobs.db").c_str());
  CHECK_STR("x", ReadFileText(std::string(kJournals) + "\\job1\\0001.jnl").c_str());
  // The shared control's count pinned at 1.
  HKEY shared;
  DWORD count = 0, size = sizeof count;
  if (CHECK(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_READ, &shared) == ERROR_SUCCESS)) {
    RegQueryValueExA(shared, (install + "cvnax.ocx").c_str(), NULL, NULL, (BYTE*)&count, &size);
    RegCloseKey(shared);
  }
  CHECK_EQ((DWORD)1, count);

  // The uninstaller's own removal: its logged files and the product key.
  for (const char* name : kLoggedFiles) DeleteFileA((install + name).c_str());

  CHECK_EQ(0L, uninitialize(NULL, NULL, 0));
  for (const char* name : kProgramFiles) CHECK_THAT(!Exists(install + name), "%s not deleted", name);
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane"));
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
  CHECK(!KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane"));
  CHECK(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"));
  CHECK(!Exists(windows + "\\cvnunins.mi_"));
  CHECK_STR((std::string(kShippedStatus) + " ").c_str(), ReadFileText(windows + "\\cvnunins.mif").c_str());
  CHECK_STR("x", ReadFileText(std::string(kDatabases) + "\\jobs.db").c_str());
  CHECK_STR("x", ReadFileText(std::string(kJournals) + "\\job1\\0001.jnl").c_str());
  // The emptied installation directory goes at the next start.
  CHECK(Exists(install));
  FreeLibrary(dll);
  return check::Summary();
}

int Rebooted() {
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, kStashKey));
  CHECK(!Exists(kInstallDir));
  CHECK(Exists(std::string(kDatabases) + "\\jobs.db"));
  return check::Summary();
}

int Ensure() {
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  EnsureStopped ensure = dll ? Export<EnsureStopped>(dll, "inEnsureServiceNotRunning") : NULL;
  if (!CHECK(ensure != NULL)) return check::Summary();
  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (!CHECK(scm != NULL)) return check::Summary();
  if (StartTestService(scm)) {
    CHECK_EQ(0, ensure("CVNSvc"));
    DWORD error = 0;
    CHECK_EQ((DWORD)SERVICE_STOPPED, ServiceState(scm, "CVNSvc", &error));
    CHECK_EQ(0, ensure("CVNSvc"));  // not running any more
  }
  CHECK_EQ(0, ensure("CVNNoSuchService"));
  SC_HANDLE service = OpenServiceA(scm, "CVNSvc", DELETE);
  if (service) {
    DeleteService(service);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(scm);
  FreeLibrary(dll);
  return check::Summary();
}

}  // namespace

int main(int argc, char** argv) {
  std::string step = argc > 1 ? argv[1] : "";
  if (step == "install") return Install();
  if (step == "uninstall") return Uninstall();
  if (step == "rebooted") return Rebooted();
  if (step == "ensure") return Ensure();
  printf("usage: uninstall_e2e install | uninstall -a ... | rebooted | ensure\n");
  return 2;
}
