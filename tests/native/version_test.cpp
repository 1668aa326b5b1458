// Version resources: the simulated version library parsing VS_VERSIONINFO
// blocks as the system does, and the reader of a file's version numbers
// and FileVersion text on top of it.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "readers.h"
#include "sim_fixture.h"
#include "version_block.h"

namespace {

constexpr char kFile[] = "C:\\WINNT\\system32\\msvcrt.dll";

class VersionTest : public SimTest {
 protected:
  void Install(const VersionFields& fields, const char* path = kFile) {
    sim::MakeFile(path, "MZ");
    sim::SetVersionResource(path, BuildVersionBlock(fields));
  }

  // The block as GetFileVersionInfoA hands it out, in a buffer of the size
  // the size query reports.
  std::vector<BYTE> Read(const char* path = kFile) {
    DWORD handle = 0xdeadbeef;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<BYTE> block(size);
    EXPECT_TRUE(GetFileVersionInfoA(path, handle, size, block.data()));
    return block;
  }
};

// ---- The version library -----------------------------------------------------------

TEST_F(VersionTest, SizeIsTwiceTheResourceAndASignature) {
  VersionFields fields;
  std::vector<BYTE> resource = BuildVersionBlock(fields);
  Install(fields);
  SetLastError(0xdeadbeef);
  DWORD handle = 0xdeadbeef;
  EXPECT_EQ(GetFileVersionInfoSizeA(kFile, &handle), 2 * resource.size() + 4);
  EXPECT_EQ(GetLastError(), 0u);
  std::vector<BYTE> block = Read();
  EXPECT_TRUE(std::equal(resource.begin(), resource.end(), block.begin()));
  EXPECT_EQ(std::string(block.begin() + resource.size(), block.begin() + resource.size() + 4), "FE2X");
}

TEST_F(VersionTest, SizeQueryFailsWithTheFilesErrorOrNoResource) {
  sim::MakeFile("C:\\plain.exe", "MZ");
  struct Case {
    const char* path;
    DWORD error;
  };
  const Case cases[] = {{"C:\\missing.dll", ERROR_FILE_NOT_FOUND},
                        {"C:\\nodir\\x.dll", ERROR_PATH_NOT_FOUND},
                        {"C:\\plain.exe", ERROR_RESOURCE_TYPE_NOT_FOUND}};
  for (const Case& c : cases) {
    DWORD handle = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetFileVersionInfoSizeA(c.path, &handle), 0u) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
    BYTE buffer[16];
    EXPECT_FALSE(GetFileVersionInfoA(c.path, 0, sizeof buffer, buffer));
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
}

TEST_F(VersionTest, QueriesReachFixedInfoTranslationsAndStrings) {
  VersionFields fields;
  fields.translations = {{0x0409, 0x04B0}, {0x0407, 0x04E4}};
  Install(fields);
  std::vector<BYTE> block = Read();
  LPVOID value = nullptr;
  UINT length = 0;

  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00040015u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(value) % 4, reinterpret_cast<uintptr_t>(block.data()) % 4);

  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 8u);
  const auto* words = static_cast<const WORD*>(value);
  EXPECT_EQ(words[0], 0x0409);
  EXPECT_EQ(words[1], 0x04B0);
  EXPECT_EQ(words[2], 0x0407);
  EXPECT_EQ(words[3], 0x04E4);

  ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
  EXPECT_STREQ(static_cast<const char*>(value), "4.21.0007");
  EXPECT_EQ(length, 10u);  // characters with the NUL
  // The ANSI text lies in the spare half, past the resource and its signature.
  EXPECT_GT(static_cast<const BYTE*>(value), block.data() + block.size() / 2);

  const char* sameString[] = {"\\StringFileInfo\\040904B0\\FileVersion", "\\stringfileinfo\\040904b0\\FILEVERSION",
                              "StringFileInfo\\040904b0\\FileVersion\\", "\\\\StringFileInfo\\\\040904B0\\FileVersion"};
  for (const char* path : sameString) {
    value = nullptr;
    EXPECT_TRUE(VerQueryValueA(block.data(), path, &value, &length)) << path;
    EXPECT_STREQ(static_cast<const char*>(value), "4.21.0007") << path;
  }
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\CompanyName", &value, &length));
  EXPECT_STREQ(static_cast<const char*>(value), "Velmora Software");
}

