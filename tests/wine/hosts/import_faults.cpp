// Fails the real DLL's imports one call at a time (tests/wine/import_hooks.h).
//
//   import_faults sweep SCENARIO WORKDIR [SPREAD]
//       counts the imports' calls of one clean run of SCENARIO, then fails each
//       import at its first, second and last use and at SPREAD (default 3)
//       evenly spread uses between, and (called more than once) at every use;
//       prints the pairs tried, every broken invariant, and "N passed, N
//       failed" (one check per pair, plus the clean run's).
//   import_faults place
//       installs the product and places what lies beside it (before the
//       scenario takes its listing of the machine).
//   import_faults run SCENARIO PLAN FROM RESULTS
//       (internal) runs the cases of PLAN from line FROM in this process,
//       appending one line per case to RESULTS. The sweep starts these and
//       starts another after the case that crashed.
//
// Scenarios: health (zrHealthLog), validate0, validate1, validate2
// (ValidateEnvironment with targets), uninstall_silent, uninstall_attended,
// uninstall_declined (both hooks, a fresh installation before each case, the
// dialogs answered Yes or, declined, No), port (zrPortExists on a port this
// host listens on), ensure (inEnsureServiceNotRunning on the running CVNSvc). After every case: no
// crash, a documented result, a text report, nothing left open, nothing touched outside the
// product.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winsock.h>

#include <string>
#include <vector>

#include "import_hooks.h"
#include "product_machine.h"

namespace {

using hooks::Import;

// ---- The machine ---------------------------------------------------------------------
using namespace machine;

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";
const char kReport[] = "C:\\sweep\\report.txt";
const char kBadStringId[] = "***BAD STRING ID***";
const char kTargets[] = "127.0.0.1 localhost ";
const char kTitle[] = "Velmora Software Corvane environment check.";
const char kAttended[] = "C:\\uninst.exe -f\"C:\\Program Files\\Corvane\\DeIsL1.isu\"";
const char kUnattended[] = "C:\\uninst.exe -a -f\"C:\\Program Files\\Corvane\\DeIsL1.isu\"";

// Beside the product, never to be touched: files, keys, a value, a service.
const char* const kKeepFiles[] = {"C:\\Program Files\\Corvane Keep\\keep.GID", "C:\\CVN\\keep.txt",
                                  "C:\\keep.rpt"};
const char* const kKeepKeys[] = {
    "SOFTWARE\\Velmora Software\\Keep",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\keep.exe"};
const char kKeepValue[] = "C:\\Program Files\\Corvane Keep\\keep.ocx";
const char kKeepService[] = "CVNKeep";

// ---- Services -------------------------------------------------------------------------
// Ends the test service processes of earlier cases that still run (a case
// may leave one behind that nobody stopped), by the ids they recorded.
void EndTestServiceProcesses() {
  FILE* pids = fopen(kPidFile, "r");
  if (!pids) return;
  unsigned long pid;
  while (fscanf(pids, "%lu", &pid) == 1) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (!process) continue;
    TerminateProcess(process, 0);
    CloseHandle(process);
  }
  fclose(pids);
  DeleteFileA(kPidFile);
}

// The product's five services afresh; CVNSvc (our test service) running.
bool InstallServices(bool cvnSvcRunning) {
  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (!scm) return false;
  const char* names[] = {"CVNSvc", kPortMapper, kDrivers[0], kDrivers[1], kDrivers[2]};
  for (const char* name : names) RemoveServiceNow(scm, name);
  EndTestServiceProcesses();
  bool ok = CreateNamedService(scm, "CVNSvc", SERVICE_WIN32_OWN_PROCESS, TestServiceBinary(),
                               cvnSvcRunning);
  ok = CreateNamedService(scm, kPortMapper, SERVICE_WIN32_OWN_PROCESS, "C:\\NobleNet\\portmap.exe",
                          false) &&
       ok;
  for (const char* driver : kDrivers)
    ok = CreateNamedService(scm, driver, SERVICE_KERNEL_DRIVER,
                            std::string("system32\\drivers\\") + driver + ".sys", false) &&
         ok;
  CloseServiceHandle(scm);
  return ok;
}

bool ServiceExists(const char* name) {
  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
  if (!scm) return false;
  SC_HANDLE service = OpenServiceA(scm, name, SERVICE_QUERY_STATUS);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(scm);
  return service != NULL;
}

// ---- The product ----------------------------------------------------------------------
// A fresh installation: no stash, no status file, no pending deletions.
// A configured path stored as later setups store them, naming a directory
// the installation makes.
const char kExpandablePath[] = "%SystemDrive%\\CVN\\Databases";

void Reinstall() {
  std::string windows = Directory(GetWindowsDirectoryA);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kStashKey);
  InstallProduct();
  SetValue(HKEY_LOCAL_MACHINE, kProductKey, "UnprotectedDatasetDirectory", REG_EXPAND_SZ, kExpandablePath,
           sizeof kExpandablePath);
  DeleteFileA((windows + "\\cvnunins.mi_").c_str());
  DeleteFileA((windows + "\\cvnunins.mif").c_str());
  HKEY session;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &session) ==
      ERROR_SUCCESS) {
    RegDeleteValueA(session, kPendingRenames);
    RegCloseKey(session);
  }
}

