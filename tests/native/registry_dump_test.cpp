// The configuration registry dump: what each key and value prints, in which
// order, and which values or keys are passed over.
#include <string>

#include "configuration_checks.h"
#include "check_fixture.h"

namespace {

const char kRoot[] = "Software\\Velmora Software";
const char kMemory[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const char kSectionHeading[] = "\nSELECTED CONFIGURATION REGISTRY INFORMATION:\n\n";

std::string Heading(const std::string& path) { return "\n     Values for key: " + path + "\n"; }
std::string Line(const std::string& name, const std::string& text) {
  return "               " + name + ":     " + text + "\n";
}
// A line cut to its first `kept` characters, with its line break after them.
std::string Cut(const std::string& line, size_t kept) { return line.substr(0, kept) + "\n"; }

class RegistryDumpTest : public CheckTest {
 protected:
  // One key's dump; every key is printed as it ends, nothing stays pending.
  std::string Dump(const std::string& path, LONG expected = ERROR_SUCCESS) {
    sim::ClearConsole();
    EXPECT_EQ(DumpRegistryKey(HKEY_LOCAL_MACHINE, path.c_str()), expected);
    std::string printed = sim::ConsoleText();
    sim::ClearConsole();
    ReportFlush();
    EXPECT_EQ(sim::ConsoleText(), "");
    ExpectReleased();
    return printed;
  }
  // The section as the driver runs it.
  std::string Section() {
    sim::ClearConsole();
    ReportAdd(LoadMessage(51003));
    DumpConfigurationRegistry();
    ReportDiscard();
    ExpectReleased();
    EXPECT_EQ(WarningCount, 0u);
    EXPECT_EQ(ErrorCount, 0u);
    return sim::ConsoleText();
  }
  static void Set(const std::string& path, const std::string& name, DWORD type, const std::string& data) {
    sim::SetValue(HKEY_LOCAL_MACHINE, path, name, type, data);
  }
};

TEST_F(RegistryDumpTest, KeyWithNeitherSubkeysNorValuesPrintsNothing) {
  sim::CreateKey(HKEY_LOCAL_MACHINE, kRoot);
  EXPECT_EQ(Dump(kRoot), "");
  EXPECT_EQ(Dump("Software\\Missing", ERROR_FILE_NOT_FOUND), "");
}

TEST_F(RegistryDumpTest, EveryValueTypeHasItsLine) {
  std::string key = std::string(kRoot) + "\\Types";
  Set(key, "A Text", REG_SZ, "C:\\Program Files\\Corvane\\");
  Set(key, "B Expand", REG_EXPAND_SZ, "%SystemRoot%\\system32");
  sim::SetDword(HKEY_LOCAL_MACHINE, key, "C Zero", 0);
  sim::SetDword(HKEY_LOCAL_MACHINE, key, "D Ten", 10);
  sim::SetDword(HKEY_LOCAL_MACHINE, key, "E All", 0xFFFFFFFF);
  sim::SetDword(HKEY_LOCAL_MACHINE, key, "F Big", 4096);
  sim::SetMultiString(HKEY_LOCAL_MACHINE, key, "G List", {"a", "b"});
  sim::SetMultiString(HKEY_LOCAL_MACHINE, key, "H Empty", {});
  Set(key, "I None", REG_NONE, "");
  Set(key, "J Binary", REG_BINARY, std::string("\x01\x02", 2));
  Set(key, "K BigEndian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\1", 4));
  Set(key, "L Resources", REG_RESOURCE_LIST, "xx");
  EXPECT_EQ(Dump(key), Heading(key) + Line("A Text", "C:\\Program Files\\Corvane\\") +
                           Line("B Expand", "%SystemRoot%\\system32") +
                           Line("C Zero", "0x00 (0)") + Line("D Ten", "0x0a (10)") +
                           Line("E All", "0x0ffffffff (-1)") + Line("F Big", "0x01000 (4096)") +
                           Line("G List", " a b") + Line("H Empty", " ") +
                           Line("I None", "Unsupported Type: 0") + Line("J Binary", "Unsupported Type: 3") +
                           Line("K BigEndian", "Unsupported Type: 5") +
                           Line("L Resources", "Unsupported Type: 8"));
}

TEST_F(RegistryDumpTest, KeyOfBinaryValuesOnlyStillPrintsItsHeading) {
  Set(kRoot, "First", REG_BINARY, "12345678");
  Set(kRoot, "Second", REG_BINARY, "");
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line("First", "Unsupported Type: 3") +
                             Line("Second", "Unsupported Type: 3"));
}

