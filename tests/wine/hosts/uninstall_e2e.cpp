// The uninstall extension under Wine, as the uninstaller drives it. One step
// per run (the scenario restarts the machine in between):
//   install          the product on this machine: keys, files, the five
//                    services, CVNSvc (cvn_test_service.exe) running
//   uninstall ...    both hooks in order; "-a " on the command line makes the
//                    uninstall unattended
//   rebooted         what is left after the restart (the installation
//                    directory and the program library in use in it gone)
//   ensure           inEnsureServiceNotRunning on a running and a missing service
//   double-byte ...  both hooks with an installation directory named in the
//                    machine's code page, the product's services absent
#include <windows.h>

#include <string>

#include "check.h"
#include "product_machine.h"

namespace {

using namespace machine;

// Creates CVNSvc on our test service program and starts it.
bool StartTestService(SC_HANDLE scm) {
  return CHECK_THAT(CreateNamedService(scm, "CVNSvc", SERVICE_WIN32_OWN_PROCESS, TestServiceBinary(), true),
                    "CVNSvc not created and running: %lu", GetLastError());
}

bool CreateOtherService(SC_HANDLE scm, const char* name, DWORD type, const std::string& binary) {
  return CHECK_THAT(CreateNamedService(scm, name, type, binary, false), "CreateServiceA %s: %lu", name,
                    GetLastError());
}

int Install() {
  CHECK(!Directory(GetWindowsDirectoryA).empty());
  CHECK(InstallProduct());
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

// The stash is volatile (a lasting child is refused with 1021) and its
// access list lets nobody but Administrators and the system change it (Wine
// gives new keys its own list, which does not).
void CheckStashShutToOthers() {
  HKEY stash, child;
  DWORD disposition;
  if (!CHECK(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStashKey, 0, KEY_ALL_ACCESS, &stash) == ERROR_SUCCESS)) return;
  CHECK_EQ((LONG)ERROR_CHILD_MUST_BE_VOLATILE,
           RegCreateKeyExA(stash, "Lasting", 0, NULL, REG_OPTION_NON_VOLATILE, KEY_READ, NULL, &child,
                           &disposition));
  DWORD buffer[256];
  DWORD size = sizeof buffer;
  if (CHECK(RegGetKeySecurity(stash, DACL_SECURITY_INFORMATION, buffer, &size) == ERROR_SUCCESS)) {
    static const BYTE kAdministrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    static const BYTE kSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    const BYTE* bytes = (const BYTE*)buffer;
    DWORD at = ((const SECURITY_DESCRIPTOR_RELATIVE*)buffer)->Dacl;
    CHECK(at != 0);
    const ACL* acl = (const ACL*)(bytes + at);
    const BYTE* entry = bytes + at + sizeof(ACL);
    for (int i = 0; at != 0 && i < acl->AceCount; ++i, entry += ((const ACE_HEADER*)entry)->AceSize) {
      const ACE_HEADER* header = (const ACE_HEADER*)entry;
      DWORD mask = *(const DWORD*)(entry + 4);
      bool changes = header->AceType == ACCESS_ALLOWED_ACE_TYPE && !(header->AceFlags & INHERIT_ONLY_ACE) &&
                     (mask & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                              GENERIC_ALL));
      CHECK_THAT(!changes || memcmp(entry + 8, kAdministrators, sizeof kAdministrators) == 0 ||
                     memcmp(entry + 8, kSystem, sizeof kSystem) == 0,
                 "stash entry %d lets another change it", i);
    }
  }
  RegCloseKey(stash);
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

  // Copied from a CD, the leftovers keep their read-only bit: they go now.
  for (const char* name : kLeftovers)
    CHECK(SetFileAttributesA((install + name).c_str(), FILE_ATTRIBUTE_READONLY));
  // A stash someone made beforehand, lasting and open to all: replaced.
  CHECK(SetString(HKEY_LOCAL_MACHINE, kStashKey, "InstallationDirectory", system));
  DWORD started = GetTickCount();
  CHECK_EQ(0L, initialize(NULL, NULL, 0));
  CHECK_THAT(GetTickCount() - started < 70000, "first hook took %lu ms", GetTickCount() - started);
  CheckServicesGone();
  for (const char* name : kDriverFiles)
    CHECK_THAT(!Exists(system + "\\drivers\\" + name), "%s not deleted", name);
  for (const char* name : kLeftovers) {
    CHECK_THAT(!Exists(install + name), "%s not deleted", name);
    CHECK_THAT(!Exists(install + name + ".cvn-deleted"), "%s left for the restart", name);
  }
  CHECK(!Exists(install + "Logs"));
  CHECK_STR(kShippedStatus, ReadFileText(windows + "\\cvnunins.mi_").c_str());
  CHECK_STR(kInstallDir, GetValue(HKEY_LOCAL_MACHINE, kStashKey, "InstallationDirectory").c_str());
  CheckStashShutToOthers();
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

  // A program library in use: loaded by a running process (this one), it
  // cannot be deleted but can be renamed, and goes at the restart.
  char self[MAX_PATH];
  const std::string loaded = install + "cvnbase.dll";
  CHECK(GetModuleFileNameA(dll, self, MAX_PATH) > 0 && CopyFileA(self, loaded.c_str(), FALSE));
  HMODULE inUse = LoadLibraryA(loaded.c_str());
  CHECK_THAT(inUse != NULL, "LoadLibraryA %s: %lu", loaded.c_str(), GetLastError());

