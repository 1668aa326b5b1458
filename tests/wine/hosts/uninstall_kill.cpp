// The real DLL's uninstall ended at a call that changes the machine, then run
// again. The host takes over the DLL's imports (tests/wine/import_hooks.h):
// they count the calls, answer the dialogs Yes, give the command line, and
// let this host end its own process the way a power cut or Task Manager
// would. One step per run (the scenario restarts the machine in between):
//   install                  the product afresh with CVNSvc running; no stash,
//                            status file or pending deletion left from before
//   count MODE               the whole uninstall; prints "changes N", the calls
//                            that changed the machine
//   kill MODE N before|after the uninstall, its process ended just before or
//                            right after the Nth of those calls; prints where
//   rerun MODE               the whole uninstall again
//   restarted MODE [loose]   after the restart: what a clean uninstall leaves;
//                            loose: the program files and the shipped status
//                            file may stay (the stash went with a restart
//                            after the uninstaller had removed the product key)
// MODE is silent ("-a " on the command line) or attended.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winsock.h>

#include <string>

#include "check.h"
#include "import_hooks.h"
#include "product_machine.h"

namespace {

using namespace machine;

const char kAttended[] = "C:\\uninst.exe -f\"C:\\Program Files\\Corvane\\DeIsL1.isu\"";
const char kSilent[] = "C:\\uninst.exe -a -f\"C:\\Program Files\\Corvane\\DeIsL1.isu\"";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";
const char kKeepFile[] = "C:\\Program Files\\Corvane Keep\\keep.txt";
const UINT kKilledExitCode = 9;
const char kDataVictim[] = "C:\\CVN\\victim.txt";
const WCHAR kPlantedData[] = L"C:\\CVN\\Databases\\\xFF0E\xFF0E\xFF3Cvictim.txt";

// The imports that change the machine.
const hooks::ImportId kChanging[] = {
    hooks::ID_RegCreateKeyExA, hooks::ID_RegSetValueExA,   hooks::ID_RegDeleteKeyA,
    hooks::ID_DeleteFileA,     hooks::ID_MoveFileExA,      hooks::ID_CopyFileA,
    hooks::ID_RemoveDirectoryA, hooks::ID_SetFileAttributesA, hooks::ID_WriteFile,
    hooks::ID_ControlService,  hooks::ID_DeleteService,    hooks::ID_DeleteFileW,
    hooks::ID_MoveFileExW,     hooks::ID_RemoveDirectoryW, hooks::ID_SetFileAttributesW,
    hooks::ID_RegDeleteKeyW};

int changes = 0;       // changing calls so far
int killAt = 0;        // end the process at this one (0: never)
bool killAfter = false;
bool killDue = false;  // the call to end after has gone ahead

void EndProcess(const char* where) {
  printf("ended %s change %d, product key %s\n", where, changes,
         KeyExists(HKEY_LOCAL_MACHINE, kProductKey) ? "there" : "gone");
  fflush(stdout);
  TerminateProcess(GetCurrentProcess(), kKilledExitCode);
}

void KillIfDue() {
  if (killDue) EndProcess("right after");
}

void OnCall(hooks::ImportId id) {
  KillIfDue();
  bool changing = false;
  for (hooks::ImportId each : kChanging) changing |= each == id;
  if (!changing) return;
  ++changes;
  if (changes != killAt) return;
  if (!killAfter) EndProcess("just before");
  killDue = true;
}

// ---- Services ----------------------------------------------------------------------------
const char* const kServices[] = {"CVNSvc", kPortMapper, kDrivers[0], kDrivers[1], kDrivers[2]};

int Install() {
  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (!CHECK(scm != NULL)) return check::Summary();
  for (const char* name : kServices) RemoveServiceNow(scm, name);
  CHECK(CreateNamedService(scm, "CVNSvc", SERVICE_WIN32_OWN_PROCESS, TestServiceBinary(), true));
  CHECK(CreateNamedService(scm, kPortMapper, SERVICE_WIN32_OWN_PROCESS, "C:\\NobleNet\\portmap.exe", false));
  for (const char* driver : kDrivers)
    CHECK(CreateNamedService(scm, driver, SERVICE_KERNEL_DRIVER,
                             std::string("system32\\drivers\\") + driver + ".sys", false));
  CloseServiceHandle(scm);
  std::string windows = Directory(GetWindowsDirectoryA);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kStashKey);
  for (const char* name : {"\\cvnunins.mi_", "\\cvnunins.mif", "\\cvnunins.mi~"})
    DeleteFileA((windows + name).c_str());
  HKEY session;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &session) == ERROR_SUCCESS) {
    RegDeleteValueA(session, kPendingRenames);
    RegCloseKey(session);
  }
  CHECK(InstallProduct());
  CHECK(MakeFile(kKeepFile, "keep"));
  CHECK(MakeFile(Directory(GetSystemDirectoryA) + "\\drivers\\keep.sys", "keep"));
  // A data file the ANSI calls would list as "..\\victim.txt" (on 1252),
  // beside a victim one level up.
  CHECK(MakeFile(kDataVictim, "theirs"));
  HANDLE planted = CreateFileW(kPlantedData, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (CHECK_THAT(planted != INVALID_HANDLE_VALUE, "CreateFileW: %lu", GetLastError())) CloseHandle(planted);
  return check::Summary();
}

