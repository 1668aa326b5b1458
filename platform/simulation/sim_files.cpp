// Simulated file system: drives of directory trees, files with contents and
// attributes, junctions, open handles with their sharing, searches with the
// DOS wildcard rules, deletions deferred to the next restart.
// Names are kept as Windows keeps them, in Unicode: UTF-8 here (the backslash
// byte never occurs inside a character). The ANSI calls convert the names
// they take from the code page in force and the names they hand out to it,
// best fit included, as Windows' ANSI calls do; the wide calls take and give
// the names as kept.
#include "sim_internal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

namespace sim {
namespace {

// Attributes SetFileAttributesA may change (NOT_CONTENT_INDEXED and OFFLINE too).
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | 0x1000 | 0x2000;
constexpr size_t kMaxComponent = 255;
constexpr int kMaxLinkDepth = 8;

struct Node {
  std::string name;
  DWORD attributes = 0;
  std::string contents;
  bool hasVersion = false;
  std::string versionBlock;
  std::string linkTarget;  // junctions: the full path they lead to
  bool heldOpen = false;   // by another process, reading
  DWORD heldShare = 0;     // the sharing that process's handle grants
  bool deletePending = false;  // deleted, but handles are still open
  bool runningImage = false;  // a loaded program or driver: renamed, not deleted
  DWORD index = 0;         // file index: unique on the machine, kept across renames
  std::map<std::string, std::unique_ptr<Node>> children;  // keyed by upper-case name

  bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsReadOnly() const { return (attributes & FILE_ATTRIBUTE_READONLY) != 0; }
};

struct OpenFile {
  Node* node;  // null once the file is gone (a restart)
  bool read;
  bool write;
  DWORD share;
  uint64_t position;
  char drive = 0;  // the volume the handle was opened on
};

// What a search found, handed out by FindNextFileA or FindNextFileW.
struct FoundEntry {
  std::string name;
  DWORD attributes;
  DWORD size;
  DWORD tag;
};

struct Search {
  std::vector<FoundEntry> entries;
  size_t next;
};

struct FileState {
  std::map<char, std::unique_ptr<Node>> drives;  // network shares too, each under a key of its own
  std::map<std::string, char> shares;  // "\\SERVER\SHARE" to its key in drives
  std::string currentDirectory = "C:\\";
  std::string windowsDirectory = "C:\\WINNT";
  std::string systemDirectory = "C:\\WINNT\\system32";
  std::map<uintptr_t, OpenFile> files;
  std::map<uintptr_t, Search> searches;
  std::vector<PendingOperation> pending;
  DWORD lastIndex = 0;
};

FileState& Files() {
  static FileState state;
  return state;
}

// Letters of ASCII fold; other characters compare as they are.
std::string Upper(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x80) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return text;
}

bool SameName(const std::string& a, const std::string& b) { return a.size() == b.size() && Upper(a) == Upper(b); }

// A name the ANSI calls take (bytes of the code page in force), as kept.
std::string FromAnsi(const std::string& ansi) { return detail::KeptFromAnsi(ansi); }
std::string FromAnsi(const char* ansi) { return FromAnsi(std::string(ansi ? ansi : "")); }
// A name as the ANSI calls hand it out.
std::string ToAnsiName(const std::string& name) { return detail::AnsiFromKept(name); }
std::string FromWideName(const WCHAR* name) { return detail::KeptFromWide(name); }
using detail::Units;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
constexpr char kSeparators[] = "\\/";

// ---- Paths -------------------------------------------------------------------

struct Path {
  char drive = 0;
  std::string share;  // "\\server\share" for a path on a network share
  std::vector<std::string> parts;
  bool trailingSeparator = false;

  std::string Root() const { return share.empty() ? std::string{drive, ':', '\\'} : share + '\\'; }
  // The full path as GetFullPathNameA gives it.
  std::string Full() const {
    std::string text = Root();
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) text += '\\';
      text += parts[i];
    }
    if (trailingSeparator) text += '\\';
    return text;
  }
  const std::string& Name() const { return parts.back(); }
};

void AppendComponents(const std::string& text, std::vector<std::string>* parts) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(kSeparators, start);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(start, end - start);
    if (part == "..") {
      if (!parts->empty()) parts->pop_back();
    } else if (!part.empty() && part != ".") {
      // A name ending in one dot loses it wherever it stands ("C:\dir.\f" is
      // C:\dir\f); a longer run of dots stays inside a path, as from Vista
      // on (NT 4.0 to XP drop one dot of any run).
      if (part.size() >= 2 && part.back() == '.' && part[part.size() - 2] != '.') part.pop_back();
      parts->push_back(part);
    }
    start = end + 1;
  }
}

bool CheckComponents(const Path& path, DWORD* error) {
  for (const std::string& part : path.parts) {
    if (Units(part) > kMaxComponent) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
  }
  return true;
}

// "\\\\server\\share\\rest": the share's own tree, whose root ".." does not leave.
bool ParseSharePath(const std::string& raw, Path* out, DWORD* error) {
  size_t serverEnd = raw.find_first_of(kSeparators, 2);
  size_t shareEnd = serverEnd == std::string::npos ? std::string::npos : raw.find_first_of(kSeparators, serverEnd + 1);
  if (shareEnd == std::string::npos) shareEnd = raw.size();
  Path path;
  if (serverEnd != std::string::npos && serverEnd > 2 && shareEnd > serverEnd + 1) {
    path.share = "\\\\" + raw.substr(2, serverEnd - 2) + "\\" + raw.substr(serverEnd + 1, shareEnd - serverEnd - 1);
  }
  auto found = Files().shares.find(Upper(path.share));
  if (path.share.empty() || found == Files().shares.end()) {
    *error = ERROR_BAD_NETPATH;
    return false;
  }
  path.drive = found->second;
  AppendComponents(raw.substr(shareEnd), &path.parts);
  if (!CheckComponents(path, error)) return false;
  path.trailingSeparator = IsSeparator(raw.back()) && !path.parts.empty();
  *out = path;
  return true;
}

// Resolves a path as Windows does: against the current directory (also
// for "X:name" on the current drive), both separators, repeated separators,
// "." and "..", a name's single trailing dot, trailing dots and blanks of
// the last name. A UNC path leads to a share of this machine's
// (sim::AddShare), else nowhere; a path on a drive without a disk gives
// ERROR_NOT_READY.
bool ParsePath(const std::string& raw, Path* out, DWORD* error) {
  if (raw.empty()) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  if (Units(raw) >= MAX_PATH) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  if (raw.size() >= 2 && IsSeparator(raw[0]) && IsSeparator(raw[1])) return ParseSharePath(raw, out, error);
  const std::string& current = Files().currentDirectory;
  Path path;
  path.drive = current[0];
  std::string rest = raw;
  bool relative = !IsSeparator(raw[0]);
  if (raw.size() >= 2 && raw[1] == ':' && std::isalpha(static_cast<unsigned char>(raw[0]))) {
    path.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(raw[0])));
    rest = raw.substr(2);
    relative = (rest.empty() || !IsSeparator(rest[0])) && path.drive == current[0];
  }
  // A drive that holds no files and no disk: the system asks for one first.
  if (!Files().drives.count(path.drive) && detail::DriveWithoutDisk(path.drive)) {
    *error = ERROR_NOT_READY;
    return false;
  }
  if (relative) AppendComponents(current.substr(3), &path.parts);
  AppendComponents(rest, &path.parts);
  if (!CheckComponents(path, error)) return false;
  size_t lastSeparator = raw.find_last_of(kSeparators);
  path.trailingSeparator = lastSeparator != std::string::npos && lastSeparator + 1 == raw.size() &&
                           !path.parts.empty();
  // The last name loses its trailing dots and blanks ("C:\\dir." is C:\\dir).
  if (!path.trailingSeparator && !path.parts.empty()) {
    std::string& last = path.parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (last.empty()) path.parts.pop_back();
  }
  *out = path;
  return true;
}

