// The simulated registry: two hives of keys whose names compare without
// regard to case, subkeys kept in the order Windows enumerates them (sorted
// on the upper-cased name), values in creation order with their bytes exactly
// as stored, volatile keys that a reboot drops, deleted keys whose open
// handles answer ERROR_KEY_DELETED, each key's owner and access list, and
// registry links.
#include "sim_internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

namespace sim {
namespace {

struct Value {
  std::string name;
  DWORD type;
  std::string data;
};

struct Key;
using KeyPtr = std::shared_ptr<Key>;

struct Key {
  std::string name;
  bool isVolatile = false;
  bool deleted = false;
  bool denied = false;
  Key* parent = nullptr;        // null for a hive root and for deleted keys
  std::vector<KeyPtr> subkeys;  // in enumeration order
  std::vector<Value> values;    // in creation order
  std::string owner = detail::TokenOwnerSid();
  std::optional<std::string> dacl = detail::NewKeyAccessList();
  HKEY linkRoot = nullptr;  // a registry link leads to linkTarget below it
  std::string linkTarget;
};

struct OpenKey {
  KeyPtr key;  // keeps a deleted key alive while the handle is open
  REGSAM access;
};

struct RegistryState {
  KeyPtr machine;
  KeyPtr user;
  std::map<uintptr_t, OpenKey> handles;
  bool openLinkRefused = false;
};

RegistryState& Registry() {
  static RegistryState state;
  return state;
}

constexpr DWORD kMaxKeyName = 255;  // characters in one key name

// Windows orders subkeys by their upper-cased names.
// The second byte of a character of two bytes is no letter.
bool NameLess(const std::string& a, const std::string& b) {
  size_t common = std::min(a.size(), b.size());
  bool second = false;
  for (size_t i = 0; i < common; ++i) {
    int ca = static_cast<unsigned char>(a[i]);
    int cb = static_cast<unsigned char>(b[i]);
    if (!second) {
      ca = std::toupper(ca);
      cb = std::toupper(cb);
    }
    if (ca != cb) return ca < cb;
    second = !second && detail::IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size();
  }
  return a.size() < b.size();
}

// Subkeys are sorted, so a lookup is a binary search: opening every key of a
// wide tree by its path stays linear in the number of keys.
KeyPtr FindChild(const Key& parent, const std::string& name) {
  auto at = std::lower_bound(parent.subkeys.begin(), parent.subkeys.end(), name,
                             [](const KeyPtr& k, const std::string& n) { return NameLess(k->name, n); });
  if (at != parent.subkeys.end() && detail::EqualsNoCase((*at)->name, name)) return *at;
  return nullptr;
}

KeyPtr AddChild(Key& parent, const std::string& name, bool isVolatile) {
  auto child = std::make_shared<Key>();
  child->name = name;
  child->isVolatile = isVolatile;
  child->parent = &parent;
  auto at = std::lower_bound(parent.subkeys.begin(), parent.subkeys.end(), name,
                             [](const KeyPtr& k, const std::string& n) { return NameLess(k->name, n); });
  parent.subkeys.insert(at, child);
  return child;
}

void MarkDeleted(Key& key) {
  key.deleted = true;
  key.parent = nullptr;
  for (const KeyPtr& child : key.subkeys) MarkDeleted(*child);
  key.subkeys.clear();
}

// Takes a key (and whatever is below it) out of the tree; open handles keep
// the object alive and see it as deleted.
void Detach(const KeyPtr& key) {
  KeyPtr hold = key;
  if (Key* parent = hold->parent) {
    auto& siblings = parent->subkeys;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), hold), siblings.end());
  }
  MarkDeleted(*hold);
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

Value* FindValue(Key& key, const char* name) {
  std::string wanted = name ? name : "";
  for (Value& value : key.values) {
    if (detail::EqualsNoCase(value.name, wanted)) return &value;
  }
  return nullptr;
}

void StoreValue(Key& key, const std::string& name, DWORD type, std::string data) {
  if (Value* value = FindValue(key, name.c_str())) {
    value->type = type;
    value->data = std::move(data);
  } else {
    key.values.push_back(Value{name, type, std::move(data)});
  }
}

