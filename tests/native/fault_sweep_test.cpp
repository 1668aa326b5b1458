// Every call the product makes may fail. For each entry point, on a machine
// with the product installed, the sweep counts the calls of a faultless run,
// then fails each call at each of its uses (a sample where they are many)
// the way Windows fails it, and checks after every run: a documented result,
// a report file of whole, unrepeated text lines, nothing left open,
// allocated or started, and nothing changed outside the product's own files,
// keys and services.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "entry_points.h"
#include "fault_sweep.h"
#include "hooks.h"
#include "report.h"
#include "sim_fixture.h"
#include "version_block.h"

namespace {

const std::string kInstall = "C:\\Program Files\\Corvane\\";
const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
const char kStashKey[] = "SOFTWARE\\Velmora Software Uninstall";
const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cvnsvc.exe";
const char kDatabases[] = "D:\\CVN\\Databases";
const char kJournals[] = "D:\\CVN\\Journals";
const char kTcpip[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
// Where Windows records the file operations left for the next start; they are
// compared one by one as reboot operations, so the value itself is not.
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";
const char kDrivers[] = "C:\\WINNT\\system32\\drivers\\";
const char kShippedStatus[] = "C:\\WINNT\\cvnunins.mi_";
const char kStatus[] = "C:\\WINNT\\cvnunins.mif";
// Where the status file is completed before it takes its name.
const char kStatusWork[] = "C:\\WINNT\\cvnunins.mi~";
const char kStatusContents[] = "MIF-CONTENT\r\n";
const char kReportFile[] = "C:\\report.txt";
const char* const kProductServices[] = {"CVNSvc", "NobleNet Portmapper for TCP", "cvn-jnl", "cvn-fltr",
                                        "cvn-rec"};
// The product's jobs (a key and a library each) and its event-log entries
// with others between them: enough that calls have many uses.
const int kJobs = 10;
const DWORD kEvents = 60;
// Answers enough for every question an attended run may ask.
const int kScriptedAnswers = 8;
// Uses sampled between the second and the last of a call with many uses.
const int kSpread = 8;

// ---- The machine -------------------------------------------------------------------

void InstallProduct() {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "InstallationDirectory", REG_SZ, kInstall);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "ProtectedDatasetDirectory", REG_SZ, kDatabases);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "JournalRoot", REG_SZ, kJournals);
  // Stored as the later setups store paths, with an environment reference.
  sim::SetEnvironmentVariable("CvnData", "D:\\CVN");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "UnprotectedDatasetDirectory", REG_EXPAND_SZ,
                "%CvnData%\\Unprotected");
  sim::SetDword(HKEY_LOCAL_MACHINE, kProductKey, "Type", 1);
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, kInstall + "cvnax.ocx", 3);
  sim::SetValue(HKEY_LOCAL_MACHINE, kAppPath, "", REG_SZ, kInstall + "cvnsvc.exe");
  sim::SetValue(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane\\1.5\\Admin", "Window", REG_SZ,
                "0 0 640 480");
  sim::SetValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\CVNSvc", "ImagePath", REG_SZ,
                kInstall + "cvnsvc.exe");

  for (const char* name : {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll", "cvnmapi.dll", "cvnax.ocx",
                           "DeIsL1.isu", "readme.txt", "help.GID", "search.FTS", "last.rpt",
                           "Logs\\svc.log"})
    sim::MakeFile(kInstall + name, "x");
  sim::MakeFile(kInstall + "cvnunins.mi_", kStatusContents);
  for (const char* name : {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys", "cvnmapi.log", "zr-rec.sys"})
    sim::MakeFile(kDrivers + std::string(name), "x");
  sim::MakeFile(std::string(kDatabases) + "\\jobs.db", "x");
  sim::MakeFile(std::string(kJournals) + "\\job1\\0001.jnl", "x");
  // Data the uninstall never offers to delete.
  sim::MakeFile("D:\\CVN\\Unprotected\\data.dat", "x");
  const std::vector<BYTE> version = BuildVersionBlock(VersionFields{});
  for (const std::string& path : {kInstall + "cvnsvc.exe", kInstall + "cvnbase.dll",
                                  std::string(kDrivers) + "zr-rec.sys"})
    sim::SetVersionResource(path, version);

  sim::ServiceSetup service;
  service.stopsAfterQueries = 2;
  sim::AddService("CVNSvc", service);
  sim::AddService("NobleNet Portmapper for TCP", service);
  sim::ServiceSetup driver;
  driver.type = SERVICE_KERNEL_DRIVER;
  for (const char* name : {"cvn-jnl", "cvn-fltr", "cvn-rec"}) sim::AddService(name, driver);

  for (int i = 0; i < kJobs; ++i) {
    std::string job = std::string(kProductKey) + "\\Jobs\\Job" + std::to_string(i);
    sim::SetValue(HKEY_LOCAL_MACHINE, job, "Source", REG_SZ, "D:\\Source" + std::to_string(i));
    sim::SetDword(HKEY_LOCAL_MACHINE, job, "Schedule", static_cast<DWORD>(i));
    sim::MakeFile(kInstall + "cvnjob" + std::to_string(i) + ".dll", "x");
  }
  for (DWORD i = 0; i < kEvents; ++i) {
    sim::EventRecord record;
    record.source = i % 3 == 1 ? "EventLog" : "Corvane";
    record.timeGenerated = 86400 * 365 + i;
    record.strings = {"event " + std::to_string(i)};
    sim::AddEvent(record);
  }
}

// What belongs to others: it must come through every run unchanged.
void InstallNeighbours() {
  sim::MakeFile("C:\\WINNT\\win.ini", "[windows]\r\n");
  sim::MakeFile(std::string(kDrivers) + "other.sys", "x");
  sim::MakeFile("C:\\WINNT\\system32\\msvcrt.dll", "x");
  sim::SetVersionResource("C:\\WINNT\\system32\\msvcrt.dll", BuildVersionBlock(VersionFields{}));
  sim::MakeFile("D:\\Data\\keep.txt", "keep");
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, "C:\\WINNT\\system32\\mfc42.dll", 5);
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other Vendor\\App", "Path", REG_SZ, "C:\\Other");
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Other Product", "Version", REG_SZ, "2.0");
  sim::SetValue(HKEY_CURRENT_USER, "SOFTWARE\\Other Vendor\\App", "Window", REG_SZ, "1 1 2 2");
  sim::SetValue(HKEY_LOCAL_MACHINE, kTcpip, "NameServer", REG_SZ, "10.20.30.40 127.0.0.1");
  // An adapter's own name servers (Windows 2000 and later), of which one is
  // unreachable, and a second address of this host where a port is held.
  sim::SetValue(HKEY_LOCAL_MACHINE, std::string(kTcpip) + "\\Interfaces\\{4D36E972-E325-11CE}",
                "DhcpNameServer", REG_SZ, "127.0.0.1,10.20.30.43");
  sim::AnswerEcho("10.20.30.43", 2, IP_DEST_NET_UNREACHABLE);
  sim::AddHost(sim::kScriptedFqdn, {sim::kScriptedAddress, "10.20.31.40"}, {sim::kScriptedHostName});
  sim::SetConnectResult("10.20.31.40", 20482, 0);
  // Windows 2000, whose IP helper tells a failed echo's status.
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Service Pack 4"});
  sim::AddService("Spooler");
  sim::CreateKey(HKEY_LOCAL_MACHINE, kSessionManager);
  // Two target servers, by name and by address, whose lines no other ping shares.
  sim::AddHost("peer.velmora.test", {"10.20.30.41"}, {"peer"});
  sim::AddReverse("10.20.30.42", "backup.velmora.test");
}

