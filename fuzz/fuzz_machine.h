// Shared by the targets that let the product delete or write on a generated
// machine: directory trees built from the input, and the proof, from
// snapshots taken before and after, that only what was allowed changed.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz.h"

inline std::string UpperText(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A string as the product sees it: up to its first NUL.
inline std::string CText(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

// A path from sim::ResolvePath names a drive root ("C:\").
inline bool IsDriveRoot(const std::string& resolved) { return resolved.size() == 3; }

// `path` lies below `directory` (both resolved); a drive root owns nothing.
inline bool IsBelow(const std::string& path, const std::string& directory) {
  if (directory.empty() || IsDriveRoot(directory)) return false;
  return path.size() > directory.size() + 1 && path.compare(0, directory.size(), directory) == 0 &&
         path[directory.size()] == '\\';
}

// What a run may change on the file system: single entries, and whole
// directories with everything physically below them.
class FileAllowance {
 public:
  // The entry `path` names itself (a junction as the link, not its target),
  // and the name a file in use is renamed to until the next start.
  void Entry(const std::string& path) {
    std::string resolved = sim::ResolvePath(path, false);
    if (resolved.empty()) return;
    entries_.push_back(resolved);
    entries_.push_back(resolved + ".CVN-DELETED");
  }
  // The directory `path` leads to (through junctions) with all below it,
  // and the entry `path` names. Below that entry too, for a junction: what
  // was reached through it is named through it by a deletion left for the
  // next start, also once the link itself is gone.
  void Tree(const std::string& path) {
    for (bool followLast : {false, true}) {
      std::string resolved = sim::ResolvePath(path, followLast);
      if (!resolved.empty()) trees_.push_back(resolved);
    }
  }
  bool Allows(const std::string& resolved) const {
    for (const std::string& entry : entries_)
      if (resolved == entry) return true;
    for (const std::string& tree : trees_)
      if (resolved == tree || IsBelow(resolved, tree)) return true;
    return false;
  }

 private:
  std::vector<std::string> entries_;
  std::vector<std::string> trees_;
};

// Every entry added, removed or altered between the snapshots, and every
// deletion left for the next start (unless `withPending` is false), is
// allowed; the run renames nothing at the next start.
inline void CheckFileChanges(const std::map<std::string, sim::EntryState>& before,
                             const FileAllowance& allowed, bool withPending = true) {
  std::map<std::string, sim::EntryState> after = sim::FileSnapshot();
  for (const auto& entry : before) {
    auto now = after.find(entry.first);
    if (now == after.end() || !(now->second == entry.second))
      if (!allowed.Allows(entry.first)) throw FuzzFailure("changed outside: " + entry.first);
  }
  for (const auto& entry : after)
    if (!before.count(entry.first) && !allowed.Allows(entry.first))
      throw FuzzFailure("made outside: " + entry.first);
  if (!withPending) return;
  for (const sim::PendingOperation& operation : sim::PendingOperations()) {
    FUZZ_CHECK(operation.target.empty());
    std::string resolved = sim::ResolvePath(operation.unicodeSource, false);
    if (resolved.empty() || !allowed.Allows(resolved))
      throw FuzzFailure("scheduled outside: " + operation.source);
  }
}

// Characters the input's bytes 1 to 6 stand for in a name: look-alikes the
// ANSI calls turn into separators and dots (fullwidth FULL STOP, REVERSE
// SOLIDUS and SOLIDUS on 1252, YEN SIGN on 932, WON SIGN on 949), and a
// character most code pages lack.
const char16_t kNameCharacters[] = {0xFF0E, 0xFF3C, 0xFF0F, 0x00A5, 0x20A9, 0x65E5};

// A file name of the input, as the system keeps it: no separators, no
// characters Windows refuses, never empty, never "." or "..". Bytes are
// read in the code page in force; bytes 1 to 6 are kNameCharacters.
inline std::u16string EntryName(FuzzInput& input) {
  std::string bytes = input.ShortText();
  std::u16string name;
  std::string run;
  for (char c : bytes) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 1 && byte <= sizeof kNameCharacters / sizeof kNameCharacters[0]) {
      name += sim::UnicodeSpelling(run) + kNameCharacters[byte - 1];
      run.clear();
      continue;
    }
    run += byte < 32 || std::strchr("\\/<>:\"|?*", c) ? '_' : c;
  }
  name += sim::UnicodeSpelling(run);
  if (name.empty() || name == u"." || name == u"..") name += u"n";
  return name;
}

