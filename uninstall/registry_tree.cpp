// Deleting a registry tree by the names the registry keeps. The top is
// converted from the code page once; below it every key is listed, opened
// and deleted by its own name with the wide calls. A name converted to the
// code page may be another key's (a look-alike of the backslash becomes
// one) or none ('?' for what the page lacks). One open key per level; a
// path deeper than a MAX_PATH buffer holds is refused rather than cut.
#include "registry_tree.h"

#include "code_page.h"

// What a name in the registry stands for. A registry link is opened as
// itself and never entered: deleting it by name would delete its target,
// which may lie anywhere, so it stays, and with it the keys above it.
enum KeyFound { KEY_PRESENT, KEY_MISSING, KEY_KEPT };
static const WCHAR kLinkValue[] = L"SymbolicLinkValue";
static const DWORD kLinkValueLength = sizeof kLinkValue / sizeof kLinkValue[0] - 1;
static const DWORD kTreeKeyAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
// Characters of the longest key name the registry makes.
static const DWORD kMaxKeyName = 255;

typedef struct {
  // REG_OPTION_OPEN_LINK, or 0 once the system refused it as an unknown
  // option: a system that knows no links has none to follow.
  DWORD openOptions;
  // Why the first key that stays was left; the walk goes on past it.
  LONG firstError;
} RegistryWalk;

static LONG DeleteSubkeys(RegistryWalk* walk, HKEY key, DWORD pathLength, int* keptAny);

