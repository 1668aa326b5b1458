// The version resource of a file: its four fixed version numbers and its
// FileVersion text.
#include "readers.h"

#include "code_page.h"

// A failure that comes without an error code must not read as success.
static LONG FailureCode(DWORD error) { return error != 0 ? (LONG)error : -1; }

// The tree of a 32-bit version resource: each node holds its length, its
// value's length and type, its key in wide characters, then, each at a
// 4-byte boundary from the block's start, its value and its children.
enum { NODE_HEADER = 6, TEXT_TYPE = 1, TABLE_NAME_SIZE = 16 };

static DWORD Align4(DWORD offset) { return (offset + 3) & ~(DWORD)3; }
// Words are little-endian, as the processor reads them; copied out, as
// they need not be aligned.
static WORD WordAt(const BYTE* block, DWORD at) {
  WORD word;
  memcpy(&word, block + at, sizeof word);
  return word;
}

// The end of the node at `at`, or 0 when it does not lie within `limit`.
static DWORD NodeEnd(const BYTE* block, DWORD at, DWORD limit) {
  if (at + NODE_HEADER > limit) return 0;
  DWORD end = at + WordAt(block, at);
  return end >= at + NODE_HEADER && end <= limit ? end : 0;
}

// Where the children of the node at `at` (ending at `end`) begin.
static DWORD FirstChild(const BYTE* block, DWORD at, DWORD end) {
  DWORD key = at + NODE_HEADER;
  while (key + 2 <= end && WordAt(block, key) != 0) key += 2;
  DWORD valueBytes = WordAt(block, at + 2);
  if (WordAt(block, at + 4) == TEXT_TYPE) valueBytes *= 2;
  return Align4(Align4(key + 2) + valueBytes);
}

// The FileVersion text of the first string table that has one, whatever its
// translation: the resource may name none, or another. Reads the tree only
// within the root's length and the block's size.
static int AnyTableFileVersion(const BYTE* block, DWORD size, LPVOID* value, UINT* length) {
  // The root's header was read already: its value is the fixed info.
  DWORD rootEnd = NodeEnd(block, 0, size);
  DWORD groupEnd;
  for (DWORD group = FirstChild(block, 0, rootEnd); (groupEnd = NodeEnd(block, group, rootEnd)) != 0;
       group = Align4(groupEnd)) {
    DWORD tableEnd;
    for (DWORD table = FirstChild(block, group, groupEnd); (tableEnd = NodeEnd(block, table, groupEnd)) != 0;
         table = Align4(tableEnd)) {
      // A table is named by its translation: eight hexadecimal digits.
      char name[TABLE_NAME_SIZE + 1];
      DWORD used = 0;
      WORD c;
      for (DWORD at = table + NODE_HEADER; at + 2 <= tableEnd && (c = WordAt(block, at)) != 0; at += 2) {
        if (c > 0x7F || used == TABLE_NAME_SIZE) {
          used = 0;
          break;
        }
        name[used++] = (char)c;
      }
      if (used == 0) continue;
      name[used] = '\0';
      char subBlock[64];
      wsprintfA(subBlock, "\\StringFileInfo\\%s\\FileVersion", name);
      // A text handed out as NULL leaves the fixed version to stand in.
      if (VerQueryValueA(block, subBlock, value, length)) return 1;
    }
  }
  return 0;
}

// Reads the numbers and the text from a version block of `size` bytes; 0,
// or -1 when the block lacks the fixed info. The text is the FileVersion of
// the first translation, else that of any string table, else the fixed
// version written as the report writes versions (4,0,1381,3). The outputs
// are written only once everything was found.
static LONG ReadVersionBlock(const BYTE* block, DWORD size, char* versionText, WORD* major, WORD* minor,
                             WORD* build, WORD* revision) {
  LPVOID value = NULL;
  UINT length = 0;
  // A value shorter than its structure would be read past its end. Values
  // are copied out: in a damaged block they need not be aligned.
  VS_FIXEDFILEINFO fixed;
  if (!VerQueryValueA(block, "\\", &value, &length) || value == NULL || length < sizeof fixed)
    return -1;
  memcpy(&fixed, value, sizeof fixed);

  const char* text = NULL;
  WORD translation[2];
  if (VerQueryValueA(block, "\\VarFileInfo\\Translation", &value, &length) && value != NULL &&
      length >= sizeof translation) {
    memcpy(translation, value, sizeof translation);
    char subBlock[64];
    wsprintfA(subBlock, "\\StringFileInfo\\%04X%04X\\FileVersion", translation[0], translation[1]);
    if (VerQueryValueA(block, subBlock, &value, &length) && value != NULL) text = (const char*)value;
  }
  if (text == NULL && AnyTableFileVersion(block, size, &value, &length)) text = (const char*)value;
  char fixedText[32];
  if (text == NULL) {
    length = (UINT)wsprintfA(fixedText, "%u,%u,%u,%u", HIWORD(fixed.dwFileVersionMS),
                             LOWORD(fixed.dwFileVersionMS), HIWORD(fixed.dwFileVersionLS),
                             LOWORD(fixed.dwFileVersionLS));
    text = fixedText;
  }

  // The caller's buffer holds VERSION_TEXT_SIZE characters: a longer text is cut.
  UINT copied = 0;
  while (copied < VERSION_TEXT_SIZE - 1 && copied < length && text[copied] != '\0') {
    versionText[copied] = text[copied];
    ++copied;
  }
  // A cut keeps whole characters.
  if (copied < length && text[copied] != '\0') copied = WholeCharacters(versionText, copied);
  versionText[copied] = '\0';
  *major = HIWORD(fixed.dwFileVersionMS);
  *minor = LOWORD(fixed.dwFileVersionMS);
  *build = HIWORD(fixed.dwFileVersionLS);
  *revision = LOWORD(fixed.dwFileVersionLS);
  return 0;
}

LONG GetFileVersionStrings(const char* filePath, char* versionText, WORD* major, WORD* minor,
                           WORD* build, WORD* revision) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(filePath, &handle);
  if (size == 0) {
    DWORD error = GetLastError();
    return FailureCode(error);
  }
  void* block = malloc(size);
  if (block == NULL) return ERROR_NOT_ENOUGH_MEMORY;
  if (!GetFileVersionInfoA(filePath, handle, size, block)) {
    DWORD error = GetLastError();
    free(block);
    return FailureCode(error);
  }
  LONG result = ReadVersionBlock((const BYTE*)block, size, versionText, major, minor, build, revision);
  free(block);
  return result;
}
