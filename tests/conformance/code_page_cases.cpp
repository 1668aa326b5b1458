// The system's ANSI code page: which bytes start a character of two bytes,
// stepping through text by characters, and names whose second byte is a
// backslash in paths and registry keys. The cases hold in every code page;
// the locale (under Wine) or the "code-page" argument (on the simulation)
// chooses it.
#include "conformance.h"

namespace {

using conformance::DoubleByteCharacter;
using conformance::Scratch;

const char kArea[] = "code page";

struct LeadRange {
  UINT codePage;
  int first;
  int last;
};
const LeadRange kLeadRanges[] = {
    {932, 0x81, 0x9F}, {932, 0xE0, 0xFC}, {936, 0x81, 0xFE}, {949, 0x81, 0xFE}, {950, 0x81, 0xFE},
};

bool InLeadRange(int byte) {
  for (const LeadRange& range : kLeadRanges) {
    if (range.codePage == GetACP() && byte >= range.first && byte <= range.last) return true;
  }
  return false;
}

CASE(kArea, "IsDBCSLeadByte gives the first-byte ranges of the code page") {
  for (int byte = 0; byte < 256; ++byte) {
    CHECK_EQ(IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE, InLeadRange(byte));
  }
}

CASE(kArea, "CharNextA steps over a whole character and stops at the NUL") {
  const char* character = DoubleByteCharacter();
  const std::string text = std::string(character ? character : "\x95\x5c") + "A";
  CHECK_EQ(CharNextA(text.c_str()) - text.c_str(), character ? 2 : 1);
  const char lone[] = "\x95";  // a first byte just before the NUL stands alone
  CHECK_EQ(CharNextA(lone) - lone, 1);
  const char empty[] = "";
  CHECK_EQ(CharNextA(empty) - empty, 0);
}

CASE(kArea, "CharPrevA finds the first byte of the last character") {
  const char* character = DoubleByteCharacter();
  const std::string text = std::string("a") + (character ? character : "\x95\x5c");
  const char* end = text.c_str() + text.size();
  CHECK_EQ(CharPrevA(text.c_str(), end) - text.c_str(), character ? 1 : 2);
  CHECK_EQ(CharPrevA(text.c_str(), text.c_str()) - text.c_str(), 0);
}

// "name" + character, with and without "Logs" after it: on a page of one
// byte a character the backslash byte is a separator and there is no case.
CASE(kArea, "a directory whose last character ends in the backslash byte has no sibling inside") {
  const char* character = DoubleByteCharacter();
  if (character == nullptr) return;
  const std::string directory = Scratch(std::string("name") + character);
  REQUIRE(CreateDirectoryA(directory.c_str(), nullptr));
  REQUIRE(CreateDirectoryA((directory + "\\Logs").c_str(), nullptr));
  REQUIRE(conformance::WriteWholeFile(directory + "\\Logs\\own.log", "x"));
  CHECK_EQ(GetFileAttributesA((directory + "Logs").c_str()), INVALID_FILE_ATTRIBUTES);
  CHECK(GetFileAttributesA((directory + "\\Logs\\own.log").c_str()) != INVALID_FILE_ATTRIBUTES);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((Scratch("name") + "?").c_str(), &found);
  REQUIRE(find != INVALID_HANDLE_VALUE);
  CHECK_STR(found.cFileName, std::string("name") + character);
  CHECK(!FindNextFileA(find, &found));
  CHECK(FindClose(find));
}

CASE(kArea, "a key name whose second byte is the backslash's is one key") {
  const char* character = DoubleByteCharacter();
  if (character == nullptr) return;
  HKEY scratch = conformance::OpenScratch();
  const std::string name = std::string("key") + character;
  HKEY key = nullptr;
  REQUIRE(RegCreateKeyExA(scratch, (name + "\\sub").c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) == ERROR_SUCCESS);
  RegCloseKey(key);
  char listed[MAX_PATH];
  DWORD size = sizeof listed;
  CHECK_EQ(RegEnumKeyExA(scratch, 0, listed, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  CHECK_STR(listed, name);
  CHECK_EQ(size, name.size());
  CHECK_EQ(RegEnumKeyExA(scratch, 1, listed, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  CHECK_EQ(RegOpenKeyExA(scratch, "key", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  RegCloseKey(scratch);
}

}  // namespace
