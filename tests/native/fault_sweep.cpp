// The fault sweep's picture of the machine and its report-file checks.
#include "fault_sweep.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace sweep {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// What the catalog gives for a message it cannot give.
const char kBadStringMarker[] = "***BAD STRING ID***";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// At or below `prefix`: the path itself (trailing backslash or not) or anything under it.
bool AtOrBelow(const std::string& path, std::string prefix) {
  if (!prefix.empty() && prefix.back() == '\\') prefix.pop_back();
  return path == prefix || StartsWith(path, prefix + "\\");
}

bool InAny(const std::string& path, const std::vector<std::string>& prefixes) {
  return std::any_of(prefixes.begin(), prefixes.end(),
                     [&](const std::string& prefix) { return AtOrBelow(path, prefix); });
}

std::string Join(const std::string& directory, const std::string& name) {
  return directory.back() == '\\' ? directory + name : directory + "\\" + name;
}

void AddFiles(const ProductScope& scope, const std::string& directory,
              std::map<std::string, std::string>* entries) {
  for (const std::string& name : sim::DirectoryEntries(directory)) {
    std::string path = Join(directory, name);
    if (InAny(Lower(path), scope.pathPrefixes)) continue;
    std::string attributes = std::to_string(sim::Attributes(path));
    if (sim::IsDirectory(path)) {
      (*entries)["dir " + path] = attributes;
      AddFiles(scope, path, entries);
    } else {
      (*entries)["file " + path] = attributes + " " + sim::FileContents(path);
    }
  }
}

void AddKeys(const ProductScope& scope, HKEY root, const std::string& rootName, const std::string& path,
             std::map<std::string, std::string>* entries) {
  std::string full = path.empty() ? rootName : rootName + "\\" + path;
  if (InAny(Lower(full), scope.keyPrefixes)) return;
  (*entries)["key " + full] = sim::IsVolatileKey(root, path) ? "volatile" : "";
  for (const std::string& name : sim::ValueNames(root, path)) {
    std::string id = full + "|" + name;
    if (std::find(scope.values.begin(), scope.values.end(), Lower(id)) != scope.values.end()) continue;
    std::optional<sim::RegValue> value = sim::GetValue(root, path, name);
    (*entries)["value " + id] = std::to_string(value->type) + " " + value->data;
  }
  for (const std::string& subkey : sim::Subkeys(root, path))
    AddKeys(scope, root, rootName, path.empty() ? subkey : path + "\\" + subkey, entries);
}

}  // namespace

std::map<std::string, std::string> MachineOutside(const ProductScope& scope) {
  std::map<std::string, std::string> entries;
  for (const char* drive : {"C:\\", "D:\\"}) AddFiles(scope, drive, &entries);
  AddKeys(scope, HKEY_LOCAL_MACHINE, "HKLM", "", &entries);
  AddKeys(scope, HKEY_CURRENT_USER, "HKCU", "", &entries);
  for (const std::string& name : sim::ServiceNames()) {
    if (std::find(scope.services.begin(), scope.services.end(), Lower(name)) != scope.services.end())
      continue;
    entries["service " + name] = std::to_string(sim::ServiceState(name)) +
                                 (sim::ServiceMarkedForDeletion(name) ? " marked" : "");
  }
  int pending = 0;
  for (const sim::PendingOperation& operation : sim::PendingOperations()) {
    if (InAny(Lower(operation.source), scope.pathPrefixes)) continue;
    entries["at reboot " + std::to_string(++pending)] =
        operation.source + " -> " + operation.target + " " + std::to_string(operation.flags);
  }
  return entries;
}

std::string Differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& after) {
  std::string differences;
  for (const auto& entry : before) {
    auto now = after.find(entry.first);
    if (now == after.end()) {
      differences += "gone: " + entry.first + "\n";
    } else if (now->second != entry.second) {
      differences += "changed: " + entry.first + "\n";
    }
  }
  for (const auto& entry : after) {
    if (before.count(entry.first) == 0) differences += "new: " + entry.first + "\n";
  }
  return differences;
}

namespace {

std::map<std::string, int> LineCounts(const std::string& text) {
  std::map<std::string, int> counts;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) ++counts[line];
  }
  return counts;
}

}  // namespace

namespace {

// One piece of `faultless` missing: its longest common start and end, not
// overlapping, make up the text.
bool OnePieceMissing(const std::string& text, const std::string& faultless) {
  if (text.size() > faultless.size()) return false;
  size_t start = 0;
  while (start < text.size() && text[start] == faultless[start]) ++start;
  size_t end = 0;
  while (end < text.size() - start && text[text.size() - 1 - end] == faultless[faultless.size() - 1 - end])
    ++end;
  return start + end == text.size();
}

// Every character of the text found in `faultless`, in order.
bool InOrderSelection(const std::string& text, const std::string& faultless) {
  size_t at = 0;
  for (char c : text) {
    at = faultless.find(c, at);
    if (at == std::string::npos) return false;
    ++at;
  }
  return true;
}

}  // namespace

std::string ReportProblems(const std::string& text, const std::string& faultless, const RunFault& fault) {
  std::string problems;
  if (text.find('\0') != std::string::npos) problems += "NUL byte in the report\n";
  if (fault.lostWrites) {
    bool kept = fault.lasting ? InOrderSelection(text, faultless) : OnePieceMissing(text, faultless);
    if (!kept) problems += "more changed than the lost writes\n";
    return problems;
  }
  size_t lastLine = text.find_last_of('\n', text.empty() ? 0 : text.size() - 2);
  std::string last = text.substr(lastLine == std::string::npos ? 0 : lastLine + 1);
  if (!text.empty() && text.back() != '\n' && last.find(kBadStringMarker) == std::string::npos)
    problems += "last line without its line break\n";
  std::map<std::string, int> expected = LineCounts(faultless);
  for (const auto& line : LineCounts(text)) {
    auto known = expected.find(line.first);
    int allowed = known == expected.end() ? std::max(fault.failedUses, 1)
                                          : known->second + (fault.lasting ? fault.failedUses : 0);
    if (line.second > allowed)
      problems += "repeated line (" + std::to_string(line.second) + "x): \"" + line.first + "\"\n";
  }
  return problems;
}

}  // namespace sweep