void PlaceKeepers() {
  for (const char* file : kKeepFiles) MakeFile(file, "keep");
  for (const char* key : kKeepKeys) {
    SetString(HKEY_LOCAL_MACHINE, key, "Keep", "keep");
    SetString(HKEY_CURRENT_USER, key, "Keep", "keep");
  }
  SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, kKeepValue, 7);
  MakeFile(Directory(GetWindowsDirectoryA) + "\\keep.mif", "keep");
  MakeFile(Directory(GetSystemDirectoryA) + "\\drivers\\keep.sys", "keep");
  if (!ServiceExists(kKeepService)) {
    SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (scm) {
      CreateNamedService(scm, kKeepService, SERVICE_WIN32_OWN_PROCESS, "C:\\keep.exe", false);
      CloseServiceHandle(scm);
    }
  }
}

// Where the product may have files; pending deletions name nothing else.
bool IsProductPath(std::string path) {
  if (path.compare(0, 4, "\\??\\") == 0) path = path.substr(4);
  for (char& c : path) c = (char)tolower((unsigned char)c);
  std::string drivers = Directory(GetSystemDirectoryA) + "\\drivers\\cvn";
  for (char& c : drivers) c = (char)tolower((unsigned char)c);
  const std::string roots[] = {"c:\\program files\\corvane\\", "c:\\cvn\\databases",
                               "c:\\cvn\\journals", drivers};
  if (path + "\\" == roots[0]) return true;
  for (const std::string& root : roots)
    if (path.compare(0, root.size(), root) == 0) return true;
  return false;
}

// ---- One case ---------------------------------------------------------------------------
typedef LONG(WINAPI* Hook)(HWND, HANDLE, LONG);
typedef int (*HealthLogFn)(const char*, const char*);
typedef int (*ValidateFn)(unsigned, int, const char*, char*, const char*);
typedef int (*PortExistsFn)(int);
typedef int (*EnsureFn)(const char*);

