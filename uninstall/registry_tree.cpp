// Deleting a registry tree. One open key per level; a path deeper than a
// MAX_PATH buffer holds is refused rather than cut.
#include "registry_tree.h"

#include "code_page.h"
#include "removal.h"

// registryPath + "\" + name.
static int ChildKeyPath(char* out, const char* registryPath, const char* name) {
  char withSeparator[MAX_PATH];
  return JoinPath(withSeparator, registryPath, "\\") && JoinPath(out, withSeparator, name);
}

// What a name in the registry stands for. A registry link is opened as
// itself and never entered: deleting it by name would delete its target,
// which may lie anywhere, so it stays, and with it the keys above it.
enum KeyFound { KEY_PRESENT, KEY_MISSING, KEY_KEPT };
static const char kLinkValue[] = "SymbolicLinkValue";
static const DWORD kTreeKeyAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

typedef struct {
  // REG_OPTION_OPEN_LINK, or 0 once the system refused it as an unknown
  // option: a system that knows no links has none to follow.
  DWORD openOptions;
} RegistryWalk;

static LONG DeleteSubkeys(RegistryWalk* walk, HKEY key, const char* registryPath, int* keptAny);

static LONG OpenKeyAsItself(RegistryWalk* walk, HKEY base, const char* name, HKEY* key) {
  LONG status = RegOpenKeyExA(base, name, walk->openOptions, kTreeKeyAccess, key);
  if (status == ERROR_INVALID_PARAMETER && walk->openOptions != 0) {
    walk->openOptions = 0;
    status = RegOpenKeyExA(base, name, 0, kTreeKeyAccess, key);
  }
  return status;
}

// A link has no subkeys and holds its target in a value of the link name:
// only a key without subkeys whose longest value name is that long is asked
// for the value, so the counts spare the question (and the search for
// subkeys of a key that has none) everywhere else. Other values beside the
// target do not make a link any less of one.
static int IsRegistryLink(HKEY key, DWORD subkeys, DWORD longestValueName) {
  DWORD type;
  return subkeys == 0 && longestValueName >= sizeof kLinkValue - 1 &&
         RegQueryValueExA(key, kLinkValue, NULL, &type, NULL, NULL) == ERROR_SUCCESS && type == REG_LINK;
}

// Deletes every subkey of the key `name` below the open `base` (full path
// `registryPath`); *found tells what the name stands for.
static LONG EmptyKey(RegistryWalk* walk, HKEY base, const char* name, const char* registryPath, int* found) {
  HKEY key;
  LONG status = OpenKeyAsItself(walk, base, name, &key);
  // Only a missing key means nothing to delete; any other failure would
  // leave the parent finding this subkey first again and again.
  *found = status == ERROR_FILE_NOT_FOUND ? KEY_MISSING : KEY_PRESENT;
  if (status != ERROR_SUCCESS) return *found == KEY_MISSING ? ERROR_SUCCESS : status;
  DWORD subkeys;
  DWORD longestValueName;
  int keptAny = 0;
  status = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, &longestValueName, NULL, NULL,
                            NULL);
  if (status == ERROR_SUCCESS) {
    if (IsRegistryLink(key, subkeys, longestValueName)) {
      keptAny = 1;
    } else if (subkeys != 0) {
      status = DeleteSubkeys(walk, key, registryPath, &keptAny);
    }
  }
  if (keptAny) *found = KEY_KEPT;
  RegCloseKey(key);
  return status;
}

// Deletes every subkey of the open `key` with everything below it, always the
// first remaining one after those kept, so that index names the next one
// after each deletion. The walk keeps one open key per level and opens and
// deletes each child through its parent's handle (a delete needs no access to
// the parent itself) instead of reopening keys by path for every child.
static LONG DeleteSubkeys(RegistryWalk* walk, HKEY key, const char* registryPath, int* keptAny) {
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
    if (!ChildKeyPath(child, registryPath, subkey)) return ERROR_FILENAME_EXCED_RANGE;
    int found;
    status = EmptyKey(walk, key, subkey, child, &found);
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
  RegistryWalk walk;
  walk.openOptions = REG_OPTION_OPEN_LINK;
  int found;
  LONG status = EmptyKey(&walk, rootKey, registryPath, registryPath, &found);
  if (status != ERROR_SUCCESS || found == KEY_MISSING) return status;
  if (found == KEY_KEPT) return ERROR_ACCESS_DENIED;

  char parentPath[MAX_PATH];
  const char* leaf = LastBackslash(registryPath);
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