// Key names of a path. Trailing backslashes are ignored; a leading one, or
// an empty name inside the path, is ERROR_BAD_PATHNAME.
LONG SplitPath(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  std::string text = path;
  size_t last = detail::FindLastSeparator(text, "\\");
  while (last != std::string::npos && last + 1 == text.size()) {
    text.pop_back();
    last = detail::FindLastSeparator(text, "\\");
  }
  if (text.empty()) return ERROR_SUCCESS;
  size_t start = 0;
  for (;;) {
    size_t end = detail::FindSeparator(text, start, "\\");
    std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (name.empty()) return ERROR_BAD_PATHNAME;
    names->push_back(name);
    if (end == std::string::npos) return ERROR_SUCCESS;
    start = end + 1;
  }
}

KeyPtr PredefinedKey(HKEY hKey) {
  // Only the low 32 bits of a predefined key count, as on 64-bit Windows.
  switch (static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey))) {
    case 0x80000001u:
      return Registry().user;
    case 0x80000002u:
      return Registry().machine;
    default:
      return nullptr;
  }
}

REGSAM GrantedAccess(REGSAM desired) {
  REGSAM granted = desired & KEY_ALL_ACCESS;
  if (desired & GENERIC_READ) granted |= KEY_READ;
  if (desired & GENERIC_WRITE) granted |= KEY_WRITE;
  if (desired & GENERIC_EXECUTE) granted |= KEY_EXECUTE;
  if (desired & (GENERIC_ALL | MAXIMUM_ALLOWED)) granted |= KEY_ALL_ACCESS;
  return granted;
}

// The key behind a handle for a call that needs `rights`.
LONG UseKey(HKEY hKey, REGSAM rights, KeyPtr* key) {
  REGSAM access = KEY_ALL_ACCESS;
  *key = PredefinedKey(hKey);
  if (!*key) {
    auto it = Registry().handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (it == Registry().handles.end()) return ERROR_INVALID_HANDLE;
    *key = it->second.key;
    access = it->second.access;
  }
  if ((access & rights) != rights) return ERROR_ACCESS_DENIED;
  if ((*key)->deleted) return ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

HKEY NewKeyHandle(const KeyPtr& key, REGSAM desired) {
  uintptr_t value = detail::NewHandle(HandleKind::Key);
  Registry().handles[value] = OpenKey{key, GrantedAccess(desired)};
  return reinterpret_cast<HKEY>(value);
}

// Links lead on to links at most this deep; a longer chain is not found.
constexpr int kMaxLinkDepth = 8;

LONG Walk(KeyPtr key, const std::vector<std::string>& names, KeyPtr* found, bool openLastLink = false,
          int depth = 0);

// Where a registry link leads.
LONG FollowLink(const KeyPtr& link, KeyPtr* target, int depth) {
  std::vector<std::string> names;
  if (depth >= kMaxLinkDepth || SplitPath(link->linkTarget, &names) != ERROR_SUCCESS)
    return ERROR_FILE_NOT_FOUND;
  return Walk(PredefinedKey(link->linkRoot), names, target, false, depth + 1);
}

// Every link on the way is followed, the last name's too unless
// openLastLink (REG_OPTION_OPEN_LINK) asks for the link itself.
LONG Walk(KeyPtr key, const std::vector<std::string>& names, KeyPtr* found, bool openLastLink, int depth) {
  for (size_t i = 0; i < names.size(); ++i) {
    key = FindChild(*key, names[i]);
    if (!key) return ERROR_FILE_NOT_FOUND;
    if (key->linkRoot && !(openLastLink && i + 1 == names.size())) {
      LONG result = FollowLink(key, &key, depth);
      if (result != ERROR_SUCCESS) return result;
    }
  }
  *found = key;
  return ERROR_SUCCESS;
}

KeyPtr MakeRoot(const std::vector<std::string>& children) {
  auto root = std::make_shared<Key>();
  for (const std::string& name : children) AddChild(*root, name, false);
  return root;
}

void DropVolatile(Key& key) {
  std::vector<KeyPtr> dropped;
  for (const KeyPtr& child : key.subkeys) {
    if (child->isVolatile) {
      dropped.push_back(child);
    } else {
      DropVolatile(*child);
    }
  }
  for (const KeyPtr& child : dropped) Detach(child);
}

// ---- Control API helpers ----------------------------------------------------------

KeyPtr ControlRoot(HKEY root) {
  KeyPtr key = PredefinedKey(root);
  if (!key) throw std::invalid_argument("sim registry: root must be HKLM or HKCU");
  return key;
}

std::vector<std::string> ControlPath(const std::string& path) {
  std::vector<std::string> names;
  if (SplitPath(path, &names) != ERROR_SUCCESS)
    throw std::invalid_argument("sim registry: bad key path \"" + path + "\"");
  return names;
}

KeyPtr ControlFind(HKEY root, const std::string& path) {
  KeyPtr key;
  return Walk(ControlRoot(root), ControlPath(path), &key, true) == ERROR_SUCCESS ? key : nullptr;
}

// Creates missing keys; `isVolatile` null means "like the nearest ancestor".
KeyPtr ControlEnsure(HKEY root, const std::string& path, const bool* isVolatile) {
  KeyPtr key = ControlRoot(root);
  for (const std::string& name : ControlPath(path)) {
    KeyPtr child = FindChild(*key, name);
    if (!child) {
      bool makeVolatile = isVolatile ? *isVolatile : key->isVolatile;
      if (key->isVolatile && !makeVolatile)
        throw std::logic_error("sim registry: non-volatile key under a volatile one: " + path);
      if (name.size() > kMaxKeyName) throw std::invalid_argument("sim registry: key name too long");
      child = AddChild(*key, name, makeVolatile);
    }
    key = child;
  }
  return key;
}

}  // namespace