template <typename Fn>
Fn Export(HMODULE dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

struct Scenario {
  std::string name;
  HMODULE dll = NULL;
  SOCKET listener = INVALID_SOCKET;
  int port = 0;
  std::string ownAddress;
};

bool IsReport(const Scenario& s) {
  return s.name == "health" || s.name.compare(0, 8, "validate") == 0;
}
bool IsUninstall(const Scenario& s) { return s.name.compare(0, 9, "uninstall") == 0; }
bool Silent(const Scenario& s) { return s.name == "uninstall_silent"; }
// The attended uninstall whose dialogs are all answered No.
bool Declined(const Scenario& s) { return s.name == "uninstall_declined"; }

// A listener on this host's own address for the port probe.
bool Listen(Scenario& s) {
  char name[256];
  hostent* host = gethostname(name, sizeof name) == 0 ? gethostbyname(name) : NULL;
  if (!host) return false;
  in_addr own;
  memcpy(&own, host->h_addr_list[0], sizeof own);
  s.ownAddress = inet_ntoa(own);
  s.listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr = own;
  int size = sizeof local;
  if (bind(s.listener, (sockaddr*)&local, sizeof local) != 0 || listen(s.listener, 64) != 0 ||
      getsockname(s.listener, (sockaddr*)&local, &size) != 0)
    return false;
  s.port = ntohs(local.sin_port);
  return true;
}

void Prepare(Scenario& s) {
  if (IsUninstall(s)) {
    Reinstall();
    InstallServices(true);
  } else if (s.name == "ensure") {
    SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (scm) {
      RemoveServiceNow(scm, "CVNSvc");
      EndTestServiceProcesses();
      CreateNamedService(scm, "CVNSvc", SERVICE_WIN32_OWN_PROCESS, TestServiceBinary(), true);
      CloseServiceHandle(scm);
    }
  } else if (IsReport(s)) {
    DeleteFileA(kReport);
  }
  hooks::CommandLine = Silent(s) ? kUnattended : kAttended;
  hooks::DialogAnswer = Declined(s) ? IDNO : IDYES;
}

struct Outcome {
  int result = 0;
  int second = 0;  // UninstUnInitialize's
};

Outcome Call(Scenario& s) {
  Outcome o;
  if (s.name == "health") {
    o.result = Export<HealthLogFn>(s.dll, "zrHealthLog")(kReport, "CVNUNIST.dll");
  } else if (IsReport(s)) {
    char targets[128];
    std::string list = kTargets;
    if (!s.ownAddress.empty()) list += s.ownAddress + " ";
    lstrcpynA(targets, list.c_str(), sizeof targets);
    o.result = Export<ValidateFn>(s.dll, "ValidateEnvironment")(1, s.name.back() - '0', kReport,
                                                                targets, "CVNUNIST.dll");
  } else if (IsUninstall(s)) {
    o.result = Export<Hook>(s.dll, "UninstInitialize")(NULL, NULL, 0);
    // The uninstaller's own removal between the hooks.
    for (const char* name : kLoggedFiles) DeleteFileA((std::string(kInstallDir) + name).c_str());
    o.second = Export<Hook>(s.dll, "UninstUnInitialize")(NULL, NULL, 0);
  } else if (s.name == "port") {
    o.result = Export<PortExistsFn>(s.dll, "zrPortExists")(s.port);
  } else if (s.name == "ensure") {
    o.result = Export<EnsureFn>(s.dll, "inEnsureServiceNotRunning")("CVNSvc");
  }
  return o;
}

// The broken invariants of a finished case, one text each.
std::vector<std::string> Verify(Scenario& s, const Outcome& o, int failed) {
  std::vector<std::string> problems;
  auto expect = [&](bool ok, const std::string& what) {
    if (!ok) problems.push_back(what);
  };
  Import* table = hooks::Table();
  const char* failedName = failed >= 0 ? table[failed].name : "";
  auto is = [&](const char* name) { return hooks::injected && strcmp(failedName, name) == 0; };
  char text[160];

  for (int kind = 0; kind < hooks::RES_COUNT; ++kind) {
    int left = hooks::HeldOf((hooks::Resource)kind);
    snprintf(text, sizeof text, "%d %s(s) left open", left, hooks::kResourceNames[kind]);
    expect(left == 0, text);
  }
  expect(hooks::heldOverflow == 0, "too many open resources to keep track of");
  for (int kind = 0; kind < hooks::RES_COUNT; ++kind) {
    snprintf(text, sizeof text, "%d %s(s) released that this run never had",
             hooks::strayReleases[kind], hooks::kResourceNames[kind]);
    expect(hooks::strayReleases[kind] == 0, text);
  }

  if (s.name == "health") {
    snprintf(text, sizeof text, "zrHealthLog returned %d", o.result);
    expect(o.result == 0, text);
  } else if (IsReport(s)) {
    snprintf(text, sizeof text, "ValidateEnvironment returned %d", o.result);
    expect(o.result == -1 ? is("freopen") : o.result >= 0 && o.result <= 2, text);
  } else if (IsUninstall(s)) {
    snprintf(text, sizeof text, "UninstInitialize returned %d", o.result);
    // Only a missing Service Control Manager, or the user's No, aborts.
    bool mayAbort = is("OpenSCManagerA") || (!Silent(s) && is("MessageBoxA")) ||
                    (Declined(s) && hooks::Dialogs > 0);
    expect(o.result == 0 || (o.result == -1 && mayAbort), text);
    snprintf(text, sizeof text, "UninstUnInitialize returned %d", o.second);
    expect(o.second == 0, text);
  } else if (s.name == "port") {
    snprintf(text, sizeof text, "zrPortExists returned %d", o.result);
    expect(o.result == 0 || (o.result >= WSABASEERR && o.result < 12000), text);
  } else if (s.name == "ensure") {
    snprintf(text, sizeof text, "inEnsureServiceNotRunning returned %d", o.result);
    bool documented = o.result == 0 || o.result == -1 ||
                      (o.result == ERROR_ACCESS_DENIED && is("OpenServiceA")) ||
                      (o.result == ERROR_SERVICE_REQUEST_TIMEOUT && is("ControlService"));
    expect(documented, text);
  }

  if (IsReport(s)) {
    std::string report = ReadFileText(kReport);
    if (report != "<missing>") {
      bool textOnly = true, lineEnds = true;
      for (size_t i = 0; i < report.size(); ++i) {
        unsigned char c = (unsigned char)report[i];
        if (c == 0 || (c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7f)
          textOnly = false;
        // A system text ends in its own CR LF, which text mode makes CR CR LF.
        if (c == '\r' && report.compare(i + 1, 1, "\n") != 0 &&
            report.compare(i + 1, 2, "\r\n") != 0)
          lineEnds = false;
        if (c == '\n' && (i == 0 || report[i - 1] != '\r')) lineEnds = false;
      }
      expect(textOnly, "the report holds bytes that are not text");
      expect(lineEnds, "the report has a torn line end");
      bool ends = report.empty() || report.back() == '\n' ||
                  (report.size() >= strlen(kBadStringId) &&
                   report.compare(report.size() - strlen(kBadStringId), std::string::npos,
                                  kBadStringId) == 0);
      // A failed write leaves out the rest of its line, nothing else.
      expect(ends || is("printf") || is("wprintf"), "the report ends inside a line");
      size_t title = report.find(kTitle);
      expect(title == std::string::npos || report.find(kTitle, title + 1) == std::string::npos,
             "the report's title is repeated");
      if (hooks::injected && hooks::ErrorReply)
        expect(report.find(" SendEcho to ") != std::string::npos,
               "an echo reply with an error status counted as a response");
    } else {
      expect(is("freopen"), "no report was written");
    }
  }

  if (IsUninstall(s)) {
    std::string windows = Directory(GetWindowsDirectoryA);
    std::string status = ReadFileText(windows + "\\cvnunins.mif");
    expect(status == "<missing>" || status == kShippedStatus ||
               status == std::string(kShippedStatus) + " ",
           "cvnunins.mif is neither the shipped status file nor it completed: " +
               status.substr(0, 24));
    if (Silent(s)) {
      expect(ReadFileText(std::string(kDatabases) + "\\jobs.db") == "x",
             "unattended: a database went");
      expect(ReadFileText(std::string(kJournals) + "\\job1\\0001.jnl") == "x",
             "unattended: a journal went");
      expect(hooks::Dialogs == 0, "unattended: a dialog was shown");
      expect(hooks::ShutdownRequests == 0, "unattended: a restart was requested");
    } else if (!hooks::injected) {
      // The data question names the directories that would go.
      std::string paths = std::string("\n\n") + kDatabases + "\n" + kJournals + "\n";
      std::string first = hooks::FirstDialog;
      expect(first.size() > paths.size() && first.compare(first.size() - paths.size(), paths.size(), paths) == 0,
             "the data question does not end with the data directories: " + first.substr(0, 40));
    }
    std::string renames = GetValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames);
    if (renames != "<none>") {
      // Pairs of strings: what, and to where (empty: deleted).
      size_t at = 0;
      bool source = true;
      while (at < renames.size() && renames[at] != '\0') {
        std::string item = renames.c_str() + at;
        if (source) expect(IsProductPath(item), "pending deletion outside the product: " + item);
        at += item.size() + 1;
        source = !source;
      }
    }
  }

  // The clean run does the whole job.
  if (failed < 0 && IsUninstall(s)) {
    const char* services[] = {"CVNSvc", kPortMapper, kDrivers[0], kDrivers[1], kDrivers[2]};
    for (const char* name : services)
      expect(!ServiceExists(name), std::string("clean run: service left: ") + name);
    for (const char* name : kProgramFiles)
      expect(!Exists(std::string(kInstallDir) + name),
             std::string("clean run: file left: ") + name);
    expect(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane"),
           "clean run: product key left");
    std::string status = ReadFileText(Directory(GetWindowsDirectoryA) + "\\cvnunins.mif");
    if (Silent(s)) {
      expect(status == std::string(kShippedStatus) + " ", "clean run: cvnunins.mif not completed");
    } else if (Declined(s)) {
      expect(Exists(std::string(kDatabases) + "\\jobs.db"),
             "clean run: databases deleted after No");
      expect(hooks::ShutdownRequests == 0, "clean run: restart requested after No");
    } else {
      expect(!Exists(std::string(kDatabases) + "\\jobs.db"), "clean run: databases not deleted");
      expect(hooks::ShutdownRequests == 1, "clean run: no restart requested");
    }
  }
  if (failed < 0 && s.name == "ensure") {
    SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    DWORD openError = 0;
    expect(scm && ServiceState(scm, "CVNSvc", &openError) == SERVICE_STOPPED,
           "clean run: CVNSvc not stopped");
    if (scm) CloseServiceHandle(scm);
  }
  if (failed < 0 && s.name == "port")
    expect(o.result == 0, "clean run: the listening port not found");

  for (const char* file : kKeepFiles)
    expect(ReadFileText(file) == "keep", std::string("changed: ") + file);
  expect(ReadFileText(Directory(GetWindowsDirectoryA) + "\\keep.mif") == "keep",
         "changed: keep.mif");
  expect(ReadFileText(Directory(GetSystemDirectoryA) + "\\drivers\\keep.sys") == "keep",
         "changed: drivers\\keep.sys");
  for (const char* key : kKeepKeys) {
    expect(GetValue(HKEY_LOCAL_MACHINE, key, "Keep") == std::string("keep", 5),
           std::string("changed: HKLM\\") + key);
    expect(GetValue(HKEY_CURRENT_USER, key, "Keep") == std::string("keep", 5),
           std::string("changed: HKCU\\") + key);
  }
  DWORD seven = 7;
  expect(GetValue(HKEY_LOCAL_MACHINE, kSharedDlls, kKeepValue) == std::string((char*)&seven, 4),
         "changed: the SharedDLLs count of another product");
  expect(ServiceExists(kKeepService), "another service was deleted");
  return problems;
}

// Wine has no crash dialog to wait for; the sweep sees the case that crashed.
FILE* results = NULL;
int currentCase = -1;
LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
  if (results) {
    fprintf(results, "crash %d %08lx at %p\n", currentCase, info->ExceptionRecord->ExceptionCode,
            info->ExceptionRecord->ExceptionAddress);
    fflush(results);
  }
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

// The echo's second way to fail: a reply with an error status.
const char kErrorReplySuffix[] = "+reply";
// A call that never works: failed from its first use on.
const char kOnwardSuffix[] = "+onward";

// The import a plan line names ("IcmpSendEcho+reply": the echo's error reply;
// "RegOpenKeyExA+onward": every call from that use on fails).
int ImportId(std::string name) {
  size_t plus = name.find('+');
  if (plus != std::string::npos) name.resize(plus);
  for (int i = 0; i < hooks::IMPORT_COUNT; ++i)
    if (name == hooks::Table()[i].name) return i;
  return -1;
}

int RunCases(const std::string& scenarioName, const char* planFile, int from,
             const char* resultFile) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(OnCrash);
  results = fopen(resultFile, "a");
  if (!results) return 100;
  Scenario s;
  s.name = scenarioName;
  WSADATA data;
  WSAStartup(MAKEWORD(1, 1), &data);
  if (s.name == "port" && !Listen(s)) fprintf(results, "setup no listener\n");
  if (s.name.compare(0, 8, "validate") == 0) {
    char name[256];
    hostent* host = gethostname(name, sizeof name) == 0 ? gethostbyname(name) : NULL;
    if (host) s.ownAddress = inet_ntoa(*(in_addr*)host->h_addr_list[0]);
  }
  CreateDirectoryA("C:\\sweep", NULL);
  PlaceKeepers();
  if (IsReport(s)) Reinstall();
  s.dll = LoadLibraryA("CVNUNIST.dll");
  if (!s.dll) {
    fprintf(results, "setup CVNUNIST.dll not loaded (%lu)\n", GetLastError());
    return 101;
  }
  int missing = 0;
  int hooked = hooks::HookImports(s.dll, results, &missing);
  if (from == 0) fprintf(results, "hooked %d missing %d\n", hooked, missing);

  FILE* plan = fopen(planFile, "r");
  if (!plan) return 102;
  char name[64];
  int use;
  for (int index = 0; fscanf(plan, "%63s %d", name, &use) == 2; ++index) {
    if (index < from) continue;
    int id = ImportId(name);
    Prepare(s);
    currentCase = index;
    fprintf(results, "start %d\n", index);
    fflush(results);
    DWORD started = GetTickCount();
    hooks::StartRun(id, use);
    hooks::ErrorReply = strstr(name, kErrorReplySuffix) != NULL;
    hooks::FailOnward = strstr(name, kOnwardSuffix) != NULL;
    Outcome o = Call(s);
    hooks::StopInjecting();
    DWORD took = GetTickCount() - started;
    std::vector<std::string> problems = Verify(s, o, id);
    fprintf(results, "case %d %s %d reached=%d result=%d,%d ms=%lu", index, name, use,
            hooks::injected ? 1 : 0, o.result, o.second, took);
    if (id < 0) {
      fprintf(results, " counts");
      for (int i = 0; i < hooks::IMPORT_COUNT; ++i)
        if (hooks::Table()[i].calls)
          fprintf(results, " %s=%d", hooks::Table()[i].name, hooks::Table()[i].calls);
    }
    for (const std::string& problem : problems) fprintf(results, " | %s", problem.c_str());
    fprintf(results, "\n");
    fflush(results);
  }
  fclose(plan);
  currentCase = -1;
  fprintf(results, "done\n");
  fclose(results);
  return 0;
}

