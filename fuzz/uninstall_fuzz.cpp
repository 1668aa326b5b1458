// Both uninstall hooks over a generated machine: any InstallationDirectory,
// ProtectedDatasetDirectory, JournalRoot and stashed directory (missing, of
// any type, empty, relative, a root, with "..", long, odd bytes), any tree
// below and around them, services that stop or not, silent or attended with
// any answers. Nothing outside the product's own directories, files, keys and
// services is deleted or left for deletion at the next start (the data
// directories are not the product's to delete when unattended, nor is
// anything below the Windows directory that a value names), and the
// hooks return 0 or -1 (the second always 0). After a swap, what was left
// for the next start by name is not judged (a name can lead elsewhere).
//
// After the hooks, before the restart, a user may swap a directory of the
// tree for a junction to a directory of the system's that holds an entry of
// each name the swapped one held: the restart deletes nothing there.
//
// The process may be ended just before or right after a call that changes
// the machine, at one of its first 16 uses; then the system closes what it
// held, Windows restarts or not, and the whole uninstall runs again, judged
// as one that was not ended. The status file, where there is one, is then a
// shipped copy completed once (or as it was).
//
// Input: a fault or a kill (2 bytes: a choice past the faults picks the
// call, before or after it, and the restart; the use); a flags byte (bit 0 unattended, bit 1 the
// uninstaller removes the product key between the hooks, bit 2 the second
// hook runs after an abort too, bit 3 the shared control's counter exists,
// bit 4 a user swaps the stashed installation directory for a junction to
// the system directory between the hooks, on Windows 2000; bits 5-7 the
// directory of the tree swapped after the hooks (from Windows 2000 on), 0 none);
// the answers (2 bytes, bit n: the nth dialog is answered Yes); the services
// (a byte, bit n: the nth product service is installed, bits 5-6 the system:
// Windows 2000, NT 4.0, XP or NT 3.51, each with files held open by the tree;
// a byte, bits 0-4:
// its dependents run, bits 5-7: queries until it stops, 7 never); four
// values (InstallationDirectory, ProtectedDatasetDirectory, JournalRoot, the
// stash), each a type byte (0 missing, 1 REG_SZ, 2 REG_EXPAND_SZ, 3 REG_SZ
// without its NUL, else that type), a byte that picks a directory of the
// tree to start from (none past the list) and a text (2-byte length) that
// follows it; then the tree's items (see FuzzTree::Grow).
#include "fuzz_machine.h"
#include "hooks.h"