TEST_F(RegistryDumpTest, SubtreesComeBeforeTheKeysOwnValuesDepthFirst) {
  std::string a = std::string(kRoot) + "\\A";
  std::string b = std::string(kRoot) + "\\B";
  Set(kRoot, "Own", REG_SZ, "root");
  Set(a + "\\Deep", "Deepest", REG_SZ, "d");
  Set(a, "OfA", REG_SZ, "a");
  sim::CreateKey(HKEY_LOCAL_MACHINE, b + "\\Empty");
  Set(b, "OfB", REG_SZ, "b");
  EXPECT_EQ(Dump(kRoot), Heading(a + "\\Deep") + Line("Deepest", "d") + Heading(a) + Line("OfA", "a") +
                             Heading(b) + Line("OfB", "b") + Heading(kRoot) + Line("Own", "root"));
}

// The buffers are sized from the longest name and data the key reports.
TEST_F(RegistryDumpTest, LongNamesAndDataAreListed) {
  Set(kRoot, std::string(259, 'n'), REG_SZ, "name fits");
  Set(kRoot, std::string(300, 'N'), REG_SZ, "long name");
  Set(kRoot, "Data259", REG_SZ, std::string(259, 'd'));  // 260 bytes with its NUL
  Set(kRoot, "Data600", REG_SZ, std::string(600, 'D'));
  Set(kRoot, "Binary261", REG_BINARY, std::string(261, 'b'));
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "Bind", REG_MULTI_SZ,
                   std::string("\\Device\\NetBT_E100B1\0\\Device\\NetBT_NdisWan4\0\0", 45));
  Set(kRoot, "After", REG_SZ, "listed");
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line(std::string(259, 'n'), "name fits") +
                             Line(std::string(300, 'N'), "long name") + Line("Data259", std::string(259, 'd')) +
                             Line("Data600", std::string(600, 'D')) + "               Binary261:     Unsupported Type: 3\n" +
                             Line("Bind", " \\Device\\NetBT_E100B1 \\Device\\NetBT_NdisWan4") +
                             Line("After", "listed"));
  EXPECT_EQ(sim::CallCount("RegQueryInfoKeyA"), 1);
}

// A line holds at most 1023 characters: a longer value is cut there, and
// the line keeps its break so that the next one starts on its own.
TEST_F(RegistryDumpTest, ValueLongerThanALineIsCutKeepingItsLineBreak) {
  Set(kRoot, "Only", REG_SZ, std::string(2000, 'x'));
  Set(kRoot, "Then", REG_SZ, "next");
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Cut(Line("Only", std::string(2000, 'x')), 1022) + Line("Then", "next"));
}

TEST_F(RegistryDumpTest, ValueThatGrowsPastItsBufferIsSkipped) {
  // 401 bytes, reported as the 802 that their wide form takes.
  Set(kRoot, "Grows", REG_SZ, std::string(400, 'g'));
  Set(kRoot, "Stays", REG_SZ, "s");
  sim::BeforeCall("RegEnumValueA", 1,
                  [] { sim::SetValue(HKEY_LOCAL_MACHINE, kRoot, "Grows", REG_SZ, std::string(900, 'G')); });
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line("Stays", "s"));
}

// Lengths beyond what the registry holds leave the buffers of 260 characters.
TEST_F(RegistryDumpTest, LengthsBeyondTheRegistrysAreNotBuffered) {
  Set(kRoot, std::string(16384, 'n'), REG_SZ, "name");
  Set(kRoot, "Short", REG_SZ, "s");
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line("Short", "s"));
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kRoot);
  // 16 MiB and one byte.
  Set(kRoot, "Huge", REG_BINARY, std::string(0x1000001, 'h'));
  Set(kRoot, "Short", REG_SZ, "s");
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line("Short", "s"));
  EXPECT_EQ(sim::CallCount("malloc"), 2);  // the pending report's blocks alone
}

// Without heap the buffers stay of 260 characters: what fits is listed.
TEST_F(RegistryDumpTest, WithoutHeapForLongBuffersOnlyWhatFitsIsListed) {
  Set(kRoot, "Long", REG_SZ, std::string(300, 'l'));
  Set(kRoot, "Short", REG_SZ, "s");
  sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY, 2);  // after the pending report's
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line("Short", "s"));
}

// A report that cannot grow lists no values without their heading, and no
// heading without a value line under it; what was pending before stays.
TEST_F(RegistryDumpTest, WithoutRoomForTheHeadingNoValueIsListed) {
  Set(kRoot, "Short", REG_SZ, "s");
  sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY, 1);  // the heading's block
  EXPECT_EQ(Dump(kRoot), "");
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kRoot);
  Set(kRoot, "Long", REG_SZ, std::string(1000, 'l'));
  ReportAdd("%s", std::string(1000, 'p').c_str());
  sim::FailCall("realloc", ERROR_NOT_ENOUGH_MEMORY, 1);  // the value line's
  EXPECT_EQ(Dump(kRoot), std::string(1000, 'p'));
}