// ---- The sweep ---------------------------------------------------------------------------
struct CaseResult {
  bool done = false;
  std::string line;  // "case ..." or "crash ..." or "hang"
};

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return lines;
  char buffer[65536];
  while (fgets(buffer, sizeof buffer, file)) {
    std::string line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    lines.push_back(line);
  }
  fclose(file);
  return lines;
}

const DWORD kHangMs = 60000;

LONGLONG FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

// Runs cases [from, end) of the plan in child processes until each has a line.
void RunChildren(const std::string& self, const std::string& scenario, const std::string& plan,
                 const std::string& resultFile, int count, std::vector<CaseResult>& out) {
  out.assign(count, CaseResult());
  int from = 0;
  DeleteFileA(resultFile.c_str());
  while (from < count) {
    std::string command = "\"" + self + "\" run " + scenario + " \"" + plan + "\" " +
                          std::to_string(from) + " \"" + resultFile + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
      for (int i = from; i < count; ++i) out[i] = {true, "child not started"};
      return;
    }
    // A case takes well under a second; one that writes nothing for a minute hangs.
    DWORD wait;
    DWORD quietSince = GetTickCount();
    LONGLONG written = FileSize(resultFile);
    while ((wait = WaitForSingleObject(process.hProcess, 1000)) == WAIT_TIMEOUT) {
      LONGLONG now = FileSize(resultFile);
      if (now != written) {
        written = now;
        quietSince = GetTickCount();
      } else if (GetTickCount() - quietSince > kHangMs) {
        TerminateProcess(process.hProcess, 4);
        WaitForSingleObject(process.hProcess, INFINITE);
        break;
      }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    int started = -1;
    for (const std::string& text : ReadLines(resultFile)) {
      int index;
      if (sscanf(text.c_str(), "start %d", &index) == 1) started = index;
      if (sscanf(text.c_str(), "case %d", &index) == 1 && index < count) {
        out[index] = {true, text};
        started = -1;
      }
      if (sscanf(text.c_str(), "crash %d", &index) == 1 && index >= 0 && index < count) {
        out[index] = {true, text};
        started = -1;
      }
    }
    if (started >= 0 && !out[started].done)
      out[started] = {true, wait == WAIT_TIMEOUT ? "hang" : "died"};
    int next = from;
    while (next < count && out[next].done) ++next;
    if (next == from) {  // no progress at all: give up on the rest
      for (int i = from; i < count; ++i) out[i] = {true, "child made no progress"};
      return;
    }
    from = next;
  }
}