void FreshMachine() {
  ReportDiscard();  // while the machine still counts the block
  sim::Reset();
  WarningCount = 0;
  ErrorCount = 0;
  MessageModule = NULL;
  sim::AddDrive('D');
  sim::ScriptNetwork();
  sim::SetConnectResult(sim::kScriptedAddress, 111, 0);
  InstallProduct();
  InstallNeighbours();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

sweep::ProductScope Scope() {
  sweep::ProductScope scope;
  scope.pathPrefixes = {Lower(kInstall), Lower(kDatabases), Lower(kJournals), Lower(kShippedStatus),
                        Lower(kStatus), Lower(kStatusWork), Lower(kReportFile)};
  // Each also under the name a file in use is renamed to until the restart.
  for (const char* name : {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys", "cvnmapi.log"}) {
    scope.pathPrefixes.push_back(Lower(std::string(kDrivers) + name));
    scope.pathPrefixes.push_back(Lower(std::string(kDrivers) + name + ".cvn-deleted"));
  }
  scope.keyPrefixes = {"hklm\\software\\velmora software\\corvane", Lower(std::string("hklm\\") + kStashKey),
                       Lower(std::string("hklm\\") + kAppPath),
                       "hkcu\\software\\velmora software\\corvane"};
  scope.values = {Lower(std::string("hklm\\") + kSharedDlls + "|" + kInstall + "cvnax.ocx"),
                  Lower(std::string("hklm\\") + kSessionManager + "|" + kPendingRenames)};
  for (const char* name : kProductServices) scope.services.push_back(Lower(name));
  return scope;
}

// ---- Entry points ------------------------------------------------------------------

struct EntryPoint {
  std::string name;
  std::function<void()> arrange;  // on the fresh machine
  std::function<int()> run;
  // The documented results; `injected` is the error of the failed call.
  std::function<bool(int result, DWORD injected)> documented;
  bool writesReport;
  // Further checks of what the run left after `failure` (null: none);
  // empty when all is well.
  std::function<std::string(const sweep::ApiFailure* failure)> leftOver;
};

bool Severity(int result, DWORD) { return result >= -1 && result <= 2; }

int FullReport() {
  char program[] = "cvncheck";
  char eventLogs[] = "-eventlogs";
  char out[] = "-out";
  std::string file = kReportFile;
  char* argv[] = {program, eventLogs, out, file.data()};
  return RunEnvironmentCheck(4, argv);
}

std::function<int()> Validate(int level) {
  return [level] {
    char targets[] = "peer 10.20.30.42 ";
    return ValidateEnvironment(0x1, level, kReportFile, targets, "CVNUNIST.dll");
  };
}

// A machine of today: Windows 10, whose calls of later versions the report
// looks up, with 24 Gb of memory and a 17 Tb drive.
void Windows10() {
  sim::OsVersion version;
  version.major = 10;
  version.minor = 0;
  version.build = 19045;
  version.csd = "";
  sim::SetOsVersion(version);
  sim::Memory memory;
  memory.totalPhys = 24ull << 30;
  memory.availPhys = 20ull << 30;
  sim::SetMemory(memory);
  sim::Drive large;
  large.totalClusters = 17ull << 28;
  large.freeClusters = 1ull << 28;
  sim::SetDrive('E', large);
}

void Silent() { sim::SetCommandLine("C:\\WINNT\\IsUninst.exe -a -f\"C:\\x\\DeIsL1.isu\""); }
void AttendedAnswering(int answer) {
  sim::SetCommandLine("C:\\WINNT\\IsUninst.exe -f\"C:\\x\\DeIsL1.isu\"");
  for (int i = 0; i < kScriptedAnswers; ++i) sim::QueueAnswer(answer);
}
void Attended() { AttendedAnswering(IDYES); }

// The machine between the hooks: the stash written, the status file copied,
// the product key gone with the uninstaller's own removal.
void BetweenHooks() {
  sim::CreateKey(HKEY_LOCAL_MACHINE, kStashKey, true);
  sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStashKey, sim::AdministratorsOnly());
  sim::SetValue(HKEY_LOCAL_MACHINE, kStashKey, "InstallationDirectory", REG_SZ, kInstall);
  sim::MakeFile(kShippedStatus, kStatusContents);
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
}

// The status file is either still the shipped one or completed whole.
std::string StatusFileLeft(const sweep::ApiFailure*) {
  std::set<std::string> allowed = {"", kStatusContents, std::string(kStatusContents) + " "};
  std::string contents = sim::FileContents(kStatus);
  return allowed.count(contents) ? "" : "status file is \"" + contents + "\"\n";
}

std::string Nothing(const sweep::ApiFailure*) { return ""; }

// Unattended: no dialog and no restart, whatever failed. Without a command
// line the run cannot know it is unattended: it asks, as an attended one does.
std::string NoDialog(const sweep::ApiFailure* failure) {
  std::string problems;
  if (failure && std::string(failure->api) == "GetCommandLineA") return problems;
  for (const sim::Dialog& dialog : sim::Dialogs()) problems += "dialog while silent: " + dialog.text + "\n";
  if (!sim::ShutdownRequests().empty()) problems += "restart requested while silent\n";
  return problems;
}

std::string SilentStatusFile(const sweep::ApiFailure* failure) {
  return NoDialog(failure) + StatusFileLeft(failure);
}

// Attended: every dialog owned by the focus window, captioned, and its text
// within the 260-character buffer it was built in.
std::string DialogsWellFormed(const sweep::ApiFailure*) {
  std::string problems;
  for (const sim::Dialog& dialog : sim::Dialogs()) {
    if (dialog.owner != sim::FocusWindow()) problems += "dialog not owned by the focus window\n";
    if (dialog.caption.empty()) problems += "dialog without caption\n";
    if (dialog.text.size() > 259) problems += "dialog text of " + std::to_string(dialog.text.size()) + "\n";
  }
  return problems;
}

std::vector<EntryPoint> EntryPoints() {
  auto uninstallResult = [](int result, DWORD) { return result == 0 || result == -1; };
  auto zero = [](int result, DWORD) { return result == 0; };
  // A WinSock library or call that cannot be had is WinSock not ready.
  auto portResult = [](int result, DWORD injected) {
    return result == 0 || result == static_cast<int>(injected) || result == WSASYSNOTREADY;
  };
  auto serviceResult = [](int result, DWORD injected) {
    return result == 0 || result == -1 || result == static_cast<int>(injected);
  };
  return {
      {"full report -eventlogs", [] {}, FullReport, Severity, true, Nothing},
      {"full report on Windows 10", Windows10, FullReport, Severity, true, Nothing},
      {"ValidateEnvironment level 0", [] {}, Validate(0), Severity, true, Nothing},
      {"ValidateEnvironment level 1", [] {}, Validate(1), Severity, true, Nothing},
      {"ValidateEnvironment level 2", [] {}, Validate(2), Severity, true, Nothing},
      {"UninstInitialize silent", Silent, [] { return static_cast<int>(UninstInitialize(nullptr, nullptr, 0)); },
       uninstallResult, false, NoDialog},
      {"UninstInitialize attended", Attended,
       [] { return static_cast<int>(UninstInitialize(nullptr, nullptr, 0)); }, uninstallResult, false,
       DialogsWellFormed},
      {"UninstInitialize attended, answers No", [] { AttendedAnswering(IDNO); },
       [] { return static_cast<int>(UninstInitialize(nullptr, nullptr, 0)); }, uninstallResult, false,
       DialogsWellFormed},
      {"UninstUnInitialize silent", [] { Silent(); BetweenHooks(); },
       [] { return static_cast<int>(UninstUnInitialize(nullptr, nullptr, 0)); }, zero, false, SilentStatusFile},
      {"UninstUnInitialize attended", [] { Attended(); BetweenHooks(); },
       [] { return static_cast<int>(UninstUnInitialize(nullptr, nullptr, 0)); }, zero, false,
       DialogsWellFormed},
      {"zrPortExists", [] {}, [] { return zrPortExists(111); }, portResult, false, Nothing},
      {"inEnsureServiceNotRunning", [] {}, [] { return inEnsureServiceNotRunning("CVNSvc"); }, serviceResult,
       false, Nothing},
  };
}

// ---- One run and its checks ------------------------------------------------------------

struct SweepRun {
  sweep::RunFault fault;
  int result = 0;
  bool exited = false;
  std::string report;
  std::map<std::string, std::string> before;
};

SweepRun Arrange(const EntryPoint& entry) {
  FreshMachine();
  entry.arrange();
  SweepRun run;
  run.before = sweep::MachineOutside(Scope());
  return run;
}

void Execute(const EntryPoint& entry, SweepRun* run) {
  try {
    run->result = entry.run();
  } catch (const sim::ProcessExit&) {
    run->exited = true;
  }
  run->report = sim::FileContents(kReportFile);
}

// Everything wrong after a run, one problem a line; empty when all is well.
std::string Problems(const EntryPoint& entry, const SweepRun& run, const std::string& faultless,
                     const sweep::ApiFailure* failure) {
  std::string problems;
  DWORD injected = failure ? failure->error : 0;
  if (run.exited) problems += "ended the process\n";
  if (!run.exited && !entry.documented(run.result, injected))
    problems += "result " + std::to_string(run.result) + " is not documented\n";
  if (entry.writesReport) {
    problems += sweep::ReportProblems(run.report, faultless, run.fault);
    if (!sim::StdoutClosed()) problems += "report file left open\n";
  }
  // A failed close leaves what it was to close, and only that.
  sweep::Leaves leaves = failure ? failure->leaves : sweep::Leaves::Nothing;
  int allowedHandles = leaves == sweep::Leaves::OneHandle ? run.fault.failedUses : 0;
  if (sim::OpenHandles() > allowedHandles)
    problems += std::to_string(sim::OpenHandles() - allowedHandles) + " handle(s) left open\n";
  if (sim::HeapBlocks() != 0) problems += std::to_string(sim::HeapBlocks()) + " heap block(s) left\n";
  int allowedStarts = leaves == sweep::Leaves::OneWinsockStart ? run.fault.failedUses : 0;
  if (sim::WinsockStarted() > allowedStarts) problems += "WinSock left started\n";
  problems += sweep::Differences(run.before, sweep::MachineOutside(Scope()));
  problems += entry.leftOver(failure);
  return problems;
}

std::map<std::string, int> CallsOf(const EntryPoint& entry, SweepRun* run) {
  std::map<std::string, int> before = sim::CallCounts();
  Execute(entry, run);
  std::map<std::string, int> calls = sim::CallCounts();
  for (const auto& count : before) calls[count.first] -= count.second;
  return calls;
}

// How a call fails in a pass: at one use, or at one use and every use after it
// (a disk or network that went away and stays away).
enum class Persistence { OneUse, FromThatUseOn };
const int kEveryUseAfter = 1 << 20;

// The uses a pass fails: the sample of single uses; for lasting failures the
// first and the middle use.
std::vector<int> UsesToFail(int uses, Persistence persistence) {
  if (persistence == Persistence::OneUse) return sweep::SampleUses(uses, kSpread);
  std::vector<int> picked = {1};
  if ((uses + 1) / 2 > 1) picked.push_back((uses + 1) / 2);
  return picked;
}

// Sweeps every entry point; the (call, use) pairs tried.
int Sweep(Persistence persistence) {
  auto started = std::chrono::steady_clock::now();
  std::set<std::string> known = sweep::CannotFail();
  for (const sweep::ApiFailure& failure : sweep::Failures()) known.insert(failure.api);
  const char* pass = persistence == Persistence::OneUse ? "one use" : "from that use on";

  int totalPairs = 0;
  for (const EntryPoint& entry : EntryPoints()) {
    SweepRun clean = Arrange(entry);
    std::map<std::string, int> calls = CallsOf(entry, &clean);
    std::string problems = Problems(entry, clean, clean.report, nullptr);
    EXPECT_EQ(problems, "") << entry.name << ", no fault";
    for (const auto& count : calls) {
      if (count.second > 0 && known.count(count.first) == 0)
        ADD_FAILURE() << entry.name << " calls " << count.first << ", whose failure the sweep does not know";
    }

    int pairs = 0;
    for (const sweep::ApiFailure& failure : sweep::Failures()) {
      auto uses = calls.find(failure.api);
      if (uses == calls.end() || uses->second <= 0) continue;
      for (int use : UsesToFail(uses->second, persistence)) {
        SweepRun run = Arrange(entry);
        bool lasting = persistence == Persistence::FromThatUseOn;
        sim::FailCall(failure.api, failure.error, use, lasting ? kEveryUseAfter : 1);
        Execute(entry, &run);
        int failedUses = std::max(0, sim::CallCount(failure.api) - use + 1);
        run.fault = {sweep::IsOutputCall(failure.api), lasting, lasting ? failedUses : std::min(failedUses, 1)};
        ++pairs;
        problems = Problems(entry, run, clean.report, &failure);
        EXPECT_EQ(problems, "") << entry.name << ": " << failure.api << " failing with " << failure.error
                                << " at use " << use << " of " << uses->second << " (" << pass << ")";
      }
    }
    std::cout << "[ sweep    ] " << entry.name << " (" << pass << "): " << pairs << " (call, use) pairs\n";
    ::testing::Test::RecordProperty(entry.name, pairs);
    totalPairs += pairs;
  }
  FreshMachine();
  ReportDiscard();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << "[ sweep    ] " << totalPairs << " (call, use) pairs tried (" << pass << ") in " << seconds
            << " s" << std::endl;
  ::testing::Test::RecordProperty("pairs", totalPairs);
  return totalPairs;
}

TEST(FaultSweepTest, EveryEntryPointSurvivesEachCallFailingAtEachOfItsUses) {
  EXPECT_GT(Sweep(Persistence::OneUse), 0);
}

TEST(FaultSweepTest, EveryEntryPointSurvivesACallThatKeepsFailing) {
  EXPECT_GT(Sweep(Persistence::FromThatUseOn), 0);
}

}  // namespace
