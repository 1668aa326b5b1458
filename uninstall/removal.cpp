// Removal primitives. Paths live in MAX_PATH buffers; one that would not fit is
// left alone rather than cut, since a cut path names some other file.
#include "removal.h"

int JoinPath(char* out, const char* first, const char* second) {
  size_t firstLength = strlen(first);
  size_t secondLength = strlen(second);
  out[0] = '\0';
  if (firstLength + secondLength >= MAX_PATH) return 0;
  memcpy(out, first, firstLength);
  memcpy(out + firstLength, second, secondLength + 1);
  return 1;
}

// directory + "\" + name.
static int ChildPath(char* out, const char* directory, const char* name) {
  char withSeparator[MAX_PATH];
  return JoinPath(withSeparator, directory, "\\") && JoinPath(out, withSeparator, name);
}

// A file that cannot go now is renamed in its own directory to its name and
// this suffix, and the deletion of that name is left for the next start.
// Deferred by its own name, a user who may change the directory could put a
// junction in its place before then and have the start delete the file of
// that name in the junction's target (a system file, for a name of their
// choosing); deferred by a name of ours, the start reaches in the target
// only what they made themselves.
static const char kDeferredSuffix[] = ".cvn-deleted";

// Renames the file at `path`, then leaves the new name for the next start;
// when that cannot be done either, the file keeps its name.
static int DeferRenamed(const char* path) {
  char renamed[MAX_PATH];
  // No replacing: a file of that name that is there already is not ours.
  if (!JoinPath(renamed, path, kDeferredSuffix) || !MoveFileExA(path, renamed, 0)) return 0;
  if (MoveFileExA(renamed, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) return 1;
  MoveFileExA(renamed, path, 0);
  return 0;
}

int DeleteFileOrDefer(const char* fileName, const char* directory) {
  char path[MAX_PATH];
  // No directory would make "\name", a file in the root of the current drive.
  if (directory[0] == '\0' || !ChildPath(path, directory, fileName)) return 0;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 1;  // already gone
  if (DeleteFileA(path)) return 1;
  return DeferRenamed(path);
}

static int IsSeparator(char c) { return c == '\\' || c == '/'; }

// Only a full path below a drive root or a network share may be emptied: an
// empty or relative path would reach the current directory, a root (also
// one reached through "..") the whole drive or share.
static int IsRemovableDirectory(const char* directory) {
  const char* rest;
  if (isalpha((unsigned char)directory[0]) && directory[1] == ':' && IsSeparator(directory[2])) {
    rest = directory + 3;
  } else if (IsSeparator(directory[0]) && IsSeparator(directory[1])) {
    // \\server\share\...: skip the server and share names.
    rest = directory + 2;
    for (int part = 0; part < 2; ++part) {
      while (*rest && !IsSeparator(*rest)) ++rest;
      if (!*rest) return 0;
      ++rest;
    }
  } else {
    return 0;
  }
  // Components of dots and blanks alone name no directory ("." or "...") or
  // climb back up (".."); at least one real name must remain.
  int named = 0;
  while (*rest) {
    int dots = 0;
    int other = 0;
    for (; *rest && !IsSeparator(*rest); ++rest) {
      if (*rest == '.') {
        ++dots;
      } else if (*rest != ' ') {
        other = 1;
      }
    }
    if (!other && dots >= 2) return 0;
    named |= other;
    if (*rest) ++rest;
  }
  return named;
}

// Removes a directory now, or at the next start if it cannot go yet (files
// that did not match the pattern, or in use).
static void RemoveOrDeferDirectory(const char* directory) {
  if (!RemoveDirectoryA(directory)) MoveFileExA(directory, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

static int IsDotEntry(const char* name) {
  return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

static int DeleteTreeAt(const char* directory, const char* pattern);

// One entry after the first of a listing: 1 when it is gone or scheduled.
static int DeleteEntry(const WIN32_FIND_DATAA* entry, const char* directory, const char* pattern) {
  if (IsDotEntry(entry->cFileName)) return 1;
  if (!(entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return DeleteFileOrDefer(entry->cFileName, directory);
  char child[MAX_PATH];
  if (!ChildPath(child, directory, entry->cFileName)) return 0;
  if (entry->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A junction or mount point leads outside this tree: remove the link only.
    RemoveOrDeferDirectory(child);
    return 1;
  }
  return DeleteTreeAt(child, pattern);
}

// A junction or mount point given as the tree leads elsewhere, to a whole
// drive as easily as to a directory: refused like a root.
static int IsLink(const char* directory) {
  DWORD attributes = GetFileAttributesA(directory);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The walk over one directory, named exactly as its listing spelled it.
static int DeleteTreeAt(const char* directory, const char* pattern) {
  if (!IsRemovableDirectory(directory) || IsLink(directory)) return 0;
  char search[MAX_PATH];
  if (!JoinPath(search, directory, pattern)) return 0;
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(search, &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int result = 1;
  // A directory in first place (normally ".") is passed over.
  if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !DeleteFileOrDefer(entry.cFileName, directory))
    result = 0;
  while (FindNextFileA(find, &entry)) {
    if (!DeleteEntry(&entry, directory, pattern)) result = 0;
  }
  FindClose(find);
  RemoveOrDeferDirectory(directory);
  return result;
}

// Windows drops the dots and blanks that end a path (not when a separator
// ends it): "D:\Data." is D:\Data. Paths built below it would keep them and
// name entries of D:\Data.\, another directory, so the walk starts from
// the name as Windows reads it. ".." was refused before anything is dropped,
// and the separator after the drive or share always stops the loop.
static int DropTrailingDotsAndBlanks(char* out, const char* directory) {
  size_t length = strlen(directory);
  if (length >= MAX_PATH) return 0;
  while (directory[length - 1] == '.' || directory[length - 1] == ' ') --length;
  memcpy(out, directory, length);
  out[length] = '\0';
  return 1;
}

int DeleteTree(const char* directory, const char* pattern) {
  char tree[MAX_PATH];
  if (!IsRemovableDirectory(directory) || !DropTrailingDotsAndBlanks(tree, directory)) return 0;
  return DeleteTreeAt(tree, pattern);
}

static LONG DeleteSubkeys(HKEY key, const char* registryPath, int* keptAny);

// What a name in the registry stands for. A registry link is opened as
// itself and never entered: deleting it by name would delete its target,
// which may lie anywhere, so it stays, and with it the keys above it.
enum KeyFound { KEY_PRESENT, KEY_MISSING, KEY_KEPT };
static const char kLinkValue[] = "SymbolicLinkValue";

// Deletes every subkey of the key `name` below the open `base` (full path
// `registryPath`); *found tells what the name stands for.
static LONG EmptyKey(HKEY base, const char* name, const char* registryPath, int* found) {
  HKEY key;
  LONG status = RegOpenKeyExA(base, name, REG_OPTION_OPEN_LINK,
                              KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key);
  // Only a missing key means nothing to delete; any other failure would
  // leave the parent finding this subkey first again and again.
  *found = status == ERROR_FILE_NOT_FOUND ? KEY_MISSING : KEY_PRESENT;
  if (status != ERROR_SUCCESS) return *found == KEY_MISSING ? ERROR_SUCCESS : status;
  DWORD type;
  int keptAny = 1;
  if (RegQueryValueExA(key, kLinkValue, NULL, &type, NULL, NULL) != ERROR_SUCCESS ||
      type != REG_LINK)
    status = DeleteSubkeys(key, registryPath, &keptAny);
  if (keptAny) *found = KEY_KEPT;
  RegCloseKey(key);
  return status;
}

// Deletes every subkey of the open `key` with everything below it, always the
// first remaining one after those kept, so that index names the next one
// after each deletion. The walk keeps one open key per level and opens and
// deletes each child through its parent's handle (a delete needs no access to
// the parent itself) instead of reopening keys by path for every child.
static LONG DeleteSubkeys(HKEY key, const char* registryPath, int* keptAny) {
  DWORD kept = 0;
  *keptAny = 0;
  for (;;) {
    char subkey[MAX_PATH];
    DWORD length = sizeof subkey;
    LONG status = RegEnumKeyExA(key, kept, subkey, &length, NULL, NULL, NULL, NULL);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    // The full path is kept only to refuse a tree deeper than a path holds.
    char child[MAX_PATH];
    if (!ChildPath(child, registryPath, subkey)) return ERROR_FILENAME_EXCED_RANGE;
    int found;
    status = EmptyKey(key, subkey, child, &found);
    // One gone since it was listed needs no deletion. The index names a
    // remaining subkey only while each one really goes.
    if (status == ERROR_SUCCESS && found == KEY_PRESENT) status = RegDeleteKeyA(key, subkey);
    if (status != ERROR_SUCCESS) return status;
    if (found == KEY_KEPT) {
      ++kept;
      *keptAny = 1;
    }
  }
}

LONG DeleteRegistryTree(HKEY rootKey, const char* registryPath) {
  int found;
  LONG status = EmptyKey(rootKey, registryPath, registryPath, &found);
  if (status != ERROR_SUCCESS || found == KEY_MISSING) return status;
  if (found == KEY_KEPT) return ERROR_ACCESS_DENIED;

  char parentPath[MAX_PATH];
  const char* leaf = strrchr(registryPath, '\\');
  HKEY parent = rootKey;
  if (leaf == NULL) {
    leaf = registryPath;
  } else {
    size_t parentLength = (size_t)(leaf - registryPath);
    if (parentLength >= sizeof parentPath) return ERROR_FILENAME_EXCED_RANGE;
    memcpy(parentPath, registryPath, parentLength);
    parentPath[parentLength] = '\0';
    ++leaf;
    status = RegOpenKeyExA(rootKey, parentPath, 0, KEY_WRITE, &parent);
    if (status != ERROR_SUCCESS) return status;
  }
  status = RegDeleteKeyA(parent, leaf);
  if (parent != rootKey) {
    LONG closed = RegCloseKey(parent);
    if (status == ERROR_SUCCESS) status = closed;
  }
  return status;
}
