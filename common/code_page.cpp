// Characters of the system's ANSI code page (see code_page.h).
#include "code_page.h"

size_t WholeCharacters(const char* text, size_t room) {
  size_t at = 0;
  while (at < room) {
    size_t size = IsDBCSLeadByte((BYTE)text[at]) ? 2 : 1;
    if (at + size > room) break;
    at += size;
  }
  return at;
}

const char* LastCharacter(const char* text) {
  const char* last = text;
  for (const char* p = text; *p != '\0'; p = CharNextA(p)) last = p;
  return last;
}

int EndsInLeadByte(const char* text) {
  const char* last = LastCharacter(text);
  return last[0] != '\0' && last[1] == '\0' && IsDBCSLeadByte((BYTE)last[0]);
}

const char* LastBackslash(const char* text) {
  const char* found = NULL;
  for (const char* p = text; *p != '\0'; p = CharNextA(p)) {
    if (*p == '\\') found = p;
  }
  return found;
}

int SameName(const char* a, const char* b) {
  while (*a != '\0' && toupper((unsigned char)*a) == toupper((unsigned char)*b)) {
    if (IsDBCSLeadByte((BYTE)*a) && a[1] != '\0') {
      if (a[1] != b[1]) return 0;
      ++a;
      ++b;
    }
    ++a;
    ++b;
  }
  return *a == '\0' && *b == '\0';
}

size_t WideLength(const WCHAR* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}