// ---- The uninstall -----------------------------------------------------------------------
typedef LONG(WINAPI* Hook)(HWND, HANDLE, LONG);

template <typename Function>
Function Export(HMODULE dll, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// Both hooks with the uninstaller's own removal (its logged files and the
// product key) between them.
void Uninstall(bool silent) {
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  if (!CHECK_THAT(dll != NULL, "LoadLibraryA: %lu", GetLastError())) return;
  int missing = 0;
  hooks::HookImports(dll, stdout, &missing);
  hooks::StartRun(-1, 0);
  hooks::CommandLine = silent ? kSilent : kAttended;
  hooks::DialogAnswer = IDYES;
  hooks::OnCall = OnCall;
  Hook initialize = Export<Hook>(dll, "UninstInitialize");
  Hook uninitialize = Export<Hook>(dll, "UninstUnInitialize");
  if (!CHECK(initialize && uninitialize)) return;
  CHECK_EQ(0L, initialize(NULL, NULL, 0));
  KillIfDue();
  for (const char* name : kLoggedFiles) DeleteFileA((std::string(kInstallDir) + name).c_str());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProductKey);
  CHECK_EQ(0L, uninitialize(NULL, NULL, 0));
  KillIfDue();
  hooks::OnCall = nullptr;
  FreeLibrary(dll);
}

// ---- After the restart -------------------------------------------------------------------
bool NoDeferredNames(const std::string& directory) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((directory + "*.cvn-deleted").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return true;
  printf("left: %s%s\n", directory.c_str(), entry.cFileName);
  FindClose(find);
  return false;
}

int Restarted(bool silent, bool loose) {
  std::string windows = Directory(GetWindowsDirectoryA);
  std::string drivers = Directory(GetSystemDirectoryA) + "\\drivers\\";
  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
  if (CHECK(scm != NULL)) {
    for (const char* name : kServices) {
      DWORD error = 0;
      ServiceState(scm, name, &error);
      CHECK_THAT(error == ERROR_SERVICE_DOES_NOT_EXIST, "service %s still there (open: %lu)", name, error);
    }
    CloseServiceHandle(scm);
  }
  for (const char* name : kDriverFiles) CHECK_THAT(!Exists(drivers + name), "%s stayed", name);
  CHECK(NoDeferredNames(drivers));
  CHECK(NoDeferredNames(kInstallDir));
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, kStashKey));
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane"));
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
  CHECK(!KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane"));
  CHECK_STR("keep", ReadFileText(kKeepFile).c_str());
  CHECK_STR("theirs", ReadFileText(kDataVictim).c_str());
  CHECK_STR("keep", ReadFileText(drivers + "keep.sys").c_str());
  // Unattended, the data stays; attended, the answer Yes deletes it.
  CHECK_EQ(silent, Exists(std::string(kDatabases) + "\\jobs.db"));
  CHECK(!Exists(windows + "\\cvnunins.mi~"));
  bool filesGone = true;
  for (const char* name : kProgramFiles) filesGone &= !Exists(std::string(kInstallDir) + name);
  CHECK_THAT(filesGone || loose, "program files stayed");
  if (!silent) return check::Summary();
  std::string completed = std::string(kShippedStatus) + " ";
  bool done = ReadFileText(windows + "\\cvnunins.mif") == completed && !Exists(windows + "\\cvnunins.mi_");
  bool leftShipped = !Exists(windows + "\\cvnunins.mif") &&
                     ReadFileText(windows + "\\cvnunins.mi_") == kShippedStatus;
  // Ended between the final name and the shipped copy's deletion.
  bool doneBeside = ReadFileText(windows + "\\cvnunins.mif") == completed;
  CHECK_THAT(done || (loose && (leftShipped || doneBeside)), "status file \"%s\"",
             ReadFileText(windows + "\\cvnunins.mif").c_str());
  return check::Summary();
}

}  // namespace

int main(int argc, char** argv) {
  std::string step = argc > 1 ? argv[1] : "";
  bool silent = argc > 2 && strcmp(argv[2], "silent") == 0;
  if (step == "install") return Install();
  if (step == "count" || step == "rerun") {
    Uninstall(silent);
    if (step == "count") printf("changes %d\n", changes);
    return check::Summary();
  }
  if (step == "kill" && argc > 4) {
    killAt = atoi(argv[3]);
    killAfter = strcmp(argv[4], "after") == 0;
    Uninstall(silent);
    printf("not ended: %d changes\n", changes);
    return check::Summary();
  }
  if (step == "restarted") return Restarted(silent, argc > 3 && strcmp(argv[3], "loose") == 0);
  printf("usage: uninstall_kill install | count MODE | kill MODE N before|after | rerun MODE |"
         " restarted MODE [loose]\n");
  return 2;
}