static int SameWide(const WCHAR* a, const WCHAR* b) {
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

static LONG OpenKeyAsItself(RegistryWalk* walk, HKEY base, const WCHAR* name, HKEY* key) {
  LONG status = RegOpenKeyExW(base, name, walk->openOptions, kTreeKeyAccess, key);
  if (status == ERROR_INVALID_PARAMETER && walk->openOptions != 0) {
    walk->openOptions = 0;
    status = RegOpenKeyExW(base, name, 0, kTreeKeyAccess, key);
  }
  return status;
}

// A link has no subkeys and holds its target in a value of the link name:
// only a key without subkeys whose longest value name is that long is asked
// for the value, so the counts spare the question (and the search for
// subkeys of a key that has none) everywhere else. Other values beside the
// target do not make a link any less of one, and a key whose answer is not
// known counts as one.
static int IsRegistryLink(HKEY key, DWORD subkeys, DWORD longestValueName) {
  DWORD type;
  if (subkeys != 0 || longestValueName < kLinkValueLength) return 0;
  LONG status = RegQueryValueExW(key, kLinkValue, NULL, &type, NULL, NULL);
  if (status == ERROR_FILE_NOT_FOUND) return 0;
  return status != ERROR_SUCCESS || type == REG_LINK;
}

// Deletes every subkey of the key `name` below the open `base` (a path of
// pathLength characters); *found tells what the name stands for.
static LONG EmptyKey(RegistryWalk* walk, HKEY base, const WCHAR* name, DWORD pathLength, int* found) {
  HKEY key;
  LONG status = OpenKeyAsItself(walk, base, name, &key);
  *found = status == ERROR_FILE_NOT_FOUND ? KEY_MISSING : KEY_PRESENT;
  if (status != ERROR_SUCCESS) return *found == KEY_MISSING ? ERROR_SUCCESS : status;
  DWORD subkeys;
  DWORD longestValueName;
  int keptAny = 0;
  int counted = RegQueryInfoKeyW(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, &longestValueName, NULL,
                                 NULL, NULL) == ERROR_SUCCESS;
  if (!counted) {
    // Without the counts the key is asked for the link value and searched,
    // as one that could be either.
    subkeys = 0;
    longestValueName = kLinkValueLength;
  }
  if (IsRegistryLink(key, subkeys, longestValueName)) {
    keptAny = 1;
  } else if (!counted || subkeys != 0) {
    status = DeleteSubkeys(walk, key, pathLength, &keptAny);
  }
  if (keptAny) *found = KEY_KEPT;
  RegCloseKey(key);
  return status;
}

// One listed subkey of the open `key`: emptied and deleted by its own name.
// A name that cannot be used as listed (a NUL inside it, a path too long)
// is never used at all.
static LONG DeleteListedSubkey(RegistryWalk* walk, HKEY key, const WCHAR* subkey, DWORD length,
                               DWORD pathLength, int* found) {
  DWORD childLength = pathLength + 1 + length;
  *found = KEY_KEPT;
  if (childLength >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (WideLength(subkey) != length) return ERROR_INVALID_NAME;
  LONG status = EmptyKey(walk, key, subkey, childLength, found);
  // One gone since it was listed needs no deletion.
  if (status == ERROR_SUCCESS && *found == KEY_PRESENT) status = RegDeleteKeyW(key, subkey);
  return status;
}

// Deletes every subkey of the open `key` with everything below it, always the
// first remaining one after those kept, so that index names the next one
// after each deletion. A subkey that cannot go is kept, its error noted, and
// the walk goes on; one found missing is tried once more when it is listed
// again, then kept, so every walk ends. The walk keeps one open key per
// level and opens and deletes each child through its parent's handle (a
// delete needs no access to the parent itself) instead of reopening keys by
// path for every child.
static LONG DeleteSubkeys(RegistryWalk* walk, HKEY key, DWORD pathLength, int* keptAny) {
  WCHAR missing[kMaxKeyName + 1];
  DWORD kept = 0;
  missing[0] = 0;
  *keptAny = 0;
  for (;;) {
    WCHAR subkey[kMaxKeyName + 1];
    DWORD length = sizeof subkey / sizeof subkey[0];
    LONG status = RegEnumKeyExW(key, kept, subkey, &length, NULL, NULL, NULL, NULL);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    int again = missing[0] != 0 && SameWide(missing, subkey);
    int found;
    status = DeleteListedSubkey(walk, key, subkey, length, pathLength, &found);
    missing[0] = 0;
    if (found == KEY_MISSING && again) {
      found = KEY_KEPT;
      status = ERROR_FILE_NOT_FOUND;
    } else if (found == KEY_MISSING) {
      memcpy(missing, subkey, sizeof subkey);
    }
    if (status != ERROR_SUCCESS && walk->firstError == ERROR_SUCCESS) walk->firstError = status;
    if (status != ERROR_SUCCESS || found == KEY_KEPT) {
      ++kept;
      *keptAny = 1;
    }
  }
}

LONG DeleteRegistryTree(HKEY rootKey, const char* registryPath) {
  WCHAR path[MAX_PATH];
  int converted = MultiByteToWideChar(CP_ACP, 0, registryPath, -1, path, sizeof path / sizeof path[0]);
  if (converted == 0) {
    LONG error = (LONG)GetLastError();
    return error == ERROR_INSUFFICIENT_BUFFER ? ERROR_FILENAME_EXCED_RANGE : error;
  }
  DWORD pathLength = (DWORD)converted - 1;
  RegistryWalk walk;
  walk.openOptions = REG_OPTION_OPEN_LINK;
  walk.firstError = ERROR_SUCCESS;
  int found;
  LONG status = EmptyKey(&walk, rootKey, path, pathLength, &found);
  if (status != ERROR_SUCCESS || found == KEY_MISSING) return status;
  if (found == KEY_KEPT) return walk.firstError != ERROR_SUCCESS ? walk.firstError : ERROR_ACCESS_DENIED;

  // The parent is opened by the path up to the last backslash, which in
  // UTF-16 is always a character of its own.
  DWORD leaf = pathLength;
  while (leaf > 0 && path[leaf - 1] != L'\\') --leaf;
  HKEY parent = rootKey;
  if (leaf > 0) {
    path[leaf - 1] = 0;
    status = RegOpenKeyExW(rootKey, path, 0, KEY_WRITE, &parent);
    if (status != ERROR_SUCCESS) return status;
  }
  status = RegDeleteKeyW(parent, path + leaf);
  if (parent != rootKey) {
    LONG closed = RegCloseKey(parent);
    if (status == ERROR_SUCCESS) status = closed;
  }
  return status;
}