// Names that can be created: no wildcards, no reserved characters.
bool ValidName(const Path& path) {
  for (const std::string& part : path.parts) {
    for (char c : part) {
      if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c)) return false;
    }
  }
  return true;
}

// ---- Tree walking ------------------------------------------------------------

Node* Child(Node* directory, const std::string& name) {
  auto it = directory->children.find(Upper(name));
  return it == directory->children.end() ? nullptr : it->second.get();
}

Node* DriveRoot(char drive) {
  auto it = Files().drives.find(drive);
  return it == Files().drives.end() ? nullptr : it->second.get();
}

Node* WalkDirectory(const Path& path, size_t count, int depth, DWORD* error);

// What a directory leads to: a junction's target, else itself.
Node* Follow(Node* node, int depth, DWORD* error) {
  if (node->linkTarget.empty()) return node;
  Path target;
  if (depth >= kMaxLinkDepth || !ParsePath(node->linkTarget, &target, error)) {
    *error = ERROR_PATH_NOT_FOUND;
    return nullptr;
  }
  return WalkDirectory(target, target.parts.size(), depth + 1, error);
}

// The directory named by the first `count` components, through junctions;
// null with ERROR_PATH_NOT_FOUND when a step is missing or not a directory.
Node* WalkDirectory(const Path& path, size_t count, int depth, DWORD* error) {
  Node* node = DriveRoot(path.drive);
  for (size_t i = 0; node && i < count; ++i) {
    Node* child = Child(node, path.parts[i]);
    if (!child || !child->IsDirectory()) {
      node = nullptr;
      break;
    }
    node = Follow(child, depth, error);
  }
  if (!node) *error = ERROR_PATH_NOT_FOUND;
  return node;
}

// An entry and the directory holding it. `node` is the entry itself (a
// junction is not followed), null when missing; a drive root has no parent.
struct Location {
  Path path;
  Node* parent = nullptr;
  Node* node = nullptr;
};

bool Locate(const std::string& raw, Location* location, DWORD* error) {
  if (!ParsePath(raw, &location->path, error)) return false;
  const Path& path = location->path;
  if (path.parts.empty()) {
    location->node = DriveRoot(path.drive);
    if (!location->node) *error = ERROR_PATH_NOT_FOUND;
    return location->node != nullptr;
  }
  location->parent = WalkDirectory(path, path.parts.size() - 1, 0, error);
  if (!location->parent) return false;
  location->node = Child(location->parent, path.Name());
  return true;
}

Node* AddChild(Node* directory, const std::string& name, DWORD attributes) {
  auto node = std::make_unique<Node>();
  node->name = name;
  node->attributes = attributes;
  node->index = ++Files().lastIndex;
  Node* added = node.get();
  directory->children[Upper(name)] = std::move(node);
  return added;
}

// Handles of this process whose file is gone are no longer usable.
void ForgetHandles(const Node* node) {
  for (auto& file : Files().files) {
    if (file.second.node == node) file.second.node = nullptr;
  }
}

void RemoveChild(Node* directory, const std::string& name) {
  auto it = directory->children.find(Upper(name));
  if (it == directory->children.end()) return;
  ForgetHandles(it->second.get());
  directory->children.erase(it);
}

// The directory holding `wanted`, searched from `directory` down.
Node* ParentOf(Node* directory, const Node* wanted) {
  for (auto& child : directory->children) {
    if (child.second.get() == wanted) return directory;
    if (!child.second->IsDirectory() || !child.second->linkTarget.empty()) continue;
    if (Node* found = ParentOf(child.second.get(), wanted)) return found;
  }
  return nullptr;
}

bool InUse(const Node* node);

// A file deleted while open goes with its last handle.
void DropIfReleased(Node* node) {
  if (!node || !node->deletePending || InUse(node)) return;
  for (auto& drive : Files().drives) {
    if (Node* parent = ParentOf(drive.second.get(), node)) {
      RemoveChild(parent, node->name);
      return;
    }
  }
}

// At a restart every handle is gone: so is every file deleted while open.
void DropAllPending(Node* directory) {
  for (auto it = directory->children.begin(); it != directory->children.end();) {
    if (it->second->deletePending) {
      it = directory->children.erase(it);
      continue;
    }
    if (it->second->linkTarget.empty()) DropAllPending(it->second.get());
    ++it;
  }
}

bool Contains(const Node* tree, const Node* wanted) {
  if (tree == wanted) return true;
  for (const auto& child : tree->children) {
    if (Contains(child.second.get(), wanted)) return true;
  }
  return false;
}

DWORD ReportedAttributes(const Node& node) {
  return node.attributes == 0 ? FILE_ATTRIBUTE_NORMAL : node.attributes;
}

// ---- Hard links ----------------------------------------------------------------

// The names of a file share its index; a change made through one name is
// carried to the others, as they are one file.
void CollectNames(Node* directory, DWORD index, std::vector<Node*>* names) {
  for (auto& child : directory->children) {
    Node* node = child.second.get();
    if (!node->IsDirectory() && node->index == index) names->push_back(node);
    if (node->IsDirectory() && node->linkTarget.empty()) CollectNames(node, index, names);
  }
}

std::vector<Node*> NamesOf(const Node* file) {
  std::vector<Node*> names;
  for (auto& drive : Files().drives) CollectNames(drive.second.get(), file->index, &names);
  return names;
}

void ShareChange(const Node* changed) {
  if (changed->IsDirectory()) return;
  for (Node* other : NamesOf(changed)) {
    if (other == changed) continue;
    other->contents = changed->contents;
    other->attributes = changed->attributes;
    other->hasVersion = changed->hasVersion;
    other->versionBlock = changed->versionBlock;
  }
}

// ---- Sharing -----------------------------------------------------------------

// Gone once deleted, though listed until its last handle closes: every
// open, and every deletion, rename or copy of it, meets ERROR_ACCESS_DENIED.
bool DeletePending(const Node* node) { return node && node->deletePending; }

bool InUse(const Node* node) {
  if (node->heldOpen) return true;
  for (const auto& file : Files().files) {
    if (file.second.node == node) return true;
  }
  return false;
}

// A rename or removal needs delete access, which a handle opened without
// FILE_SHARE_DELETE (or another process's exclusive hold) refuses.
bool RefusesDeletion(const Node* node) {
  if (node->heldOpen && !(node->heldShare & FILE_SHARE_DELETE)) return true;
  for (const auto& file : Files().files) {
    if (file.second.node == node && !(file.second.share & FILE_SHARE_DELETE)) return true;
  }
  return false;
}

// Windows refuses to rename a directory while anything below it is open.
bool HoldsOpenHandle(const Node* directory) {
  for (const auto& file : Files().files) {
    if (file.second.node && file.second.node != directory && Contains(directory, file.second.node))
      return true;
  }
  return false;
}

// Whether an open for these rights with this sharing agrees with every
// open handle of the file (and with another process's exclusive hold).
bool Shareable(const Node* node, bool read, bool write, DWORD share) {
  if (node->heldOpen && ((read && !(node->heldShare & FILE_SHARE_READ)) ||
                         (write && !(node->heldShare & FILE_SHARE_WRITE)) ||
                         ((read || write) && !(share & FILE_SHARE_READ))))
    return false;
  for (const auto& entry : Files().files) {
    const OpenFile& other = entry.second;
    if (other.node != node) continue;
    if ((read && !(other.share & FILE_SHARE_READ)) || (write && !(other.share & FILE_SHARE_WRITE)))
      return false;
    if ((other.read && !(share & FILE_SHARE_READ)) || (other.write && !(share & FILE_SHARE_WRITE)))
      return false;
  }
  return true;
}

// ---- Wildcards ---------------------------------------------------------------

// The forms Windows gives a search mask before matching: "?" becomes DOS_QM,
// "*" before a dot DOS_STAR, a dot before "?", "*" or the end DOS_DOT.
constexpr char kDosStar = '<';
constexpr char kDosQm = '>';
constexpr char kDosDot = '"';

