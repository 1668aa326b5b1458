// The version library: the size and copy of a file's version resource, the
// fixed info, translations and string tables VerQueryValueA reaches, and
// resources that lack a part. The blocks are built by version_block.h.
#include "conformance.h"
#include "version_block.h"

namespace {

using conformance::Scratch;

const char kArea[] = "version";
constexpr WORD kRtVersion = 16;
constexpr WORD kRtRcdata = 10;

#ifndef CVN_SIM
// A DLL image of nothing but one resource (type, id 1, language 0x0409)
// holding `data`: headers, then a .rsrc section at RVA 0x1000.
std::string ResourceOnlyImage(const std::vector<BYTE>& data, WORD type) {
  constexpr DWORD kFileAlign = 0x200, kSectionAlign = 0x1000, kRva = 0x1000, kDataAt = 88;
  std::string image(kFileAlign, '\0');
  auto put16 = [&image](size_t at, DWORD v) { image[at] = char(v & 0xff), image[at + 1] = char(v >> 8 & 0xff); };
  auto put32 = [&](size_t at, DWORD v) { put16(at, v & 0xffff), put16(at + 2, v >> 16); };
  DWORD rsrcSize = kDataAt + static_cast<DWORD>(data.size());
  DWORD rawSize = (rsrcSize + kFileAlign - 1) / kFileAlign * kFileAlign;
  image[0] = 'M', image[1] = 'Z';
  put32(0x3C, 0x40);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  put16(0x44, 0x14C);        // i386
  put16(0x46, 1);            // one section
  put16(0x54, 0xE0);         // optional header size
  put16(0x56, 0x2102);       // executable, 32-bit, DLL
  const size_t o = 0x58;     // optional header
  put16(o + 0, 0x10B);
  put32(o + 8, rawSize);     // initialised data
  put32(o + 20, kRva);       // base of code
  put32(o + 24, kRva);       // base of data
  put32(o + 28, 0x10000000); // image base
  put32(o + 32, kSectionAlign);
  put32(o + 36, kFileAlign);
  put16(o + 40, 4);          // operating system 4.0
  put16(o + 48, 4);          // subsystem 4.0
  put32(o + 56, kRva + (rsrcSize + kSectionAlign - 1) / kSectionAlign * kSectionAlign);
  put32(o + 60, kFileAlign); // headers
  put16(o + 68, 2);          // GUI subsystem
  put32(o + 72, 0x100000);
  put32(o + 76, 0x1000);
  put32(o + 80, 0x100000);
  put32(o + 84, 0x1000);
  put32(o + 92, 16);         // data directories
  put32(o + 96 + 2 * 8, kRva);
  put32(o + 96 + 2 * 8 + 4, rsrcSize);
  const size_t s = o + 0xE0;  // section header
  image.replace(s, 5, ".rsrc");
  put32(s + 8, rsrcSize);
  put32(s + 12, kRva);
  put32(s + 16, rawSize);
  put32(s + 20, kFileAlign);
  put32(s + 36, 0x40000040);  // initialised data, readable

  std::string section(rawSize, '\0');
  auto sput16 = [&section](size_t at, DWORD v) { section[at] = char(v & 0xff), section[at + 1] = char(v >> 8 & 0xff); };
  auto sput32 = [&](size_t at, DWORD v) { sput16(at, v & 0xffff), sput16(at + 2, v >> 16); };
  // Three directory levels of one id entry each, then the data entry.
  const DWORD ids[] = {type, 1, 0x0409};
  for (DWORD level = 0; level < 3; ++level) {
    size_t at = level * 24;
    sput16(at + 14, 1);
    sput32(at + 16, ids[level]);
    sput32(at + 20, level < 2 ? (0x80000000u | static_cast<DWORD>(at + 24)) : 72);
  }
  sput32(72, kRva + kDataAt);
  sput32(76, static_cast<DWORD>(data.size()));
  std::memcpy(&section[kDataAt], data.data(), data.size());
  return image + section;
}
#endif

// Makes a file carrying `block` as its version resource (or, with
// kRtRcdata, as a resource of another type). Windows reads it from a PE
// image; the simulation attaches it to the file with its control API.
void MakeVersionedFile(const std::string& path, const std::vector<BYTE>& block, WORD type = kRtVersion) {
#ifdef CVN_SIM
  REQUIRE(conformance::WriteWholeFile(path, "MZ"));
  if (type == kRtVersion) sim::SetVersionResource(path, block);
#else
  REQUIRE(conformance::WriteWholeFile(path, ResourceOnlyImage(block, type)));
#endif
}

const std::string& File() {
  static const std::string path = Scratch("versioned.dll");
  return path;
}

// The block as GetFileVersionInfoA hands it out, in a buffer of the size the
// size query reports.
std::vector<BYTE> Read(const VersionFields& fields) {
  MakeVersionedFile(File(), BuildVersionBlock(fields));
  DWORD handle = 0xdeadbeef;
  DWORD size = GetFileVersionInfoSizeA(File().c_str(), &handle);
  REQUIRE(size > 0);
  CHECK_EQ(handle, 0);
  std::vector<BYTE> block(size);
  REQUIRE(GetFileVersionInfoA(File().c_str(), handle, size, block.data()));
  return block;
}

// What VerQueryValueA answers for a path: whether it found it, the length
// (77 before the call) and the value (null before).
struct Answer {
  bool found;
  UINT length = 77;
  LPVOID value = nullptr;
  const char* text() const { return static_cast<const char*>(value); }
};

Answer Ask(const std::vector<BYTE>& block, const char* path) {
  Answer answer{};
  answer.length = 77;
  answer.found = VerQueryValueA(block.data(), path, &answer.value, &answer.length) != FALSE;
  return answer;
}

const char kFileVersion[] = "\\StringFileInfo\\040904b0\\FileVersion";
const char kTranslation[] = "\\VarFileInfo\\Translation";

CASE(kArea, "the size is twice the resource and four bytes more") {
  VersionFields fields;
  std::vector<BYTE> resource = BuildVersionBlock(fields);
  MakeVersionedFile(File(), resource);
  DWORD handle = 0xdeadbeef;
  CHECK_EQ(GetFileVersionInfoSizeA(File().c_str(), &handle), 2 * resource.size() + 4);
}

CASE(kArea, "the copy starts with the resource itself") {
  VersionFields fields;
  std::vector<BYTE> resource = BuildVersionBlock(fields);
  std::vector<BYTE> block = Read(fields);
  REQUIRE(block.size() >= resource.size());
  CHECK(std::memcmp(block.data(), resource.data(), resource.size()) == 0);
}

CASE(kArea, "a missing file gives 2") {
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetFileVersionInfoSizeA(Scratch("missing.dll").c_str(), nullptr), 0);
  CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "a file in a missing directory gives 3") {
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetFileVersionInfoSizeA(Scratch("nodir\\x.dll").c_str(), nullptr), 0);
  CHECK_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// Wine's version/tests/info.c, test_info_size ("no version info"): a text
