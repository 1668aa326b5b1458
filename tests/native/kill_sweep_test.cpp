// An uninstall may be ended at any moment (a power cut, an administrator
// ending a hung uninstaller) and run again. For each call of the two hooks
// that changes the machine, the sweep ends the process just before that
// call and right after it, lets the system close what the process held,
// restarts Windows or not, and runs the whole uninstall again. After the
// rerun the machine must be as after an uninterrupted uninstall: no file
// renamed for deletion without its deletion left for the next start, the
// status file completed exactly once, and, once Windows restarts, the same
// files, keys, values and services as a clean uninstall leaves. The one
// difference allowed: a restart between the runs after the uninstaller had
// removed the product key loses the stash, so the rerun cannot know the
// installation directory; its program files stay and the status file keeps
// its shipped name, telling the unattended installer the uninstall did not
// complete.
#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "fault_sweep.h"
#include "hooks.h"
#include "sim_fixture.h"

namespace {

const std::string kInstall = "C:\\Program Files\\Corvane\\";
const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cvnsvc.exe";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kDrivers[] = "C:\\WINNT\\system32\\drivers\\";
const char kShippedStatus[] = "C:\\WINNT\\cvnunins.mi_";
const char kStatus[] = "C:\\WINNT\\cvnunins.mif";
const char kStatusContents[] = "MIF-CONTENT\r\n";
const char kDeferredSuffix[] = ".cvn-deleted";
const int kAnswers = 16;

// The calls of the hooks that change the machine.
const char* const kChangingCalls[] = {
    "RegCreateKeyExA", "RegSetValueExA",  "RegDeleteKeyA", "RegDeleteKeyW",    "DeleteFileA",
    "MoveFileExA",     "CopyFileA",       "RemoveDirectoryA", "CreateDirectoryA",
    "SetFileAttributesA", "WriteFile",    "ControlService",   "DeleteService",
    "InitiateSystemShutdownA", "DeleteFileW", "MoveFileExW", "RemoveDirectoryW", "SetFileAttributesW",
};

void InstallProduct() {
  sim::AddDrive('D');
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "InstallationDirectory", REG_SZ, kInstall);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "ProtectedDatasetDirectory", REG_SZ, "D:\\CVN\\Databases");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "JournalRoot", REG_SZ, "D:\\CVN\\Journals");
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, kInstall + "cvnax.ocx", 3);
  sim::SetValue(HKEY_LOCAL_MACHINE, kAppPath, "", REG_SZ, kInstall + "cvnsvc.exe");
  sim::SetValue(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane\\1.5\\Admin", "Window", REG_SZ, "0");
  sim::SetValue(HKEY_LOCAL_MACHINE, std::string(kProductKey) + "\\Jobs\\Job1", "Source", REG_SZ, "D:\\Src");
  for (const char* name : {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll", "cvnmapi.dll", "cvnax.ocx",
                           "DeIsL1.isu", "readme.txt", "help.GID", "last.rpt", "Logs\\svc.log"})
    sim::MakeFile(kInstall + name, "x");
  sim::MakeFile(kInstall + "cvnunins.mi_", kStatusContents, FILE_ATTRIBUTE_READONLY);
  for (const char* name : {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys", "cvnmapi.log"})
    sim::MakeFile(kDrivers + std::string(name), "x");
  // In use: a driver that stays loaded and images of running programs.
  for (const std::string& path : {std::string(kDrivers) + "cvn-fltr.sys", kInstall + "cvnsvc.exe",
                                  kInstall + "cvnmapi.dll"})
    sim::RunImage(path);
  sim::MakeFile("D:\\CVN\\Databases\\jobs.db", "x");
  sim::MakeFile("D:\\CVN\\Journals\\job1\\0001.jnl", "x");
  sim::ServiceSetup service;
  service.stopsAfterQueries = 2;
  sim::AddService("CVNSvc", service);
  sim::AddService("NobleNet Portmapper for TCP", service);
  sim::ServiceSetup driver;
  driver.type = SERVICE_KERNEL_DRIVER;
  for (const char* name : {"cvn-jnl", "cvn-fltr", "cvn-rec"}) sim::AddService(name, driver);
}

// Others' files, keys and services, among them names close to the product's.
void InstallDecoys() {
  sim::CreateKey(HKEY_LOCAL_MACHINE, kSessionManager);
  sim::MakeFile(std::string(kDrivers) + "other.sys", "x");
  sim::MakeFile(std::string(kDrivers) + "cvn-rec.sys.bak", "x");
  sim::MakeFile("C:\\WINNT\\cvnunins.txt", "x");
  sim::MakeFile("C:\\Program Files\\CorvaneLogs\\keep.log", "x");
  sim::MakeFile("D:\\CVN\\Unprotected\\data.dat", "x");
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, "C:\\WINNT\\system32\\mfc42.dll", 5);
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Other Product", "Version", REG_SZ, "2.0");
  sim::SetValue(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Keep", "Keep", REG_SZ, "1");
  sim::AddService("Spooler");
  sim::AddService("CVNSvc2");
}

struct Mode {
  const char* name;
  const char* commandLine;
  bool unattended;
};
const Mode kModes[] = {
    {"unattended", "C:\\WINNT\\IsUninst.exe -a -f\"C:\\x\\DeIsL1.isu\"", true},
    {"attended", "C:\\WINNT\\IsUninst.exe -f\"C:\\x\\DeIsL1.isu\"", false},
};

void FreshMachine(const Mode& mode) {
  sim::Reset();
  InstallProduct();
  InstallDecoys();
  sim::SetCommandLine(mode.commandLine);
}

// One uninstall as the uninstaller runs it: the first hook, its own removal
// of the product key, the second hook. true when the second hook ran.
bool Uninstall(const Mode& mode) {
  for (int i = 0; i < kAnswers; ++i) sim::QueueAnswer(IDYES);
  if (UninstInitialize(nullptr, nullptr, 0) != 0) return false;
  sim::KillIfDue();
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0) << mode.name;
  sim::KillIfDue();
  return true;
}

std::map<std::string, std::string> Machine() { return sweep::MachineOutside(sweep::ProductScope{}); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// What the rerun left before the restart: every file renamed for deletion
// has its deletion pending, and the status file was completed at most once.
std::string BeforeRestart(bool mayBeIncomplete, bool unattended) {
  std::string problems;
  for (const auto& entry : Machine()) {
    const std::string& id = entry.first;
    if (id.compare(0, 5, "file ") != 0) continue;
    std::string path = id.substr(5);
    if (Lower(path).size() > sizeof kDeferredSuffix &&
        Lower(path).compare(path.size() - (sizeof kDeferredSuffix - 1), std::string::npos, kDeferredSuffix) == 0 &&
        !sim::DeletionPending(path))
      problems += "renamed but not scheduled: " + path + "\n";
  }
  if (!unattended) return problems;
  std::string completed = std::string(kStatusContents) + " ";
  bool done = sim::FileContents(kStatus) == completed && !sim::Exists(kShippedStatus);
  bool leftShipped = !sim::Exists(kStatus) && sim::FileContents(kShippedStatus) == kStatusContents;
  // Ended between the final name and the shipped copy's deletion, then
  // restarted: completed once, with the shipped copy beside it.
  bool doneBeside = sim::FileContents(kStatus) == completed;
  if (!done && !(mayBeIncomplete && (leftShipped || doneBeside)))
    problems += "status file \"" + sim::FileContents(kStatus) + "\", shipped name " +
                (sim::Exists(kShippedStatus) ? "there" : "gone") + "\n";
  return problems;
}

// Differences from the clean uninstall after the restart; below the
// installation directory only where the rerun could not know it.
std::string AfterRestart(const std::map<std::string, std::string>& clean, bool mayBeIncomplete) {
  std::string problems;
  std::string lines = sweep::Differences(clean, Machine());
  for (size_t start = 0; start < lines.size();) {
    size_t end = lines.find('\n', start);
    std::string line = lines.substr(start, end - start);
    start = end + 1;
    // The status file was judged before the restart.
    bool installed = Lower(line).find(Lower(kInstall)) != std::string::npos ||
                     Lower(line).find(Lower(kShippedStatus)) != std::string::npos ||
                     Lower(line).find(Lower(kStatus)) != std::string::npos;
    if (!(mayBeIncomplete && installed)) problems += line + "\n";
  }
  return problems;
}

struct KillPoint {
  std::string api;
  int use;
  bool afterIt;
  bool restart;
};

std::string Describe(const Mode& mode, const KillPoint& point, int uses) {
  return std::string(mode.name) + ", ended " + (point.afterIt ? "right after " : "just before ") + point.api +
         " (" + std::to_string(point.use) + " of " + std::to_string(uses) + "), " +
         (point.restart ? "restart, " : "") + "run again";
}

// Every kill point of a mode; the points tried.
int SweepMode(const Mode& mode) {
  FreshMachine(mode);
  EXPECT_TRUE(Uninstall(mode)) << mode.name << ": a clean uninstall completes";
  EXPECT_EQ(BeforeRestart(false, mode.unattended), "") << mode.name << ", clean";
  std::map<std::string, int> calls = sim::CallCounts();
  sim::Reboot();
  const std::map<std::string, std::string> clean = Machine();

  int points = 0;
  for (const char* api : kChangingCalls) {
    int uses = calls.count(api) ? calls[api] : 0;
    for (int use = 1; use <= uses; ++use) {
      for (bool afterIt : {false, true}) {
        for (bool restart : {false, true}) {
          KillPoint point{api, use, afterIt, restart};
          FreshMachine(mode);
          sim::KillAtCall(api, use, afterIt);
          bool killed = false;
          bool killedAfterRemoval = false;
          try {
            Uninstall(mode);
          } catch (const sim::ProcessKilled&) {
            killed = true;
            killedAfterRemoval = !sim::KeyExists(HKEY_LOCAL_MACHINE, kProductKey);
          }
          sim::EndProcess();
          if (!killed) continue;  // right after the last call: nothing was left to do
          if (!restart) ++points;
          if (restart) sim::Reboot();
          bool secondRan = Uninstall(mode);
          EXPECT_EQ(sim::OpenHandles(), 0) << Describe(mode, point, uses);
          EXPECT_EQ(sim::HeapBlocks(), 0) << Describe(mode, point, uses);
          bool mayBeIncomplete = restart && killedAfterRemoval;
          std::string problems = secondRan ? "" : "the rerun was aborted\n";
          problems += BeforeRestart(mayBeIncomplete, mode.unattended);
          sim::Reboot();
          problems += AfterRestart(clean, mayBeIncomplete);
          EXPECT_EQ(problems, "") << Describe(mode, point, uses);
        }
      }
    }
  }
  std::cout << "[ kill     ] " << mode.name << ": " << points << " kill points, each with and without a restart\n";
  return points;
}

TEST(KillSweepTest, UninstallEndedAtAnyChangeAndRunAgainEndsAsAnUninterruptedOne) {
  int points = 0;
  for (const Mode& mode : kModes) points += SweepMode(mode);
  EXPECT_GT(points, 0);
  ::testing::Test::RecordProperty("points", points);
  sim::Reset();
}

}  // namespace