std::string TranslateMask(const std::string& mask) {
  std::string out = mask;
  for (size_t i = 0; i < mask.size(); ++i) {
    char next = i + 1 < mask.size() ? mask[i + 1] : '\0';
    if (mask[i] == '?') {
      out[i] = kDosQm;
    } else if (mask[i] == '*' && next == '.') {
      out[i] = kDosStar;
    } else if (mask[i] == '.' && (next == '?' || next == '*' || next == '\0')) {
      out[i] = kDosDot;
    }
  }
  return out;
}

// Names are matched a UTF-16 unit at a time; only ASCII letters fold.
bool SameChar(char16_t a, char16_t b) {
  if (a >= 0x80 || b >= 0x80) return a == b;
  return std::toupper(a) == std::toupper(b);
}

// `failed` remembers the (mask, name) positions from which a star's tries
// already failed, so that masks of many stars take polynomial time, as the
// system's matcher does, not exponential.
bool MatchFrom(const std::u16string& mask, size_t m, const std::u16string& name, size_t n,
               size_t lastDot, std::vector<bool>* failed) {
  while (m < mask.size()) {
    char16_t c = mask[m];
    if (c == '*' || c == kDosStar) {
      size_t seen = m * (name.size() + 1) + n;
      if ((*failed)[seen]) return false;
      // DOS_STAR never swallows the name's final dot.
      size_t limit = name.size();
      if (c == kDosStar && lastDot != std::string::npos && n <= lastDot) limit = lastDot;
      for (size_t k = n; k <= limit; ++k) {
        if (MatchFrom(mask, m + 1, name, k, lastDot, failed)) return true;
      }
      (*failed)[seen] = true;
      return false;
    }
    if (c == kDosQm) {
      // One character, or nothing at a dot or the end of the name.
      if (n < name.size() && name[n] != '.') ++n;
      ++m;
      continue;
    }
    if (c == kDosDot) {
      // A dot, or nothing past the end of the name.
      if (n < name.size()) {
        if (name[n] != '.') return false;
        ++n;
      }
      ++m;
      continue;
    }
    if (n >= name.size()) return false;
    if (c != '?' && !SameChar(c, name[n])) return false;
    ++m;
    ++n;
  }
  return n == name.size();
}

// ---- Short names ----------------------------------------------------------------

constexpr char kNotInShortNames[] = " +,;=[]?";

bool IsShortAnsiName(const std::string& name) {
  if (name == "." || name == "..") return true;
  size_t dot = name.find('.');
  if (dot == 0 || name.find_first_of(kNotInShortNames) != std::string::npos) return false;
  if (dot == std::string::npos) return !name.empty() && name.size() <= 8;
  return dot <= 8 && name.size() - dot - 1 <= 3 && name.find('.', dot + 1) == std::string::npos;
}

// The 8.3 alias Windows gives a name that is not a short name itself: its
// first six bytes without dots and blanks, "~1", and the first three bytes
// of its extension, in capitals ("backup.exel" is BACKUP~1.EXE). A
// character of two bytes that would not fit whole ends the part.
// The numeric tail of a second alias of the same stem is not modelled.
std::string ShortAnsiAlias(const std::string& name) {
  size_t lastDot = name.rfind('.');
  if (lastDot == 0) lastDot = std::string::npos;  // ".profile" is PROFIL~1
  std::string stem, extension;
  bool stemFull = false, extensionFull = false;
  for (size_t i = 0; i < name.size(); i = detail::NextCharacter(name, i)) {
    std::string c = name.substr(i, detail::NextCharacter(name, i) - i);
    if (c.size() == 1) {
      if (c[0] == ' ' || (c[0] == '.' && i != lastDot)) continue;
      if (std::strchr(kNotInShortNames, c[0])) c[0] = '_';
      c[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(c[0])));
    }
    bool inExtension = lastDot != std::string::npos && i > lastDot;
    std::string& part = inExtension ? extension : stem;
    bool& full = inExtension ? extensionFull : stemFull;
    if (i == lastDot || full) continue;
    if (part.size() + c.size() > (inExtension ? 3u : 6u)) {
      full = true;
      continue;
    }
    part += c;
  }
  return stem + "~1" + (extension.empty() ? "" : "." + extension);
}

bool NameMatches(const std::string& mask, const std::string& name) {
  if (mask.find_first_of("*?") == std::string::npos) {
    // A plain name: trailing dots and blanks fall away as in any path.
    std::string plain = mask;
    while (!plain.empty() && (plain.back() == '.' || plain.back() == ' ') && plain != "." &&
           plain != "..")
      plain.pop_back();
    return SameName(plain, name);
  }
  std::u16string maskUnits = detail::FromUtf8(TranslateMask(mask));
  std::u16string nameUnits = detail::FromUtf8(name);
  std::vector<bool> failed(maskUnits.size() * (nameUnits.size() + 1), false);
  return MatchFrom(maskUnits, 0, nameUnits, 0, nameUnits.rfind(u'.'), &failed);
}

// Short names are made of the name's bytes in the code page; a character
// the page lacks has none and is not one ("?" is in no short name).
std::string AnsiForm(const std::string& name) {
  return detail::AnsiFromKept(name, false);
}

bool IsShortName(const std::string& name) { return IsShortAnsiName(AnsiForm(name)); }

std::string ShortAlias(const std::string& name) { return FromAnsi(ShortAnsiAlias(AnsiForm(name))); }

// A search matches a name or its short alias, as Windows searches both: so
// "*.htm" also finds "x.html" (X~1.HTM).
bool MaskMatches(const std::string& mask, const std::string& name) {
  return NameMatches(mask, name) || (!IsShortName(name) && NameMatches(mask, ShortAlias(name)));
}

FoundEntry FindEntry(const std::string& name, const Node& node) {
  FoundEntry found{name, ReportedAttributes(node), 0, 0};
  if (!node.IsDirectory()) found.size = static_cast<DWORD>(node.contents.size());
  if (node.attributes & FILE_ATTRIBUTE_REPARSE_POINT) found.tag = IO_REPARSE_TAG_MOUNT_POINT;
  return found;
}

template <typename Data>
void FillCommon(const FoundEntry& found, Data* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = found.attributes;
  data->nFileSizeLow = found.size;
  data->dwReserved0 = found.tag;
}

void Fill(const FoundEntry& found, WIN32_FIND_DATAA* data) {
  FillCommon(found, data);
  std::strncpy(data->cFileName, ToAnsiName(found.name).c_str(), MAX_PATH - 1);
}

void Fill(const FoundEntry& found, WIN32_FIND_DATAW* data) {
  FillCommon(found, data);
  std::u16string units = detail::FromUtf8(found.name);
  for (size_t i = 0; i < units.size() && i < MAX_PATH - 1; ++i) data->cFileName[i] = units[i];
}

// ---- Operations shared by the calls and the hooks -----------------------------