  CHECK_EQ(0L, uninitialize(NULL, NULL, 0));
  for (const char* name : kProgramFiles) CHECK_THAT(!Exists(install + name), "%s not deleted", name);
  CHECK(Exists(loaded + ".cvn-deleted"));
  std::string pending = GetValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                 "PendingFileRenameOperations");
  CHECK_THAT(pending.find(loaded + ".cvn-deleted") != std::string::npos, "%s.cvn-deleted not scheduled",
             loaded.c_str());
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane"));
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
  CHECK(!KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane"));
  CHECK(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"));
  CHECK(!Exists(windows + "\\cvnunins.mi_"));
  CHECK_STR((std::string(kShippedStatus) + " ").c_str(), ReadFileText(windows + "\\cvnunins.mif").c_str());
  CHECK_STR("x", ReadFileText(std::string(kDatabases) + "\\jobs.db").c_str());
  CHECK_STR("x", ReadFileText(std::string(kJournals) + "\\job1\\0001.jnl").c_str());
  // The emptied installation directory goes at the next start, after the
  // library renamed in it.
  CHECK(Exists(install));
  CHECK_THAT(pending.find(loaded + ".cvn-deleted") < pending.rfind(kInstallDir), "directory scheduled first");
  if (inUse) FreeLibrary(inUse);
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

// A directory name in the machine's code page: in 932, 936 and 950 its last
// character has the backslash's byte as its second byte.
std::string DoubleByteDirectory() {
  static const struct {
    UINT codePage;
    const char* name;
  } kNames[] = {{932, "\x88\xea\x97\x97\x95\x5c"},  // 一覧表
                {936, "\xd2\xbb\xc0\xc0\x81\x5c"},  // 一览乗
                {949, "\xc7\xd1\xb1\xdb"},          // 한글
                {950, "\xb3\x5c\xa5\x5c"}};         // 許功
  for (const auto& row : kNames) {
    if (row.codePage == GetACP()) return std::string("C:\\Program Files\\") + row.name;
  }
  return "C:\\Program Files\\Pr\xfc" "fung";  // Prüfung
}

LONG RunHook(const char* name) {
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  Hook hook = dll ? Export<Hook>(dll, name) : NULL;
  LONG result = hook ? hook(NULL, NULL, 0) : -2;
  if (dll) FreeLibrary(dll);
  return result;
}

// Without the closing backslash the product's own Logs goes and a folder of
// the same name followed by "Logs" stays; with it, the stash, the shared
// control's count and the deferred removal name the directory byte for byte.
int DoubleByte() {
  const std::string open = DoubleByteDirectory();
  printf("code page %u, directory %s\n", GetACP(), open.c_str());
  CHECK(SetString(HKEY_LOCAL_MACHINE, kProductKey, "InstallationDirectory", open));
  CHECK(MakeFile(open + "\\Logs\\svc.log"));
  CHECK(MakeFile(open + "\\cvnsvc.exe"));  // the product's, as installed
  CHECK(MakeFile(open + "Logs\\other.log"));
  CHECK(MakeFile(open + "Logs\\sub\\other.log"));
  CHECK_EQ(0L, RunHook("UninstInitialize"));
  CHECK(!Exists(open + "\\Logs"));
  CHECK(Exists(open + "Logs\\other.log"));
  CHECK(Exists(open + "Logs\\sub\\other.log"));

  const std::string closed = open + "\\";
  CHECK(SetString(HKEY_LOCAL_MACHINE, kProductKey, "InstallationDirectory", closed));
  CHECK(SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, (closed + "cvnax.ocx").c_str(), 3));
  for (const char* name : kProgramFiles) CHECK(MakeFile(closed + name));
  CHECK(MakeFile(closed + "Logs\\svc.log"));
  CHECK_EQ(0L, RunHook("UninstInitialize"));
  CHECK(!Exists(closed + "Logs"));
  CHECK(Exists(open + "Logs\\other.log"));
  CHECK_STR(closed.c_str(), GetValue(HKEY_LOCAL_MACHINE, kStashKey, "InstallationDirectory").c_str());
  std::string count = GetValue(HKEY_LOCAL_MACHINE, kSharedDlls, (closed + "cvnax.ocx").c_str());
  CHECK(count == std::string("\x01\0\0\0", 4));
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane\\1.5");
  CHECK_EQ(0L, RunHook("UninstUnInitialize"));
  for (const char* name : kProgramFiles) CHECK_THAT(!Exists(closed + name), "%s not deleted", name);
  std::string pending = GetValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                 "PendingFileRenameOperations");
  // Emptied, it goes now; with something left in it, at the next start.
  CHECK_THAT(!Exists(open) || pending.find(open) != std::string::npos, "%s neither removed nor scheduled",
             open.c_str());
  CHECK_THAT(pending.find(open + "Logs") == std::string::npos, "the sibling is scheduled");
  return check::Summary();
}

}  // namespace

int main(int argc, char** argv) {
  std::string step = argc > 1 ? argv[1] : "";
  if (step == "install") return Install();
  if (step == "uninstall") return Uninstall();
  if (step == "rebooted") return Rebooted();
  if (step == "ensure") return Ensure();
  if (step == "double-byte") return DoubleByte();
  printf("usage: uninstall_e2e install | uninstall -a ... | rebooted | ensure\n");
  return 2;
}
