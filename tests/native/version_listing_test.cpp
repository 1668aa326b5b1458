// The binary version listing: the directories and files in their order, the
// version line of each file, and what it prints when a file or the product's
// directory is not what it should be.
#include <string>

#include "configuration_checks.h"
#include "check_fixture.h"
#include "version_block.h"
#include "report_texts.h"

namespace {

const char kHeading[] = "\nCorvane binary version information\n";
const char kInstall[] = "C:\\Program Files\\Corvane\\";
const char kSystem[] = "C:\\WINNT\\system32\\";
const char kDrivers[] = "C:\\WINNT\\system32\\drivers\\";

std::string Files(const std::string& directory) { return "\n     Files in " + directory + "\n"; }
std::string NoVersion(const std::string& name) {
  return "       " + name + ":     Version Information not available.\n";
}

class VersionListingTest : public CheckTest {
 protected:
  std::string List(const char* windowsDirectory = "C:\\WINNT") {
    sim::ClearConsole();
    ListBinaryVersions(windowsDirectory);
    ExpectReleased();
    EXPECT_EQ(WarningCount, 0u);
    EXPECT_EQ(ErrorCount, 0u);
    return sim::ConsoleText();
  }
  static void Install(const std::string& directory = kInstall) {
    sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", REG_SZ, directory);
    sim::MakeDirectory(directory);
  }
  // A file with a version resource of `ms`.`ls` and the text `text`.
  static void Versioned(const std::string& path, DWORD ms, DWORD ls, const std::string& text) {
    VersionFields fields;
    fields.fileVersionMS = ms;
    fields.fileVersionLS = ls;
    fields.strings = {{"FileVersion", text}};
    sim::MakeFile(path, "MZ");
    sim::SetVersionResource(path, BuildVersionBlock(fields));
  }
};

TEST_F(VersionListingTest, WithoutInstallationDirectoryNothingIsPrinted) {
  sim::MakeFile("C:\\WINNT\\system32\\msvcrt.dll");
  EXPECT_EQ(List(), "");
  sim::SetDword(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", 5);
  EXPECT_EQ(List(), "");
}

TEST_F(VersionListingTest, DirectoriesWithoutBinariesGiveOnlyTheirLines) {
  Install();
  sim::MakeFile(std::string(kInstall) + "readme.txt");
  EXPECT_EQ(List(), kHeading + Files(kInstall) + Files(kSystem) + Files(kDrivers));
}

TEST_F(VersionListingTest, VersionLinesInSearchOrderAndFileSystemOrder) {
  Install();
  Versioned(std::string(kInstall) + "zradmin.exe", 0x00010005, 0x00010349, "V1.5.1 Build 841-0");
  Versioned(std::string(kInstall) + "cvnsvc.exe", 0x00040015, 0x00000007, "4.21.0007");
  sim::MakeFile(std::string(kInstall) + "plain.dll", "MZ");  // no version resource
  sim::MakeDirectory(std::string(kInstall) + "old.ocx");      // a directory matches too
  Versioned(std::string(kSystem) + "msvcrt.dll", 0xFFFF0000, 0x0000FFFF, "65535.0.0.65535");
  Versioned(std::string(kSystem) + "zrsnmp.dll", 0x00010005, 0, "1.5");
  Versioned(std::string(kSystem) + "vb40032", 0x00040000, 0, "4.0");
  Versioned(std::string(kSystem) + "vb40032.dll", 0x00040000, 0, "not listed");
  Versioned(std::string(kDrivers) + "zr-filtr.sys", 0x00010005, 0x00010349, "1.5.1.841");
  sim::MakeFile(std::string(kDrivers) + "zr-rec.sys");

  EXPECT_EQ(List(), kHeading + Files(kInstall) + "\tcvnsvc.exe:\t4.21.0007\t4,21,0,7\n" +
                        "\tzradmin.exe:\tV1.5.1 Build 841-0\t1,5,1,841\n" + NoVersion("plain.dll") +
                        NoVersion("old.ocx") + Files(kSystem) + "\tzrsnmp.dll:\t1.5\t1,5,0,0\n" +
                        "\tmsvcrt.dll:\t65535.0.0.65535\t65535,0,0,65535\n" + "\tvb40032:\t4.0\t4,0,0,0\n" +
                        Files(kDrivers) + NoVersion("zr-rec.sys") + "\tzr-filtr.sys:\t1.5.1.841\t1,5,1,841\n");
}

// Without a FileVersion text the fixed version stands in for it.
TEST_F(VersionListingTest, ResourceWithoutFileVersionTextListsItsFixedVersion) {
  Install();
  VersionFields noText;
  noText.strings = {{"CompanyName", "Velmora Software"}};
  sim::MakeFile(std::string(kInstall) + "a.exe", "MZ");
  sim::SetVersionResource(std::string(kInstall) + "a.exe", BuildVersionBlock(noText));
  VersionFields noTranslation;
  noTranslation.translations = {};
  sim::MakeFile(std::string(kInstall) + "b.exe", "MZ");
  sim::SetVersionResource(std::string(kInstall) + "b.exe", BuildVersionBlock(noTranslation));
  VersionFields noFixedInfo;
  noFixedInfo.fixedInfo = false;
  sim::MakeFile(std::string(kInstall) + "c.exe", "MZ");
  sim::SetVersionResource(std::string(kInstall) + "c.exe", BuildVersionBlock(noFixedInfo));
  EXPECT_EQ(List(), kHeading + Files(kInstall) + "\ta.exe:\t4,21,0,7\t4,21,0,7\n" +
                        "\tb.exe:\t4.21.0007\t4,21,0,7\n" + NoVersion("c.exe") + Files(kSystem) +
                        Files(kDrivers));
}

TEST_F(VersionListingTest, LongVersionTextIsCutTo79Characters) {
  Install();
  Versioned(std::string(kInstall) + "long.dll", 0x00010000, 0, std::string(120, 'v'));
  std::string listed = List();
  EXPECT_NE(listed.find("\tlong.dll:\t" + std::string(79, 'v') + "\t1,0,0,0\n"), std::string::npos);
}

TEST_F(VersionListingTest, OtherWindowsDirectoryNamesItsSystemAndDriverDirectories) {
  Install();
  sim::AddDrive('D');
  sim::MakeDirectory("D:\\WIN\\system32\\drivers");
  EXPECT_EQ(List("D:\\WIN"), kHeading + Files(kInstall) + Files("D:\\WIN\\system32\\") +
                                 Files("D:\\WIN\\system32\\drivers\\"));
}

TEST_F(VersionListingTest, InstallationDirectoryWithoutTrailingBackslashSearchesItsParent) {
  Install("C:\\Program Files\\Corvane");
  Versioned("C:\\Program Files\\Corvane\\cvnsvc.exe", 0x00010005, 0, "1.5");
  // Found in the parent by the name's beginning, then looked for under a
  // path that runs the two names together.
  Versioned("C:\\Program Files\\CorvaneAdmin.exe", 0x00010005, 0, "1.5");
  EXPECT_EQ(List(), kHeading + Files("C:\\Program Files\\Corvane") + NoVersion("CorvaneAdmin.exe") +
                        Files(kSystem) + Files(kDrivers));
}

TEST_F(VersionListingTest, ExpandableInstallationDirectoryIsSearchedExpanded) {
  Install();
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", REG_EXPAND_SZ,
                "%SystemDrive%\\Program Files\\Corvane\\");
  Versioned(std::string(kInstall) + "cvnsvc.exe", 0x00010005, 0, "1.5");
  EXPECT_EQ(List(), kHeading + Files(kInstall) + "\tcvnsvc.exe:\t1.5\t1,5,0,0\n" + Files(kSystem) +
                        Files(kDrivers));
}

TEST_F(VersionListingTest, InstallationDirectoryThatFillsAPathIsNamedButNotSearched) {
  // 255 characters + "*.exe" = 260: no search fits after the directory.
  const std::string directory = "C:\\" + std::string(251, 'i') + "\\";
  Install(directory);
  EXPECT_EQ(List(), kHeading + Files(directory) + Files(kSystem) + Files(kDrivers));
  EXPECT_EQ(sim::CallCount("FindFirstFileA"), 17 + 3);
  // 260 characters are no directory at all.
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", REG_SZ,
                directory + std::string(5, 'i'));
  EXPECT_EQ(List(), kHeading + Files(kSystem) + Files(kDrivers));
}

