// DeleteTree alone over a generated tree, with any directory and pattern:
// nothing outside the directory it is given changes, now or at the next
// start, whatever the tree holds (files in use, read-only entries, junctions
// out of the tree, back into it, in loops, to nowhere), whatever their names
// (beyond the code page, or look-alikes of dots and separators).
//
// Input: a fault (2 bytes); the directory: a byte that picks one of the
// tree's directories (none past the list) and a text appended to it; the
// pattern (1-byte length, then the bytes); a byte that picks the current
// directory; then the tree's items (see FuzzTree::Grow).
//
// A fault choice just past the faults is a user's swap instead: before that
// use of one of the walk's calls, the directory the current-directory byte
// picks (when it is a real directory below the one given) is renamed away
// and a junction out of the tree takes its name, on Windows 2000. Nothing
// outside may change now; what was left for the next start by name is not
// judged then (a name can lead elsewhere by then).
#include "fuzz_machine.h"
#include "removal.h"

namespace {

const size_t kMaxItems = 48;
const char* const kWalkCalls[] = {"GetFileAttributesW", "CreateFileW", "GetFileInformationByHandle",
                                  "FindFirstFileW",     "FindNextFileW", "DeleteFileW",
                                  "MoveFileExW",        "CloseHandle",   "RemoveDirectoryW",
                                  "SetFileAttributesW", "GetFileAttributesA", "CreateFileA"};

// Renames `victim` away inside its parent and puts a junction out of the
// tree in its place, as a user who owns it may.
void SwapForJunction(const std::string& victim) {
  if (sim::MoveAsUser(victim, victim + "~") == ERROR_SUCCESS) sim::MakeJunction(victim, "C:\\Outside");
}

}  // namespace

void FuzzDeleteTree(const uint8_t* data, size_t size) {
  FreshMachine();
  ChooseCodePage(data, size);
  sim::AddDrive('D');
  FuzzInput input(data, size);
  const size_t kFaults = 8;
  FuzzFaultChoice fault = InjectFault(input, {{"FindFirstFileW", ERROR_ACCESS_DENIED},
                                              {"FindNextFileW", ERROR_ACCESS_DENIED},
                                              {"DeleteFileW", ERROR_ACCESS_DENIED},
                                              {"MoveFileExW", ERROR_FILE_NOT_FOUND},
                                              {"RemoveDirectoryW", ERROR_SHARING_VIOLATION},
                                              {"GetFileAttributesW", ERROR_ACCESS_DENIED},
                                              {"CreateFileW", ERROR_SHARING_VIOLATION},
                                              {"GetFileInformationByHandle", ERROR_ACCESS_DENIED}});
  const size_t kCalls = sizeof kWalkCalls / sizeof kWalkCalls[0];
  bool swapChosen = fault.index >= kFaults && fault.index < kFaults + kCalls;
  uint8_t directoryChoice = input.Byte();
  std::string suffix = CText(input.ShortText());
  std::string pattern = CText(input.ShortText());
  uint8_t currentChoice = input.Byte();
  FuzzTree tree({"C:\\Data\\Tree", "C:\\Data\\Sibling", "C:\\Outside", "D:\\Far"});
  sim::MakeFile("C:\\Data\\keep.txt", "keep");
  sim::MakeFile("C:\\Outside\\keep.txt", "keep");
  tree.Grow(input, kMaxItems);
  std::string directory = tree.Pick(directoryChoice) + suffix;
  std::string current = tree.Pick(currentChoice);
  std::string victim = swapChosen ? current : "";
  if (!swapChosen && !current.empty() && sim::ResolvePath(current) == sim::ResolvePath(current, false))
    sim::SetCurrentDirectory(current);

  FileAllowance allowed;
  allowed.Tree(directory);
  // Only a real directory strictly below the one given, so that the swap
  // itself changes nothing outside.
  std::string top = sim::ResolvePath(directory);
  std::string physical = victim.empty() ? "" : sim::ResolvePath(victim);
  bool swapped = !top.empty() && physical == sim::ResolvePath(victim, false) &&
                 physical.size() > top.size() + 1 && physical.compare(0, top.size(), top) == 0 &&
                 physical[top.size()] == '\\' && sim::IsDirectory(victim);
  if (swapped) {
    // Users make junctions from Windows 2000 on.
    sim::OsVersion windows2000;
    windows2000.major = 5;
    sim::SetOsVersion(windows2000);
    sim::BeforeCall(kWalkCalls[fault.index - kFaults], fault.nth, [victim] { SwapForJunction(victim); });
  }
  auto before = sim::FileSnapshot();
  LearnDeferralRule();
  int result = DeleteTree(directory.c_str(), pattern.c_str());
  FUZZ_CHECK(result == 0 || result == 1);
  CheckFileChanges(before, allowed, !swapped);
  CheckReleased();
  if (swapped) return;
  sim::Reboot();
  CheckFileChanges(before, allowed);
}

CVN_FUZZ_TARGET(FuzzDeleteTree)
