// Areas not simulated yet: placeholders that keep the simulation linkable.
#include "sim_internal.h"

#include <map>

namespace sim::detail {

namespace {
std::map<std::string, std::string>& Files() {
  static std::map<std::string, std::string> files;
  return files;
}
}  // namespace

void ResetFiles() { Files().clear(); }
bool CloseFileHandle(uintptr_t value) { return ReleaseHandle(HandleKind::File, value); }

bool FileCreateForWrite(const std::string& path, DWORD* error) {
  Files()[path].clear();
  return true;
}

void FileAppend(const std::string& path, const std::string& bytes) { Files()[path] += bytes; }

}  // namespace sim::detail

namespace sim {
// Contents of a file written through a redirected standard output ("" when
// missing); the file system area replaces it.
std::string FileContents(const std::string& path) {
  auto it = detail::Files().find(path);
  return it == detail::Files().end() ? std::string() : it->second;
}
}  // namespace sim