// file has no version; the handle is set to 0 and the error is 1812, on
// Windows 2000 none (recorded as ERROR_SUCCESS).
CASE(kArea, "a file that is no image has no version size, a handle of 0 and 1812") {
  REQUIRE(conformance::WriteWholeFile(Scratch("test.txt"), "test.txt\n"));
  DWORD handle = 0xcafe;
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetFileVersionInfoSizeA(Scratch("test.txt").c_str(), &handle), 0);
  CHECK_EQ(handle, 0);
  CHECK_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
}

#ifdef CVN_SIM
NATIVE_CASE(kArea, "Windows 2000 fails a file that is no image without an error code") {
  REQUIRE(conformance::WriteWholeFile(Scratch("test.txt"), "test.txt\n"));
  sim::OsVersion version;
  version.major = 5;
  sim::SetOsVersion(version);
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetFileVersionInfoSizeA(Scratch("test.txt").c_str(), nullptr), 0);
  CHECK_EQ(GetLastError(), ERROR_SUCCESS);
  BYTE buffer[16];
  CHECK(!GetFileVersionInfoA(Scratch("test.txt").c_str(), 0, sizeof buffer, buffer));
  CHECK_EQ(GetLastError(), ERROR_SUCCESS);
}
#endif

CASE(kArea, "a file whose resources hold no version has no version size") {
  MakeVersionedFile(File(), BuildVersionBlock(VersionFields{}), kRtRcdata);
  CHECK_EQ(GetFileVersionInfoSizeA(File().c_str(), nullptr), 0);
  BYTE buffer[16];
  CHECK(!GetFileVersionInfoA(File().c_str(), 0, sizeof buffer, buffer));
}

WINE_DIFFERS(kArea, "a file whose resources hold no version gives 1813",
             "Wine's version library reports it as 1812 (resource data not found); Windows NT looks the "
             "version up with FindResource, which reports the missing type as 1813") {
  MakeVersionedFile(File(), BuildVersionBlock(VersionFields{}), kRtRcdata);
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetFileVersionInfoSizeA(File().c_str(), nullptr), 0);
  CHECK_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

CASE(kArea, "the root gives the fixed info with its signature and versions") {
  std::vector<BYTE> block = Read(VersionFields{});
  LPVOID value = nullptr;
  UINT length = 0;
  REQUIRE(VerQueryValueA(block.data(), "\\", &value, &length));
  CHECK_EQ(length, sizeof(VS_FIXEDFILEINFO));
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, value, sizeof fixed);
  CHECK_EQ(fixed.dwSignature, VS_FFI_SIGNATURE);
  CHECK_EQ(fixed.dwFileVersionMS, 0x00040015u);
  CHECK_EQ(fixed.dwFileVersionLS, 0x00000007u);
  CHECK_EQ(fixed.dwFileType, VFT_DLL);
}

CASE(kArea, "the translations come as language and code-page words in order") {
  VersionFields fields;
  fields.translations = {{0x0409, 0x04B0}, {0x0407, 0x04E4}};
  std::vector<BYTE> block = Read(fields);
  LPVOID value = nullptr;
  UINT length = 0;
  REQUIRE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  CHECK_EQ(length, 8);
  WORD words[4];
  std::memcpy(words, value, sizeof words);
  CHECK_EQ(words[0], 0x0409);
  CHECK_EQ(words[1], 0x04B0);
  CHECK_EQ(words[2], 0x0407);
  CHECK_EQ(words[3], 0x04E4);
}

