// Version library over the simulated files: the size and copy of a file's
// version resource, and VerQueryValueA walking the VS_VERSIONINFO tree the
// way the system does (keys without regard to case, 32-bit alignment,
// strings handed out in ANSI from the spare half of the caller's block).
#include "sim_internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

namespace sim {
namespace {

// The block GetFileVersionInfoA hands out is twice the resource and this
// signature: the spare half receives the ANSI forms of queried strings.
constexpr char kSignature[4] = {'F', 'E', '2', 'X'};
constexpr size_t kHeaderBytes = 6;  // wLength, wValueLength, wType

size_t Align4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

WORD ReadWord(const BYTE* base, size_t offset) {
  return static_cast<WORD>(base[offset] | (base[offset + 1] << 8));
}

// One node of the tree: header, wide key, value, children.
struct Entry {
  size_t offset;
  size_t end;  // offset + wLength
  WORD valueLength;
  WORD type;   // 1: text, wValueLength counts characters
  size_t keyOffset;
  size_t keyChars;
  size_t valueOffset;
  size_t childrenOffset;
};

// Reads the node at `offset`; false when it does not fit inside `limit`.
bool ReadEntry(const BYTE* base, size_t offset, size_t limit, Entry* entry) {
  if (offset + kHeaderBytes > limit) return false;
  WORD length = ReadWord(base, offset);
  if (length < kHeaderBytes || offset + length > limit) return false;
  entry->offset = offset;
  entry->end = offset + length;
  entry->valueLength = ReadWord(base, offset + 2);
  entry->type = ReadWord(base, offset + 4);
  entry->keyOffset = offset + kHeaderBytes;
  size_t chars = 0;
  while (true) {
    size_t at = entry->keyOffset + 2 * chars;
    if (at + 2 > entry->end) return false;
    if (ReadWord(base, at) == 0) break;
    ++chars;
  }
  entry->keyChars = chars;
  entry->valueOffset = Align4(entry->keyOffset + 2 * (chars + 1));
  size_t valueBytes = entry->type ? 2u * entry->valueLength : entry->valueLength;
  if (entry->valueOffset + valueBytes > entry->end) return false;
  entry->childrenOffset = Align4(entry->valueOffset + valueBytes);
  return true;
}

bool KeyIs(const BYTE* base, const Entry& entry, const std::string& name) {
  if (entry.keyChars != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    WORD c = ReadWord(base, entry.keyOffset + 2 * i);
    if (c > 0x7F || std::tolower(c) != std::tolower(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

bool FindChild(const BYTE* base, const Entry& parent, const std::string& name, Entry* found) {
  size_t offset = parent.childrenOffset;
  while (offset < parent.end) {
    Entry child;
    if (!ReadEntry(base, offset, parent.end, &child)) return false;
    if (KeyIs(base, child, name)) {
      *found = child;
      return true;
    }
    offset = Align4(child.end);
  }
  return false;
}

std::vector<std::string> Components(const char* subBlock) {
  std::vector<std::string> parts;
  std::string part;
  for (const char* p = subBlock;; ++p) {
    if (*p == '\\' || *p == '\0') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
      if (*p == '\0') break;
    } else {
      part += *p;
    }
  }
  return parts;
}

}  // namespace

void SetVersionResource(const std::string& path, const std::vector<BYTE>& block) {
  detail::SetFileVersionResource(path, std::string(block.begin(), block.end()));
}

}  // namespace sim

namespace detail = sim::detail;

namespace {

// A file that is no image: Windows 2000 fails without an error code (Wine's
// version/tests/info.c, test_info_size, "no version info").
void SetVersionError(DWORD error) {
  bool silent = error == ERROR_RESOURCE_DATA_NOT_FOUND && detail::VersionAtLeast(5, 0) &&
                !detail::VersionAtLeast(5, 1);
  SetLastError(silent ? ERROR_SUCCESS : error);
}

}  // namespace

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
  DWORD error;
  if (lpdwHandle) *lpdwHandle = 0;
  if (detail::ShouldFail("GetFileVersionInfoSizeA", &error)) {
    SetLastError(error);
    return 0;
  }
  std::string block;
  if (!detail::FileVersionResource(lptstrFilename ? lptstrFilename : "", &block, &error)) {
    SetVersionError(error);
    return 0;
  }
  if (block.empty()) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(2 * block.size() + sizeof sim::kSignature);
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
  DWORD error;
  if (detail::ShouldFail("GetFileVersionInfoA", &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (!lpData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string block;
  if (!detail::FileVersionResource(lptstrFilename ? lptstrFilename : "", &block, &error)) {
    SetVersionError(error);
    return FALSE;
  }
  if (block.empty()) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  auto* out = static_cast<BYTE*>(lpData);
  std::memcpy(out, block.data(), std::min<size_t>(dwLen, block.size()));
  if (dwLen >= block.size() + sizeof sim::kSignature)
    std::memcpy(out + block.size(), sim::kSignature, sizeof sim::kSignature);
  return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
  DWORD error;
  if (puLen) *puLen = 0;
  if (detail::ShouldFail("VerQueryValueA", &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (!pBlock || !lpSubBlock || !lplpBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* base = static_cast<BYTE*>(const_cast<void*>(pBlock));
  // The system trusts the block's own length; a block from our counted heap
  // is also kept inside its allocation.
  size_t capacity = detail::CountedSize(const_cast<void*>(pBlock));
  if (capacity == 0) capacity = std::numeric_limits<size_t>::max();
  size_t rootLength = capacity >= 2 ? sim::ReadWord(base, 0) : 0;
  sim::Entry entry;
  if (!sim::ReadEntry(base, 0, std::min(rootLength, capacity), &entry)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  for (const std::string& name : sim::Components(lpSubBlock)) {
    sim::Entry child;
    if (!sim::FindChild(base, entry, name, &child)) {
      SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
      return FALSE;
    }
    entry = child;
  }
  if (entry.type != 1) {
    *lplpBuffer = base + entry.valueOffset;
    if (puLen) *puLen = entry.valueLength;
    return TRUE;
  }
  // Text: its ANSI form goes to the spare half, at the same distance from
  // the half's start as the wide text has from the block's start.
  size_t ansi = rootLength + sizeof sim::kSignature + entry.valueOffset;
  size_t chars = entry.valueLength;
  bool terminated = chars > 0 && sim::ReadWord(base, entry.valueOffset + 2 * (chars - 1)) == 0;
  if (ansi + chars + (terminated ? 0 : 1) > capacity) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (size_t i = 0; i < chars; ++i) {
    WORD c = sim::ReadWord(base, entry.valueOffset + 2 * i);
    base[ansi + i] = static_cast<BYTE>(c < 0x100 ? c : '?');
  }
  if (!terminated) base[ansi + chars] = 0;
  *lplpBuffer = base + ansi;
  if (puLen) *puLen = static_cast<UINT>(chars);
  return TRUE;
}

}  // extern "C"
