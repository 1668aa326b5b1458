// Clean-up in the installation directory before the uninstaller's own removal.
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
  if (!ReadInstallDirInto(directory) || !JoinInstallPath(valueName, directory, kSharedControl) ||
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

// Each search also schedules the installation directory itself for removal
// at the next start, once the uninstaller has emptied it. The directory is
// searched with its separator: without one, a pattern appended directly
// would search its parent (C:\Corvane*.GID for C:\Corvane), as Logs would
// name a sibling directory (C:\CorvaneLogs), whose files are not the
// product's.
void PurgeInstallDirLeftovers(void) {
  char directory[MAX_PATH];
  char top[MAX_PATH];
  char logs[MAX_PATH];
  if (!ReadInstallDirInto(directory) || !IsProductDirectory(directory) ||
      !JoinInstallPath(top, directory, ""))
    return;
  for (size_t i = 0; i < sizeof kLeftoverPatterns / sizeof kLeftoverPatterns[0]; ++i)
    DeleteTree(top, kLeftoverPatterns[i]);
  if (JoinInstallPath(logs, directory, kLogsDirectory)) DeleteTree(logs, kAllNames);
}
