// The uninstaller's two extension hooks. The first stops and deletes the
// product's services and drivers while its files are still there; the second
// removes what the uninstaller's own log does not cover.
#include "dialogs.h"
#include "error_mode.h"
#include "hooks.h"
#include "registry_tree.h"
#include "removal.h"
#include "service_removal.h"
#include "uninstall_steps.h"

// In this order: the product's service, the port mapper, then the drivers,
// whose stop may be refused while other drivers still depend on them.
static const struct {
  const char* name;
  int tolerateDependents;
} kServices[] = {
    {"CVNSvc", 0},
    {"NobleNet Portmapper for TCP", 0},
    {"cvn-jnl", 1},
    {"cvn-fltr", 1},
    {"cvn-rec", 1},
};

static const char kDriversDirectory[] = "\\drivers";
static const char* const kDriverFiles[] = {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys",
                                           "cvnmapi.log"};

// The unattended status file: shipped in the installation directory, copied
// to the Windows directory by the first hook, completed by the second.
static const char kShippedStatusFile[] = "cvnunins.mi_";
static const char kShippedStatusPath[] = "\\cvnunins.mi_";
static const char kStatusPath[] = "\\cvnunins.mif";
// Where the second hook completes a copy before it takes the final name.
static const char kStatusWorkPath[] = "\\cvnunins.mi~";

static const char kInstallerLogPattern[] = "*.isu";

static const struct {
  HKEY root;
  const char* path;
} kRegistryTrees[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cvnsvc.exe"},
    {HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane"},
};

#define COUNT(table) (sizeof(table) / sizeof((table)[0]))

// 0 when every service went (or the user chose to go on), -1 to abort.
static int RemoveServices(int silent) {
  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (scm == NULL) {
    DWORD error = GetLastError();
    char* systemText = NULL;
    // Inserts are kept as written: without IGNORE_INSERTS such a text fails.
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       NULL, error, 0, (LPSTR)&systemText, 0, NULL) == 0)
      systemText = NULL;
    if (systemText != NULL) {
      if (!silent) ShowDialog(systemText, "Failure to Open Service Manager", MB_ICONERROR);
      LocalFree(systemText);
    }
    return -1;
  }
  int result = 0;
  for (size_t i = 0; i < COUNT(kServices) && result == 0; ++i)
    result = RemoveService(kServices[i].name, scm, kServices[i].tolerateDependents, silent);
  CloseServiceHandle(scm);
  return result;
}

// 0 when the system directory is unknown (the caller then stops quietly).
static int DeleteDriverFiles(int silent) {
  char systemDirectory[MAX_PATH];
  UINT length = GetSystemDirectoryA(systemDirectory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    if (!silent)
      ShowDialog("Could not get the Windows NT System directory.\nUnInstall will try to continue.\n",
                 kUninstallCaption, MB_ICONERROR);
    return 0;
  }
  char drivers[MAX_PATH];
  if (JoinPath(drivers, systemDirectory, kDriversDirectory)) {
    for (size_t i = 0; i < COUNT(kDriverFiles); ++i) DeleteFileOrDefer(kDriverFiles[i], drivers);
  }
  return 1;
}

static int GetWindowsDirectoryInto(char* directory) {
  UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
  return length != 0 && length < MAX_PATH;
}

