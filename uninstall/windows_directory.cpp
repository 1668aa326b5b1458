// The Windows directory and everything below it are never emptied: a value a
// user may set (the data directories on Windows NT 4.0) could otherwise name
// C:\WINNT\Profiles or another user's files there.
#include "windows_directory.h"

// Opened only to be identified: sharing everything, it disturbs no one.
static int Identify(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  int known = GetFileInformationByHandle(handle, info);
  CloseHandle(handle);
  return known;
}

static int IsSeparator(char c) { return c == '\\' || c == '/'; }

int LiesInWindowsDirectory(const char* tree) {
  char path[MAX_PATH];
  BY_HANDLE_FILE_INFORMATION windows;
  UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  if (length < 3 || length >= MAX_PATH || !Identify(path, &windows)) return 1;
  // Each directory that ends at a separator (a drive's root is not the
  // Windows directory), then the tree itself; a character of two bytes may
  // end in the separator's byte, so the path is read a character at a time.
  const char* name = tree;
  // A share's server name is no directory.
  if (IsSeparator(tree[0]) && IsSeparator(tree[1])) {
    for (name = tree + 2; *name != '\0' && !IsSeparator(*name); name = CharNextA(name)) {
    }
  }
  for (const char* at = name;; at = CharNextA(at)) {
    if (*at != '\0' && !IsSeparator(*at)) continue;
    size_t end = (size_t)(at - tree);
    if (at > name && end > 2) {
      BY_HANDLE_FILE_INFORMATION info;
      memcpy(path, tree, end);
      path[end] = '\0';
      if (!Identify(path, &info)) return 1;
      if (info.dwVolumeSerialNumber == windows.dwVolumeSerialNumber &&
          info.nFileIndexHigh == windows.nFileIndexHigh && info.nFileIndexLow == windows.nFileIndexLow)
        return 1;
    }
    if (*at == '\0') return 0;
    name = at + 1;
  }
}
