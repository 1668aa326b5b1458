// The simulated registry: two hives of keys whose names compare without
// regard to case, subkeys kept in the order Windows enumerates them (sorted
// on the upper-cased name), values in creation order with their bytes exactly
// as stored, volatile keys that a reboot drops, deleted keys whose open
// handles answer ERROR_KEY_DELETED, each key's owner and access list, and
// registry links. Names are kept as Windows keeps them, in Unicode (here as
// UTF-8 of their UTF-16, lone surrogates kept); the ANSI calls convert them
// as Windows does, so a name the code page lacks is handed out as its best
// fit or '?', and opening by that reaches another key or none.
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
  bool isLink = false;
  HKEY linkRoot = nullptr;  // where a link leads: linkTarget below it; none yet when null
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

using detail::AnsiFromKept;
using detail::KeptFromAnsi;
using detail::KeptFromWide;
// Names are counted in UTF-16 units, as Windows counts them.
DWORD Units(const std::string& kept) { return static_cast<DWORD>(detail::Units(kept)); }

int Upper(char c) { return std::toupper(static_cast<unsigned char>(c)); }

// Windows orders subkeys by their upper-cased names; only ASCII letters
// are folded here, and no byte of a longer character is one.
bool NameLess(const std::string& a, const std::string& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    int ca = Upper(a[i]);
    int cb = Upper(b[i]);
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

bool SameKept(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

// Subkeys are sorted, so a lookup is a binary search: opening every key of a
// wide tree by its path stays linear in the number of keys.
KeyPtr FindChild(const Key& parent, const std::string& name) {
  auto at = std::lower_bound(parent.subkeys.begin(), parent.subkeys.end(), name,
                             [](const KeyPtr& k, const std::string& n) { return NameLess(k->name, n); });
  if (at != parent.subkeys.end() && SameKept((*at)->name, name)) return *at;
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

Value* FindValue(Key& key, const std::string& name) {
  for (Value& value : key.values) {
    if (SameKept(value.name, name)) return &value;
  }
  return nullptr;
}

void StoreValue(Key& key, const std::string& name, DWORD type, std::string data) {
  if (Value* value = FindValue(key, name)) {
    value->type = type;
    value->data = std::move(data);
  } else {
    key.values.push_back(Value{name, type, std::move(data)});
  }
}

// Key names of a kept path (a backslash byte is always a separator in it).
// Trailing backslashes are ignored; a leading one, or an empty name inside
// the path, is ERROR_BAD_PATHNAME.
LONG SplitPath(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  std::string text = path;
  while (!text.empty() && text.back() == '\\') text.pop_back();
  if (text.empty()) return ERROR_SUCCESS;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\\', start);
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
  if (!link->linkRoot || depth >= kMaxLinkDepth || SplitPath(link->linkTarget, &names) != ERROR_SUCCESS)
    return ERROR_FILE_NOT_FOUND;
  return Walk(PredefinedKey(link->linkRoot), names, target, false, depth + 1);
}

// Every link on the way is followed, the last name's too unless
// openLastLink (REG_OPTION_OPEN_LINK) asks for the link itself.
LONG Walk(KeyPtr key, const std::vector<std::string>& names, KeyPtr* found, bool openLastLink, int depth) {
  for (size_t i = 0; i < names.size(); ++i) {
    key = FindChild(*key, names[i]);
    if (!key) return ERROR_FILE_NOT_FOUND;
    if (key->isLink && !(openLastLink && i + 1 == names.size())) {
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

// Control paths and names are ANSI bytes of the code page in force, or
// UTF-16 in the overloads that take names beyond it.
std::vector<std::string> ControlPath(const std::string& kept) {
  std::vector<std::string> names;
  if (SplitPath(kept, &names) != ERROR_SUCCESS)
    throw std::invalid_argument("sim registry: bad key path \"" + kept + "\"");
  return names;
}

KeyPtr ControlFind(HKEY root, const std::string& kept) {
  KeyPtr key;
  return Walk(ControlRoot(root), ControlPath(kept), &key, true) == ERROR_SUCCESS ? key : nullptr;
}

KeyPtr ControlFindExisting(HKEY root, const std::string& kept) {
  KeyPtr key = ControlFind(root, kept);
  if (!key) throw std::invalid_argument("sim registry: no key \"" + kept + "\"");
  return key;
}

// Creates missing keys; `isVolatile` null means "like the nearest ancestor".
KeyPtr ControlEnsure(HKEY root, const std::string& kept, const bool* isVolatile) {
  KeyPtr key = ControlRoot(root);
  for (const std::string& name : ControlPath(kept)) {
    KeyPtr child = FindChild(*key, name);
    if (!child) {
      bool makeVolatile = isVolatile ? *isVolatile : key->isVolatile;
      if (key->isVolatile && !makeVolatile)
        throw std::logic_error("sim registry: non-volatile key under a volatile one: " + kept);
      if (Units(name) > kMaxKeyName) throw std::invalid_argument("sim registry: key name too long");
      child = AddChild(*key, name, makeVolatile);
    }
    key = child;
  }
  return key;
}

// The native name of a key of the two hives, as a link's value holds it.
const char kMachinePrefix[] = "\\Registry\\Machine\\";
const char kUserPrefix[] = "\\Registry\\User\\";
const char kLinkValue[] = "SymbolicLinkValue";

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && SameKept(text.substr(0, prefix.size()), prefix);
}

// A link's target from its value: UTF-16 without a terminator. A name
// outside the two hives leads nowhere.
void LearnLinkTarget(Key& link, const std::string& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  std::string target = detail::ToUtf8(units);
  link.linkRoot = nullptr;
  link.linkTarget.clear();
  if (StartsWithNoCase(target, kMachinePrefix)) {
    link.linkRoot = HKEY_LOCAL_MACHINE;
    link.linkTarget = target.substr(sizeof kMachinePrefix - 1);
  } else if (StartsWithNoCase(target, kUserPrefix)) {
    link.linkRoot = HKEY_CURRENT_USER;
    link.linkTarget = target.substr(sizeof kUserPrefix - 1);
  }
}

std::string Utf16Bytes(const std::u16string& units) {
  std::string bytes;
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
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
  KeyPtr key = ControlFind(root, KeptFromAnsi(path));
  if (!key) return;
  std::string kept = KeptFromAnsi(name);
  auto& values = key->values;
  values.erase(std::remove_if(values.begin(), values.end(),
                              [&kept](const Value& value) { return SameKept(value.name, kept); }),
               values.end());
}

void RebootRegistry() {
  DropVolatile(*Registry().machine);
  DropVolatile(*Registry().user);
}

}  // namespace detail

void CreateKey(HKEY root, const std::string& path, bool isVolatile) {
  ControlEnsure(root, KeptFromAnsi(path), &isVolatile);
}

void CreateKey(HKEY root, const std::u16string& path, bool isVolatile) {
  ControlEnsure(root, detail::ToUtf8(path), &isVolatile);
}

void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const std::string& data) {
  SetRawValue(root, path, name, type, IsStringType(type) ? data + std::string(1, '\0') : data);
}

void SetRawValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 const std::string& bytes) {
  StoreValue(*ControlEnsure(root, KeptFromAnsi(path), nullptr), KeptFromAnsi(name), type, bytes);
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

bool KeyExists(HKEY root, const std::string& path) { return ControlFind(root, KeptFromAnsi(path)) != nullptr; }

bool KeyExists(HKEY root, const std::u16string& path) {
  return ControlFind(root, detail::ToUtf8(path)) != nullptr;
}

bool IsVolatileKey(HKEY root, const std::string& path) {
  KeyPtr key = ControlFind(root, KeptFromAnsi(path));
  return key && key->isVolatile;
}

std::optional<RegValue> GetValue(HKEY root, const std::string& path, const std::string& name) {
  KeyPtr key = ControlFind(root, KeptFromAnsi(path));
  if (!key) return std::nullopt;
  Value* value = FindValue(*key, KeptFromAnsi(name));
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
  if (KeyPtr key = ControlFind(root, KeptFromAnsi(path))) {
    for (const KeyPtr& child : key->subkeys) names.push_back(AnsiFromKept(child->name));
  }
  return names;
}

std::vector<std::u16string> Subkeys(HKEY root, const std::u16string& path) {
  std::vector<std::u16string> names;
  if (KeyPtr key = ControlFind(root, detail::ToUtf8(path))) {
    for (const KeyPtr& child : key->subkeys) names.push_back(detail::FromUtf8(child->name));
  }
  return names;
}

std::vector<std::string> ValueNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  if (KeyPtr key = ControlFind(root, KeptFromAnsi(path))) {
    for (const Value& value : key->values) names.push_back(AnsiFromKept(value.name));
  }
  return names;
}

void DeleteKeyTree(HKEY root, const std::string& path) {
  KeyPtr key = ControlFind(root, KeptFromAnsi(path));
  if (key && key->parent) Detach(key);
}

void RefuseOpenLinkOption(bool refuse) { Registry().openLinkRefused = refuse; }

void DenyKeyAccess(HKEY root, const std::string& path, bool deny) {
  ControlFindExisting(root, KeptFromAnsi(path))->denied = deny;
}

KeySecurity GetKeySecurity(HKEY root, const std::string& path) {
  KeyPtr key = ControlFindExisting(root, KeptFromAnsi(path));
  return KeySecurity{key->owner, key->dacl};
}

void SetKeySecurity(HKEY root, const std::string& path, const KeySecurity& security) {
  KeyPtr key = ControlFindExisting(root, KeptFromAnsi(path));
  key->owner = security.owner;
  key->dacl = security.dacl;
}

void MakeRegistryLink(HKEY root, const std::string& path, HKEY targetRoot, const std::string& target) {
  ControlRoot(targetRoot);
  KeyPtr link = ControlEnsure(root, KeptFromAnsi(path), nullptr);
  link->isLink = true;
  // The value Windows keeps: the target's native name in UTF-16.
  std::string name = std::string(PredefinedKey(targetRoot) == Registry().machine ? kMachinePrefix : kUserPrefix) +
                     KeptFromAnsi(target);
  std::string bytes = Utf16Bytes(detail::FromUtf8(name));
  StoreValue(*link, kLinkValue, REG_LINK, bytes);
  LearnLinkTarget(*link, bytes);
}

}  // namespace sim

// ---- Win32 entry points --------------------------------------------------------
using namespace sim;

namespace {

// The calls below take kept names; the ANSI and wide entry points convert.
std::string KeptName(LPCSTR name) { return name ? KeptFromAnsi(name) : std::string(); }
std::string KeptName(LPCWSTR name) { return name ? KeptFromWide(name) : std::string(); }

LONG OpenKeyKept(const char* api, HKEY hKey, const std::string* subKey, DWORD ulOptions, REGSAM samDesired,
                 PHKEY phkResult) {
  DWORD error;
  if (detail::ShouldFail(api, &error)) {
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
  if ((!subKey || subKey->empty()) && PredefinedKey(hKey)) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  if ((ulOptions & REG_OPTION_OPEN_LINK) && Registry().openLinkRefused) {
    *phkResult = nullptr;
    return ERROR_INVALID_PARAMETER;
  }
  std::vector<std::string> names;
  KeyPtr key;
  result = SplitPath(subKey ? *subKey : std::string(), &names);
  if (result == ERROR_SUCCESS) result = Walk(base, names, &key, (ulOptions & REG_OPTION_OPEN_LINK) != 0);
  if (result == ERROR_SUCCESS && key->denied) result = ERROR_ACCESS_DENIED;
  if (result != ERROR_SUCCESS) {
    *phkResult = nullptr;
    return result;
  }
  *phkResult = NewKeyHandle(key, samDesired);
  return ERROR_SUCCESS;
}

// REG_OPTION_CREATE_LINK makes the last key a link, which leads nowhere
// until its SymbolicLinkValue is set; a key of that name already there
// gives ERROR_ALREADY_EXISTS. REG_OPTION_OPEN_LINK opens a link there as
// itself.
LONG CreateKeyKept(const char* api, HKEY hKey, const std::string& subKey, DWORD dwOptions, REGSAM samDesired,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition) {
  DWORD error;
  if (detail::ShouldFail(api, &error)) {
    if (phkResult) *phkResult = nullptr;
    return static_cast<LONG>(error);
  }
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  // Windows ignores the parent handle's access rights here.
  KeyPtr key;
  LONG result = UseKey(hKey, 0, &key);
  if (result != ERROR_SUCCESS) return result;
  std::vector<std::string> names;
  result = SplitPath(subKey, &names);
  if (result != ERROR_SUCCESS) {
    *phkResult = nullptr;
    return result;
  }
  bool makeVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    bool last = i + 1 == names.size();
    KeyPtr child = FindChild(*key, name);
    if (child && last && (dwOptions & REG_OPTION_CREATE_LINK)) {
      *phkResult = nullptr;
      return ERROR_ALREADY_EXISTS;
    }
    if (child && child->isLink && !(last && (dwOptions & REG_OPTION_OPEN_LINK)) &&
        FollowLink(child, &child, 0) != ERROR_SUCCESS) {
      *phkResult = nullptr;
      return ERROR_FILE_NOT_FOUND;
    }
    if (!child) {
      if (Units(name) > kMaxKeyName) result = ERROR_INVALID_PARAMETER;
      else if (key->isVolatile && !makeVolatile) result = ERROR_CHILD_MUST_BE_VOLATILE;
      if (result != ERROR_SUCCESS) {
        *phkResult = nullptr;
        return result;
      }
      child = AddChild(*key, name, makeVolatile);
      child->isLink = last && (dwOptions & REG_OPTION_CREATE_LINK);
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

// The stored bytes as the caller gets them: strings converted to WCHARs for
// the wide call (their NULs with them), any other type as stored.
std::string DataFor(const Value& value, bool wide) {
  if (!wide || !IsStringType(value.type)) return value.data;
  std::wstring units = detail::ToWide(detail::ToUnicode(value.data));
  return std::string(reinterpret_cast<const char*>(units.data()), units.size() * sizeof(WCHAR));
}

LONG QueryValueKept(const char* api, bool wide, HKEY hKey, const std::string& name, LPDWORD lpReserved,
                    LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  DWORD error;
  if (detail::ShouldFail(api, &error)) return static_cast<LONG>(error);
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  Value* value = FindValue(*key, name);
  if (!value) {
    if (!lpData && lpcbData) *lpcbData = 0;
    return ERROR_FILE_NOT_FOUND;
  }
  std::string data = DataFor(*value, wide);
  DWORD size = static_cast<DWORD>(data.size());
  if (lpType) *lpType = value->type;
  if (lpData) {
    if (*lpcbData < size) result = ERROR_MORE_DATA;
    else std::memcpy(lpData, data.data(), size);
  }
  if (lpcbData) *lpcbData = size;
  return result;
}

// The kept name of a subkey by index, for either enumeration.
LONG EnumKeyKept(const char* api, HKEY hKey, DWORD dwIndex, bool named, LPDWORD lpcchName, LPDWORD lpReserved,
                 const std::string** name) {
  DWORD error;
  if (detail::ShouldFail(api, &error)) return static_cast<LONG>(error);
  if (!named || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_ENUMERATE_SUB_KEYS, &key);
  if (result != ERROR_SUCCESS) return result;
  if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  *name = &key->subkeys[dwIndex]->name;
  return ERROR_SUCCESS;
}

// Sizes are in characters; the NUL must fit but is not counted on return.
template <typename Char>
LONG DeliverName(const std::basic_string<Char>& name, Char* buffer, LPDWORD lpcchName, Char* lpClass,
                 LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
  if (lpClass && lpcchClass && *lpcchClass < 1) return ERROR_MORE_DATA;
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = 0;
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpClass && lpcchClass) {
    lpClass[0] = 0;
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

template <typename Char>
LONG QueryInfoKept(const char* api, HKEY hKey, Char* lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                   LPDWORD lpcSubKeys, LPDWORD lpcchMaxSubKeyLen, LPDWORD lpcchMaxClassLen, LPDWORD lpcValues,
                   LPDWORD lpcchMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                   PFILETIME lpftLastWriteTime) {
  DWORD error;
  if (detail::ShouldFail(api, &error)) return static_cast<LONG>(error);
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  // Keys carry no class here: an empty one, which needs room for its NUL.
  if (lpClass && *lpcchClass < 1) return ERROR_MORE_DATA;
  if (lpClass) lpClass[0] = 0;
  if (lpcchClass) *lpcchClass = 0;
  DWORD longestSubkey = 0;
  for (const KeyPtr& subkey : key->subkeys) longestSubkey = std::max(longestSubkey, Units(subkey->name));
  DWORD longestName = 0;
  DWORD longestData = 0;
  for (const Value& value : key->values) {
    longestName = std::max(longestName, Units(value.name));
    // Windows keeps strings in UTF-16 and reports the size it keeps: two
    // bytes for each character of the ANSI data.
    DWORD stored = static_cast<DWORD>(value.data.size()) * (IsStringType(value.type) ? 2 : 1);
    longestData = std::max(longestData, stored);
  }
  // Name lengths are in characters (UTF-16 units) without the NUL, data
  // sizes in bytes, for both the ANSI and the wide call.
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

LONG DeleteKeyKept(const char* api, HKEY hKey, const std::string* subKey) {
  DWORD error;
  if (detail::ShouldFail(api, &error)) return static_cast<LONG>(error);
  if (!subKey) return ERROR_INVALID_PARAMETER;
  KeyPtr key;
  LONG result = UseKey(hKey, 0, &key);
  if (result != ERROR_SUCCESS) return result;
  std::vector<std::string> names;
  result = SplitPath(*subKey, &names);
  if (result == ERROR_SUCCESS) result = Walk(key, names, &key);
  if (result != ERROR_SUCCESS) return result;
  // A hive root, a key shut to the user, or a key with subkeys stays.
  if (!key->parent || key->denied || !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
  Detach(key);
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
  std::string name = KeptName(lpSubKey);
  return OpenKeyKept("RegOpenKeyExA", hKey, lpSubKey ? &name : nullptr, ulOptions, samDesired, phkResult);
}

LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
  std::string name = KeptName(lpSubKey);
  return OpenKeyKept("RegOpenKeyExW", hKey, lpSubKey ? &name : nullptr, ulOptions, samDesired, phkResult);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  return CreateKeyKept("RegCreateKeyExA", hKey, KeptName(lpSubKey), dwOptions, samDesired, lpSecurityAttributes,
                       phkResult, lpdwDisposition);
}

LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  return CreateKeyKept("RegCreateKeyExW", hKey, KeptName(lpSubKey), dwOptions, samDesired, lpSecurityAttributes,
                       phkResult, lpdwDisposition);
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  return QueryValueKept("RegQueryValueExA", false, hKey, KeptName(lpValueName), lpReserved, lpType, lpData,
                        lpcbData);
}

LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  return QueryValueKept("RegQueryValueExW", true, hKey, KeptName(lpValueName), lpReserved, lpType, lpData,
                        lpcbData);
}

// A link takes only its REG_LINK target under the link value's name.
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData) {
  DWORD error;
  if (detail::ShouldFail("RegSetValueExA", &error)) return static_cast<LONG>(error);
  KeyPtr key;
  LONG result = UseKey(hKey, KEY_SET_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  if (!lpData && cbData) return ERROR_NOACCESS;
  std::string name = KeptName(lpValueName);
  bool linkValue = SameKept(name, kLinkValue);
  if (key->isLink && linkValue && dwType != REG_LINK) return ERROR_ACCESS_DENIED;
  DWORD count = cbData;
  // Windows NT counts a string's terminating NUL that the caller left out
  // when it follows the data.
  if (IsStringType(dwType) && count && lpData[count - 1] != '\0' && lpData[count] == '\0') ++count;
  std::string data = count ? std::string(reinterpret_cast<const char*>(lpData), count) : "";
  if (key->isLink && linkValue) LearnLinkTarget(*key, data);
  StoreValue(*key, name, dwType, std::move(data));
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  const std::string* name = nullptr;
  LONG result = EnumKeyKept("RegEnumKeyExA", hKey, dwIndex, lpName != nullptr, lpcchName, lpReserved, &name);
  if (result != ERROR_SUCCESS) return result;
  return DeliverName(AnsiFromKept(*name), lpName, lpcchName, lpClass, lpcchClass, lpftLastWriteTime);
}

LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  const std::string* name = nullptr;
  LONG result = EnumKeyKept("RegEnumKeyExW", hKey, dwIndex, lpName != nullptr, lpcchName, lpReserved, &name);
  if (result != ERROR_SUCCESS) return result;
  return DeliverName(detail::ToWide(detail::FromUtf8(*name)), lpName, lpcchName, lpClass, lpcchClass,
                     lpftLastWriteTime);
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
  std::string name = AnsiFromKept(value.name);
  DWORD size = static_cast<DWORD>(value.data.size());
  // Type and data size are reported even when something does not fit;
  // then neither buffer is written and the name size stays as passed.
  if (lpType) *lpType = value.type;
  bool dataFits = !lpData || size <= *lpcbData;
  if (lpcbData) *lpcbData = size;
  if (name.size() >= *lpcchValueName || !dataFits) return ERROR_MORE_DATA;
  std::memcpy(lpValueName, name.c_str(), name.size() + 1);
  *lpcchValueName = static_cast<DWORD>(name.size());
  if (lpData) std::memcpy(lpData, value.data.data(), size);
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcchMaxSubKeyLen, LPDWORD lpcchMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcchMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                             LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  return QueryInfoKept("RegQueryInfoKeyA", hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcchMaxSubKeyLen,
                       lpcchMaxClassLen, lpcValues, lpcchMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor,
                       lpftLastWriteTime);
}

LONG WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcchMaxSubKeyLen, LPDWORD lpcchMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcchMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                             LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  return QueryInfoKept("RegQueryInfoKeyW", hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcchMaxSubKeyLen,
                       lpcchMaxClassLen, lpcValues, lpcchMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor,
                       lpftLastWriteTime);
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  std::string name = KeptName(lpSubKey);
  return DeleteKeyKept("RegDeleteKeyA", hKey, lpSubKey ? &name : nullptr);
}

LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  std::string name = KeptName(lpSubKey);
  return DeleteKeyKept("RegDeleteKeyW", hKey, lpSubKey ? &name : nullptr);
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
