// DeleteTree alone over a generated tree, with any directory and pattern:
// nothing outside the directory it is given changes, now or at the next
// start, whatever the tree holds (files in use, read-only entries, junctions
// out of the tree, back into it, in loops, to nowhere).
//
// Input: a fault (2 bytes); the directory: a byte that picks one of the
// tree's directories (none past the list) and a text appended to it; the
// pattern (1-byte length, then the bytes); a byte that picks the current
// directory; then the tree's items (see FuzzTree::Grow).
#include "fuzz_machine.h"
#include "removal.h"

namespace {

const size_t kMaxItems = 48;

}  // namespace

void FuzzDeleteTree(const uint8_t* data, size_t size) {
  FreshMachine();
  ChooseCodePage(data, size);
  sim::AddDrive('D');
  FuzzInput input(data, size);
  InjectFault(input, {{"FindFirstFileA", ERROR_ACCESS_DENIED},
                      {"FindNextFileA", ERROR_ACCESS_DENIED},
                      {"DeleteFileA", ERROR_ACCESS_DENIED},
                      {"MoveFileExA", ERROR_ACCESS_DENIED},
                      {"RemoveDirectoryA", ERROR_SHARING_VIOLATION},
                      {"GetFileAttributesA", ERROR_ACCESS_DENIED}});
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
  if (!current.empty() && sim::ResolvePath(current) == sim::ResolvePath(current, false))
    sim::SetCurrentDirectory(current);

  FileAllowance allowed;
  allowed.Tree(directory);
  auto before = sim::FileSnapshot();
  int result = DeleteTree(directory.c_str(), pattern.c_str());
  FUZZ_CHECK(result == 0 || result == 1);
  CheckFileChanges(before, allowed);
  CheckReleased();
  sim::Reboot();
  CheckFileChanges(before, allowed);
}

CVN_FUZZ_TARGET(FuzzDeleteTree)