// The uses to fail of an import called `calls` times.
std::vector<int> UsesToFail(int calls, int spread) {
  std::vector<int> uses;
  auto add = [&](int use) {
    if (use >= 1 && use <= calls && (uses.empty() || uses.back() < use)) uses.push_back(use);
  };
  add(1);
  add(2);
  for (int i = 1; i <= spread; ++i) add(2 + (int)((long long)(calls - 2) * i / (spread + 1)));
  add(calls);
  return uses;
}

int Sweep(const std::string& scenario, const std::string& workdir, int spread) {
  char self[MAX_PATH];
  GetModuleFileNameA(NULL, self, MAX_PATH);
  CreateDirectoryA(workdir.c_str(), NULL);
  std::string plan = workdir + "\\" + scenario + ".plan";
  std::string resultFile = workdir + "\\" + scenario + ".results";
  int passed = 0, failed = 0;
  DWORD started = GetTickCount();

  // The clean run: its counts and its own invariants.
  FILE* file = fopen(plan.c_str(), "w");
  fprintf(file, "- 0\n");
  fclose(file);
  std::vector<CaseResult> clean;
  RunChildren(self, scenario, plan, resultFile, 1, clean);
  for (const std::string& line : ReadLines(resultFile))
    if (line.compare(0, 6, "hooked") == 0 || line.compare(0, 10, "no wrapper") == 0 ||
        line.compare(0, 5, "setup") == 0)
      printf("%s\n", line.c_str());
  const std::string& baseline = clean[0].line;
  bool cleanOk = baseline.compare(0, 5, "case ") == 0 && baseline.find(" | ") == std::string::npos;
  if (cleanOk)
    ++passed;
  else
    ++failed;
  printf("%s: clean run: %s\n", scenario.c_str(), baseline.c_str());

  std::vector<std::pair<std::string, int>> pairs;
  size_t counts = baseline.find(" counts ");
  std::string rest = counts == std::string::npos ? "" : baseline.substr(counts + 8);
  size_t bar = rest.find(" | ");
  if (bar != std::string::npos) rest = rest.substr(0, bar);
  char name[64];
  int calls, consumed;
  const char* at = rest.c_str();
  file = fopen(plan.c_str(), "w");
  while (sscanf(at, " %63[^=]=%d%n", name, &calls, &consumed) == 2) {
    at += consumed;
    int id = ImportId(name);
    if (id < 0 || hooks::Table()[id].kind == hooks::COUNT_ONLY) {
      printf("  %-26s %5d calls (cannot fail: counted)\n", name, calls);
      continue;
    }
    std::vector<int> uses = UsesToFail(calls, spread);
    printf("  %-26s %5d calls, failing use", name, calls);
    for (int use : uses) {
      printf(" %d", use);
      pairs.push_back({name, use});
      fprintf(file, "%s %d\n", name, use);
    }
    if (calls > 1) {  // and once never working at all
      printf(", and every use");
      pairs.push_back({std::string(name) + kOnwardSuffix, 1});
      fprintf(file, "%s%s 1\n", name, kOnwardSuffix);
    }
    printf("\n");
    if (id == hooks::ID_IcmpSendEcho) {
      printf("  %-26s %5d calls, failing use", "IcmpSendEcho (error reply)", calls);
      for (int use : uses) {
        printf(" %d", use);
        pairs.push_back({std::string(name) + kErrorReplySuffix, use});
        fprintf(file, "%s%s %d\n", name, kErrorReplySuffix, use);
      }
      printf("\n");
    }
  }
  fclose(file);

  std::vector<CaseResult> cases;
  RunChildren(self, scenario, plan, resultFile, (int)pairs.size(), cases);
  int crashes = 0, broken = 0, unreached = 0;
  for (size_t i = 0; i < pairs.size(); ++i) {
    const std::string& line = cases[i].line;
    if (line.find(" reached=0 ") != std::string::npos) ++unreached;
    bool ok = line.compare(0, 5, "case ") == 0 && line.find(" | ") == std::string::npos;
    if (ok) {
      ++passed;
      continue;
    }
    ++failed;
    if (line.compare(0, 5, "case ") == 0)
      ++broken;
    else
      ++crashes;
    printf("FAILED: %s %s #%d: %s\n", scenario.c_str(), pairs[i].first.c_str(), pairs[i].second,
           line.c_str());
  }
  printf(
      "%s: %d (call, use) pairs tried (%d took another way and never made that call), "
      "%d crashed or hung, %d broke an invariant, %lu s\n",
      scenario.c_str(), (int)pairs.size(), unreached, crashes, broken,
      (unsigned long)(GetTickCount() - started) / 1000);
  printf("%d passed, %d failed\n", passed, failed);
  fflush(stdout);
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && strcmp(argv[1], "sweep") == 0)
    return Sweep(argv[2], argv[3], argc > 4 ? atoi(argv[4]) : 3);
  if (argc == 2 && strcmp(argv[1], "place") == 0) {
    PlaceKeepers();
    Reinstall();
    return 0;
  }
  if (argc == 6 && strcmp(argv[1], "run") == 0)
    return RunCases(argv[2], argv[3], atoi(argv[4]), argv[5]);
  printf("usage: import_faults sweep SCENARIO WORKDIR [SPREAD] | place\n");
  return 2;
}