namespace {

const size_t kMaxItems = 40;
const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
const char kStashKey[] = "SOFTWARE\\Velmora Software Uninstall";
const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char* const kValueNames[] = {"InstallationDirectory", "ProtectedDatasetDirectory", "JournalRoot"};
const char* const kProductServices[] = {"CVNSvc", "NobleNet Portmapper for TCP", "cvn-jnl", "cvn-fltr",
                                        "cvn-rec"};
const char* const kOtherServices[] = {"EventLog", "CVNSvc2", "cvn-jnlx", "NobleNet"};
const char* const kDriverFiles[] = {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys", "cvnmapi.log"};
const char* const kProgramFiles[] = {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll", "cvnmapi.dll"};
// Registry trees the hooks own.
const char* const kOwnedKeys[] = {"HKLM\\SOFTWARE\\VELMORA SOFTWARE\\CORVANE",
                                  "HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS\\CVNSVC.EXE",
                                  "HKCU\\SOFTWARE\\VELMORA SOFTWARE\\CORVANE",
                                  "HKLM\\SOFTWARE\\VELMORA SOFTWARE UNINSTALL"};
// Where Windows records the file operations left for the next start. Those
// operations are judged as file changes after the restart, not as a value.
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER|PENDINGFILERENAMEOPERATIONS";

struct StoredValue {
  uint8_t type;
  uint8_t base;
  std::string text;
};

StoredValue ReadStoredValue(FuzzInput& input) {
  StoredValue value;
  value.type = input.Byte();
  value.base = input.Byte();
  value.text = input.LongText();
  return value;
}

// Stores the value; returns the text the product reads from it, or nothing
// when it is no string.
bool StoreValue(const StoredValue& value, const FuzzTree& tree, const char* key, const char* name,
                std::string* text) {
  if (value.type == 0) return false;
  std::string data = tree.Pick(value.base) + value.text;
  switch (value.type) {
    case 1:
      sim::SetValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ, data);
      break;
    case 2:
      sim::SetValue(HKEY_LOCAL_MACHINE, key, name, REG_EXPAND_SZ, data);
      break;
    case 3:
      sim::SetRawValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ, data);
      break;
    default:
      sim::SetRawValue(HKEY_LOCAL_MACHINE, key, name, value.type, data);
      return false;
  }
  *text = CText(data);
  return true;
}

// Where a swap leads: the system's, outside every tree the hooks may touch.
const char kSystemFiles[] = "C:\\System Files";

// Renames `directory` away and puts a junction to kSystemFiles in its place,
// kSystemFiles then holding a file, or a directory that is not empty, of each
// name the directory held. False when the rename fails (an injected fault).
bool SwapForJunction(std::string directory) {
  while (directory.size() > 3 && directory.back() == '\\') directory.pop_back();
  if (directory.size() <= 3 || !sim::IsDirectory(directory)) return false;
  std::vector<std::string> names = sim::DirectoryEntries(directory);
  std::string moved = directory + ".old";
  if (sim::Exists(moved) || !MoveFileExA(directory.c_str(), moved.c_str(), 0)) return false;
  sim::MakeDirectory(kSystemFiles);
  for (const std::string& name : names) {
    std::string victim = std::string(kSystemFiles) + "\\" + name;
    try {
      sim::MakeFile(sim::IsDirectory(moved + "\\" + name) ? victim + "\\system.dat" : victim, "system");
    } catch (const std::invalid_argument&) {  // a path too long
    }
  }
  sim::MakeJunction(directory, kSystemFiles);
  return true;
}

// Every entry below kSystemFiles.
std::map<std::string, sim::EntryState> SystemFiles() {
  std::map<std::string, sim::EntryState> entries;
  std::string prefix = UpperText(kSystemFiles) + "\\";
  for (const auto& entry : sim::FileSnapshot())
    if (entry.first.compare(0, prefix.size(), prefix) == 0) entries.insert(entry);
  return entries;
}

bool KeyWithin(const std::string& entry, const std::string& key) {
  return entry.compare(0, key.size(), key) == 0 &&
         (entry.size() == key.size() || entry[key.size()] == '\\' || entry[key.size()] == '|');
}

void ArrangeMachine() {
  sim::AddDrive('D');
  sim::CreateKey(HKEY_LOCAL_MACHINE, kSessionManager);
  sim::MakeFile("C:\\WINNT\\system32\\drivers\\cvn-rec.sys", "driver");
  sim::MakeFile("C:\\WINNT\\system32\\drivers\\keep.sys", "driver");
  sim::MakeFile("C:\\WINNT\\system32\\kernel32.dll", "system");
  sim::MakeFile("C:\\WINNT\\system32\\cvnbase.dll", "system");
  sim::MakeFile("C:\\Users\\keep.rpt", "report");
  sim::MakeFile("C:\\Users\\Logs\\keep.log", "log");
  sim::MakeFile("C:\\Program Files\\CorvaneLogs\\keep.log", "log");
  sim::MakeFile("C:\\Program Files\\Corvane\\cvnunins.mi_", "status");
  sim::MakeFile("C:\\Program Files\\Corvane\\Logs\\cvn.log", "log");
  sim::MakeFile("C:\\Program Files\\Corvane\\help.GID", "help");
  sim::MakeFile("C:\\Program Files\\Corvane\\cvnadmin.exe", "program");
  sim::MakeFile("C:\\Corvane\\Databases\\jobs.db", "data");
  sim::MakeFile("C:\\Corvane\\Journals\\1\\j.jnl", "data");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "Type", REG_DWORD, std::string("\1\0\0\0", 4));
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kProductKey) + "\\Jobs\\1");
  sim::SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane2", "Keep", 1);
  sim::SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Other", "Keep", 1);
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cvnsvc.exe", "",
                REG_SZ, "C:\\Program Files\\Corvane\\cvnsvc.exe");
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\other.exe", "",
                REG_SZ, "C:\\other.exe");
  sim::SetDword(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane\\Prefs", "Keep", 1);
  sim::SetDword(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Keep", "Keep", 1);
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, "C:\\Other\\cvnax.ocx", 3);
  for (const char* name : kOtherServices) sim::AddService(name);
}