// A directory tree grown from the input below a few given directories:
// files (plain, read-only, hidden, in use), directories and junctions to any
// directory made so far (its own ancestors included, so loops arise), to the
// root of drive D: or to nowhere. `directories` lists every directory,
// junctions included, by the names kept.
class FuzzTree {
 public:
  explicit FuzzTree(const std::vector<std::string>& bases) {
    for (const std::string& base : bases) {
      sim::MakeDirectory(base);
      directories.push_back(sim::UnicodeSpelling(base));
    }
  }

  // Items until the input or `maxItems` ends: a byte (the kind in its low
  // two bits, the parent above them), a name, an attribute byte, and for a
  // junction a byte that picks its target.
  void Grow(FuzzInput& input, size_t maxItems) {
    for (size_t item = 0; item < maxItems && !input.Empty(); ++item) {
      uint8_t choice = input.Byte();
      std::u16string parent = directories[(choice >> 2) % directories.size()];
      std::u16string path = parent + (parent.back() == u'\\' ? u"" : u"\\") + EntryName(input);
      DWORD attributes = input.Byte() & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
      // A path too long, or a name taken, is no entry.
      try {
        if (sim::Exists(path)) continue;
        switch (choice & 3) {
          case 0:
          case 3:
            sim::MakeFile(path, sim::AnsiSpelling(path), attributes);
            if ((choice & 3) == 3) sim::HoldOpen(path);
            break;
          case 1:
            sim::MakeDirectory(path, attributes | FILE_ATTRIBUTE_DIRECTORY);
            directories.push_back(path);
            break;
          case 2: {
            uint8_t target = input.Byte();
            sim::MakeJunction(path, target < directories.size() ? directories[target]
                                    : target & 1                 ? u"D:\\"
                                                                 : u"C:\\Nowhere");
            directories.push_back(path);
            break;
          }
        }
      } catch (const std::invalid_argument&) {
      }
    }
  }

  // A directory of the tree picked by a byte, as the ANSI calls spell it
  // (the product's values are ANSI), or "" past the list.
  std::string Pick(uint8_t choice) const {
    return choice < directories.size() ? sim::AnsiSpelling(directories[choice]) : "";
  }

  std::vector<std::u16string> directories;
};

// Every key and value of both roots, keyed by "HKLM\PATH" for a key and
// "HKLM\PATH|NAME" for a value (upper case), a value's type and bytes as its
// state.
inline std::map<std::string, std::string> RegistrySnapshot() {
  std::map<std::string, std::string> entries;
  std::function<void(HKEY, const std::string&, const std::string&)> walk =
      [&](HKEY root, const std::string& rootName, const std::string& path) {
        std::string key = UpperText(rootName + "\\" + path);
        entries[key] = "";
        for (const std::string& name : sim::ValueNames(root, path)) {
          auto value = sim::GetValue(root, path, name);
          entries[key + "|" + UpperText(name)] = std::to_string(value->type) + ":" + value->data;
        }
        for (const std::string& subkey : sim::Subkeys(root, path)) walk(root, rootName, path + "\\" + subkey);
      };
  for (const std::string& top : sim::Subkeys(HKEY_LOCAL_MACHINE, "")) walk(HKEY_LOCAL_MACHINE, "HKLM", top);
  for (const std::string& top : sim::Subkeys(HKEY_CURRENT_USER, "")) walk(HKEY_CURRENT_USER, "HKCU", top);
  return entries;
}

// Every key or value added, removed or altered is allowed by `allows`.
inline void CheckRegistryChanges(const std::map<std::string, std::string>& before,
                                 const std::function<bool(const std::string&)>& allows) {
  std::map<std::string, std::string> after = RegistrySnapshot();
  for (const auto& entry : before) {
    auto now = after.find(entry.first);
    if ((now == after.end() || now->second != entry.second) && !allows(entry.first))
      throw FuzzFailure("registry changed outside: " + entry.first);
  }
  for (const auto& entry : after)
    if (!before.count(entry.first) && !allows(entry.first))
      throw FuzzFailure("registry made outside: " + entry.first);
}