TEST_F(RegistryDumpTest, DataWithoutItsTerminatorEndsAtTheLengthRead) {
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "Text", REG_SZ, std::string(260, 't'));
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "Short", REG_EXPAND_SZ, "abc");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "NoEmpty", REG_MULTI_SZ, std::string("a\0b\0", 4));
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "NoNul", REG_MULTI_SZ, std::string("a\0bc", 4));
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "Full", REG_MULTI_SZ, std::string(260, 'm'));
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "Stops", REG_MULTI_SZ, std::string("a\0\0b\0\0", 6));
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "Word", REG_DWORD, std::string("\x01\x02", 2));
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line("Text", std::string(260, 't')) + Line("Short", "abc") +
                             Line("NoEmpty", " a b") + Line("NoNul", " a bc") +
                             Line("Full", " " + std::string(260, 'm')) + Line("Stops", " a") +
                             Line("Word", "0x0201 (513)"));
}

TEST_F(RegistryDumpTest, MultiStringSeparatorAtTheEndOfTheTextIsDropped) {
  // " " + 1022 characters fill the joined text; the separator would be its 1024th byte.
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "E", REG_MULTI_SZ,
                   std::string(1022, 'a') + std::string(1, '\0') + "b");
  // The line around it holds the first 1022 characters and its break.
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Cut(Line("E", " " + std::string(1022, 'a')), 1022));
}

TEST_F(RegistryDumpTest, MultiStringCutKeepsWholeCharacters) {
  sim::SetCodePage(950);
  std::string characters;
  for (int i = 0; i < 600; ++i) characters += "\xa5\x5c";  // 功
  // A cut line keeps 1022 bytes before its break. 25 bytes come before the
  // characters of "Odd" and 498 characters end at 1021, the 499th would be
  // split; one more byte before those of "Even", and 498 end at 1022.
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "Odd", REG_MULTI_SZ, characters);
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kRoot, "Even", REG_MULTI_SZ, characters);
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Cut(Line("Odd", " " + characters), 1021) +
                             Cut(Line("Even", " " + characters), 1022));
}

TEST_F(RegistryDumpTest, SubkeyPathsTooLongAreSkippedNotCut) {
  std::string longKey = std::string(kRoot) + "\\" + std::string(200, 'k');
  std::string tooDeep = longKey + "\\" + std::string(60, 'z');  // 286 characters
  std::string fits = longKey + "\\" + std::string(32, 'y');     // 258 characters
  Set(tooDeep, "Hidden", REG_SZ, "never");
  Set(fits, "Shown", REG_SZ, "deep");
  Set(longKey, "Own", REG_SZ, "mine");
  EXPECT_EQ(Dump(kRoot), Heading(fits) + Line("Shown", "deep") + Heading(longKey) + Line("Own", "mine"));
}

TEST_F(RegistryDumpTest, KeyThatCannotBeOpenedIsSkippedWithItsSubtree) {
  std::string a = std::string(kRoot) + "\\A";
  std::string b = std::string(kRoot) + "\\B";
  Set(a + "\\Below", "Hidden", REG_SZ, "x");
  Set(b, "Seen", REG_SZ, "y");
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, a);
  EXPECT_EQ(Dump(kRoot), Heading(b) + Line("Seen", "y"));
  EXPECT_EQ(Dump(a, ERROR_ACCESS_DENIED), "");
}

TEST_F(RegistryDumpTest, EnumerationThatKeepsFailingEndsTheKeysValues) {
  Set(kRoot, "First", REG_SZ, "1");
  Set(kRoot, "Second", REG_SZ, "2");
  sim::FailCall("RegEnumValueA", ERROR_KEY_DELETED, 2, 1000);
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line("First", "1"));
  sim::Reset();
  Set(kRoot + std::string("\\Sub"), "Value", REG_SZ, "v");
  Set(kRoot, "Own", REG_SZ, "o");
  sim::FailCall("RegEnumKeyExA", ERROR_KEY_DELETED, 1, 1000);
  EXPECT_EQ(Dump(kRoot), Heading(kRoot) + Line("Own", "o"));
}

TEST_F(RegistryDumpTest, EachKeyIsCountedOnceAndNoListIsReadPastItsEnd) {
  Set(kRoot, "Own", REG_SZ, "o");
  Set(kRoot + std::string("\\A"), "First", REG_SZ, "1");
  Set(kRoot + std::string("\\A"), "Second", REG_SZ, "2");
  Set(kRoot + std::string("\\B\\C"), "Deep", REG_SZ, "d");
  Dump(kRoot);
  EXPECT_EQ(sim::CallCount("RegOpenKeyExA"), 4);
  EXPECT_EQ(sim::CallCount("RegQueryInfoKeyA"), 4);
  EXPECT_EQ(sim::CallCount("RegEnumKeyExA"), 3);  // each key once, by its parent
  EXPECT_EQ(sim::CallCount("RegEnumValueA"), 4);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 4);
}