// A user renames the stashed installation directory away (when it is a real
// directory of its own path) and puts a junction to C:\WINNT\system32 in its
// place.
// The swap's own changes are allowed: they are inside the product's place.
bool SwapStashedDirectory(FileAllowance* allowed) {
  std::string directory = sim::GetString(HKEY_LOCAL_MACHINE, kStashKey, kValueNames[0]);
  while (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) directory.pop_back();
  std::string physical = directory.empty() ? "" : sim::ResolvePath(directory);
  if (physical.size() <= 3 || physical != sim::ResolvePath(directory, false) || !sim::IsDirectory(directory) ||
      !allowed->Allows(physical))
    return false;
  sim::OsVersion windows2000;
  windows2000.major = 5;
  sim::SetOsVersion(windows2000);
  if (sim::MoveAsUser(directory, directory + "~") != ERROR_SUCCESS) return false;
  sim::MakeJunction(directory, "C:\\WINNT\\system32");
  allowed->Tree(directory + "~");
  return true;
}

// Calls that change the machine, where the process may be ended.
const char* const kKillCalls[] = {"RegCreateKeyExA",  "RegSetValueExA",     "RegDeleteKeyA", "DeleteFileA",
                                  "MoveFileExA",      "CopyFileA",          "RemoveDirectoryA",
                                  "SetFileAttributesA", "WriteFile",        "ControlService",
                                  "DeleteService",      "DeleteFileW",      "MoveFileExW",
                                  "RemoveDirectoryW",   "SetFileAttributesW", "RegDeleteKeyW"};
const size_t kFaults = 15;  // the faults FuzzUninstall may inject
const size_t kKillChoices = 4 * (sizeof kKillCalls / sizeof kKillCalls[0]);
const char kStatusFile[] = "C:\\WINNT\\cvnunins.mif";

// What the first choice past the faults picks: a call, before or after it,
// restart or not (4 choices a call).
struct KillChoice {
  bool chosen = false;
  bool restart = false;
};

KillChoice ChooseKill(const FuzzFaultChoice& fault) {
  KillChoice kill;
  size_t index = fault.index - kFaults;
  if (fault.index < kFaults || index >= kKillChoices) return kill;
  sim::KillAtCall(kKillCalls[index / 4], fault.nth, index & 1);
  kill.chosen = true;
  kill.restart = index & 2;
  return kill;
}

// Choices past the kills: a user acts at one call of the hooks, of any kind
// (the call's number from the choice and the use byte), as another process
// may at any moment: plants names that the ANSI calls would read as a way
// up ("．．＼victim.txt") or not at all ("日本.log") in the product's
// directories, swaps a directory of the product's for a junction to the
// system directory (from Windows 2000 on), or makes a registry link in the
// product's key to a key that is not the product's.
const size_t kActions = 3;
const char kPlantedLink[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5\\Jobs\\Link";
const char kLinkTarget[] = "SOFTWARE\\Velmora Software\\Other";
const std::u16string kPlantedNames[] = {u"\uFF0E\uFF0E\uFF3Cvictim.txt", u"\u65E5\u672C.log"};

bool SwapAllowedDirectory(const std::string& path, FileAllowance* allowed) {
  std::string directory = path;
  while (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) directory.pop_back();
  std::string physical = directory.empty() ? "" : sim::ResolvePath(directory);
  if (physical.size() <= 3 || physical != sim::ResolvePath(directory, false) || !sim::IsDirectory(directory) ||
      !allowed->Allows(physical) || sim::MoveAsUser(directory, directory + "~") != ERROR_SUCCESS)
    return false;
  sim::MakeJunction(directory, "C:\\WINNT\\system32");
  allowed->Tree(directory + "~");
  return true;
}

// Plants the names in `directory` where the run may change it.
void PlantNames(const std::string& directory, const FileAllowance& allowed) {
  std::u16string base = sim::UnicodeSpelling(directory);
  while (!base.empty() && base.back() == u'\\') base.pop_back();
  for (const std::u16string& name : kPlantedNames) {
    std::string resolved = sim::ResolvePath(base + u"\\" + name);
    try {
      if (!resolved.empty() && allowed.Allows(resolved) && sim::IsDirectory(directory))
        sim::MakeFile(base + u"\\" + name, "planted");
    } catch (const std::exception&) {  // a path too long, a name taken
    }
  }
}

// Contents of a file; "" when it is missing or its path cannot be read.
std::string ContentsOf(const std::string& path) {
  try {
    return sim::FileContents(path);
  } catch (const std::exception&) {
    return "";
  }
}

}  // namespace