TEST_F(VersionTest, MissingValuesFailWithResourceTypeNotFound) {
  Install(VersionFields{});
  std::vector<BYTE> block = Read();
  const char* missing[] = {"\\StringFileInfo\\040704E4\\FileVersion", "\\StringFileInfo\\040904b0\\Comments",
                           "\\VarFileInfo\\Translations", "\\StringFileInfo\\040904b"};
  for (const char* path : missing) {
    LPVOID value = reinterpret_cast<LPVOID>(0x1234);
    UINT length = 77;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(VerQueryValueA(block.data(), path, &value, &length)) << path;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND)) << path;
    EXPECT_EQ(length, 0u) << path;
  }
}

TEST_F(VersionTest, EmptyFixedInfoAndTranslationReadAsZeroLength) {
  VersionFields fields;
  fields.fixedInfo = false;
  fields.translations.clear();
  fields.tableName = "040904b0";
  Install(fields);
  std::vector<BYTE> block = Read();
  LPVOID value = nullptr;
  UINT length = 77;
  EXPECT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
  EXPECT_EQ(length, 0u);
  length = 77;
  EXPECT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  EXPECT_EQ(length, 0u);
  EXPECT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
  EXPECT_STREQ(static_cast<const char*>(value), "4.21.0007");
}

TEST_F(VersionTest, CopyOfAFileKeepsItsResource) {
  Install(VersionFields{});
  ASSERT_TRUE(CopyFileA(kFile, "C:\\copy.dll", FALSE));
  EXPECT_NE(GetFileVersionInfoSizeA("C:\\copy.dll", nullptr), 0u);
}

// ---- GetFileVersionStrings -------------------------------------------------------