namespace detail {

void ResetRegistry() {
  RegistryState& s = Registry();
  s.handles.clear();
  s.openLinkRefused = false;
  s.machine = MakeRoot({"HARDWARE", "SAM", "SECURITY", "SOFTWARE", "SYSTEM"});
  s.user = MakeRoot({"Software"});
}

void ApplySoftwareAccessList(DWORD majorVersion) {
  if (!Registry().machine) return;
  KeyPtr software = FindChild(*Registry().machine, "SOFTWARE");
  if (software)
    software->dacl = majorVersion >= 5 ? sim::SoftwareAccessList2000() : detail::NewKeyAccessList();
}

void RemoveRegistryValue(HKEY root, const std::string& path, const std::string& name) {
  KeyPtr key = ControlFind(root, path);
  if (!key) return;
  auto& values = key->values;
  values.erase(std::remove_if(values.begin(), values.end(),
                              [&name](const Value& value) { return detail::EqualsNoCase(value.name, name); }),
               values.end());
}

void RebootRegistry() {
  DropVolatile(*Registry().machine);
  DropVolatile(*Registry().user);
}

}  // namespace detail

void CreateKey(HKEY root, const std::string& path, bool isVolatile) {
  ControlEnsure(root, path, &isVolatile);
}

void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const std::string& data) {
  SetRawValue(root, path, name, type, IsStringType(type) ? data + std::string(1, '\0') : data);
}

void SetRawValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 const std::string& bytes) {
  StoreValue(*ControlEnsure(root, path, nullptr), name, type, bytes);
}

void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
  char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  SetRawValue(root, path, name, REG_DWORD, std::string(bytes, 4));
}

void SetMultiString(HKEY root, const std::string& path, const std::string& name,
                    const std::vector<std::string>& strings) {
  std::string data;
  for (const std::string& text : strings) data += text + std::string(1, '\0');
  SetRawValue(root, path, name, REG_MULTI_SZ, data + std::string(1, '\0'));
}

bool KeyExists(HKEY root, const std::string& path) { return ControlFind(root, path) != nullptr; }

bool IsVolatileKey(HKEY root, const std::string& path) {
  KeyPtr key = ControlFind(root, path);
  return key && key->isVolatile;
}

