// The system's ANSI code page: GetACP, IsDBCSLeadByte, CharNextA and
// CharPrevA. A first byte followed by any byte but the NUL makes one
// character; a first byte just before the NUL stands alone.
#include "sim_internal.h"

#include <cctype>
#include <cstring>

namespace sim {
namespace {

struct LeadRange {
  UINT codePage;
  unsigned char first;
  unsigned char last;
};

// The first-byte ranges the system's tables give for each double-byte page.
constexpr LeadRange kLeadRanges[] = {
    {932, 0x81, 0x9F}, {932, 0xE0, 0xFC}, {936, 0x81, 0xFE}, {949, 0x81, 0xFE}, {950, 0x81, 0xFE},
};
constexpr UINT kDefaultCodePage = 1252;

UINT& CodePage() {
  static UINT codePage = kDefaultCodePage;
  return codePage;
}

UserLocale& Locale() {
  static UserLocale locale;
  return locale;
}

// The bytes of the characters beyond ASCII that the known pages hold: 1252
// holds U+00A0 to U+00FF as themselves; 1251 the Russian alphabet from 0xC0
// (А to я) with Ё and ё; 1250 the Polish letters.
struct Mapped {
  UINT codePage;
  char16_t character;
  unsigned char byte;
};
constexpr Mapped kMapped[] = {
    {1251, u'\u0401', 0xA8}, {1251, u'\u0451', 0xB8}, {1250, u'\u0105', 0xB9}, {1250, u'\u0107', 0xE6},
    {1250, u'\u0119', 0xEA}, {1250, u'\u0142', 0xB3}, {1250, u'\u0144', 0xF1}, {1250, u'\u00F3', 0xF3},
    {1250, u'\u015B', 0x9C}, {1250, u'\u017A', 0x9F}, {1250, u'\u017C', 0xBF},
};

char ToByte(char16_t c, UINT codePage) {
  if (c < 0x80) return static_cast<char>(c);
  if (codePage == 1252 && c >= 0xA0 && c <= 0xFF) return static_cast<char>(c);
  if (codePage == 1251 && c >= 0x0410 && c <= 0x044F) return static_cast<char>(0xC0 + (c - 0x0410));
  for (const Mapped& mapped : kMapped) {
    if (mapped.codePage == codePage && mapped.character == c) return static_cast<char>(mapped.byte);
  }
  return '?';
}

}  // namespace

void SetCodePage(UINT codePage) { CodePage() = codePage; }
void SetUserLocale(const UserLocale& locale) { Locale() = locale; }

namespace detail {

void ResetCodePage() {
  CodePage() = kDefaultCodePage;
  Locale() = UserLocale{};
}

const UserLocale& CurrentUserLocale() { return Locale(); }

std::string ToCodePage(const std::u16string& text, UINT codePage) {
  std::string bytes;
  for (char16_t c : text) bytes += ToByte(c, codePage);
  return bytes;
}

UINT CurrentCodePage() { return CodePage(); }


bool IsLeadByte(unsigned char c) {
  for (const LeadRange& range : kLeadRanges) {
    if (range.codePage == CodePage() && c >= range.first && c <= range.last) return true;
  }
  return false;
}

size_t CharacterSize(const char* text) {
  if (*text == '\0') return 0;
  return IsLeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0' ? 2 : 1;
}

size_t NextCharacter(const std::string& text, size_t at) {
  size_t size = CharacterSize(text.c_str() + at);
  return at + (size == 0 ? 1 : size);
}

size_t FindSeparator(const std::string& text, size_t start, const char* separators) {
  for (size_t at = start; at < text.size(); at = NextCharacter(text, at)) {
    if (std::strchr(separators, text[at]) && text[at] != '\0') return at;
  }
  return std::string::npos;
}

size_t FindLastSeparator(const std::string& text, const char* separators) {
  size_t found = std::string::npos;
  for (size_t at = 0; at < text.size(); at = NextCharacter(text, at)) {
    if (std::strchr(separators, text[at]) && text[at] != '\0') found = at;
  }
  return found;
}

std::string FoldCase(std::string text, int (*fold)(int)) {
  for (size_t at = 0; at < text.size(); at = NextCharacter(text, at)) {
    if (CharacterSize(text.c_str() + at) <= 1)
      text[at] = static_cast<char>(fold(static_cast<unsigned char>(text[at])));
  }
  return text;
}

}  // namespace detail
}  // namespace sim

extern "C" {

UINT WINAPI GetACP(void) {
  DWORD error;
  sim::detail::ShouldFail("GetACP", &error);
  return sim::CodePage();
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
  DWORD error;
  sim::detail::ShouldFail("IsDBCSLeadByte", &error);
  return sim::detail::IsLeadByte(TestChar) ? TRUE : FALSE;
}

LPSTR WINAPI CharNextA(LPCSTR lpsz) {
  DWORD error;
  sim::detail::ShouldFail("CharNextA", &error);
  return const_cast<LPSTR>(lpsz + sim::detail::CharacterSize(lpsz));
}

// The start of the character before lpszCurrent, found from lpszStart on:
// lpszStart itself when nothing lies between them.
LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
  DWORD error;
  sim::detail::ShouldFail("CharPrevA", &error);
  const char* at = lpszStart;
  while (*at != '\0' && at < lpszCurrent) {
    const char* next = at + sim::detail::CharacterSize(at);
    if (next >= lpszCurrent) break;
    at = next;
  }
  return const_cast<LPSTR>(at);
}

}  // extern "C"
