// The version resource of a file: its four fixed version numbers and the
// FileVersion text of its first translation.
#include "readers.h"

#include "code_page.h"

// A failure that comes without an error code must not read as success.
static LONG FailureCode(DWORD error) { return error != 0 ? (LONG)error : -1; }

// Reads the numbers and the text from a version block; 0, or -1 when the
// block lacks the fixed info, the translation table or the FileVersion text.
// The outputs are written only once everything was found.
static LONG ReadVersionBlock(LPCVOID block, char* versionText, WORD* major, WORD* minor, WORD* build,
                             WORD* revision) {
  LPVOID value = NULL;
  UINT length = 0;
  // A value shorter than its structure would be read past its end. Values
  // are copied out: in a damaged block they need not be aligned.
  VS_FIXEDFILEINFO fixed;
  if (!VerQueryValueA(block, "\\", &value, &length) || value == NULL || length < sizeof fixed)
    return -1;
  memcpy(&fixed, value, sizeof fixed);

  WORD translation[2];
  if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", &value, &length) || value == NULL ||
      length < sizeof translation)
    return -1;
  memcpy(translation, value, sizeof translation);
  char subBlock[64];
  wsprintfA(subBlock, "\\StringFileInfo\\%04X%04X\\FileVersion", translation[0], translation[1]);

  if (!VerQueryValueA(block, subBlock, &value, &length) || value == NULL) return -1;
  // The caller's buffer holds VERSION_TEXT_SIZE characters: a longer text is cut.
  const char* text = (const char*)value;
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
  LONG result = ReadVersionBlock(block, versionText, major, minor, build, revision);
  free(block);
  return result;
}
