// Removal primitives. Paths live in MAX_PATH buffers; one that would not fit is
// left alone rather than cut, since a cut path names some other file.
//
// The file walks go by the names the system keeps (the wide calls): the ANSI
// calls hand each name out converted to the code page, where a character the
// page lacks becomes "?" (naming nothing) and one with a look-alike becomes
// that ("．．＼" is "..\" on 1252), naming a file elsewhere. A top given in
// ANSI is converted once; every name listed below it is used as listed.
#include "removal.h"

#include "code_page.h"

int JoinPath(char* out, const char* first, const char* second) {
  size_t firstLength = strlen(first);
  size_t secondLength = strlen(second);
  out[0] = '\0';
  if (firstLength + secondLength >= MAX_PATH) return 0;
  memcpy(out, first, firstLength);
  memcpy(out + firstLength, second, secondLength + 1);
  return 1;
}

// JoinPath of wide paths (MAX_PATH characters).
static int JoinWide(WCHAR* out, const WCHAR* first, const WCHAR* second) {
  size_t firstLength = WideLength(first);
  size_t secondLength = WideLength(second);
  out[0] = 0;
  if (firstLength + secondLength >= MAX_PATH) return 0;
  memcpy(out, first, firstLength * sizeof(WCHAR));
  memcpy(out + firstLength, second, (secondLength + 1) * sizeof(WCHAR));
  return 1;
}

static const WCHAR kSeparator[] = L"\\";

// directory + "\" + name, with one separator where the directory (the
// installation directory's value) already ends in one.
static int ChildPathWide(WCHAR* out, const WCHAR* directory, const WCHAR* name) {
  size_t length = WideLength(directory);
  if (length > 0 && (directory[length - 1] == L'\\' || directory[length - 1] == L'/'))
    return JoinWide(out, directory, name);
  WCHAR withSeparator[MAX_PATH];
  return JoinWide(withSeparator, directory, kSeparator) && JoinWide(out, withSeparator, name);
}

// An ANSI path as the ANSI calls would read it: any path of MAX_PATH bytes
// fits in MAX_PATH characters.
static int Widen(WCHAR* out, const char* path) {
  return MultiByteToWideChar(CP_ACP, 0, path, -1, out, MAX_PATH) != 0;
}

// A file that cannot go now is renamed in its own directory to its name and
// this suffix, and the deletion of that name is left for the next start.
// Deferred by its own name, a user who may change the directory could put a
// junction in its place before then and have the start delete the file of
// that name in the junction's target (a system file, for a name of their
// choosing); deferred by a name of ours, the start reaches in the target
// only what they made themselves.
static const WCHAR kDeferredSuffix[] = L".cvn-deleted";

// Systems without junctions (before Windows 2000): there a file's own name
// cannot be redirected, and a file that cannot be renamed (held without
// delete sharing, or no room for the suffix) is deferred by it. Told by a
// call that came with junctions and mount points, which a compatibility
// mode does not take away as it takes the version GetVersionExA reports.
// Learned once per hook run; while unknown, the rename stays the only way.
// (Zero to start with, so the flag takes no initialised data section.)
static int gDefersByOwnName;

void LearnDeferralRule(void) {
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  gDefersByOwnName = kernel32 != NULL && GetProcAddress(kernel32, "GetVolumeNameForVolumeMountPointW") == NULL;
}

// Leaves the file at `path` for the next start under its new name. The
// deletion of that name is scheduled before the rename: stopped between the
// two, the file either keeps its own name (a rerun finds it again) or is
// already scheduled, never renamed and forgotten. A scheduled name that
// nobody has by the next start deletes nothing. A system that would not
// schedule a name before it exists (2 or 3) has the rename first.
static int DeferRenamed(const WCHAR* path) {
  WCHAR renamed[MAX_PATH];
  // No replacing: a file of that name that is there already is not ours,
  // so its name is not scheduled either.
  if (!JoinWide(renamed, path, kDeferredSuffix) || GetFileAttributesW(renamed) != INVALID_FILE_ATTRIBUTES)
    return 0;
  if (MoveFileExW(renamed, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) return MoveFileExW(path, renamed, 0);
  DWORD error = GetLastError();
  if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) || !MoveFileExW(path, renamed, 0))
    return 0;
  if (MoveFileExW(renamed, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) return 1;
  // Not scheduled after all: the file takes its own name back, as found.
  MoveFileExW(renamed, path, 0);
  return 0;
}

// A read-only file (copied so from a CD) is the product's all the same: its
// bit is cleared while it is held with its one name, so that what changes
// is the file checked, never one a second name (a hard link) leads to.
static void ClearReadOnly(const WCHAR* path, DWORD attributes) {
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return;
  HANDLE held = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (held == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(held, &info) && info.nNumberOfLinks == 1)
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  CloseHandle(held);
}

