// Clean-up in the installation directory before the uninstaller's own removal.
#include "code_page.h"
#include "removal.h"
#include "uninstall_steps.h"

static const char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
static const char kSharedControl[] = "cvnax.ocx";

// Files the product leaves behind at run time (help indexes, full-text search
// indexes, reports), then its log directory.
static const char* const kLeftoverPatterns[] = {"*.GID", "*.FTS", "*.rpt"};
static const char kLogsDirectory[] = "Logs\\";
static const char kAllNames[] = "*.*";

void PinSharedControl(void) {
  char directory[MAX_PATH];
  char valueName[MAX_PATH];
  if (!ReadInstallDirInto(directory) || !JoinPath(valueName, directory, kSharedControl) ||
      !IsProductDirectory(directory))
    return;
  HKEY sharedDlls;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                    &sharedDlls) != ERROR_SUCCESS)
    return;
  DWORD type;
  if (RegQueryValueExA(sharedDlls, valueName, NULL, &type, NULL, NULL) == ERROR_SUCCESS) {
    DWORD one = 1;
    RegSetValueExA(sharedDlls, valueName, 0, type, (const BYTE*)&one, sizeof one);
  }
  RegCloseKey(sharedDlls);
}

// The log directory inside the installation directory. The value normally
// ends with a backslash; without one, Logs appended directly would name a
// sibling directory (C:\CorvaneLogs for C:\Corvane), whose files are not the
// product's. A directory ending in a drive's colon stays as it is: drive-
// relative, so the purge refuses it. Only a last character of one byte can
// be a separator: a character of two bytes may end in the backslash's byte.
static int LogsPath(char* logs, const char* directory) {
  if (EndsInLeadByte(directory)) return 0;
  const char* last = LastCharacter(directory);
  int separated = last[0] == '\0' || (last[1] == '\0' && (last[0] == '\\' || last[0] == '/' ||
                                                          last[0] == ':'));
  char withSeparator[MAX_PATH];
  if (!JoinPath(withSeparator, directory, separated ? "" : "\\")) return 0;
  return JoinPath(logs, withSeparator, kLogsDirectory);
}

// Each search also schedules the installation directory itself for removal
// at the next start, once the uninstaller has emptied it.
void PurgeInstallDirLeftovers(void) {
  char directory[MAX_PATH];
  char logs[MAX_PATH];
  if (!ReadInstallDirInto(directory)) return;
  int logsFit = LogsPath(logs, directory);
  if (!IsProductDirectory(directory)) return;
  for (size_t i = 0; i < sizeof kLeftoverPatterns / sizeof kLeftoverPatterns[0]; ++i)
    DeleteTree(directory, kLeftoverPatterns[i]);
  if (logsFit) DeleteTree(logs, kAllNames);
}
