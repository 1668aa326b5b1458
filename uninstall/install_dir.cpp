// Where the product is installed: read from the product key, which the
// uninstaller removes between the two hooks (the second reads the stash).
#include "code_page.h"
#include "removal.h"
#include "uninstall_steps.h"

const char* const kProgramFiles[PROGRAM_FILE_COUNT] = {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll",
                                                       "cvnmapi.dll"};

const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
const char kInstallDirValue[] = "InstallationDirectory";
static int IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

LONG ReadStringValue(HKEY key, const char* valueName, char** value) {
  *value = NULL;
  DWORD type;
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, valueName, NULL, &type, NULL, &size);
  if (status != ERROR_SUCCESS) return status;
  if (!IsString(type)) return ERROR_INVALID_DATA;
  // One more byte: a value stored without its terminator still ends in one.
  char* text = (char*)malloc(size + 1);
  if (text == NULL) return ERROR_NOT_ENOUGH_MEMORY;
  status = RegQueryValueExA(key, valueName, NULL, &type, (LPBYTE)text, &size);
  if (status != ERROR_SUCCESS || !IsString(type)) {
    free(text);
    return status != ERROR_SUCCESS ? status : ERROR_INVALID_DATA;
  }
  text[size] = '\0';
  *value = text;
  return ERROR_SUCCESS;
}

// A string value of a key below HKEY_LOCAL_MACHINE, or NULL.
static char* ReadMachineString(const char* keyPath, const char* valueName) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return NULL;
  char* value;
  ReadStringValue(key, valueName, &value);
  RegCloseKey(key);
  return value;
}

int ReadInstallDirInto(char* path) {
  path[0] = '\0';
  char* value = ReadInstallDir();
  if (value == NULL) return 0;
  size_t length = strlen(value);
  int fits = length < MAX_PATH;
  if (fits) memcpy(path, value, length + 1);
  free(value);
  return fits;
}

char* ReadInstallDir(void) { return ReadMachineString(kProductKey, kInstallDirValue); }


int JoinInstallPath(char* out, const char* directory, const char* name) {
  out[0] = '\0';
  if (directory[0] == '\0' || EndsInLeadByte(directory)) return 0;
  const char* last = LastCharacter(directory);
  int separated = last[1] == '\0' && (last[0] == '\\' || last[0] == '/' || last[0] == ':');
  char withSeparator[MAX_PATH];
  return JoinPath(withSeparator, directory, separated ? "" : "\\") && JoinPath(out, withSeparator, name);
}

// Where Everyone may set the product key's values (Windows NT 4.0), the
// value could name any directory. One that holds none of the program files
// is not believed: a user can put one there only where they may write
// already (see docs/security.md).
int IsProductDirectory(const char* directory) {
  for (size_t i = 0; i < PROGRAM_FILE_COUNT; ++i) {
    char path[MAX_PATH];
    DWORD attributes = JoinInstallPath(path, directory, kProgramFiles[i]) ? GetFileAttributesA(path)
                                                                          : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 1;
  }
  return 0;
}
