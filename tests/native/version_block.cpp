#include "version_block.h"

#include <cstdio>

namespace {

// Writes nodes as the resource compiler does: header (wLength,
// wValueLength, wType), wide key, padding to 32 bits, value, children.
class BlockWriter {
 public:
  size_t Begin(const std::string& key, WORD valueLength, WORD type) {
    Pad();
    size_t start = bytes_.size();
    Word(0);
    Word(valueLength);
    Word(type);
    for (char c : key) Word(static_cast<unsigned char>(c));
    Word(0);
    Pad();
    return start;
  }
  // wLength covers the node up to its last byte, not the padding after it.
  void End(size_t start) {
    size_t length = bytes_.size() - start;
    bytes_[start] = static_cast<BYTE>(length & 0xFF);
    bytes_[start + 1] = static_cast<BYTE>(length >> 8);
  }
  void Word(WORD value) {
    bytes_.push_back(static_cast<BYTE>(value & 0xFF));
    bytes_.push_back(static_cast<BYTE>(value >> 8));
  }
  void Dword(DWORD value) {
    Word(static_cast<WORD>(value & 0xFFFF));
    Word(static_cast<WORD>(value >> 16));
  }
  void Pad() {
    while (bytes_.size() % 4) bytes_.push_back(0);
  }
  std::vector<BYTE> Take() { return std::move(bytes_); }

 private:
  std::vector<BYTE> bytes_;
};

}  // namespace

std::vector<BYTE> BuildVersionBlock(const VersionFields& fields) {
  BlockWriter out;
  size_t root = out.Begin("VS_VERSION_INFO", fields.fixedInfo ? sizeof(VS_FIXEDFILEINFO) : 0, 0);
  if (fields.fixedInfo) {
    out.Dword(VS_FFI_SIGNATURE);
    out.Dword(VS_FFI_STRUCVERSION);
    out.Dword(fields.fileVersionMS);
    out.Dword(fields.fileVersionLS);
    out.Dword(fields.productVersionMS);
    out.Dword(fields.productVersionLS);
    out.Dword(VS_FFI_FILEFLAGSMASK);
    out.Dword(0);
    out.Dword(VOS_NT_WINDOWS32);
    out.Dword(fields.fileType);
    out.Dword(0);
    out.Dword(0);
    out.Dword(0);
  }
  if (fields.stringFileInfo) {
    std::string table = fields.tableName;
    if (table.empty()) {
      char name[9];
      VersionTranslation first = fields.translations.empty() ? VersionTranslation{0x0409, 0x04B0}
                                                             : fields.translations.front();
      std::snprintf(name, sizeof name, "%04x%04x", first.language, first.codePage);
      table = name;
    }
    size_t info = out.Begin("StringFileInfo", 0, 1);
    size_t strings = out.Begin(table, 0, 1);
    for (const auto& entry : fields.strings) {
      size_t node = out.Begin(entry.first, static_cast<WORD>(entry.second.size() + 1), 1);
      for (char c : entry.second) out.Word(static_cast<unsigned char>(c));
      out.Word(0);
      out.End(node);
    }
    out.End(strings);
    out.End(info);
  }
  if (fields.varFileInfo) {
    size_t info = out.Begin("VarFileInfo", 0, 1);
    size_t var = out.Begin("Translation", static_cast<WORD>(4 * fields.translations.size()), 0);
    for (const VersionTranslation& translation : fields.translations) {
      out.Word(translation.language);
      out.Word(translation.codePage);
    }
    out.End(var);
    out.End(info);
  }
  out.End(root);
  return out.Take();
}