void FuzzUninstall(const uint8_t* data, size_t size) {
  FreshMachine();
  ChooseCodePage(data, size);
  FuzzInput input(data, size);
  FuzzFaultChoice fault = InjectFault(input, {{"RegOpenKeyExA", ERROR_ACCESS_DENIED},
                      {"RegQueryValueExA", ERROR_ACCESS_DENIED},
                      {"RegCreateKeyExA", ERROR_ACCESS_DENIED},
                      {"RegEnumKeyExA", ERROR_ACCESS_DENIED},
                      {"FindFirstFileA", ERROR_ACCESS_DENIED},
                      {"FindNextFileA", ERROR_ACCESS_DENIED},
                      {"DeleteFileA", ERROR_ACCESS_DENIED},
                      {"MoveFileExA", ERROR_ACCESS_DENIED},
                      {"RemoveDirectoryA", ERROR_SHARING_VIOLATION},
                      {"OpenSCManagerA", ERROR_ACCESS_DENIED},
                      {"OpenServiceA", ERROR_ACCESS_DENIED},
                      {"GetSystemDirectoryA", ERROR_ACCESS_DENIED},
                      {"GetWindowsDirectoryA", ERROR_ACCESS_DENIED},
                      {"CopyFileA", ERROR_ACCESS_DENIED},
                      {"malloc", ERROR_NOT_ENOUGH_MEMORY}});
  uint8_t flags = input.Byte();
  uint16_t answers = input.Word();
  uint8_t installed = input.Byte();
  uint8_t behaviour = input.Byte();
  StoredValue values[4];
  for (StoredValue& value : values) value = ReadStoredValue(input);

  ArrangeMachine();
  FuzzTree tree({"C:\\Program Files\\Corvane\\", "C:\\Corvane\\Databases", "C:\\Corvane\\Journals",
                 "C:\\Users", "C:\\WINNT", "D:\\"});
  tree.Grow(input, kMaxItems);
  for (int i = 0; i < 16; ++i) sim::QueueAnswer(answers >> i & 1 ? IDYES : IDNO);
  for (int i = 0; i < 5; ++i) {
    if (!(installed >> i & 1)) continue;
    sim::ServiceSetup setup;
    setup.dependentsRunning = behaviour >> i & 1;
    int queries = behaviour >> 5;
    setup.stopsAfterQueries = queries == 7 ? sim::kNeverStops : queries;
    sim::AddService(kProductServices[i], setup);
  }
  static const DWORD kSystems[][2] = {{5, 0}, {4, 0}, {5, 1}, {3, 51}};
  sim::OsVersion system;
  system.major = kSystems[installed >> 5 & 3][0];
  system.minor = kSystems[installed >> 5 & 3][1];
  sim::SetOsVersion(system);
  // Victims one level above the product's directories.
  sim::MakeFile("C:\\Corvane\\victim.txt", "theirs");
  sim::MakeFile("C:\\Program Files\\victim.txt", "theirs");
  bool silent = flags & 1;
  sim::SetCommandLine(silent ? "uninst.exe -a -f\"C:\\WINNT\\cvn.isu\"" : "uninst.exe -f\"C:\\WINNT\\cvn.isu\"");

  // The product's own places: its directories as the values name them, and
  // its fixed files.
  FileAllowance allowed;
  std::string texts[4];
  std::vector<std::string> installDirectories;
  for (int i = 0; i < 4; ++i) {
    bool isString = i < 3 ? StoreValue(values[i], tree, kProductKey, kValueNames[i], &texts[i])
                          : StoreValue(values[i], tree, kStashKey, kValueNames[0], &texts[i]);
    if (!isString) continue;
    // Nothing at or below the Windows directory is the product's, whatever
    // a value names.
    std::string resolved = sim::ResolvePath(texts[i]);
    if (resolved == "C:\\WINNT" || IsBelow(resolved, "C:\\WINNT")) continue;
    // Unattended, the databases and journals stay.
    bool data = i == 1 || i == 2;
    if (!data || !silent) allowed.Tree(texts[i]);
    if (i == 0 || i == 3) installDirectories.push_back(texts[i]);
  }
  for (const std::string& directory : installDirectories) {
    for (const char* name : kProgramFiles) allowed.Entry(directory + "\\" + name);
    // Its log directory, also where the directory is a drive's root.
    allowed.Tree(directory + "\\Logs");
  }
  for (const char* name : kDriverFiles) allowed.Entry(std::string("C:\\WINNT\\system32\\drivers\\") + name);
  allowed.Entry("C:\\WINNT\\cvnunins.mi_");
  allowed.Entry("C:\\WINNT\\cvnunins.mif");
  allowed.Entry("C:\\WINNT\\cvnunins.mi~");
  std::string sharedControl = UpperText("HKLM\\" + std::string(kSharedDlls) + "|" + texts[0] + "cvnax.ocx");
  try {
    if (flags & 8) sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, texts[0] + "cvnax.ocx", 5);
  } catch (const std::exception&) {  // a name the registry does not take
  }

  // The status file may be a shipped copy, completed once, or one there already.
  std::vector<std::string> statusTexts = {ContentsOf(kStatusFile),
                                          ContentsOf("C:\\WINNT\\cvnunins.mi_") + " "};
  if (!texts[0].empty()) statusTexts.push_back(ContentsOf(texts[0] + "cvnunins.mi_") + " ");
  KillChoice kill = ChooseKill(fault);
  auto files = sim::FileSnapshot();
  auto registry = RegistrySnapshot();
  bool swapped = false;
  if (fault.index >= kFaults + kKillChoices) {
    size_t choice = fault.index - kFaults - kKillChoices;
    int call = static_cast<int>(choice / kActions) * 16 + fault.nth;
    sim::BeforeCall("", call, [&, choice] {
      switch (choice % kActions) {
        case 0:
          for (uint8_t i = 0; i < 3; ++i) {
            PlantNames(tree.Pick(i), allowed);
            PlantNames(tree.Pick(i) + "\\Logs", allowed);
          }
          break;
        case 1:
          if (system.major >= 5)
            swapped = SwapAllowedDirectory(tree.Pick(static_cast<uint8_t>(choice / kActions % 3)), &allowed) ||
                      swapped;
          break;
        default:
          sim::MakeRegistryLink(HKEY_LOCAL_MACHINE, kPlantedLink, HKEY_LOCAL_MACHINE, kLinkTarget);
      }
    });
  }
  auto uninstall = [&] {
    LONG first = UninstInitialize(NULL, NULL, 0);
    FUZZ_CHECK(first == 0 || first == -1);
    sim::KillIfDue();
    if (flags & 2) sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    swapped = swapped || ((flags & 16) && SwapStashedDirectory(&allowed));
    if (first == 0 || (flags & 4)) FUZZ_CHECK(UninstUnInitialize(NULL, NULL, 0) == 0);
    sim::KillIfDue();
  };
  try {
    uninstall();
  } catch (const sim::ProcessKilled&) {
    sim::EndProcess();
    // What a swap left for the next start by name is not judged: no restart then.
    if (kill.restart && !swapped) sim::Reboot();
    uninstall();
  }
  if (sim::Exists(kStatusFile))
    FUZZ_CHECK(std::find(statusTexts.begin(), statusTexts.end(), ContentsOf(kStatusFile)) != statusTexts.end());

  CheckFileChanges(files, allowed, !swapped);
  CheckRegistryChanges(registry, [&](const std::string& entry) {
    if (entry == sharedControl || entry == kPendingRenames) return true;
    for (const char* key : kOwnedKeys)
      if (KeyWithin(entry, key)) return true;
    return false;
  });
  for (const char* name : kOtherServices) {
    FUZZ_CHECK(sim::ServiceExists(name) && !sim::ServiceMarkedForDeletion(name));
    FUZZ_CHECK(sim::StopsAccepted(name) == 0);
  }
  CheckReleased();
  if (swapped) return;
  // Junctions exist from Windows 2000 on.
  if ((flags >> 5) != 0 && system.major >= 5 && SwapForJunction(tree.Pick(static_cast<uint8_t>((flags >> 5) - 1)))) {
    // What the hooks did was judged above; now only the swap's target counts.
    auto systemFiles = SystemFiles();
    sim::Reboot();
    FUZZ_CHECK(SystemFiles() == systemFiles);
    return;
  }
  sim::Reboot();
  CheckFileChanges(files, allowed);
}

CVN_FUZZ_TARGET(FuzzUninstall)
