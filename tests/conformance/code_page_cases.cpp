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

// Names as Windows keeps them and as the ANSI calls hand them out. The best
// fit rows are Microsoft's WindowsBestFit tables (bestfit1252.txt: FF0E on
// '.', FF3C on '\'; bestfit932.txt: YEN SIGN on 5C); Wine's
// kernel32/tests/codepage.c (test_string_conversion, test_overlapped_buffers)
// records the sizes and the errors.
struct Converted {
  UINT codePage;
  WCHAR unicode;  // the character DoubleByteCharacter() names
};
const Converted kConverted[] = {{932, 0x8868}, {936, 0x4E57}, {949, 0xD55C}, {950, 0x529F}};

std::string ToAnsi(const WCHAR* text, int length, BOOL* usedDefault) {
  char bytes[64] = {};
  int size = WideCharToMultiByte(CP_ACP, 0, text, length, bytes, sizeof bytes, nullptr, usedDefault);
  return std::string(bytes, static_cast<size_t>(size > 0 ? size : 0));
}

CASE(kArea, "a character of the page converts both ways exactly") {
  const char* character = DoubleByteCharacter();
  WCHAR expected = 0xE9;  // LATIN SMALL LETTER E WITH ACUTE, 0xE9 on 1252
  std::string bytes = "\xe9";
  for (const Converted& row : kConverted) {
    if (row.codePage == GetACP()) expected = row.unicode;
  }
  if (character != nullptr) bytes = character;
  if (character == nullptr && GetACP() != 1252) return;
  WCHAR wide[8] = {};
  CHECK_EQ(MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), static_cast<int>(bytes.size()), wide, 8), 1);
  CHECK_EQ(wide[0], expected);
  BOOL usedDefault = TRUE;
  CHECK_STR(ToAnsi(wide, 1, &usedDefault), bytes);
  CHECK(!usedDefault);
}

CASE(kArea, "fullwidth dots and backslash pass as a parent on 1252 and stay themselves on double-byte pages") {
  const WCHAR name[] = {0xFF0E, 0xFF0E, 0xFF3C, 'x', 0};
  BOOL usedDefault = TRUE;
  std::string converted = ToAnsi(name, 4, &usedDefault);
  CHECK(!usedDefault);
  if (GetACP() == 1252) {
    CHECK_STR(converted, "..\\x");
  } else if (DoubleByteCharacter() != nullptr) {
    // Each is a character of two bytes of its own there.
    CHECK_EQ(converted.size(), 7u);
    CHECK(converted.find("..") == std::string::npos);
  }
}

CASE(kArea, "a character the page lacks becomes the default character") {
  const WCHAR name[] = {0x65E5, 0x672C, 0};  // two ideographs 1252 lacks; hangul 949 lacks another
  const WCHAR hangul[] = {0xAC00, 0};        // HANGUL SYLLABLE GA: only 949 has it
  BOOL usedDefault = FALSE;
  if (GetACP() == 1252) {
    CHECK_STR(ToAnsi(name, 2, &usedDefault), "??");
    CHECK(usedDefault);
  } else if (GetACP() == 932 || GetACP() == 936 || GetACP() == 950) {
    CHECK_STR(ToAnsi(hangul, 1, &usedDefault), "?");
    CHECK(usedDefault);
  }
}

CASE(kArea, "the yen sign falls on the backslash byte on 932") {
  const WCHAR yen[] = {0x00A5, 0};
  BOOL usedDefault = TRUE;
  std::string converted = ToAnsi(yen, 1, &usedDefault);
  if (GetACP() == 932) CHECK_STR(converted, "\\");
  if (GetACP() == 1252) CHECK_STR(converted, "\xa5");
}

CASE(kArea, "a length of -1 converts and counts the NUL, a short buffer gives 122") {
  WCHAR wide[4] = {};
  CHECK_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  CHECK_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 4), 4);
  CHECK_EQ(wide[3], 0);
  SetLastError(0);
  CHECK_EQ(MultiByteToWideChar(CP_ACP, 0, "abcd", -1, wide, 4), 0);
  CHECK_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  char bytes[3] = {};
  const WCHAR text[] = {'a', 'b', 'c', 0};
  CHECK_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr), 4);
  SetLastError(0);
  CHECK_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, 3, nullptr, nullptr), 0);
  CHECK_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