class VersionReaderTest : public VersionTest {
 protected:
  void SetUp() override {
    VersionTest::SetUp();
    std::memset(text_, 0x55, sizeof text_);
  }
  void TearDown() override {
    EXPECT_EQ(sim::HeapBlocks(), 0);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
  LONG ReadStrings(const char* path = kFile) {
    return GetFileVersionStrings(path, text_, &major_, &minor_, &build_, &revision_);
  }
  std::string Text() const { return text_; }

  char text_[VERSION_TEXT_SIZE + 16];  // room to see a write past the 80 characters
  WORD major_ = 0xBEEF, minor_ = 0xBEEF, build_ = 0xBEEF, revision_ = 0xBEEF;
};

TEST_F(VersionReaderTest, ReadsTheFourNumbersAndTheText) {
  VersionFields fields;
  fields.fileVersionMS = 0xFFFF0015;
  fields.fileVersionLS = 0x00020007;
  fields.productVersionMS = 0x00090009;
  Install(fields);
  EXPECT_EQ(ReadStrings(), 0);
  EXPECT_EQ(Text(), "4.21.0007");
  EXPECT_EQ(major_, 65535);
  EXPECT_EQ(minor_, 21);
  EXPECT_EQ(build_, 2);
  EXPECT_EQ(revision_, 7);
  EXPECT_EQ(sim::CallCount("malloc"), 1);
}

TEST_F(VersionReaderTest, FileWithoutUsableResourceGivesTheSystemCode) {
  sim::MakeFile("C:\\plain.exe", "MZ");
  EXPECT_EQ(ReadStrings("C:\\missing.dll"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadStrings("C:\\nodir\\x.dll"), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ReadStrings("C:\\plain.exe"), ERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_EQ(sim::CallCount("malloc"), 0);
}

TEST_F(VersionReaderTest, ResourceWithoutFixedInfoGivesMinusOneAndWritesNothing) {
  VersionFields fields;
  fields.fixedInfo = false;
  Install(fields);
  EXPECT_EQ(ReadStrings(), -1);
  EXPECT_EQ(std::string(text_, sizeof text_), std::string(sizeof text_, 0x55));
  for (WORD number : {major_, minor_, build_, revision_}) EXPECT_EQ(number, 0xBEEF);
}

// Without a FileVersion under the first translation the text comes from
// any string table that has one, else from the fixed version, written as
// the report writes versions; the numbers are the fixed ones throughout.
TEST_F(VersionReaderTest, TextFallsBackToAnyTableThenToTheFixedVersion) {
  struct Case {
    const char* what;
    void (*change)(VersionFields&);
    const char* text;
  };
  const Case cases[] = {
      {"no VarFileInfo", [](VersionFields& f) { f.varFileInfo = false; }, "4.21.0007"},
      {"empty translation table",
       [](VersionFields& f) {
         f.translations.clear();
         f.tableName = "040904b0";
       },
       "4.21.0007"},
      {"table of another code page", [](VersionFields& f) { f.tableName = "040904e4"; }, "4.21.0007"},
      {"no FileVersion", [](VersionFields& f) { f.strings = {{"ProductName", "Corvane"}}; }, "4,21,0,7"},
      {"no StringFileInfo", [](VersionFields& f) { f.stringFileInfo = false; }, "4,21,0,7"},
      {"no StringFileInfo, no VarFileInfo",
       [](VersionFields& f) {
         f.stringFileInfo = false;
         f.varFileInfo = false;
       },
       "4,21,0,7"},
      {"table named beyond eight characters",
       [](VersionFields& f) {
         f.varFileInfo = false;
         f.tableName = "040904b0040904b0x";
       },
       "4,21,0,7"},
      {"table named in other than ASCII",
       [](VersionFields& f) {
         f.varFileInfo = false;
         f.tableName = "04090\xe9" "b0";
       },
       "4,21,0,7"},
      {"versions of all bits",
       [](VersionFields& f) {
         f.stringFileInfo = false;
         f.fileVersionMS = 0xFFFFFFFF;
         f.fileVersionLS = 0x8000FFFF;
       },
       "65535,65535,32768,65535"},
  };
  for (const Case& c : cases) {
    VersionFields fields;
    c.change(fields);
    Install(fields);
    std::memset(text_, 0x55, sizeof text_);
    EXPECT_EQ(ReadStrings(), 0) << c.what;
    EXPECT_EQ(Text(), c.text) << c.what;
    EXPECT_EQ(major_, HIWORD(fields.fileVersionMS)) << c.what;
    EXPECT_EQ(revision_, LOWORD(fields.fileVersionLS)) << c.what;
    EXPECT_EQ(sim::HeapBlocks(), 0) << c.what;
  }
}

TEST_F(VersionReaderTest, DamagedTreeFallsBackToTheFixedVersion) {
  // Nodes whose lengths lie: the walk stops there instead of reading past
  // the resource.
  VersionFields fields;
  fields.varFileInfo = false;
  std::vector<BYTE> block = BuildVersionBlock(fields);
  std::vector<BYTE> key;
  for (char c : std::string("StringFileInfo")) {
    key.push_back(static_cast<BYTE>(c));
    key.push_back(0);
  }
  auto at = std::search(block.begin(), block.end(), key.begin(), key.end());
  ASSERT_NE(at, block.end());
  const size_t node = static_cast<size_t>(at - block.begin()) - 6;
  key.clear();
  for (char c : std::string("040904b0")) {
    key.push_back(static_cast<BYTE>(c));
    key.push_back(0);
  }
  at = std::search(block.begin(), block.end(), key.begin(), key.end());
  ASSERT_NE(at, block.end());
  const size_t table = static_cast<size_t>(at - block.begin()) - 6;
  // Lengths beyond the parent, shorter than a header, or ending inside the
  // key, of the StringFileInfo node and then of its table.
  for (size_t damaged : {node, table}) {
    for (WORD length : {WORD{0xFFF0}, WORD{2}, WORD{10}}) {
      std::vector<BYTE> copy = block;
      copy[damaged] = static_cast<BYTE>(length & 0xFF);
      copy[damaged + 1] = static_cast<BYTE>(length >> 8);
      sim::MakeFile(kFile, "MZ");
      sim::SetVersionResource(kFile, copy);
      EXPECT_EQ(ReadStrings(), 0) << damaged << " " << length;
      EXPECT_EQ(Text(), "4,21,0,7") << damaged << " " << length;
    }
  }
}

TEST_F(VersionReaderTest, FixedInfoAtAnUnalignedAddressIsReadSafely) {
  // A damaged root whose value is a text: the version library hands out its
  // ANSI copy, here at an odd address, where no structure may be read in place.
  std::vector<BYTE> block = BuildVersionBlock(VersionFields{});
  block[4] = 1;  // wType: text
  WORD length = static_cast<WORD>(block[0] | block[1] << 8);
  if (length % 2 == 0) --length;  // the copy goes to the block's end: an odd address
  block[0] = static_cast<BYTE>(length & 0xFF);
  block[1] = static_cast<BYTE>(length >> 8);
  sim::MakeFile(kFile, "MZ");
  sim::SetVersionResource(kFile, block);
  // Whatever numbers the copy holds, they are read out of it, not in place.
  EXPECT_EQ(ReadStrings(), 0);
}

TEST_F(VersionReaderTest, TableNameIsFoundInEitherLetterCase) {
  for (const char* table : {"040904e4", "040904E4"}) {
    VersionFields fields;
    fields.translations = {{0x0409, 0x04E4}};
    fields.tableName = table;
    fields.strings = {{"FileVersion", table}};
    Install(fields);
    EXPECT_EQ(ReadStrings(), 0) << table;
    EXPECT_EQ(Text(), table);
  }
}

TEST_F(VersionReaderTest, TableOfALaterTranslationIsFound) {
  VersionFields fields;
  fields.translations = {{0x0407, 0x04E4}, {0x0409, 0x04B0}};
  fields.tableName = "040904b0";
  Install(fields);
  EXPECT_EQ(ReadStrings(), 0);
  EXPECT_EQ(Text(), "4.21.0007");
}

TEST_F(VersionReaderTest, LongFileVersionIsCutTo79Characters) {
  struct Case {
    size_t length;
    size_t kept;
  };
  for (Case c : {Case{78, 78}, Case{79, 79}, Case{80, 79}, Case{300, 79}}) {
    std::string version;
    for (size_t i = 0; i < c.length; ++i) version += static_cast<char>('0' + i % 10);
    VersionFields fields;
    fields.strings = {{"FileVersion", version}};
    Install(fields);
    std::memset(text_, 0x55, sizeof text_);
    EXPECT_EQ(ReadStrings(), 0) << c.length;
    EXPECT_EQ(Text(), version.substr(0, c.kept)) << c.length;
    for (size_t i = VERSION_TEXT_SIZE; i < sizeof text_; ++i) ASSERT_EQ(text_[i], 0x55) << c.length;
  }
}

TEST_F(VersionReaderTest, LongFileVersionIsCutBeforeAHalfCharacter) {
  sim::SetCodePage(936);
  const std::string character = "\x81\x5c";  // 乗
  for (size_t ascii : {size_t{77}, size_t{78}}) {
    VersionFields fields;
    fields.strings = {{"FileVersion", std::string(ascii, 'v') + character + "x"}};
    Install(fields);
    EXPECT_EQ(ReadStrings(), 0);
    EXPECT_EQ(Text(), std::string(ascii, 'v') + (ascii == 77 ? character : "")) << ascii;
  }
}

TEST_F(VersionReaderTest, FileVersionWithoutItsNulEndsAtItsLength) {
  // The FileVersion node's value length is cut to 4 characters: "4.21"
  // without a terminator, followed by more text in the block.
  std::vector<BYTE> block = BuildVersionBlock(VersionFields{});
  std::vector<BYTE> key;
  for (char c : std::string("FileVersion")) {
    key.push_back(static_cast<BYTE>(c));
    key.push_back(0);
  }
  auto at = std::search(block.begin(), block.end(), key.begin(), key.end());
  ASSERT_NE(at, block.end());
  const size_t valueLength = static_cast<size_t>(at - block.begin()) - 4;
  ASSERT_EQ(block[valueLength], 10);  // "4.21.0007" and its NUL
  block[valueLength] = 4;
  sim::MakeFile(kFile, "MZ");
  sim::SetVersionResource(kFile, block);
  EXPECT_EQ(ReadStrings(), 0);
  EXPECT_EQ(Text(), "4.21");
  EXPECT_EQ(major_, 4);
}

TEST_F(VersionReaderTest, EmptyFileVersionIsAnEmptyText) {
  VersionFields fields;
  fields.strings = {{"FileVersion", ""}};
  Install(fields);
  EXPECT_EQ(ReadStrings(), 0);
  EXPECT_EQ(Text(), "");
}

TEST_F(VersionReaderTest, FailuresOfTheVersionLibraryReleaseTheBlock) {
  Install(VersionFields{});
  sim::FailCall("GetFileVersionInfoA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadStrings(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::HeapBlocks(), 0);
  sim::FailCall("VerQueryValueA", ERROR_RESOURCE_TYPE_NOT_FOUND, 1);
  EXPECT_EQ(ReadStrings(), -1);
  EXPECT_EQ(sim::HeapBlocks(), 0);
  // A failed look-up of the text falls back to the string tables.
  sim::FailCall("VerQueryValueA", ERROR_RESOURCE_TYPE_NOT_FOUND, 3);
  EXPECT_EQ(ReadStrings(), 0);
  EXPECT_EQ(Text(), "4.21.0007");
  EXPECT_EQ(sim::HeapBlocks(), 0);
  sim::FailCall("malloc", 0);
  EXPECT_EQ(ReadStrings(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(VersionReaderTest, FailureWithoutAnErrorCodeIsNotSuccess) {
  Install(VersionFields{});
  sim::FailCall("GetFileVersionInfoSizeA", 0);
  EXPECT_EQ(ReadStrings(), -1);
  sim::FailCall("GetFileVersionInfoA", 0);
  EXPECT_EQ(ReadStrings(), -1);
  EXPECT_EQ(sim::HeapBlocks(), 0);
}

}  // namespace