TEST_F(RegistryDumpTest, KeyWhoseCountsCannotBeHadIsListedAllTheSame) {
  Set(kRoot, "Own", REG_SZ, "o");
  Set(kRoot + std::string("\\A"), "Value", REG_SZ, "v");
  std::string whole = Dump(kRoot);
  sim::FailCall("RegQueryInfoKeyA", ERROR_ACCESS_DENIED, 1, 2);
  EXPECT_EQ(Dump(kRoot), whole);
}

TEST_F(RegistryDumpTest, ChangesAfterTheCountsAreListedWithinTheBuffersOrNextTime) {
  std::string sub = std::string(kRoot) + "\\Sub";
  Set(sub, "Value", REG_SZ, "v");
  Set(kRoot, "A", REG_SZ, "1");
  Set(kRoot, "B", REG_SZ, "2");
  Set(kRoot, "C", REG_SZ, "3");
  // The root's counts are taken: then a subkey and a value are added and B
  // grows past the data buffer.
  sim::BeforeCall("RegEnumKeyExA", 1, [] {
    Set(std::string(kRoot) + "\\Zeta", "Late", REG_SZ, "z");
    Set(kRoot, "B", REG_SZ, std::string(300, 'b'));
    Set(kRoot, "D", REG_SZ, "4");
  });
  EXPECT_EQ(Dump(kRoot), Heading(sub) + Line("Value", "v") + Heading(kRoot) + Line("A", "1") + Line("C", "3"));
}

TEST_F(RegistryDumpTest, SectionWithoutTreesPrintsNothingAndEmptyTreesOnlyTheHeading) {
  EXPECT_EQ(Section(), "");
  // The first key that opens prints the heading, even when it has no values.
  sim::CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters");
  EXPECT_EQ(Section(), kSectionHeading);
}

TEST_F(RegistryDumpTest, LargeSystemCacheNoteOnlyWhenSetAsANonZeroDword) {
  // The memory key is one of the trees: the value itself is dumped as well.
  sim::SetDword(HKEY_LOCAL_MACHINE, kMemory, "LargeSystemCache", 0);
  std::string dumped = std::string(kSectionHeading) + Heading(kMemory);
  EXPECT_EQ(Section(), dumped + Line("LargeSystemCache", "0x00 (0)"));

  sim::SetDword(HKEY_LOCAL_MACHINE, kMemory, "LargeSystemCache", 1);
  std::string note = LoadMessage(52013);
  EXPECT_NE(note.find("consider changing this value"), std::string::npos);
  EXPECT_EQ(Section(), dumped + Line("LargeSystemCache", "0x01 (1)") + note);

  Set(kMemory, "LargeSystemCache", REG_SZ, "1");
  EXPECT_EQ(Section(), dumped + Line("LargeSystemCache", "1"));
}

TEST_F(RegistryDumpTest, LargeSystemCacheNoteEvenWhenTheKeyCannotBeListed) {
  sim::SetDword(HKEY_LOCAL_MACHINE, kMemory, "LargeSystemCache", 1);
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, 12);  // the twelfth tree
  EXPECT_EQ(Section(), std::string(kSectionHeading) + LoadMessage(52013));
}

TEST_F(RegistryDumpTest, TreesInTheirOrderWithTheHeadingPrintedByTheFirstKey) {
  const char* const trees[] = {
      "Software\\Velmora Software",
      "SYSTEM\\CurrentControlSet\\Services\\CVNSvc",
      "SYSTEM\\CurrentControlSet\\Services\\NobleNet Portmapper",
      "SYSTEM\\CurrentControlSet\\Services\\cvn-fltr",
      "SYSTEM\\CurrentControlSet\\Services\\cvn-jnl",
      "SYSTEM\\CurrentControlSet\\Services\\cvn-rec",
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
      "SYSTEM\\CurrentControlSet\\Services\\Tcpip",
      "SYSTEM\\CurrentControlSet\\Services\\SNMP",
      "SYSTEM\\CurrentControlSet\\Services\\WinSock",
      "SYSTEM\\CurrentControlSet\\Services\\LanmanServer",
      "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
  };
  std::string expected = kSectionHeading;
  for (int i = 11; i >= 0; --i) sim::SetDword(HKEY_LOCAL_MACHINE, trees[i], "Tree", i);
  for (int i = 0; i < 12; ++i) {
    expected += Heading(trees[i]) + Line("Tree", std::string("0x0") + "0123456789ab"[i] + " (" +
                                                     std::to_string(i) + ")");
  }
  EXPECT_EQ(Section(), expected);
}

}  // namespace
