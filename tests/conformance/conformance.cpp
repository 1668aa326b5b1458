// Runs the conformance cases, each on an empty scratch key and directory, and
// prints one line per case:
//   PASS|FAIL both|native|wine-differs AREA: NAME
// followed by the failed expectations, then a summary. Under Wine the
// wine-differs cases run for information only (INFO lines). The exit code is
// 1 when a case that counts on this build failed.
//
// Cases around a restart run their first part, the machine restarts, then
// their second part. The simulation restarts in between (sim::Reboot); under
// Wine the program runs the first parts (printing only their failures), the
// scenario restarts the machine, and "conformance.exe after-restart" runs the
// second parts.
#include "conformance.h"

#include <cstdlib>
#include <cstdio>
#include <map>
#include <set>

namespace conformance {
namespace {

struct Case {
  std::string area;
  std::string name;
  std::function<void()> run;
  Kind kind;
  const char* reason;
  std::function<void()> afterRestart;  // set for a case around a restart
};

std::vector<Case>& Cases() {
  static std::vector<Case> cases;
  return cases;
}

std::vector<std::string> failures;

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Both:
      return "both";
    case Kind::NativeOnly:
      return "native";
    case Kind::WineDiffers:
      return "wine-differs";
  }
  return "?";
}

// An empty key and directory: whatever was there is removed first.
void MakeEmpty(const char* key, const char* directory) {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
  DeleteDirectoryTree(directory);
  HKEY made = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &made, nullptr) == ERROR_SUCCESS) {
    RegCloseKey(made);
  } else {
    failures.push_back(std::string("the key ") + key + " could not be made");
  }
  if (!CreateDirectoryA(directory, nullptr)) failures.push_back(std::string(directory) + " could not be made");
}

// The machine's ANSI code page on the simulation ("code-page N"); under Wine
// the locale decides it.
UINT simulatedCodePage = 1252;
// Only the cases of this area ("area NAME"), or all.
std::string onlyArea;
// The simulation only: each call with the number of cases that made it
// ("calls" prints them), set-up and clean-up of the scratch places aside.
std::map<std::string, int> casesCalling;

void PrepareScratch() {
#ifdef CVN_SIM
  sim::Reset();
  sim::SetCodePage(simulatedCodePage);
#endif
  MakeEmpty(kScratchKey, kScratchDir);
}

// The places of the cases around a restart, made empty once before their
// first parts and removed after their second parts.
void PrepareRestartScratch() { MakeEmpty(kRestartKey, kRestartDir); }

void ClearRestartScratch() {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kRestartKey);
  DeleteDirectoryTree(kRestartDir);
}

void RunPart(const std::function<void()>& part) {
  try {
    part();
  } catch (const Abort&) {
  } catch (const std::exception& e) {
    failures.push_back(std::string("exception: ") + e.what());
  }
}

void RunCase(const Case& c) {
  failures.clear();
  PrepareScratch();
  if (c.afterRestart) PrepareRestartScratch();
#ifdef CVN_SIM
  const std::map<std::string, int> before = sim::CallCounts();
#endif
  RunPart(c.run);
#ifdef CVN_SIM
  if (c.afterRestart) {
    sim::Reboot();
    RunPart(c.afterRestart);
  }
  for (const auto& call : sim::CallCounts()) {
    auto earlier = before.find(call.first);
    if (call.second > (earlier == before.end() ? 0 : earlier->second)) ++casesCalling[call.first];
  }
  if (c.afterRestart) ClearRestartScratch();
  // Every case releases what it opened: the simulation counts it.
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kScratchKey);
  if (sim::OpenHandles() != 0) failures.push_back("handles left open: " + std::to_string(sim::OpenHandles()));
  if (sim::WinsockStarted() != 0) failures.push_back("WSAStartup without WSACleanup");
#endif
}

// One case's line (and its failures); false when it counts as failed.
bool Report(const Case& c, bool native, std::map<std::string, int>* passed, std::map<std::string, int>* failed) {
  bool ok = failures.empty();
  if (!native && c.kind == Kind::WineDiffers) {
    std::printf("INFO wine-differs %s: %s (%s; %s)\n", c.area.c_str(), c.name.c_str(),
                ok ? "Wine now agrees" : "Wine still differs", c.reason);
    return true;
  }
  std::printf("%s %s %s: %s\n", ok ? "PASS" : "FAIL", KindName(c.kind), c.area.c_str(), c.name.c_str());
  for (const std::string& failure : failures) std::printf("    %s\n", failure.c_str());
  (*(ok ? passed : failed))[KindName(c.kind)]++;
  return ok;
}

}  // namespace

bool Add(const char* area, const std::string& name, std::function<void()> run, Kind kind, const char* reason) {
  for (const Case& c : Cases()) {
    if (c.area == area && c.name == name) {
      std::fprintf(stderr, "case registered twice: %s: %s\n", area, name.c_str());
      std::abort();
    }
  }
  Cases().push_back(Case{area, name, std::move(run), kind, reason, nullptr});
  return true;
}

