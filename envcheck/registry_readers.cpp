// Registry readers shared by the checks: one value named by a single path
// (key path, a backslash, value name), and the test for a direct subkey.
// Keys are opened for reading only and closed before returning, on every path.
#include "readers.h"

#include "code_page.h"

namespace {

// Copies valuePath into keyPath (MAX_PATH characters) and cuts the copy at
// its last backslash; *valueName then points just after it, into the copy.
// -1 when there is no backslash, or when the path would not fit the copy:
// a cut-short path would name another value.
int SplitValuePath(const char* valuePath, char* keyPath, const char** valueName) {
  int length = 0;
  while (valuePath[length] != '\0') {
    if (length == MAX_PATH - 1) return -1;
    ++length;
  }
  memcpy(keyPath, valuePath, length + 1);
  const char* split = LastBackslash(keyPath);
  if (split == NULL) return -1;
  keyPath[split - keyPath] = '\0';
  *valueName = split + 1;
  return 0;
}

// The data of a string value of `size` bytes in a heap block of that size.
// Data stored without its terminating NUL gets one, in one more byte, so the
// caller always holds a C string. NULL when memory runs out or the value can
// no longer be read as it was measured.
char* ReadStringData(HKEY key, const char* valueName, DWORD size) {
  DWORD capacity = size > 0 ? size : 1;
  char* text = (char*)malloc(capacity);
  if (text == NULL) return NULL;
  DWORD type;
  size = capacity;
  if (RegQueryValueExA(key, valueName, NULL, &type, (BYTE*)text, &size) != ERROR_SUCCESS) {
    free(text);
    return NULL;
  }
  if (size == 0 || text[size - 1] != '\0') {
    if (size + 1 > capacity) {
      char* grown = (char*)realloc(text, size + 1);
      if (grown == NULL) {
        free(text);
        return NULL;
      }
      text = grown;
    }
    text[size] = '\0';
  }
  return text;
}

// ReadRegistryString, telling the value's type in *type.
char* ReadTypedString(HKEY rootKey, const char* valuePath, DWORD* type) {
  char keyPath[MAX_PATH];
  const char* valueName;
  if (SplitValuePath(valuePath, keyPath, &valueName) != 0) return NULL;
  HKEY key;
  if (RegOpenKeyExA(rootKey, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return NULL;
  char* text = NULL;
  DWORD size = 0;
  if (RegQueryValueExA(key, valueName, NULL, type, NULL, &size) == ERROR_SUCCESS &&
      (*type == REG_SZ || *type == REG_EXPAND_SZ)) {
    text = ReadStringData(key, valueName, size);
  }
  RegCloseKey(key);
  return text;
}

}  // namespace

char* ReadRegistryString(HKEY rootKey, const char* valuePath) {
  DWORD type;
  return ReadTypedString(rootKey, valuePath, &type);
}

char* ReadRegistryPath(HKEY rootKey, const char* valuePath) {
  DWORD type;
  char* text = ReadTypedString(rootKey, valuePath, &type);
  if (text == NULL || type != REG_EXPAND_SZ) return text;
  // A path holds MAX_PATH characters: an expansion that fails or would be
  // longer leaves the path as stored, which then names nothing.
  char* expanded = (char*)malloc(MAX_PATH);
  if (expanded == NULL) return text;
  DWORD length = ExpandEnvironmentStringsA(text, expanded, MAX_PATH);
  if (length == 0 || length > MAX_PATH) {
    free(expanded);
    return text;
  }
  free(text);
  return expanded;
}

LONG ReadRegistryDword(HKEY rootKey, const char* valuePath, DWORD* value) {
  char keyPath[MAX_PATH];
  const char* valueName;
  if (SplitValuePath(valuePath, keyPath, &valueName) != 0) return -1;
  HKEY key;
  LONG result = RegOpenKeyExA(rootKey, keyPath, 0, KEY_READ, &key);
  if (result != ERROR_SUCCESS) return result;
  DWORD type;
  DWORD size = sizeof(DWORD);
  result = RegQueryValueExA(key, valueName, NULL, &type, (BYTE*)value, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return result;
  // A REG_DWORD shorter than 4 bytes would leave part of *value unset.
  return type == REG_DWORD && size == sizeof(DWORD) ? 0 : -1;
}

LONG SubkeyExists(HKEY rootKey, const char* keyPath, const char* subkeyName) {
  HKEY key;
  LONG result = RegOpenKeyExA(rootKey, keyPath, 0, KEY_READ, &key);
  if (result != ERROR_SUCCESS) return result;
  // Any failing enumeration (normally the end of the list) means no match.
  result = ERROR_NO_MORE_ITEMS;
  char name[MAX_PATH];
  for (DWORD index = 0;; ++index) {
    DWORD size = MAX_PATH;
    if (RegEnumKeyExA(key, index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    if (SameName(name, subkeyName)) {
      result = ERROR_SUCCESS;
      break;
    }
  }
  RegCloseKey(key);
  return result;
}