std::optional<RegValue> GetValue(HKEY root, const std::string& path, const std::string& name) {
  KeyPtr key = ControlFind(root, path);
  if (!key) return std::nullopt;
  Value* value = FindValue(*key, name.c_str());
  if (!value) return std::nullopt;
  return RegValue{value->type, value->data};
}

std::string GetString(HKEY root, const std::string& path, const std::string& name) {
  std::optional<RegValue> value = GetValue(root, path, name);
  if (!value) return "";
  return value->data.substr(0, value->data.find('\0'));
}

std::vector<std::string> Subkeys(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  if (KeyPtr key = ControlFind(root, path)) {
    for (const KeyPtr& child : key->subkeys) names.push_back(child->name);
  }
  return names;
}

std::vector<std::string> ValueNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  if (KeyPtr key = ControlFind(root, path)) {
    for (const Value& value : key->values) names.push_back(value.name);
  }
  return names;
}

void DeleteKeyTree(HKEY root, const std::string& path) {
  KeyPtr key = ControlFind(root, path);
  if (key && key->parent) Detach(key);
}

void RefuseOpenLinkOption(bool refuse) { Registry().openLinkRefused = refuse; }

void DenyKeyAccess(HKEY root, const std::string& path, bool deny) {
  KeyPtr key = ControlFind(root, path);
  if (!key) throw std::invalid_argument("sim registry: no key \"" + path + "\"");
  key->denied = deny;
}

KeySecurity GetKeySecurity(HKEY root, const std::string& path) {
  KeyPtr key = ControlFind(root, path);
  if (!key) throw std::invalid_argument("sim registry: no key \"" + path + "\"");
  return KeySecurity{key->owner, key->dacl};
}

void SetKeySecurity(HKEY root, const std::string& path, const KeySecurity& security) {
  KeyPtr key = ControlFind(root, path);
  if (!key) throw std::invalid_argument("sim registry: no key \"" + path + "\"");
  key->owner = security.owner;
  key->dacl = security.dacl;
}

void MakeRegistryLink(HKEY root, const std::string& path, HKEY targetRoot, const std::string& target) {
  ControlRoot(targetRoot);
  KeyPtr link = ControlEnsure(root, path, nullptr);
  link->linkRoot = targetRoot;
  link->linkTarget = target;
  // The value Windows keeps: the target's native name in UTF-16.
  std::string name = std::string(PredefinedKey(targetRoot) == Registry().machine ? "\\Registry\\Machine\\"
                                                                                  : "\\Registry\\User\\") +
                     target;
  std::string wide;
  for (char c : name) wide += std::string{c, '\0'};
  StoreValue(*link, "SymbolicLinkValue", REG_LINK, wide);
}

}  // namespace sim

