// The registry readers: path splitting, accepted types, error codes, heap
// copies of exactly the value's size, and every key closed on every path.
#include <cstring>
#include <string>

#include "readers.h"
#include "sim_fixture.h"

namespace {

const char kKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";

class RegistryReadersTest : public SimTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), 0);
  }
  // Reads a string, checks it, and frees it.
  std::string ReadString(const std::string& valuePath, size_t expectedBlock) {
    char* text = ReadRegistryString(HKEY_LOCAL_MACHINE, valuePath.c_str());
    if (!text) return "<null>";
    EXPECT_EQ(sim::HeapBytes(), expectedBlock) << valuePath;
    std::string result = text;
    SimFree(text);
    return result;
  }
  static std::string Path(const char* valueName) { return std::string(kKey) + "\\" + valueName; }
};

TEST_F(RegistryReadersTest, StringComesBackInABlockOfExactlyTheValueSize) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  EXPECT_EQ(ReadString(Path("InstallationDirectory"), 12), "C:\\Corvane\\");
  // Names match without regard to case, as the registry compares them.
  EXPECT_EQ(ReadString("software\\velmora software\\CORVANE\\1.5\\installationdirectory", 12), "C:\\Corvane\\");
}

TEST_F(RegistryReadersTest, ExpandableStringKeepsItsReferencesUnexpanded) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "JournalRoot", REG_EXPAND_SZ, "%SystemRoot%\\Journals");
  EXPECT_EQ(ReadString(Path("JournalRoot"), 22), "%SystemRoot%\\Journals");
}

TEST_F(RegistryReadersTest, TrailingBackslashReadsTheDefaultValue) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "", REG_SZ, "default");
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "1.5", REG_SZ, "named");
  EXPECT_EQ(ReadString(std::string(kKey) + "\\", 8), "default");
}

TEST_F(RegistryReadersTest, ValueNameEndingInTheBackslashByteIsReadWhole) {
  sim::SetCodePage(950);
  const std::string name = "\xb3\x5c\xa5\x5c";  // 許功
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, name, REG_SZ, "D:\\Journals");
  EXPECT_EQ(ReadString(Path(name.c_str()), 12), "D:\\Journals");
}

TEST_F(RegistryReadersTest, StringStoredWithoutItsNulGetsOneAdded) {
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "Raw", REG_SZ, "abc");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "Empty", REG_SZ, "");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "Inner", REG_SZ, std::string("ab\0cd", 5));
  EXPECT_EQ(ReadString(Path("Raw"), 4), "abc");
  EXPECT_EQ(ReadString(Path("Empty"), 1), "");
  EXPECT_EQ(ReadString(Path("Inner"), 6), "ab");
}

TEST_F(RegistryReadersTest, OtherTypesAndMissingKeysOrValuesGiveNull) {
  sim::SetMultiString(HKEY_LOCAL_MACHINE, kKey, "Multi", {"a", "b"});
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "Binary", REG_BINARY, "abc");
  sim::SetDword(HKEY_LOCAL_MACHINE, kKey, "Type", 1);
  EXPECT_EQ(ReadString(Path("Multi"), 0), "<null>");
  EXPECT_EQ(ReadString(Path("Binary"), 0), "<null>");
  EXPECT_EQ(ReadString(Path("Type"), 0), "<null>");
  EXPECT_EQ(ReadString(Path("Missing"), 0), "<null>");
  EXPECT_EQ(ReadString("SOFTWARE\\Missing\\Value", 0), "<null>");
  EXPECT_EQ(sim::CallCount("malloc"), 0);
}

TEST_F(RegistryReadersTest, PathWithoutBackslashIsRefusedWithoutTouchingTheRegistry) {
  DWORD value = 0xdeadbeef;
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "InstallationDirectory"), nullptr);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, "Type", &value), -1);
  EXPECT_EQ(sim::CallCount("RegOpenKeyExA"), 0);
  EXPECT_EQ(value, 0xdeadbeefu);
}

TEST_F(RegistryReadersTest, PathOf260CharactersIsRefusedRatherThanCut) {
  // 259 characters fit the private copy; one more would have been cut off.
  std::string key = "SOFTWARE\\" + std::string(255 - 9, 'k');
  std::string fits = key + "\\" + std::string(259 - key.size() - 1, 'v');
  ASSERT_EQ(fits.size(), 259u);
  sim::SetValue(HKEY_LOCAL_MACHINE, key, fits.substr(key.size() + 1), REG_SZ, "ok");
  sim::SetDword(HKEY_LOCAL_MACHINE, key, fits.substr(key.size() + 1), 5);
  DWORD value = 0;
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, fits.c_str(), &value), 0);
  EXPECT_EQ(value, 5u);

  std::string tooLong = fits + "v";
  sim::SetValue(HKEY_LOCAL_MACHINE, key, tooLong.substr(key.size() + 1), REG_SZ, "never read");
  const std::string before = tooLong;
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, tooLong.c_str()), nullptr);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, tooLong.c_str(), &value), -1);
  EXPECT_EQ(tooLong, before);
  EXPECT_EQ(sim::CallCount("RegOpenKeyExA"), 1);
}