// Opens a file that has one name only, for `access`, not sharing deletion:
// while held it cannot be renamed, deleted or replaced. A file with a second
// name (a hard link, which any user may make) could be anyone's file.
static HANDLE OpenSingleNamedFile(const char* path, DWORD access, DWORD sharing) {
  HANDLE file = CreateFileA(path, access, sharing, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  BY_HANDLE_FILE_INFORMATION info;
  if (file != INVALID_HANDLE_VALUE &&
      (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1)) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// The copy replaces the target's name instead of writing over it: a second
// name there would carry the text into the file it also names.
// 1 when copied.
static int CopySingleNamedFile(const char* source, const char* target) {
  HANDLE held = OpenSingleNamedFile(source, GENERIC_READ, FILE_SHARE_READ);
  if (held == INVALID_HANDLE_VALUE) return 0;
  DeleteFileA(target);
  int copied = CopyFileA(source, target, TRUE) != 0;
  CloseHandle(held);
  return copied;
}

// Unattended: the status file goes to the Windows directory now, before the
// uninstaller deletes the installation directory's contents.
static void CopyStatusFile(void) {
  char windowsDirectory[MAX_PATH];
  if (!GetWindowsDirectoryInto(windowsDirectory)) return;
  char* installDirectory = ReadInstallDir();
  if (installDirectory == NULL) return;
  char source[MAX_PATH];
  char target[MAX_PATH];
  // Not the product's directory: its status file could be anyone's.
  if (JoinInstallPath(source, installDirectory, kShippedStatusFile) &&
      JoinPath(target, windowsDirectory, kShippedStatusPath) && IsProductDirectory(installDirectory))
    CopySingleNamedFile(source, target);
  free(installDirectory);
}

static LONG Initialize(void) {
  int silent = IsSilentMode();
  LearnDeferralRule();
  PinSharedControl();
  PurgeInstallDirLeftovers();
  if (RemoveServices(silent) != 0) return -1;
  if (!DeleteDriverFiles(silent)) return 0;
  if (silent) CopyStatusFile();
  if (OfferDataDeletion(silent) != 0) return -1;
  StashInstallDir();
  return 0;
}

LONG WINAPI UninstInitialize(HWND dialog, HANDLE instance, LONG reserved) {
  UINT callerMode = FailCriticalErrors();
  LONG result = Initialize();
  RestoreErrorMode(callerMode);
  return result;
}

// The installation directory comes from the stash alone: the uninstaller has
// removed the product key by now. 1 when there was a stash to believe and
// each program file went or was left for the next start (a rerun finds them
// gone); the installer logs may be gone already, so their search counts not.
static int DeleteProgramFiles(void) {
  char* directory = ReadStashedInstallDir();
  if (directory == NULL) return 0;
  // The program files first: the walk of the logs then leaves the directory
  // to the next start after what was deferred in it, which must go first.
  int done = DeleteFilesInDirectory(directory, kProgramFiles, PROGRAM_FILE_COUNT);
  char top[MAX_PATH];
  // Searched with its separator: the pattern appended to the name alone
  // would search its parent.
  if (JoinInstallPath(top, directory, "")) DeleteTree(top, kInstallerLogPattern);
  free(directory);
  return done;
}

// Deletes the file at `path`, read-only or not, while it has one name: the
// attributes of a second name's file are not ours to change.
static void DeleteSingleNamedFile(const char* path) {
  HANDLE held = OpenSingleNamedFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (held == INVALID_HANDLE_VALUE) return;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  CloseHandle(held);
  DeleteFileA(path);
}

// Makes the file at `path` one byte longer; 1 when it was.
static int AppendSpace(const char* path) {
  // Held, the name stays this file's while its attributes change.
  HANDLE held = OpenSingleNamedFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (held == INVALID_HANDLE_VALUE) return 0;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  int appended = 0;
  if (file != INVALID_HANDLE_VALUE) {
    // Without the end to append at, a write would overwrite the first byte.
    DWORD written;
    appended = SetFilePointer(file, 0, NULL, FILE_END) != INVALID_SET_FILE_POINTER &&
               WriteFile(file, " ", 1, &written, NULL) && written == 1;
    CloseHandle(file);
  }
  CloseHandle(held);
  return appended;
}

// The copied status file, one byte longer under its final name, tells the
// unattended installer that the uninstall completed (`done`: the program
// files went). Each step may be repeated by a rerun after the process was
// ended at any point: a fresh copy is completed under a name of its own,
// then takes the final name, and only then the shipped copy goes. Appended
// in place, a run ended after the append would have its rerun append a
// second byte. Without a shipped copy the status file is left as it is:
// completed already, or never copied.
static void CompleteStatusFile(int done) {
  char windowsDirectory[MAX_PATH];
  char shipped[MAX_PATH];
  char work[MAX_PATH];
  char status[MAX_PATH];
  if (!GetWindowsDirectoryInto(windowsDirectory) ||
      !JoinPath(shipped, windowsDirectory, kShippedStatusPath) ||
      !JoinPath(work, windowsDirectory, kStatusWorkPath) ||
      !JoinPath(status, windowsDirectory, kStatusPath))
    return;
  // A copy a run ended before its rename left (read-only, as shipped).
  DeleteSingleNamedFile(work);
  if (!done || !CopySingleNamedFile(shipped, work)) return;
  if (AppendSpace(work) && MoveFileExA(work, status, MOVEFILE_REPLACE_EXISTING)) {
    DeleteSingleNamedFile(shipped);
  } else {
    DeleteSingleNamedFile(work);
  }
}

static void EnableShutdownPrivilege(void) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES privileges;
  if (LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
  }
  CloseHandle(token);
}

static void OfferReboot(void) {
  if (ShowDialog("You must reboot for the uninstallation to complete\n"
                 "Do you wish to reboot WindowsNT now?",
                 kUninstallCaption, MB_YESNO | MB_ICONWARNING) != IDYES)
    return;
  EnableShutdownPrivilege();
  // This machine, no message, no delay, applications not forced, then restart.
  if (!InitiateSystemShutdownA(NULL, NULL, 0, FALSE, TRUE)) {
    DWORD error = GetLastError();
    char text[DIALOG_TEXT_SIZE];
    ComposeErrorText(text, "Error in requesting System Shutdown\n\n", error,
                     "\nPlease reboot your system manually\n");
    ShowDialog(text, kUninstallCaption, MB_OK);
  }
}

LONG WINAPI UninstUnInitialize(HWND dialog, HANDLE instance, LONG reserved) {
  UINT callerMode = FailCriticalErrors();
  LearnDeferralRule();
  int filesDone = DeleteProgramFiles();
  for (size_t i = 0; i < COUNT(kRegistryTrees); ++i)
    DeleteRegistryTree(kRegistryTrees[i].root, kRegistryTrees[i].path);
  if (IsSilentMode()) {
    // An uninstall that could not finish leaves the shipped name in place:
    // the unattended installer must not read it as done.
    CompleteStatusFile(filesDone);
  } else {
    OfferReboot();
  }
  RestoreErrorMode(callerMode);
  return 0;
}
