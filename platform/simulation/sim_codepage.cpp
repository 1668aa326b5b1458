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

}  // namespace

void SetCodePage(UINT codePage) { CodePage() = codePage; }

namespace detail {

void ResetCodePage() { CodePage() = kDefaultCodePage; }

UINT AnsiCodePage() { return CodePage(); }

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