Node* OpenEntry(const std::string& raw, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                bool* existed, DWORD* error) {
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
    *error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  Location location;
  if (!Locate(raw, &location, error)) return nullptr;
  if (!ValidName(location.path)) {
    *error = ERROR_INVALID_NAME;
    return nullptr;
  }
  bool read = access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
  bool write = access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
  DWORD requested = flags & kSettableAttributes;
  Node* node = location.node;
  *existed = node != nullptr;
  if (node && node->IsDirectory()) {
    *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  if (location.path.trailingSeparator && disposition != OPEN_EXISTING && disposition != TRUNCATE_EXISTING) {
    *error = ERROR_INVALID_NAME;
    return nullptr;
  }
  if (!node) {
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
      *error = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    return AddChild(location.parent, location.path.Name(), requested | FILE_ATTRIBUTE_ARCHIVE);
  }
  if (location.path.trailingSeparator) {
    *error = ERROR_INVALID_NAME;
    return nullptr;
  }
  if (DeletePending(node)) {
    *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  if (disposition == CREATE_NEW) {
    *error = ERROR_FILE_EXISTS;
    return nullptr;
  }
  bool truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  if (disposition == TRUNCATE_EXISTING && !write) {
    *error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  if (!Shareable(node, read, write, share)) {
    *error = ERROR_SHARING_VIOLATION;
    return nullptr;
  }
  DWORD hiddenSystem = node->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  if ((node->IsReadOnly() && (write || truncate)) ||
      (disposition == CREATE_ALWAYS && (hiddenSystem & ~requested))) {
    *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  if (truncate) {
    node->contents.clear();
    node->hasVersion = false;
    node->versionBlock.clear();
  }
  if (disposition == CREATE_ALWAYS) node->attributes = hiddenSystem | requested | FILE_ATTRIBUTE_ARCHIVE;
  ShareChange(node);
  return node;
}

// ---- Directory handles ------------------------------------------------------

// The serial GetFileInformationByHandle reports: C:'s is the default volume's
// of the drive list; every further drive has its own.
constexpr DWORD kVolumeSerialC = 0x1C2D3E4F;

char DriveOf(const Node* node) {
  for (const auto& drive : Files().drives) {
    if (Contains(drive.second.get(), node)) return drive.first;
  }
  return 0;
}

DWORD VolumeSerial(char drive) { return kVolumeSerialC + static_cast<DWORD>(drive - 'C') * 0x01010101u; }

// A directory opened for a handle (backup semantics): a junction leads on
// unless the reparse point itself is asked for.
Node* OpenDirectory(const Location& location, DWORD access, DWORD share, DWORD disposition,
                    DWORD flags, DWORD* error) {
  if (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS) {
    *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  Node* node = location.node;
  if (!(flags & FILE_FLAG_OPEN_REPARSE_POINT)) node = Follow(node, 0, error);
  if (!node) return nullptr;
  bool read = access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
  bool write = access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
  if (!Shareable(node, read, write, share)) {
    *error = ERROR_SHARING_VIOLATION;
    return nullptr;
  }
  return node;
}

bool MoveEntry(const std::string& from, const std::string& to, DWORD flags, DWORD* error) {
  Location source;
  Location target;
  if (!Locate(from, &source, error)) return false;
  if (!source.node) {
    *error = ERROR_FILE_NOT_FOUND;
    return false;
  }
  if (!Locate(to, &target, error)) return false;
  if (!ValidName(target.path)) {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  if (!source.parent || !target.parent) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  if (DeletePending(source.node) || DeletePending(target.node)) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  if (RefusesDeletion(source.node)) {
    *error = ERROR_SHARING_VIOLATION;
    return false;
  }
  if (source.node->IsDirectory() && HoldsOpenHandle(source.node)) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  if (source.path.drive != target.path.drive &&
      (source.node->IsDirectory() || !(flags & MOVEFILE_COPY_ALLOWED))) {
    *error = ERROR_NOT_SAME_DEVICE;
    return false;
  }
  if (source.node->IsDirectory() && Contains(source.node, target.parent)) {
    *error = ERROR_SHARING_VIOLATION;
    return false;
  }
  // The rename opens the directory it adds the name to for adding an entry,
  // sharing reading and writing: a handle on it that withholds write
  // sharing refuses it, also within one directory (MS-FSA 2.1.5.14.11).
  if (!Shareable(target.parent, false, true, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
    *error = ERROR_SHARING_VIOLATION;
    return false;
  }
  if (target.node && target.node != source.node) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
      *error = ERROR_ALREADY_EXISTS;
      return false;
    }
    if (target.node->IsDirectory() || target.node->IsReadOnly()) {
      *error = ERROR_ACCESS_DENIED;
      return false;
    }
    if (InUse(target.node)) {
      *error = ERROR_SHARING_VIOLATION;
      return false;
    }
    RemoveChild(target.parent, target.path.Name());
  }
  auto slot = source.parent->children.find(Upper(source.path.Name()));
  std::unique_ptr<Node> moved = std::move(slot->second);
  source.parent->children.erase(slot);
  moved->name = target.path.Name();
  target.parent->children[Upper(moved->name)] = std::move(moved);
  return true;
}

void ClearHolds(Node* node) {
  node->heldOpen = false;
  node->runningImage = false;
  for (auto& child : node->children) ClearHolds(child.second.get());
}

// ---- Control helpers ---------------------------------------------------------

Path MustParse(const std::string& raw) {
  Path path;
  DWORD error;
  if (!ParsePath(raw, &path, &error)) throw std::invalid_argument("bad path: " + raw);
  return path;
}

// Directories along the path are made where missing.
Node* EnsureDirectory(const Path& path, size_t count) {
  Node* node = DriveRoot(path.drive);
  if (!node) throw std::invalid_argument("no drive " + path.Full());
  for (size_t i = 0; i < count; ++i) {
    Node* child = Child(node, path.parts[i]);
    if (!child) child = AddChild(node, path.parts[i], FILE_ATTRIBUTE_DIRECTORY);
    if (!child->IsDirectory()) throw std::invalid_argument("a file is in the way: " + path.Full());
    DWORD error;
    node = Follow(child, 0, &error);
    if (!node) throw std::invalid_argument("dangling junction on " + path.Full());
  }
  return node;
}

Node* Find(const std::string& raw) {
  Location location;
  DWORD error;
  return Locate(raw, &location, &error) ? location.node : nullptr;
}

Node* MustFind(const std::string& raw) {
  Node* node = Find(raw);
  if (!node) throw std::invalid_argument("no such file: " + raw);
  return node;
}

void MakeDrive(char letter) {
  auto root = std::make_unique<Node>();
  root->attributes = FILE_ATTRIBUTE_DIRECTORY;
  root->index = ++Files().lastIndex;
  Files().drives[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = std::move(root);
}

OpenFile* HandleFile(HANDLE handle) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  auto it = Files().files.find(value);
  if (it == Files().files.end() || !detail::IsOpen(HandleKind::File, value) || !it->second.node)
    return nullptr;
  return &it->second;
}

UINT CopyDirectoryText(const std::string& text, LPSTR buffer, UINT size) {
  if (!buffer || size <= text.size()) return static_cast<UINT>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<UINT>(text.size());
}

}  // namespace

// ---- Control API ---------------------------------------------------------------

namespace named {

void MakeDirectory(const std::string& path, DWORD attributes) {
  Path parsed = MustParse(path);
  Node* directory = EnsureDirectory(parsed, parsed.parts.size());
  directory->attributes = attributes | FILE_ATTRIBUTE_DIRECTORY;
}

void MakeFile(const std::string& path, const std::string& contents, DWORD attributes) {
  Path parsed = MustParse(path);
  if (parsed.parts.empty()) throw std::invalid_argument("a file needs a name: " + path);
  Node* directory = EnsureDirectory(parsed, parsed.parts.size() - 1);
  Node* file = Child(directory, parsed.Name());
  if (file && file->IsDirectory()) throw std::invalid_argument("a directory is in the way: " + path);
  if (!file) file = AddChild(directory, parsed.Name(), 0);
  file->contents = contents;
  file->attributes = attributes & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                    FILE_ATTRIBUTE_NORMAL);
  ShareChange(file);
}

void MakeJunction(const std::string& path, const std::string& target) {
  Path parsed = MustParse(path);
  Path to = MustParse(target);
  to.trailingSeparator = false;
  Node* directory = EnsureDirectory(parsed, parsed.parts.size() - 1);
  if (Child(directory, parsed.Name())) throw std::invalid_argument("already there: " + path);
  Node* link = AddChild(directory, parsed.Name(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  link->linkTarget = to.Full();
}

void SetAttributes(const std::string& path, DWORD attributes) {
  Node* node = MustFind(path);
  DWORD kept = node->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  node->attributes = kept | (attributes & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                            FILE_ATTRIBUTE_NORMAL));
}

DWORD Attributes(const std::string& path) {
  Node* node = Find(path);
  return node ? ReportedAttributes(*node) : INVALID_FILE_ATTRIBUTES;
}

void HoldOpen(const std::string& path, bool held, DWORD share) {
  Node* node = MustFind(path);
  if (node->IsDirectory()) throw std::invalid_argument("not a file: " + path);
  node->heldOpen = held;
  node->heldShare = held ? share : 0;
  DropIfReleased(node);
}

void AddShare(const std::string& share) {
  auto root = std::make_unique<Node>();
  root->attributes = FILE_ATTRIBUTE_DIRECTORY;
  root->index = ++Files().lastIndex;
  char key = static_cast<char>('0' + Files().shares.size());
  Files().shares[Upper(share)] = key;
  Files().drives[key] = std::move(root);
}

void RunImage(const std::string& path) {
  Node* node = MustFind(path);
  if (node->IsDirectory()) throw std::invalid_argument("not a file: " + path);
  node->runningImage = true;
}

void MakeHardLink(const std::string& path, const std::string& existing) {
  Node* file = MustFind(existing);
  if (file->IsDirectory()) throw std::invalid_argument("not a file: " + existing);
  Path parsed = MustParse(path);
  Node* directory = EnsureDirectory(parsed, parsed.parts.size() - 1);
  if (Child(directory, parsed.Name())) throw std::invalid_argument("already there: " + path);
  Node* link = AddChild(directory, parsed.Name(), file->attributes);
  link->index = file->index;
  ShareChange(file);
}

DWORD MoveAsUser(const std::string& from, const std::string& to) {
  DWORD error;
  return MoveEntry(from, to, 0, &error) ? ERROR_SUCCESS : error;
}

DWORD TurnIntoJunction(const std::string& path, const std::string& target) {
  Node* node = MustFind(path);
  if (!node->IsDirectory() || !node->linkTarget.empty()) throw std::invalid_argument("not a directory: " + path);
  // Setting a reparse point needs write-attributes access, which no sharing
  // mode restricts: only an empty directory is refused.
  if (!node->children.empty()) return ERROR_DIR_NOT_EMPTY;
  Path to = MustParse(target);
  to.trailingSeparator = false;
  node->linkTarget = to.Full();
  node->attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return ERROR_SUCCESS;
}

bool Exists(const std::string& path) { return Find(path) != nullptr; }

bool IsDirectory(const std::string& path) {
  Node* node = Find(path);
  return node && node->IsDirectory();
}

std::string FileContents(const std::string& path) {
  Node* node = Find(path);
  return node && !node->IsDirectory() ? node->contents : std::string();
}

std::vector<std::string> DirectoryEntries(const std::string& path) {
  Path parsed = MustParse(path);
  DWORD error;
  Node* directory = WalkDirectory(parsed, parsed.parts.size(), 0, &error);
  std::vector<std::string> names;
  if (!directory) return names;
  for (const auto& child : directory->children) names.push_back(child.second->name);
  return names;
}

void SetCurrentDirectory(const std::string& path) {
  Path parsed = MustParse(path);
  parsed.trailingSeparator = false;
  Files().currentDirectory = parsed.Full();
}

}  // namespace named

void AddDrive(char letter) { MakeDrive(letter); }

// The ANSI spellings are read in the code page in force, as the ANSI calls
// read them; the Unicode ones are the names as kept.
void MakeDirectory(const std::string& path, DWORD attributes) { named::MakeDirectory(FromAnsi(path), attributes); }
void MakeDirectory(const std::u16string& path, DWORD attributes) {
  named::MakeDirectory(detail::ToUtf8(path), attributes);
}
void MakeFile(const std::string& path, const std::string& contents, DWORD attributes) {
  named::MakeFile(FromAnsi(path), contents, attributes);
}
void MakeFile(const std::u16string& path, const std::string& contents, DWORD attributes) {
  named::MakeFile(detail::ToUtf8(path), contents, attributes);
}
void MakeJunction(const std::string& path, const std::string& target) {
  named::MakeJunction(FromAnsi(path), FromAnsi(target));
}
void MakeJunction(const std::u16string& path, const std::u16string& target) {
  named::MakeJunction(detail::ToUtf8(path), detail::ToUtf8(target));
}
void SetAttributes(const std::string& path, DWORD attributes) { named::SetAttributes(FromAnsi(path), attributes); }
DWORD Attributes(const std::string& path) { return named::Attributes(FromAnsi(path)); }
DWORD Attributes(const std::u16string& path) { return named::Attributes(detail::ToUtf8(path)); }
void HoldOpen(const std::string& path, bool held, DWORD share) { named::HoldOpen(FromAnsi(path), held, share); }
void HoldOpen(const std::u16string& path, bool held, DWORD share) {
  named::HoldOpen(detail::ToUtf8(path), held, share);
}
void AddShare(const std::string& share) { named::AddShare(FromAnsi(share)); }
void RunImage(const std::string& path) { named::RunImage(FromAnsi(path)); }
void MakeHardLink(const std::string& path, const std::string& existing) {
  named::MakeHardLink(FromAnsi(path), FromAnsi(existing));
}
DWORD MoveAsUser(const std::string& from, const std::string& to) { return named::MoveAsUser(FromAnsi(from), FromAnsi(to)); }
DWORD MoveAsUser(const std::u16string& from, const std::u16string& to) {
  return named::MoveAsUser(detail::ToUtf8(from), detail::ToUtf8(to));
}
DWORD TurnIntoJunction(const std::string& path, const std::string& target) {
  return named::TurnIntoJunction(FromAnsi(path), FromAnsi(target));
}
bool Exists(const std::string& path) { return named::Exists(FromAnsi(path)); }
bool Exists(const std::u16string& path) { return named::Exists(detail::ToUtf8(path)); }
bool IsDirectory(const std::string& path) { return named::IsDirectory(FromAnsi(path)); }
std::string FileContents(const std::string& path) { return named::FileContents(FromAnsi(path)); }
std::vector<std::string> DirectoryEntries(const std::string& path) {
  std::vector<std::string> names;
  for (const std::string& name : named::DirectoryEntries(FromAnsi(path))) names.push_back(ToAnsiName(name));
  return names;
}
std::vector<std::u16string> UnicodeDirectoryEntries(const std::string& path) {
  std::vector<std::u16string> names;
  for (const std::string& name : named::DirectoryEntries(FromAnsi(path))) names.push_back(detail::FromUtf8(name));
  return names;
}
void SetCurrentDirectory(const std::string& path) { named::SetCurrentDirectory(FromAnsi(path)); }

namespace {

void Snapshot(const Node& directory, const std::string& path, std::map<std::string, EntryState>* out) {
  for (const auto& child : directory.children) {
    const Node& node = *child.second;
    std::string full = path + child.first;
    (*out)[full] = EntryState{node.attributes, node.contents, Upper(node.linkTarget)};
    if (node.IsDirectory() && node.linkTarget.empty()) Snapshot(node, full + "\\", out);
  }
}

// The physical path of `path`'s first `count` components as a text, walking
// junctions (depth-limited like every walk).
std::string Resolve(const Path& path, size_t count, bool followLast, int depth) {
  std::string text = Upper(path.Root());
  size_t rootSize = text.size();
  Node* node = DriveRoot(path.drive);
  for (size_t i = 0; i < count; ++i) {
    std::string name = Upper(path.parts[i]);
    Node* child = node ? Child(node, name) : nullptr;
    if (child && !child->linkTarget.empty() && (followLast || i + 1 < count)) {
      Path target;
      DWORD error;
      if (depth >= kMaxLinkDepth || !ParsePath(child->linkTarget, &target, &error)) return "";
      text = Resolve(target, target.parts.size(), true, depth + 1);
      if (text.empty()) return "";
      if (text.back() != '\\') text += '\\';
      rootSize = Upper(target.Root()).size();
      node = WalkDirectory(target, target.parts.size(), depth + 1, &error);
      continue;
    }
    text += name + "\\";
    node = child && child->IsDirectory() ? child : nullptr;
  }
  if (text.size() > rootSize) text.pop_back();
  return text;
}

}  // namespace

std::map<std::string, EntryState> FileSnapshot() {
  std::map<std::string, EntryState> entries;
  for (const auto& drive : Files().drives) {
    std::string root{drive.first, ':', '\\'};
    for (const auto& share : Files().shares)
      if (share.second == drive.first) root = share.first + '\\';
    Snapshot(*drive.second, root, &entries);
  }
  return entries;
}

namespace {

std::string ResolveNamed(const std::string& path, bool followLast) {
  Path parsed;
  DWORD error;
  if (!ParsePath(path, &parsed, &error)) return "";
  return Resolve(parsed, parsed.parts.size(), followLast, 0);
}

}  // namespace

std::string ResolvePath(const std::string& path, bool followLast) { return ResolveNamed(FromAnsi(path), followLast); }
std::string ResolvePath(const std::u16string& path, bool followLast) {
  return ResolveNamed(detail::ToUtf8(path), followLast);
}

const std::vector<PendingOperation>& PendingOperations() { return Files().pending; }

namespace {

bool DeletionPendingNamed(const std::string& path) {
  Path wanted = MustParse(path);
  wanted.trailingSeparator = false;
  for (const PendingOperation& operation : Files().pending) {
    Path recorded = MustParse(detail::ToUtf8(operation.unicodeSource));
    recorded.trailingSeparator = false;
    if (operation.target.empty() && SameName(recorded.Full(), wanted.Full())) return true;
  }
  return false;
}

}  // namespace

bool DeletionPending(const std::string& path) { return DeletionPendingNamed(FromAnsi(path)); }
bool DeletionPending(const std::u16string& path) { return DeletionPendingNamed(detail::ToUtf8(path)); }

void SetWindowsDirectory(const std::string& path) { Files().windowsDirectory = path; }
void SetSystemDirectory(const std::string& path) { Files().systemDirectory = path; }

namespace detail {

const std::string& SystemDirectoryPath() { return Files().systemDirectory; }

void ResetFiles() {
  Files() = FileState{};
  MakeDrive('C');
  MakeDirectory("C:\\WINNT\\system32\\drivers");
}

bool CloseFileHandle(uintptr_t value) {
  auto it = Files().files.find(value);
  Node* node = it == Files().files.end() ? nullptr : it->second.node;
  Files().files.erase(value);
  bool released = ReleaseHandle(HandleKind::File, value);
  DropIfReleased(node);
  return released;
}

bool FileCreateForWrite(const std::string& path, DWORD* error) {
  bool existed;
  return OpenEntry(FromAnsi(path), GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                   &existed, error) != nullptr;
}

void FileAppend(const std::string& path, const std::string& bytes) {
  Node* node = Find(FromAnsi(path));
  if (!node || node->IsDirectory()) return;
  node->contents += bytes;
  node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
  sim::ShareChange(node);
}

bool FileVersionResource(const std::string& path, std::string* block, DWORD* error) {
  Location location;
  if (!Locate(FromAnsi(path), &location, error)) return false;
  Node* node = location.node;
  if (!node) {
    *error = ERROR_FILE_NOT_FOUND;
    return false;
  }
  if (node->IsDirectory() || DeletePending(node)) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  if (!Shareable(node, true, false, FILE_SHARE_READ)) {
    *error = ERROR_SHARING_VIOLATION;
    return false;
  }
  if (!node->hasVersion) {
    *error = node->contents.compare(0, 2, "MZ") == 0 ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_DATA_NOT_FOUND;
    return false;
  }
  *block = node->versionBlock;
  return true;
}

void SetFileVersionResource(const std::string& path, const std::string& block) {
  Node* node = MustFind(FromAnsi(path));
  if (node->IsDirectory()) throw std::invalid_argument("not a file: " + path);
  node->hasVersion = true;
  node->versionBlock = block;
}

// Where Windows records the operations deferred to the next start: pairs of
// NT paths ("\??\" + full path), the target empty for a deletion and marked
// "!" when it may be replaced, as one REG_MULTI_SZ.
constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenames[] = "PendingFileRenameOperations";

void RecordPendingOperations() {
  std::string record;
  for (const PendingOperation& operation : Files().pending) {
    record += "\\??\\" + operation.source + '\0';
    if (!operation.target.empty()) {
      if (operation.flags & MOVEFILE_REPLACE_EXISTING) record += '!';
      record += "\\??\\" + operation.target;
    }
    record += '\0';
  }
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, REG_MULTI_SZ, record + '\0');
}

// At a restart every process is gone, then the deferred operations run in
// the order they were recorded: files are deleted unless read-only,
// directories removed when empty by then, renames carried out.
void RebootFiles() {
  detail::RemoveRegistryValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames);
  for (auto& drive : Files().drives) ClearHolds(drive.second.get());
  for (auto& file : Files().files) file.second.node = nullptr;
  for (auto& drive : Files().drives) DropAllPending(drive.second.get());
  std::vector<PendingOperation> pending;
  pending.swap(Files().pending);
  for (const PendingOperation& operation : pending) {
    DWORD error;
    std::string source = detail::ToUtf8(operation.unicodeSource);
    if (!operation.unicodeTarget.empty()) {
      MoveEntry(source, detail::ToUtf8(operation.unicodeTarget), operation.flags, &error);
      continue;
    }
    Location location;
    if (!Locate(source, &location, &error) || !location.node || !location.parent) continue;
    Node* node = location.node;
    bool removable = node->IsDirectory()
                         ? !node->linkTarget.empty() || (node->children.empty() && !node->IsReadOnly())
                         : !node->IsReadOnly();
    if (removable) RemoveChild(location.parent, location.path.Name());
  }
}

}  // namespace detail
}  // namespace sim

// ---- Win32 entry points --------------------------------------------------------
namespace detail = sim::detail;
using sim::Files;

namespace {

template <typename Result>
Result Fail(DWORD error, Result result) {
  SetLastError(error);
  return result;
}

// The calls' work on names as kept; the A and W entry points convert.
template <typename Data>
HANDLE FindFirst(const std::string& searchPath, Data* found) {
  DWORD error;
  size_t cut = searchPath.find_last_of(sim::kSeparators);
  std::string directoryPart;
  std::string mask;
  if (cut != std::string::npos) {
    directoryPart = searchPath.substr(0, cut + 1);
    mask = searchPath.substr(cut + 1);
  } else if (searchPath.size() >= 2 && searchPath[1] == ':') {
    directoryPart = searchPath.substr(0, 2);
    mask = searchPath.substr(2);
  } else {
    directoryPart = Files().currentDirectory;
    mask = searchPath;
  }
  if (sim::Units(searchPath) >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE, INVALID_HANDLE_VALUE);
  sim::Path directoryPath;
  if (!sim::ParsePath(directoryPart, &directoryPath, &error)) return Fail(error, INVALID_HANDLE_VALUE);
  sim::Node* directory = sim::WalkDirectory(directoryPath, directoryPath.parts.size(), 0, &error);
  if (!directory) return Fail(error, INVALID_HANDLE_VALUE);
  if (mask.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);

  sim::Search search{{}, 0};
  if (!directoryPath.parts.empty()) {
    sim::Node parentEntry;
    parentEntry.attributes = FILE_ATTRIBUTE_DIRECTORY;
    if (sim::MaskMatches(mask, ".")) search.entries.push_back(sim::FindEntry(".", *directory));
    if (sim::MaskMatches(mask, "..")) search.entries.push_back(sim::FindEntry("..", parentEntry));
  }
  for (const auto& child : directory->children) {
    if (sim::MaskMatches(mask, child.second->name))
      search.entries.push_back(sim::FindEntry(child.second->name, *child.second));
  }
  if (search.entries.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  sim::Fill(search.entries[0], found);
  search.next = 1;
  uintptr_t handle = detail::NewHandle(sim::HandleKind::Find);
  Files().searches[handle] = std::move(search);
  return reinterpret_cast<HANDLE>(handle);
}

template <typename Data>
BOOL FindNext(HANDLE hFindFile, Data* found) {
  auto value = reinterpret_cast<uintptr_t>(hFindFile);
  auto it = Files().searches.find(value);
  if (it == Files().searches.end() || !detail::IsOpen(sim::HandleKind::Find, value))
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  sim::Search& search = it->second;
  if (search.next >= search.entries.size()) return Fail(ERROR_NO_MORE_FILES, FALSE);
  sim::Fill(search.entries[search.next++], found);
  return TRUE;
}

BOOL DeleteNamed(const std::string& name) {
  DWORD error;
  sim::Location location;
  if (!sim::Locate(name, &location, &error)) return Fail(error, FALSE);
  sim::Node* node = location.node;
  if (!node) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (node->IsDirectory() || !location.parent) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (location.path.trailingSeparator) return Fail(ERROR_INVALID_NAME, FALSE);
  if (sim::DeletePending(node)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (sim::RefusesDeletion(node)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
  if (node->IsReadOnly() || node->runningImage) return Fail(ERROR_ACCESS_DENIED, FALSE);
  // Held by handles that all share deletion: gone with the last of them.
  if (sim::InUse(node)) {
    node->deletePending = true;
    return TRUE;
  }
  sim::RemoveChild(location.parent, location.path.Name());
  return TRUE;
}

BOOL MoveNamed(const std::string& from, const std::string* to, DWORD flags) {
  DWORD error;
  sim::Path source;
  if (!sim::ParsePath(from, &source, &error)) return Fail(error, FALSE);
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
    // Recorded for the next start as the full path; nothing is checked now.
    sim::Path target;
    if (to && !sim::ParsePath(*to, &target, &error)) return Fail(error, FALSE);
    std::string targetName = to ? target.Full() : std::string();
    Files().pending.push_back(sim::PendingOperation{sim::ToAnsiName(source.Full()), sim::ToAnsiName(targetName),
                                                    flags, detail::FromUtf8(source.Full()),
                                                    detail::FromUtf8(targetName)});
    detail::RecordPendingOperations();
    return TRUE;
  }
  if (!to) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!sim::MoveEntry(from, *to, flags, &error)) return Fail(error, FALSE);
  return TRUE;
}

BOOL RemoveDirectoryNamed(const std::string& name) {
  DWORD error;
  sim::Location location;
  if (!sim::Locate(name, &location, &error)) return Fail(error, FALSE);
  sim::Node* node = location.node;
  if (!node) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (!node->IsDirectory()) return Fail(ERROR_DIRECTORY, FALSE);
  if (!location.parent || node->IsReadOnly()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (sim::RefusesDeletion(node)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
  // A junction goes by itself; what it leads to is untouched.
  if (node->linkTarget.empty()) {
    sim::Path current;
    sim::ParsePath(Files().currentDirectory, &current, &error);
    if (sim::WalkDirectory(current, current.parts.size(), 0, &error) == node)
      return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (!node->children.empty()) return Fail(ERROR_DIR_NOT_EMPTY, FALSE);
  }
  sim::RemoveChild(location.parent, location.path.Name());
  return TRUE;
}

HANDLE CreateNamed(const std::string& name, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  DWORD error;
  // Windows before 2000 knows no reparse points and refuses the flag.
  if ((flags & FILE_FLAG_OPEN_REPARSE_POINT) && !detail::KnowsReparsePoints())
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  bool existed = false;
  sim::Node* node;
  sim::Location location;
  if ((flags & FILE_FLAG_BACKUP_SEMANTICS) && sim::Locate(name, &location, &error) && location.node &&
      location.node->IsDirectory()) {
    existed = true;
    node = sim::OpenDirectory(location, access, share, disposition, flags, &error);
  } else {
    node = sim::OpenEntry(name, access, share, disposition, flags, &existed, &error);
  }
  if (!node) return Fail(error, INVALID_HANDLE_VALUE);
  uintptr_t handle = detail::NewHandle(sim::HandleKind::File);
  bool read = access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
  bool write = access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
  Files().files[handle] = sim::OpenFile{node, read, write, share, 0, sim::DriveOf(node)};
  bool reported = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  SetLastError(reported ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(handle);
}

DWORD AttributesNamed(const std::string& name) {
  DWORD error;
  sim::Location location;
  if (!sim::Locate(name, &location, &error)) return Fail(error, INVALID_FILE_ATTRIBUTES);
  if (!location.node) return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
  if (location.path.trailingSeparator && !location.node->IsDirectory())
    return Fail(ERROR_INVALID_NAME, INVALID_FILE_ATTRIBUTES);
  if (sim::DeletePending(location.node)) return Fail(ERROR_ACCESS_DENIED, INVALID_FILE_ATTRIBUTES);
  return sim::ReportedAttributes(*location.node);
}

BOOL SetAttributesNamed(const std::string& name, DWORD attributes) {
  DWORD error;
  sim::Location location;
  if (!sim::Locate(name, &location, &error)) return Fail(error, FALSE);
  sim::Node* node = location.node;
  if (!node) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (location.path.trailingSeparator && !node->IsDirectory()) return Fail(ERROR_INVALID_NAME, FALSE);
  if (sim::DeletePending(node)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  DWORD kept = node->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  node->attributes = kept | (attributes & sim::kSettableAttributes);
  sim::ShareChange(node);
  return TRUE;
}

}  // namespace

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  DWORD error;
  if (detail::ShouldFail("FindFirstFileA", &error)) return Fail(error, INVALID_HANDLE_VALUE);
  return FindFirst(sim::FromAnsi(lpFileName), lpFindFileData);
}

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
  DWORD error;
  if (detail::ShouldFail("FindFirstFileW", &error)) return Fail(error, INVALID_HANDLE_VALUE);
  return FindFirst(sim::FromWideName(lpFileName), lpFindFileData);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  DWORD error;
  if (detail::ShouldFail("FindNextFileA", &error)) return Fail(error, FALSE);
  return FindNext(hFindFile, lpFindFileData);
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
  DWORD error;
  if (detail::ShouldFail("FindNextFileW", &error)) return Fail(error, FALSE);
  return FindNext(hFindFile, lpFindFileData);
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  DWORD error;
  if (detail::ShouldFail("FindClose", &error)) return Fail(error, FALSE);
  auto value = reinterpret_cast<uintptr_t>(hFindFile);
  if (!detail::ReleaseHandle(sim::HandleKind::Find, value)) return Fail(ERROR_INVALID_HANDLE, FALSE);
  Files().searches.erase(value);
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  DWORD error;
  if (detail::ShouldFail("DeleteFileA", &error)) return Fail(error, FALSE);
  return DeleteNamed(sim::FromAnsi(lpFileName));
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
  DWORD error;
  if (detail::ShouldFail("DeleteFileW", &error)) return Fail(error, FALSE);
  return DeleteNamed(sim::FromWideName(lpFileName));
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  DWORD error;
  if (detail::ShouldFail("MoveFileExA", &error)) return Fail(error, FALSE);
  std::string target = sim::FromAnsi(lpNewFileName);
  return MoveNamed(sim::FromAnsi(lpExistingFileName), lpNewFileName ? &target : nullptr, dwFlags);
}

BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
  DWORD error;
  if (detail::ShouldFail("MoveFileExW", &error)) return Fail(error, FALSE);
  std::string target = sim::FromWideName(lpNewFileName);
  return MoveNamed(sim::FromWideName(lpExistingFileName), lpNewFileName ? &target : nullptr, dwFlags);
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  DWORD error;
  if (detail::ShouldFail("CreateDirectoryA", &error)) return Fail(error, FALSE);
  sim::Location location;
  if (!sim::Locate(sim::FromAnsi(lpPathName), &location, &error)) return Fail(error, FALSE);
  if (location.node) return Fail(ERROR_ALREADY_EXISTS, FALSE);
  if (!sim::ValidName(location.path)) return Fail(ERROR_INVALID_NAME, FALSE);
  sim::AddChild(location.parent, location.path.Name(), FILE_ATTRIBUTE_DIRECTORY);
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  DWORD error;
  if (detail::ShouldFail("RemoveDirectoryA", &error)) return Fail(error, FALSE);
  return RemoveDirectoryNamed(sim::FromAnsi(lpPathName));
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName) {
  DWORD error;
  if (detail::ShouldFail("RemoveDirectoryW", &error)) return Fail(error, FALSE);
  return RemoveDirectoryNamed(sim::FromWideName(lpPathName));
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  DWORD error;
  if (detail::ShouldFail("CopyFileA", &error)) return Fail(error, FALSE);
  sim::Location source;
  if (!sim::Locate(sim::FromAnsi(lpExistingFileName), &source, &error))
    return Fail(error, FALSE);
  if (!source.node) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (source.node->IsDirectory() || sim::DeletePending(source.node)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (!sim::Shareable(source.node, true, false, FILE_SHARE_READ))
    return Fail(ERROR_SHARING_VIOLATION, FALSE);
  sim::Location target;
  if (!sim::Locate(sim::FromAnsi(lpNewFileName), &target, &error)) return Fail(error, FALSE);
  if (!sim::ValidName(target.path)) return Fail(ERROR_INVALID_NAME, FALSE);
  if (!target.parent) return Fail(ERROR_ACCESS_DENIED, FALSE);
  sim::Node* copy = target.node;
  if (copy == source.node) return Fail(ERROR_SHARING_VIOLATION, FALSE);
  if (copy) {
    if (bFailIfExists) return Fail(ERROR_FILE_EXISTS, FALSE);
    if (copy->IsDirectory() || copy->IsReadOnly() || sim::DeletePending(copy)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!sim::Shareable(copy, false, true, 0)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
  } else {
    copy = sim::AddChild(target.parent, target.path.Name(), 0);
  }
  copy->contents = source.node->contents;
  copy->hasVersion = source.node->hasVersion;
  copy->versionBlock = source.node->versionBlock;
  copy->attributes = source.node->attributes | FILE_ATTRIBUTE_ARCHIVE;
  sim::ShareChange(copy);
  return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  DWORD error;
  if (detail::ShouldFail("CreateFileA", &error)) return Fail(error, INVALID_HANDLE_VALUE);
  return CreateNamed(sim::FromAnsi(lpFileName), dwDesiredAccess, dwShareMode, dwCreationDisposition,
                     dwFlagsAndAttributes);
}

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  DWORD error;
  if (detail::ShouldFail("CreateFileW", &error)) return Fail(error, INVALID_HANDLE_VALUE);
  return CreateNamed(sim::FromWideName(lpFileName), dwDesiredAccess, dwShareMode, dwCreationDisposition,
                     dwFlagsAndAttributes);
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  DWORD error;
  if (detail::ShouldFail("SetFilePointer", &error)) return Fail(error, INVALID_SET_FILE_POINTER);
  sim::OpenFile* file = sim::HandleFile(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
  int64_t distance = lpDistanceToMoveHigh
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                                                static_cast<DWORD>(lDistanceToMove))
                         : static_cast<int64_t>(lDistanceToMove);
  int64_t base;
  switch (dwMoveMethod) {
    case FILE_BEGIN:
      base = 0;
      break;
    case FILE_CURRENT:
      base = static_cast<int64_t>(file->position);
      break;
    case FILE_END:
      base = static_cast<int64_t>(file->node->contents.size());
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  int64_t position = base + distance;
  if (position < 0) return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
  file->position = static_cast<uint64_t>(position);
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(file->position >> 32);
  DWORD low = static_cast<DWORD>(file->position);
  // A low part that reads like the failure value is told apart by error 0.
  if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
  return low;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  DWORD error;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (detail::ShouldFail("WriteFile", &error)) return Fail(error, FALSE);
  sim::OpenFile* file = sim::HandleFile(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!file->write) return Fail(ERROR_ACCESS_DENIED, FALSE);
  std::string& contents = file->node->contents;
  if (contents.size() < file->position + nNumberOfBytesToWrite)
    contents.resize(file->position + nNumberOfBytesToWrite, '\0');
  if (nNumberOfBytesToWrite)
    std::memcpy(&contents[file->position], lpBuffer, nNumberOfBytesToWrite);
  file->position += nNumberOfBytesToWrite;
  file->node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
  sim::ShareChange(file->node);
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return TRUE;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  DWORD error;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (detail::ShouldFail("ReadFile", &error)) return Fail(error, FALSE);
  sim::OpenFile* file = sim::HandleFile(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!file->read) return Fail(ERROR_ACCESS_DENIED, FALSE);
  const std::string& contents = file->node->contents;
  size_t available = file->position < contents.size() ? contents.size() - file->position : 0;
  DWORD count = static_cast<DWORD>(std::min<size_t>(available, nNumberOfBytesToRead));
  if (count) std::memcpy(lpBuffer, contents.data() + file->position, count);
  file->position += count;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = count;
  return TRUE;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
  DWORD error;
  if (detail::ShouldFail("GetFileInformationByHandle", &error)) return Fail(error, FALSE);
  sim::OpenFile* file = sim::HandleFile(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  const sim::Node& node = *file->node;
  std::memset(lpFileInformation, 0, sizeof *lpFileInformation);
  lpFileInformation->dwFileAttributes = sim::ReportedAttributes(node);
  lpFileInformation->dwVolumeSerialNumber = sim::VolumeSerial(file->drive);
  if (!node.IsDirectory()) lpFileInformation->nFileSizeLow = static_cast<DWORD>(node.contents.size());
  lpFileInformation->nNumberOfLinks = node.IsDirectory() ? 1 : static_cast<DWORD>(sim::NamesOf(&node).size());
  lpFileInformation->nFileIndexLow = node.index;
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  DWORD error;
  if (detail::ShouldFail("GetFileAttributesA", &error)) return Fail(error, INVALID_FILE_ATTRIBUTES);
  return AttributesNamed(sim::FromAnsi(lpFileName));
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
  DWORD error;
  if (detail::ShouldFail("GetFileAttributesW", &error)) return Fail(error, INVALID_FILE_ATTRIBUTES);
  return AttributesNamed(sim::FromWideName(lpFileName));
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  DWORD error;
  if (detail::ShouldFail("SetFileAttributesA", &error)) return Fail(error, FALSE);
  return SetAttributesNamed(sim::FromAnsi(lpFileName), dwFileAttributes);
}

BOOL WINAPI SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
  DWORD error;
  if (detail::ShouldFail("SetFileAttributesW", &error)) return Fail(error, FALSE);
  return SetAttributesNamed(sim::FromWideName(lpFileName), dwFileAttributes);
}

BOOL WINAPI GetVolumeNameForVolumeMountPointW(LPCWSTR lpszVolumeMountPoint, LPWSTR lpszVolumeName,
                                              DWORD cchBufferLength) {
  DWORD error;
  if (detail::ShouldFail("GetVolumeNameForVolumeMountPointW", &error)) return Fail(error, FALSE);
  // Only a drive's root, given with its separator, mounts a volume here.
  std::string point = sim::FromWideName(lpszVolumeMountPoint);
  char drive = point.empty() ? 0 : static_cast<char>(std::toupper(static_cast<unsigned char>(point[0])));
  if (point.size() != 3 || point[1] != ':' || point[2] != '\\' || !sim::DriveRoot(drive))
    return Fail(ERROR_NOT_A_REPARSE_POINT, FALSE);
  char name[64];
  std::snprintf(name, sizeof name, "\\\\?\\Volume{%08x-0000-0000-0000-000000000000}\\",
                static_cast<unsigned>(sim::VolumeSerial(drive)));
  size_t length = std::strlen(name);
  if (!lpszVolumeName || cchBufferLength <= length) return Fail(ERROR_FILENAME_EXCED_RANGE, FALSE);
  for (size_t i = 0; i <= length; ++i) lpszVolumeName[i] = static_cast<unsigned char>(name[i]);
  return TRUE;
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  DWORD error;
  if (detail::ShouldFail("GetSystemDirectoryA", &error)) return Fail(error, 0u);
  return sim::CopyDirectoryText(Files().systemDirectory, lpBuffer, uSize);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  DWORD error;
  if (detail::ShouldFail("GetWindowsDirectoryA", &error)) return Fail(error, 0u);
  return sim::CopyDirectoryText(Files().windowsDirectory, lpBuffer, uSize);
}

}  // extern "C"