// ---- Win32 entry points --------------------------------------------------------
using namespace sim;

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
  DWORD error;
  if (detail::ShouldFail("RegOpenKeyExA", &error)) {
    if (phkResult) *phkResult = nullptr;
    return static_cast<LONG>(error);
  }
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  KeyPtr base;
  LONG result = UseKey(hKey, 0, &base);
  if (result != ERROR_SUCCESS) {
    if (result != ERROR_INVALID_HANDLE) *phkResult = nullptr;
    return result;
  }
  // No subkey on a predefined key gives that key back itself.
  if ((!lpSubKey || !*lpSubKey) && PredefinedKey(hKey)) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  if ((ulOptions & REG_OPTION_OPEN_LINK) && Registry().openLinkRefused) {
    *phkResult = nullptr;
    return ERROR_INVALID_PARAMETER;
  }
  std::vector<std::string> names;
  KeyPtr key;
  result = SplitPath(lpSubKey ? lpSubKey : "", &names);
  if (result == ERROR_SUCCESS) result = Walk(base, names, &key, (ulOptions & REG_OPTION_OPEN_LINK) != 0);
  if (result == ERROR_SUCCESS && key->denied) result = ERROR_ACCESS_DENIED;
  if (result != ERROR_SUCCESS) {
    *phkResult = nullptr;
    return result;
  }
  *phkResult = NewKeyHandle(key, samDesired);
  return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  DWORD error;
  if (detail::ShouldFail("RegCreateKeyExA", &error)) {
    if (phkResult) *phkResult = nullptr;
    return static_cast<LONG>(error);
  }
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  // Windows ignores the parent handle's access rights here.
  KeyPtr key;
  LONG result = UseKey(hKey, 0, &key);
  if (result != ERROR_SUCCESS) return result;
  std::vector<std::string> names;
  result = SplitPath(lpSubKey ? lpSubKey : "", &names);
  if (result != ERROR_SUCCESS) {
    *phkResult = nullptr;
    return result;
  }
  bool makeVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  for (const std::string& name : names) {
    KeyPtr child = FindChild(*key, name);
    if (child && child->linkRoot && FollowLink(child, &child, 0) != ERROR_SUCCESS) {
      *phkResult = nullptr;
      return ERROR_FILE_NOT_FOUND;
    }
    if (!child) {
      if (name.size() > kMaxKeyName) result = ERROR_INVALID_PARAMETER;
      else if (key->isVolatile && !makeVolatile) result = ERROR_CHILD_MUST_BE_VOLATILE;
      if (result != ERROR_SUCCESS) {
        *phkResult = nullptr;
        return result;
      }
      child = AddChild(*key, name, makeVolatile);
      // Windows 2000 and later merge the parent's inheritable entries into
      // a list given at creation unless it is protected.
      if (detail::CapturedAccessList(lpSecurityAttributes, &child->dacl) && child->dacl &&
          detail::MajorVersion() >= 5 && !detail::IsProtected(lpSecurityAttributes))
        child->dacl = detail::WithInherited(*child->dacl, key->dacl, child->owner);
      disposition = REG_CREATED_NEW_KEY;
    }
    key = child;
  }
  if (key->denied) {
    *phkResult = nullptr;
    return ERROR_ACCESS_DENIED;
  }
  *phkResult = NewKeyHandle(key, samDesired);
  if (lpdwDisposition) *lpdwDisposition = disposition;
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  DWORD error;
  if (detail::ShouldFail("RegQueryValueExA", &error)) return static_cast<LONG>(error);
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  Value* value = FindValue(*key, lpValueName);
  if (!value) {
    if (!lpData && lpcbData) *lpcbData = 0;
    return ERROR_FILE_NOT_FOUND;
  }
  DWORD size = static_cast<DWORD>(value->data.size());
  if (lpType) *lpType = value->type;
  if (lpData) {
    if (*lpcbData < size) result = ERROR_MORE_DATA;
    else std::memcpy(lpData, value->data.data(), size);
  }
  if (lpcbData) *lpcbData = size;
  return result;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData) {
  DWORD error;
  if (detail::ShouldFail("RegSetValueExA", &error)) return static_cast<LONG>(error);
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_SET_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  if (!lpData && cbData) return ERROR_NOACCESS;
  DWORD count = cbData;
  // Windows NT counts a string's terminating NUL that the caller left out
  // when it follows the data.
  if (IsStringType(dwType) && count && lpData[count - 1] != '\0' && lpData[count] == '\0') ++count;
  std::string data = count ? std::string(reinterpret_cast<const char*>(lpData), count) : "";
  StoreValue(*key, lpValueName ? lpValueName : "", dwType, std::move(data));
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  DWORD error;
  if (detail::ShouldFail("RegEnumKeyExA", &error)) return static_cast<LONG>(error);
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_ENUMERATE_SUB_KEYS, &key);
  if (result != ERROR_SUCCESS) return result;
  if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const std::string& name = key->subkeys[dwIndex]->name;
  // Sizes are in characters; the NUL must fit but is not counted on return.
  if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
  if (lpClass && lpcchClass && *lpcchClass < 1) return ERROR_MORE_DATA;
  std::memcpy(lpName, name.c_str(), name.size() + 1);
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpClass && lpcchClass) {
    lpClass[0] = '\0';
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  DWORD error;
  if (detail::ShouldFail("RegEnumValueA", &error)) return static_cast<LONG>(error);
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
    return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  if (dwIndex >= key->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& value = key->values[dwIndex];
  DWORD size = static_cast<DWORD>(value.data.size());
  // Type and data size are reported even when something does not fit;
  // then neither buffer is written and the name size stays as passed.
  if (lpType) *lpType = value.type;
  bool dataFits = !lpData || size <= *lpcbData;
  if (lpcbData) *lpcbData = size;
  if (value.name.size() >= *lpcchValueName || !dataFits) return ERROR_MORE_DATA;
  std::memcpy(lpValueName, value.name.c_str(), value.name.size() + 1);
  *lpcchValueName = static_cast<DWORD>(value.name.size());
  if (lpData) std::memcpy(lpData, value.data.data(), size);
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcchMaxSubKeyLen, LPDWORD lpcchMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcchMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                             LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  DWORD error;
  if (detail::ShouldFail("RegQueryInfoKeyA", &error)) return static_cast<LONG>(error);
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  // Keys carry no class here: an empty one, which needs room for its NUL.
  if (lpClass && *lpcchClass < 1) return ERROR_MORE_DATA;
  if (lpClass) lpClass[0] = '\0';
  if (lpcchClass) *lpcchClass = 0;
  DWORD longestSubkey = 0;
  for (const KeyPtr& subkey : key->subkeys)
    longestSubkey = std::max(longestSubkey, static_cast<DWORD>(subkey->name.size()));
  DWORD longestName = 0;
  DWORD longestData = 0;
  for (const Value& value : key->values) {
    longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
    // Windows keeps strings in UTF-16 and reports the size it keeps: two
    // bytes for each character of the ANSI data.
    DWORD stored = static_cast<DWORD>(value.data.size()) * (IsStringType(value.type) ? 2 : 1);
    longestData = std::max(longestData, stored);
  }
  // Name lengths are in characters without the NUL, data sizes in bytes.
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
  if (lpcchMaxSubKeyLen) *lpcchMaxSubKeyLen = longestSubkey;
  if (lpcchMaxClassLen) *lpcchMaxClassLen = 0;
  if (lpcValues) *lpcValues = static_cast<DWORD>(key->values.size());
  if (lpcchMaxValueNameLen) *lpcchMaxValueNameLen = longestName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = longestData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;  // no security descriptors kept
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  DWORD error;
  if (detail::ShouldFail("RegDeleteKeyA", &error)) return static_cast<LONG>(error);
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, 0, &key);
  if (result != ERROR_SUCCESS) return result;
  std::vector<std::string> names;
  result = SplitPath(lpSubKey, &names);
  if (result == ERROR_SUCCESS) result = Walk(key, names, &key);
  if (result != ERROR_SUCCESS) return result;
  // A hive root, a key shut to the user, or a key with subkeys stays.
  if (!key->parent || key->denied || !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
  Detach(key);
  return ERROR_SUCCESS;
}

LONG WINAPI RegGetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                              PSECURITY_DESCRIPTOR pSecurityDescriptor, LPDWORD lpcbSecurityDescriptor) {
  DWORD error;
  if (detail::ShouldFail("RegGetKeySecurity", &error)) return static_cast<LONG>(error);
  if (!lpcbSecurityDescriptor) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, READ_CONTROL, &key);
  if (result != ERROR_SUCCESS) return result;
  std::string bytes = detail::SelfRelative(KeySecurity{key->owner, key->dacl}, SecurityInformation);
  DWORD room = *lpcbSecurityDescriptor;
  *lpcbSecurityDescriptor = static_cast<DWORD>(bytes.size());
  if (room < bytes.size()) return ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(pSecurityDescriptor, bytes.data(), bytes.size());
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  DWORD error;
  if (detail::ShouldFail("RegCloseKey", &error)) return static_cast<LONG>(error);
  if (PredefinedKey(hKey)) return ERROR_SUCCESS;
  auto value = reinterpret_cast<uintptr_t>(hKey);
  if (!detail::ReleaseHandle(HandleKind::Key, value)) return ERROR_INVALID_HANDLE;
  Registry().handles.erase(value);
  return ERROR_SUCCESS;
}

}  // extern "C"