TEST_F(RegistryReadersTest, CallersPathIsNeverChanged) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  char path[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5\\InstallationDirectory";
  const std::string before = path;
  char* text = ReadRegistryString(HKEY_LOCAL_MACHINE, path);
  ASSERT_NE(text, nullptr);
  SimFree(text);
  DWORD value;
  ReadRegistryDword(HKEY_LOCAL_MACHINE, path, &value);
  EXPECT_EQ(path, before);
}

TEST_F(RegistryReadersTest, FailedAllocationGivesNullAndReleasesTheKey) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "Raw", REG_SZ, "abc");
  sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Path("InstallationDirectory").c_str()), nullptr);
  sim::FailCall("realloc", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Path("Raw").c_str()), nullptr);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 2);
}

TEST_F(RegistryReadersTest, FailedSecondReadGivesNullRatherThanAnUnfilledBlock) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED, 2);
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Path("InstallationDirectory").c_str()), nullptr);
  EXPECT_EQ(sim::CallCount("RegQueryValueExA"), 2);
}

TEST_F(RegistryReadersTest, FailedOpenOrQueryGivesNullAndClosesWhatWasOpened) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Path("InstallationDirectory").c_str()), nullptr);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 0);
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Path("InstallationDirectory").c_str()), nullptr);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 1);
}

TEST_F(RegistryReadersTest, DwordReadsOnlyAFourByteRegDword) {
  sim::SetDword(HKEY_LOCAL_MACHINE, kKey, "Type", 0x12345678);
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "Short", REG_SZ, "x");  // 2 bytes
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "Wide", REG_BINARY, "12345678");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "Bin4", REG_BINARY, "1234");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "HalfDword", REG_DWORD, "12");
  DWORD value = 0;
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, Path("Type").c_str(), &value), 0);
  EXPECT_EQ(value, 0x12345678u);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, Path("type").c_str(), &value), 0);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, Path("Short").c_str(), &value), -1);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, Path("Bin4").c_str(), &value), -1);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, Path("HalfDword").c_str(), &value), -1);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, Path("Missing").c_str(), &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, Path("Wide").c_str(), &value), ERROR_MORE_DATA);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing\\Type", &value), ERROR_FILE_NOT_FOUND);
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, Path("Type").c_str(), &value), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 7);
}

TEST_F(RegistryReadersTest, DwordOfTheDefaultValueAfterATrailingBackslash) {
  sim::SetDword(HKEY_LOCAL_MACHINE, kKey, "", 42);
  DWORD value = 0;
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\").c_str(), &value), 0);
  EXPECT_EQ(value, 42u);
}

TEST_F(RegistryReadersTest, SubkeyMatchesWholeNameInAnyLetterCase) {
  const char services[] = "SYSTEM\\CurrentControlSet\\Services";
  for (const char* name : {"Alerter", "CVNSvc", "cvn-rec", "Tcpip"})
    sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(services) + "\\" + name);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, services, "CVNSvc"), 0);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, services, "Tcpip"), 0);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, services, "cvnsvc"), 0);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, services, "CVN-REC"), 0);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, services, "CVN"), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, services, "Tcpip6"), ERROR_NO_MORE_ITEMS);
  // Only direct subkeys count.
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet", "CVNSvc"), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\Missing", "CVNSvc"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 7);
}

TEST_F(RegistryReadersTest, SubkeyLetterCaseFoldsOnlyCharactersOfOneByte) {
  sim::SetCodePage(932);
  const char parent[] = "SOFTWARE\\P";
  // 0x83 0x61 and 0x83 0x41 are two different characters of two bytes
  // whose second bytes are the letters a and A.
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(parent) + "\\x\x83\x61y");
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, parent, "X\x83\x61Y"), 0);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, parent, "x\x83\x41y"), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, parent, "x\x83"), ERROR_NO_MORE_ITEMS);
  // A first byte alone at the end of a name is no character: Windows keeps
  // the code page's default character in its place, which that name is not.
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(parent) + "\\z\x83");
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, parent, "Z\x83"), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, parent, "Z\x81\x45"), 0);
}

TEST_F(RegistryReadersTest, SubkeySearchEndsWithNoMoreItemsOnAnyEnumerationFailure) {
  sim::CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\P\\A");
  sim::CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\P\\B");
  sim::FailCall("RegEnumKeyExA", ERROR_ACCESS_DENIED, 2);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\P", "B"), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\P", "B"), 0);
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\P");
  EXPECT_EQ(SubkeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\P", "B"), ERROR_ACCESS_DENIED);
}

}  // namespace