bool AddAroundRestart(const char* area, const std::string& name, std::function<void()> before,
                      std::function<void()> after) {
  Add(area, name, std::move(before));
  Cases().back().afterRestart = std::move(after);
  return true;
}

std::string RestartScratch(const std::string& name) { return std::string(kRestartDir) + "\\" + name; }

void Fail(const char* file, int line, const std::string& what) {
  const char* base = std::strrchr(file, '/');
  failures.push_back(std::string(base ? base + 1 : file) + ":" + std::to_string(line) + ": " + what);
}

std::string Scratch(const std::string& name) { return std::string(kScratchDir) + "\\" + name; }

std::wstring Wide(const std::string& ansi) {
  WCHAR wide[1024] = {};
  int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, 1024);
  return length > 0 ? std::wstring(wide) : std::wstring();
}

// By the wide calls, which take every name as the registry keeps it (the
// ANSI calls cannot open a name the code page lacks).
static void DeleteKeyTreeWide(HKEY parent, const std::wstring& name) {
  // Each level is opened through its parent: the ANSI calls refuse paths
  // longer than MAX_PATH under Wine.
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  std::vector<std::wstring> subkeys;
  WCHAR subkey[MAX_PATH];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof subkey / sizeof subkey[0];
    if (RegEnumKeyExW(key, i, subkey, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(std::wstring(subkey, size));
  }
  for (const std::wstring& child : subkeys) DeleteKeyTreeWide(key, child);
  RegCloseKey(key);
  RegDeleteKeyW(parent, name.c_str());
}

void DeleteKeyTree(HKEY parent, const std::string& name) {
  WCHAR wide[2 * MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide, sizeof wide / sizeof wide[0]) != 0)
    DeleteKeyTreeWide(parent, wide);
}

// By the names as kept: the ANSI calls would list a name outside the code
// page as its conversion, which may name another file or none.
static void DeleteWideTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = path + L"\\" + name;
      SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteWideTree(full);
      } else {
        DeleteFileW(full.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(path.c_str());
}

void DeleteDirectoryTree(const std::string& path) { DeleteWideTree(Wide(path)); }

bool WriteWholeFile(const std::string& path, const std::string& contents) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = contents.empty() ||
            WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == contents.size();
}

HKEY OpenScratch(const std::string& sub, REGSAM access) {
  std::string path = kScratchKey;
  if (!sub.empty()) path += "\\" + sub;
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key);
  if (result != ERROR_SUCCESS) {
    Fail(__FILE__, __LINE__, "cannot open " + path + ": " + std::to_string(result));
    throw Abort{};
  }
  return key;
}

const char* DoubleByteCharacter() {
  static const struct {
    UINT codePage;
    const char* character;
  } kCharacters[] = {{932, "\x95\x5c"}, {936, "\x81\x5c"}, {949, "\xc7\xd1"}, {950, "\xa5\x5c"}};
  for (const auto& row : kCharacters) {
    if (row.codePage == GetACP()) return row.character;
  }
  return nullptr;
}

}  // namespace conformance

int main(int argc, char** argv) {
  using namespace conformance;
#ifdef CVN_SIM
  const bool native = true;
#else
  const bool native = false;
  setvbuf(stdout, nullptr, _IONBF, 0);
#endif
  const bool afterRestart = !native && argc > 1 && std::strcmp(argv[1], "after-restart") == 0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "code-page") == 0) simulatedCodePage = static_cast<UINT>(std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "area") == 0) onlyArea = argv[i + 1];
  }
  std::map<std::string, int> passed, failed;
  int countedFailures = 0;
  if (afterRestart) {
    for (const Case& c : Cases()) {
      if (!c.afterRestart || (!onlyArea.empty() && c.area != onlyArea)) continue;
      failures.clear();
      RunPart(c.afterRestart);
      if (!Report(c, native, &passed, &failed)) ++countedFailures;
    }
    ClearRestartScratch();
  } else {
    bool restartPrepared = false;
    for (const Case& c : Cases()) {
      if (!onlyArea.empty() && c.area != onlyArea) continue;
      if (!native && c.afterRestart) {
        // The first part only; its second part reports the case.
        failures.clear();
        PrepareScratch();
        if (!restartPrepared) PrepareRestartScratch();
        restartPrepared = true;
        RunPart(c.run);
        if (!failures.empty() && !Report(c, native, &passed, &failed)) ++countedFailures;
        continue;
      }
      RunCase(c);
      if (!Report(c, native, &passed, &failed)) ++countedFailures;
    }
    PrepareScratch();
  }
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kScratchKey);
  DeleteDirectoryTree(kScratchDir);
  for (const char* kind : {"both", "native", "wine-differs"}) {
    if (passed[kind] + failed[kind] == 0) continue;
    std::printf("conformance %s%s: %d passed, %d failed\n", afterRestart ? "after restart " : "", kind,
                passed[kind], failed[kind]);
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "calls") != 0) continue;
    for (const auto& call : casesCalling) std::printf("calls %s %d\n", call.first.c_str(), call.second);
  }
  return countedFailures == 0 ? 0 : 1;
}