static int DeleteOrDeferWide(const WCHAR* fileName, const WCHAR* directory) {
  WCHAR path[MAX_PATH];
  if (!ChildPathWide(path, directory, fileName)) return 0;
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return 1;  // already gone
  ClearReadOnly(path, attributes);
  if (DeleteFileW(path) || DeferRenamed(path)) return 1;
  return gDefersByOwnName && MoveFileExW(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int DeleteFileOrDefer(const char* fileName, const char* directory) {
  WCHAR wideName[MAX_PATH];
  WCHAR wideDirectory[MAX_PATH];
  // No directory would make "\name", a file in the root of the current drive;
  // a first byte alone at its end would take the separator into a character.
  if (directory[0] == '\0' || EndsInLeadByte(directory) || !Widen(wideName, fileName) ||
      !Widen(wideDirectory, directory))
    return 0;
  return DeleteOrDeferWide(wideName, wideDirectory);
}

static int IsSeparator(char c) { return c == '\\' || c == '/'; }

// Only a full path below a drive root or a network share may be emptied: an
// empty or relative path would reach the current directory, a root (also
// one reached through "..") the whole drive or share. Names are read a
// character at a time: the second byte of a character is never a separator.
static int IsRemovableDirectory(const char* directory) {
  const char* rest;
  if (EndsInLeadByte(directory)) return 0;
  if (isalpha((unsigned char)directory[0]) && directory[1] == ':' && IsSeparator(directory[2])) {
    rest = directory + 3;
  } else if (IsSeparator(directory[0]) && IsSeparator(directory[1])) {
    // \\server\share\...: skip the server and share names.
    rest = directory + 2;
    for (int part = 0; part < 2; ++part) {
      while (*rest && !IsSeparator(*rest)) rest = CharNextA(rest);
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
    for (; *rest && !IsSeparator(*rest); rest = CharNextA(rest)) {
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

// A listed directory name of dots and blanks alone ("..." is a name on
// disk) names its parent or itself in a path: never walked.
static int NamesItself(const WCHAR* name) {
  for (; *name != 0; ++name) {
    if (*name != L'.' && *name != L' ') return 1;
  }
  return 0;
}

// Removes a directory now, or at the next start if it cannot go yet (files
// that did not match the pattern, or in use).
static void RemoveOrDeferDirectory(const WCHAR* directory) {
  if (!RemoveDirectoryW(directory)) MoveFileExW(directory, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

static int IsDotEntry(const WCHAR* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

static int IsLinkAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A junction or mount point given as the tree leads elsewhere, to a whole
// drive as easily as to a directory: refused like a root.
static int IsLink(const char* directory) { return IsLinkAttributes(GetFileAttributesA(directory)); }

// A walk holds each directory while it works in it: without delete sharing
// nobody may rename, delete or replace it, nor rename a directory above it,
// so every path the walk builds below a held directory names what was
// checked. Write sharing stays: a rename into a directory (the deferral's,
// in its own directory) opens it for adding an entry, sharing reading and
// writing, and is refused while a handle withholds write sharing.
static const DWORD kHoldAccess = GENERIC_READ;
static const DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// The link itself, not what it leads to; systems before Windows 2000 know
// no links and refuse the flag.
static const DWORD kHoldFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
static const DWORD kHoldFlagsWithoutLinks = FILE_FLAG_BACKUP_SEMANTICS;

typedef struct {
  const WCHAR* mask;  // the pattern below the top, without its separator
  DWORD holdFlags;
  DWORD volume;       // the walk never leaves the top's volume
} TreeWalk;

static HANDLE OpenDirectory(const WCHAR* directory, DWORD flags, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE handle = CreateFileW(directory, kHoldAccess, kHoldSharing, NULL, OPEN_EXISTING, flags, NULL);
  if (handle != INVALID_HANDLE_VALUE && !GetFileInformationByHandle(handle, info)) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

// Still a real directory of the walk's volume: an empty directory can be
// made a link in place even while held.
static int IsPlainDirectory(const BY_HANDLE_FILE_INFORMATION* info, const TreeWalk* walk) {
  return (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(info->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         info->dwVolumeSerialNumber == walk->volume;
}

static int StillPlain(HANDLE held, const TreeWalk* walk) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(held, &info) && IsPlainDirectory(&info, walk);
}

// A file of the held directory, deleted only while that is still no link.
static int DeleteHeldFile(HANDLE held, const TreeWalk* walk, const WCHAR* name, const WCHAR* directory) {
  return StillPlain(held, walk) && DeleteOrDeferWide(name, directory);
}

static int DeleteTreeAt(const TreeWalk* walk, const WCHAR* directory);

// One entry after the first of a listing: 1 when it is gone or scheduled.
static int DeleteEntry(const TreeWalk* walk, HANDLE held, const WIN32_FIND_DATAW* entry,
                       const WCHAR* directory) {
  if (IsDotEntry(entry->cFileName)) return 1;
  if (!(entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return DeleteHeldFile(held, walk, entry->cFileName, directory);
  WCHAR child[MAX_PATH];
  if (!NamesItself(entry->cFileName) || !ChildPathWide(child, directory, entry->cFileName)) return 0;
  if (entry->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A junction or mount point leads outside this tree: remove the link only.
    RemoveOrDeferDirectory(child);
    return 1;
  }
  return DeleteTreeAt(walk, child);
}

// Deletes what `search` lists in the held `directory`: 1 when every match
// went, 0 when one did not, -1 when the search found nothing.
static int DeleteListed(const TreeWalk* walk, HANDLE held, const WCHAR* directory, const WCHAR* search) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(search, &entry);
  if (find == INVALID_HANDLE_VALUE) return -1;
  int result = 1;
  // A directory in first place (normally ".") is passed over.
  if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !DeleteHeldFile(held, walk, entry.cFileName, directory))
    result = 0;
  while (FindNextFileW(find, &entry)) {
    if (!DeleteEntry(walk, held, &entry, directory)) result = 0;
  }
  FindClose(find);
  return result;
}

// The walk in a held directory; the directory itself goes once released.
static int DeleteHeldTree(const TreeWalk* walk, HANDLE held, const WCHAR* directory, const WCHAR* search) {
  int result = DeleteListed(walk, held, directory, search);
  CloseHandle(held);
  if (result < 0) return 0;
  RemoveOrDeferDirectory(directory);
  return result;
}

// A directory below the top, searched as directory\mask: the pattern is
// not appended to its name, which would search its parent for names that
// begin with it.
static int DeleteTreeAt(const TreeWalk* walk, const WCHAR* directory) {
  WCHAR search[MAX_PATH];
  WCHAR opened[MAX_PATH];
  // Opened with its separator, as searched: "Old..\" keeps its dots.
  if (IsLinkAttributes(GetFileAttributesW(directory)) || !ChildPathWide(search, directory, walk->mask) ||
      !JoinWide(opened, directory, kSeparator))
    return 0;
  BY_HANDLE_FILE_INFORMATION info;
  HANDLE held = OpenDirectory(opened, walk->holdFlags, &info);
  if (held == INVALID_HANDLE_VALUE) return 0;
  if (!IsPlainDirectory(&info, walk)) {
    CloseHandle(held);
    return 0;
  }
  return DeleteHeldTree(walk, held, directory, search);
}

// A link above the tree is accepted only where it mounts a volume, which
// takes an administrator; a junction there could lead anywhere.
static int IsMountPoint(const char* directory) {
  char root[MAX_PATH];
  return JoinPath(root, directory, "\\") &&
         GetVolumeInformationA(root, NULL, 0, NULL, NULL, NULL, NULL, 0);
}

// The first separator from `at` on, or the end: read a character at a time,
// as the second byte of a character may be a backslash.
static const char* NextSeparator(const char* at) {
  while (*at && !IsSeparator(*at)) at = CharNextA(at);
  return at;
}

static int SameFile(const BY_HANDLE_FILE_INFORMATION* a, const BY_HANDLE_FILE_INFORMATION* b) {
  return a->dwVolumeSerialNumber == b->dwVolumeSerialNumber &&
         a->nFileIndexHigh == b->nFileIndexHigh && a->nFileIndexLow == b->nFileIndexLow;
}

// Opened only to be identified: sharing everything, it disturbs no one.
static int Identify(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  int known = GetFileInformationByHandle(handle, info);
  CloseHandle(handle);
  return known;
}

// What lies below the Windows directory (profiles, the system's files) is
// never the product's: a user who may set the product key's values could
// otherwise name it.
static int IdentifyWindowsDirectory(BY_HANDLE_FILE_INFORMATION* windows) {
  char path[MAX_PATH];
  UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  return length != 0 && length < MAX_PATH && Identify(path, windows);
}

// Checked once the top is held: no directory above it can change then. No
// directory above it may be a junction (but a mounted volume) nor, compared
// by identity so that no spelling gets past, the Windows directory. The top
// came as ANSI: its ancestors are read as the wide walk reads the top.
static int AncestorsAreSound(const char* tree, const BY_HANDLE_FILE_INFORMATION* windows) {
  // Below the drive's root; a share's server name is no directory.
  const char* at = tree + 3;
  if (IsSeparator(tree[0])) {
    at = NextSeparator(tree + 2);
    if (*at) ++at;
  }
  for (at = NextSeparator(at); *at; at = NextSeparator(at + 1)) {
    size_t i = (size_t)(at - tree);
    char ancestor[MAX_PATH];
    memcpy(ancestor, tree, i);
    ancestor[i] = '\0';
    DWORD attributes = GetFileAttributesA(ancestor);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !IsMountPoint(ancestor)) return 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (!Identify(ancestor, &info) || SameFile(&info, windows)) return 0;
  }
  return 1;
}

typedef UINT(WINAPI* SystemPathQuery)(LPSTR, UINT);
static const SystemPathQuery kSystemPaths[] = {GetWindowsDirectoryA, GetSystemDirectoryA};

// Whether the top is `path` (at least as long as a root, "C:\") or a
// directory above it: compared by identity, as one directory has many
// spellings (short names, links, case).
static int TopHoldsPath(const char* path, const BY_HANDLE_FILE_INFORMATION* top) {
  char prefix[MAX_PATH];
  for (const char* at = NextSeparator(path + 2);; at = NextSeparator(at + 1)) {
    size_t i = (size_t)(at - path);
    // The root keeps its separator.
    size_t cut = i == 2 ? 3 : i;
    memcpy(prefix, path, cut);
    prefix[cut] = '\0';
    BY_HANDLE_FILE_INFORMATION info;
    if (!Identify(prefix, &info) || SameFile(&info, top)) return 1;
    if (!*at) break;
  }
  return 0;
}

// The Windows and system directories and every directory holding them,
// drive roots among them, are never walked; unknown, they count as held.
static int HoldsSystemDirectory(const BY_HANDLE_FILE_INFORMATION* top) {
  for (size_t i = 0; i < sizeof kSystemPaths / sizeof kSystemPaths[0]; ++i) {
    char path[MAX_PATH];
    UINT length = kSystemPaths[i](path, MAX_PATH);
    // Shorter than a root, the path says nothing.
    if (length < 3 || length >= MAX_PATH || TopHoldsPath(path, top)) return 1;
  }
  return 0;
}

// Holds the top (`tree`, `wideTree` the same path by the names kept),
// learning how this system opens a directory as itself.
static HANDLE HoldTop(const char* tree, const WCHAR* wideTree, TreeWalk* walk) {
  BY_HANDLE_FILE_INFORMATION info;
  walk->holdFlags = kHoldFlags;
  HANDLE held = OpenDirectory(wideTree, kHoldFlags, &info);
  if (held == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    walk->holdFlags = kHoldFlagsWithoutLinks;
    held = OpenDirectory(wideTree, kHoldFlagsWithoutLinks, &info);
  }
  if (held == INVALID_HANDLE_VALUE) return held;
  walk->volume = info.dwVolumeSerialNumber;
  BY_HANDLE_FILE_INFORMATION windows;
  if (!IsPlainDirectory(&info, walk) || !IdentifyWindowsDirectory(&windows) ||
      !AncestorsAreSound(tree, &windows) || HoldsSystemDirectory(&info)) {
    CloseHandle(held);
    return INVALID_HANDLE_VALUE;
  }
  return held;
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

// The top checked and converted: 1 when it may be walked.
static int PrepareTop(const char* directory, char* tree, WCHAR* wideTree) {
  return IsRemovableDirectory(directory) && DropTrailingDotsAndBlanks(tree, directory) && !IsLink(tree) &&
         Widen(wideTree, tree);
}

int DeleteTree(const char* directory, const char* pattern) {
  char tree[MAX_PATH];
  WCHAR wideTree[MAX_PATH];
  WCHAR widePattern[MAX_PATH];
  WCHAR search[MAX_PATH];
  if (!PrepareTop(directory, tree, wideTree) || !Widen(widePattern, pattern) ||
      !JoinWide(search, wideTree, widePattern))
    return 0;
  TreeWalk walk;
  walk.mask = widePattern;
  while (*walk.mask == L'\\' || *walk.mask == L'/') ++walk.mask;
  HANDLE held = HoldTop(tree, wideTree, &walk);
  if (held == INVALID_HANDLE_VALUE) return 0;
  return DeleteHeldTree(&walk, held, wideTree, search);
}

int DeleteFilesInDirectory(const char* directory, const char* const* names, size_t count) {
  char tree[MAX_PATH];
  WCHAR wideTree[MAX_PATH];
  if (!PrepareTop(directory, tree, wideTree)) return 0;
  TreeWalk walk;
  HANDLE held = HoldTop(tree, wideTree, &walk);
  if (held == INVALID_HANDLE_VALUE) return 0;
  int result = 1;
  for (size_t i = 0; i < count; ++i) {
    // Below the name held and checked, not the one given.
    WCHAR name[MAX_PATH];
    if (!Widen(name, names[i]) || !DeleteHeldFile(held, &walk, name, wideTree)) result = 0;
  }
  CloseHandle(held);
  return result;
}