CASE(kArea, "a string value is given as ANSI text with its length") {
  std::vector<BYTE> block = Read(VersionFields{});
  Answer answer = Ask(block, kFileVersion);
  REQUIRE(answer.found);
  CHECK_STR(answer.text(), "4.21.0007");
  CHECK_EQ(answer.length, 10);
  answer = Ask(block, "\\StringFileInfo\\040904b0\\CompanyName");
  REQUIRE(answer.found);
  CHECK_STR(answer.text(), "Velmora Software");
}

const char* const kSamePaths[] = {"\\StringFileInfo\\040904B0\\FileVersion", "\\stringfileinfo\\040904b0\\FILEVERSION",
                                  "StringFileInfo\\040904b0\\FileVersion"};

const bool kSamePathCases = [] {
  for (const char* path : kSamePaths) {
    conformance::Add(kArea, std::string("the query \"") + path + "\" reaches FileVersion", [path] {
      std::vector<BYTE> block = Read(VersionFields{});
      Answer answer = Ask(block, path);
      REQUIRE(answer.found);
      CHECK_STR(answer.text(), "4.21.0007");
    });
  }
  return true;
}();

const char* const kMissingPaths[] = {"\\StringFileInfo\\040704E4\\FileVersion", "\\StringFileInfo\\040904b0\\Comments",
                                     "\\VarFileInfo\\Translations"};

const bool kMissingPathCases = [] {
  for (const char* path : kMissingPaths) {
    conformance::Add(kArea, std::string("the query \"") + path + "\" finds nothing", [path] {
      std::vector<BYTE> block = Read(VersionFields{});
      Answer answer = Ask(block, path);
      CHECK(!answer.found);
      CHECK_EQ(answer.length, 0);
    });
  }
  return true;
}();

CASE(kArea, "a resource without fixed info gives it with length 0") {
  VersionFields fields;
  fields.fixedInfo = false;
  std::vector<BYTE> block = Read(fields);
  Answer answer = Ask(block, "\\");
  CHECK(answer.found);
  CHECK_EQ(answer.length, 0);
}

CASE(kArea, "an empty translation list gives length 0") {
  VersionFields fields;
  fields.translations.clear();
  fields.tableName = "040904b0";
  std::vector<BYTE> block = Read(fields);
  Answer answer = Ask(block, kTranslation);
  CHECK(answer.found);
  CHECK_EQ(answer.length, 0);
  CHECK(Ask(block, kFileVersion).found);
}

CASE(kArea, "a resource without a string table finds no FileVersion") {
  VersionFields fields;
  fields.stringFileInfo = false;
  std::vector<BYTE> block = Read(fields);
  CHECK(!Ask(block, kFileVersion).found);
  CHECK(Ask(block, kTranslation).found);
}

CASE(kArea, "a resource without VarFileInfo finds no translation") {
  VersionFields fields;
  fields.varFileInfo = false;
  std::vector<BYTE> block = Read(fields);
  CHECK(!Ask(block, kTranslation).found);
  CHECK(Ask(block, kFileVersion).found);
}

CASE(kArea, "a table named other than its translation is found by its own name") {
  VersionFields fields;
  fields.tableName = "040704E4";
  std::vector<BYTE> block = Read(fields);
  CHECK(Ask(block, "\\StringFileInfo\\040704e4\\FileVersion").found);
  CHECK(!Ask(block, kFileVersion).found);
}

CASE(kArea, "an empty string value is found as an empty text") {
  VersionFields fields;
  fields.strings = {{"FileVersion", ""}};
  std::vector<BYTE> block = Read(fields);
  Answer answer = Ask(block, kFileVersion);
  REQUIRE(answer.found);
  CHECK_STR(answer.text(), "");
}

CASE(kArea, "bytes after the block count in the size and leave the block readable") {
  std::vector<BYTE> resource = BuildVersionBlock(VersionFields{});
  resource.insert(resource.end(), 16, 0xEE);
  MakeVersionedFile(File(), resource);
  DWORD size = GetFileVersionInfoSizeA(File().c_str(), nullptr);
  CHECK_EQ(size, 2 * resource.size() + 4);
  std::vector<BYTE> block(size);
  REQUIRE(GetFileVersionInfoA(File().c_str(), 0, size, block.data()));
  Answer answer = Ask(block, kFileVersion);
  REQUIRE(answer.found);
  CHECK_STR(answer.text(), "4.21.0007");
}

CASE(kArea, "a copy of a file keeps its version resource") {
  MakeVersionedFile(File(), BuildVersionBlock(VersionFields{}));
  REQUIRE(CopyFileA(File().c_str(), Scratch("copy.dll").c_str(), FALSE));
  CHECK(GetFileVersionInfoSizeA(Scratch("copy.dll").c_str(), nullptr) != 0);
}

}  // namespace
