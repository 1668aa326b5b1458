// The registry dump over a tree built from the input: nested keys, value
// names of any length, any type, data of any length with or without NULs.
//
// Input: a fault (2 bytes), then up to 64 items, each a byte that picks the
// parent key among those made so far and whether a key or a value follows:
//   key:   name (1-byte length, then the bytes);
//   value: name (likewise), type (1 byte, from 0xF1 up a large type),
//          data (2-byte length, then the bytes).
// Line breaks in names and data become blanks, so that the printed lines can
// be told apart and checked one by one.
#include "configuration_checks.h"
#include "fuzz.h"

#include <vector>

namespace {

const char kTree[] = "Software\\Velmora Software";
const char kHeadingStart[] = "     Values for key: ";
const char kValueIndent[] = "               ";
const char kValueSeparator[] = ":     ";
const size_t kMaxItems = 64;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Name(FuzzInput& input) { return Without(Without(input.ShortText(), '\0', '_'), '\n', ' '); }

// Every key printed is one of the tree, once, with a heading, its lines
// indented, each with a name and its text, and no more lines than it has
// values.
void CheckDump(const std::string& text) {
  FUZZ_CHECK(text.empty() || text.back() == '\n');
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::vector<std::string> printed;
  for (size_t i = 0; i < lines.size();) {
    FUZZ_CHECK(lines[i].empty());
    ++i;
    FUZZ_CHECK(i < lines.size() && StartsWith(lines[i], kHeadingStart));
    std::string path = lines[i++].substr(sizeof kHeadingStart - 1);
    FUZZ_CHECK(StartsWith(path, kTree) && sim::KeyExists(HKEY_LOCAL_MACHINE, path));
    for (const std::string& seen : printed) FUZZ_CHECK(seen != path);
    printed.push_back(path);
    size_t values = 0;
    for (; i < lines.size() && StartsWith(lines[i], kValueIndent); ++i, ++values)
      FUZZ_CHECK(lines[i].find(kValueSeparator, sizeof kValueIndent - 1) != std::string::npos);
    FUZZ_CHECK(values >= 1 && values <= sim::ValueNames(HKEY_LOCAL_MACHINE, path).size());
  }
}

}  // namespace

void FuzzRegistryDump(const uint8_t* data, size_t size) {
  FreshMachine();
  ChooseCodePage(data, size);
  FuzzInput input(data, size);
  InjectFault(input, {{"RegOpenKeyExA", ERROR_ACCESS_DENIED},
                      {"RegEnumKeyExA", ERROR_ACCESS_DENIED},
                      {"RegEnumValueA", ERROR_ACCESS_DENIED},
                      {"RegQueryInfoKeyA", ERROR_ACCESS_DENIED},
                      {"malloc", ERROR_NOT_ENOUGH_MEMORY}});
  std::vector<std::string> keys = {kTree};
  sim::CreateKey(HKEY_LOCAL_MACHINE, kTree);
  for (size_t item = 0; item < kMaxItems && !input.Empty(); ++item) {
    uint8_t choice = input.Byte();
    const std::string parent = keys[(choice >> 1) % keys.size()];
    std::string name = Name(input);
    if (choice & 1) {
      // A key name is never empty and never holds a backslash, nor ends in
      // a lone first byte, which would take the next separator into a
      // character.
      name = Without(name, '\\', '/');
      const char* last = name.c_str();
      for (const char* at = last; *at != '\0'; at = CharNextA(at)) last = at;
      if (!name.empty() && last[1] == '\0' && IsDBCSLeadByte(static_cast<BYTE>(*last))) name.pop_back();
      if (name.empty()) name = "k";
      keys.push_back(parent + "\\" + name);
      sim::CreateKey(HKEY_LOCAL_MACHINE, keys.back());
    } else {
      DWORD type = input.Byte();
      if (type > 0xF0) type |= 0xFFFFFF00;
      sim::SetRawValue(HKEY_LOCAL_MACHINE, parent, name, type, Without(input.LongText(), '\n', ' '));
    }
  }

  LONG result = DumpRegistryKey(HKEY_LOCAL_MACHINE, kTree);
  FUZZ_CHECK(result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED);
  CheckDump(sim::ConsoleText());
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzRegistryDump)