TEST_F(VersionListingTest, WindowsDirectoryTooLongForTheSystemOrDriverDirectory) {
  Install();
  // 250 + "\system32\" = 260.
  const std::string windows250 = "C:\\" + std::string(247, 'w');
  EXPECT_EQ(List(windows250.c_str()), kHeading + Files(kInstall));
  // 242 + "\system32\" = 252, + "drivers\" = 260; only the one system file
  // of 7 characters, vb40032, still fits a search.
  const std::string windows242 = "C:\\" + std::string(239, 'w');
  const int searches = sim::CallCount("FindFirstFileA");
  EXPECT_EQ(List(windows242.c_str()), kHeading + Files(kInstall) + Files(windows242 + "\\system32\\"));
  EXPECT_EQ(sim::CallCount("FindFirstFileA"), searches + 3 + 1);
}

TEST_F(VersionListingTest, FoundFileWhosePathWouldNotFitHasNoVersionInformation) {
  // Without its backslash the directory's last name is repeated in front of
  // every name found: C:\<126> + <126>a.exe is 260 characters.
  const std::string name(126, 'p');
  Install("C:\\" + name);
  Versioned("C:\\" + name + "a.exe", 0x00010005, 0, "1.5");
  Versioned("C:\\" + name + ".exe", 0x00010005, 0, "1.5");
  EXPECT_EQ(List(), kHeading + Files("C:\\" + name) + NoVersion(name + ".exe") +
                        NoVersion(name + "a.exe") + Files(kSystem) + Files(kDrivers));
}

TEST_F(VersionListingTest, SingleFileSearchPrintsItsLine) {
  Versioned("C:\\Tools\\tool.exe", 0x00020001, 0x00030004, "2.1.3.4");
  sim::ClearConsole();
  ListFileVersions("C:\\Tools\\", "tool.exe");
  ListFileVersions("C:\\Tools\\", "missing.exe");
  ListFileVersions("C:\\Missing\\", "*.exe");
  EXPECT_EQ(sim::ConsoleText(), "\ttool.exe:\t2.1.3.4\t2,1,3,4\n");
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_EQ(sim::HeapBlocks(), 0);
}

}  // namespace
