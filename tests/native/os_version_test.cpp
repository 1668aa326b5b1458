// The operating-system check and the comparison of the service-pack files.
#include <string>
#include <vector>

#include "check_fixture.h"
#include "entry_points.h"
#include "system_checks.h"
#include "version_block.h"

namespace {

using Strings = std::vector<std::string>;

const char kSystem32[] = "C:\\WINNT\\system32\\";
const char kProductOptions[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

const char kVerifying[] = "   Verifying Service Pack versions are properly installed...\n\n";
const char kReapply[] =
    "\nRecommendation: You should consider reapplying the Service Pack.\nIf this problem persists "
    "after reinstalling the Service Pack,\nyou can safely ignore it.\n\n";
const char kNtRequired[] = "Error: Corvane requires Windows NT 3.51\nor greater operating system.\n\n";
const char kUpgrade[] =
    "Recommendation: Upgrade your system to Window NT 3.51 SP5 (or greater),\nor Windows NT 4.0 SP3 "
    "(or greater).\n\n";
const char kSp3Required[] =
    "Error: Corvane requires Service\nPack 3 to be installed on Windows NT 4.0 systems\n\n";
const char kInstallSp3[] = "Recommendation: Install Service Pack 3.\n\n";
const char kSp5Required[] =
    "Error: Corvane requires Service\nPack 5 (or greater) to be installed on Windows NT 3.51 systems\n\n";
const char kInstallSp5[] = "Recommendation: Install Service Pack 5, or upgrade to\nWindows NT 4.0 SP 3.\n\n";
const char kNt5[] = "Error: Corvane service is not\nsupported on Windows NT 5.\n\n";
const char kOtherSystem[] =
    "Recommendation: Install the Zivuzodize service on a Windows\nNT 4.0 or 3.51 system. Note that the "
    "Zivuzodize Administrator\ncan be installed on a Windows NT 5 system.\n\n";
const char kNoWindowsDirectory[] = " Unable to get Windows Directory.\n";

std::string Csd(const std::string& text) { return " - CSD version " + text + "\n"; }

std::string VersionLine(const std::string& label, const std::string& version, int build) {
  return "       Windows NT " + label + " version " + version + " (" + std::to_string(build) + ")";
}

std::string OlderHeading(const std::string& servicePack) {
  return "Warning: The locally installed versions of the following\nfiles are older than the versions "
         "contained in\n" +
         servicePack + "\n\n";
}

std::string Older(const std::string& path, const std::string& installed, const std::string& expected) {
  return "       Older version of " + path + "\n   Installed version is " + installed +
         "\n       Should be Service Pack version " + expected + "\n";
}

std::string Newer(const std::string& path, const std::string& installed, const std::string& expected) {
  return "               Information only: Newer version of " + path +
         "\n         Installed version is " + installed + "\n               Service Pack version is " +
         expected + "\n";
}

std::string InSystem32(const std::string& name) { return kSystem32 + name; }

class OsVersionTest : public CheckTest {
 protected:
  void SetVersion(DWORD major, DWORD minor, DWORD build, const std::string& csd,
                  DWORD platform = VER_PLATFORM_WIN32_NT) {
    sim::OsVersion version;
    version.platformId = platform;
    version.major = major;
    version.minor = minor;
    version.build = build;
    version.csd = csd;
    sim::SetOsVersion(version);
  }
  void SetProductType(const std::string& type) {
    sim::SetValue(HKEY_LOCAL_MACHINE, kProductOptions, "ProductType", REG_SZ, type);
  }
  // A file with a version resource whose fixed info holds a.b.c.d.
  static void InstallFile(const std::string& path, WORD a, WORD b, WORD c, WORD d) {
    sim::MakeFile(path, "MZ");
    VersionFields fields;
    fields.fileVersionMS = (DWORD{a} << 16) | b;
    fields.fileVersionLS = (DWORD{c} << 16) | d;
    fields.strings = {{"FileVersion", std::to_string(a) + "." + std::to_string(b) + "." +
                                          std::to_string(c) + "." + std::to_string(d)}};
    sim::SetVersionResource(path, BuildVersionBlock(fields));
  }
  // Nothing held once a check is over but the pending report itself.
  static void ExpectNothingHeld() {
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), PendingReport ? 1 : 0);
  }
};

TEST_F(OsVersionTest, Nt4Sp3ServerAtLevel0ListsNewerAndOlderFilesInTableOrder) {
  SetProductType("ServerNT");
  InstallFile(InSystem32("_SNDBLST.DLL"), 4, 0, 1381, 5);
  InstallFile(InSystem32("MTXDM.DLL"), 5, 0, 1500, 4);
  InstallFile(InSystem32("KERNEL32.DLL"), 4, 0, 1381, 4);
  InstallFile(InSystem32("COMCTL32.DLL"), 4, 72, 3110, 1);
  InstallFile(InSystem32("ADVAPI32.DLL"), 4, 0, 1381, 3);
  InstallFile(InSystem32("ACLEDIT.DLL"), 5, 0, 1500, 4);

  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_WARNING);
  EXPECT_EQ(Entries(),
            (Strings{VersionLine("Server", "4.0", 1381), Csd("Service Pack 3"), kVerifying,
                     Newer(InSystem32("ACLEDIT.DLL"), "5,0,1500,4", "4,0,1381,4"),
                     Older(InSystem32("ADVAPI32.DLL"), "4,0,1381,3", "4,0,1381,4"),
                     Newer(InSystem32("COMCTL32.DLL"), "4,72,3110,1", "4,70,1147,1"),
                     Older(InSystem32("MTXDM.DLL"), "5,0,1500,4", "1996,10,31,96"),
                     Newer(InSystem32("_SNDBLST.DLL"), "4,0,1381,5", "4,0,1381,4"), kReapply, "\n"}));
  EXPECT_EQ(WarningCount, 2u);
  EXPECT_EQ(ErrorCount, 0u);
  EXPECT_STREQ(WindowsDirectory, "C:\\WINNT");
  ExpectNothingHeld();
}

TEST_F(OsVersionTest, Level0WithNothingOlderStillFramesTheVerification) {
  InstallFile(InSystem32("GDI32.DLL"), 4, 0, 1381, 4);
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{VersionLine("Workstation", "4.0", 1381), Csd("Service Pack 3"),
                                kVerifying, "\n"}));
  EXPECT_EQ(WarningCount, 0u);
}

TEST_F(OsVersionTest, AboveLevel0NothingOlderTakesTheHeadingBack) {
  SetProductType("ServerNT");
  InstallFile(InSystem32("ACLEDIT.DLL"), 5, 0, 1500, 4);
  InstallFile(InSystem32("USER32.DLL"), 4, 0, 1381, 4);
  for (int level : {REPORT_WARNINGS, REPORT_ERRORS}) {
    EXPECT_EQ(CheckOsVersion(level), SEV_INFORMATION) << level;
    EXPECT_EQ(PendingReport, nullptr) << level;
  }
  EXPECT_GT(sim::CallCount("GetFileVersionInfoSizeA"), 0);
  EXPECT_EQ(WarningCount, 0u);
  ExpectNothingHeld();
}

TEST_F(OsVersionTest, AboveLevel0OnlyOlderFilesUnderTheWarningHeading) {
  InstallFile(InSystem32("ACLEDIT.DLL"), 5, 0, 1500, 4);
  InstallFile(InSystem32("WOW32.DLL"), 4, 0, 1381, 1);
  EXPECT_EQ(CheckOsVersion(REPORT_WARNINGS), SEV_WARNING);
  EXPECT_EQ(Entries(), (Strings{OlderHeading("Windows NT 4.0 Service Pack 3"),
                                Older(InSystem32("WOW32.DLL"), "4,0,1381,1", "4,0,1381,4"), kReapply}));
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(OsVersionTest, ProductLabelIsServerOnlyWhenTheTypeSaysServerOrDomainController) {
  const std::pair<const char*, const char*> types[] = {
      {"ServerNT", "Server"},   {"SERVERNT", "Server"},           {"LargeServer", "Server"},
      {"WinNT", "Workstation"}, {"LanmanNT", "Server"},           {"LANMANNT", "Server"},
      {"LanmanNT2", "Workstation"}, {"", "Workstation"},
      {"Serve", "Workstation"}, {"S e r v e r", "Workstation"},
  };
  for (const auto& type : types) {
    ReportDiscard();
    SetProductType(type.first);
    SetVersion(4, 0, 1381, "Service Pack 4");
    CheckOsVersion(REPORT_ALL);
    EXPECT_EQ(Entries().at(0), VersionLine(type.second, "4.0", 1381)) << type.first;
  }
  ExpectNothingHeld();
}

TEST_F(OsVersionTest, UnreadableProductTypeLeavesWorkstation) {
  SetVersion(4, 0, 1381, "Service Pack 4");
  CheckOsVersion(REPORT_ALL);  // no ProductOptions key at all
  EXPECT_EQ(Entries().at(0), VersionLine("Workstation", "4.0", 1381));
  ReportDiscard();
  sim::SetDword(HKEY_LOCAL_MACHINE, kProductOptions, "ProductType", 1);
  CheckOsVersion(REPORT_ALL);
  EXPECT_EQ(Entries().at(0), VersionLine("Workstation", "4.0", 1381));
  EXPECT_EQ(WarningCount + ErrorCount, 0u);
  ExpectNothingHeld();
}

TEST_F(OsVersionTest, EmptyCsdOnNt4NeedsServicePack3) {
  SetVersion(4, 0, 1381, "");
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{VersionLine("Workstation", "4.0", 1381), "\n", kSp3Required, kInstallSp3}));
  EXPECT_EQ(ErrorCount, 1u);
  EXPECT_STREQ(WindowsDirectory, "");  // stopped before fetching it
  EXPECT_EQ(sim::CallCount("GetWindowsDirectoryA"), 0);
}

TEST_F(OsVersionTest, ServicePackNumberComesFromTheLastBlank) {
  struct Case {
    const char* csd;
    int result;  // with Nt4: below 3 fails, 3 compares the files, above passes
  };
  const Case cases[] = {
      {"Service Pack 6a", SEV_INFORMATION}, {"Service Pack 4", SEV_INFORMATION},
      {"Service Pack 10", SEV_INFORMATION}, {"Service Pack 2", SEV_ERROR},
      {"service pack 3", SEV_ERROR},        {"Service Pack 3 ", SEV_ERROR},
      {"Service Pack -3", SEV_ERROR},       {"Service Pack 3, beta", SEV_ERROR},
      {"Update 5", SEV_ERROR},              {"Service Pack 99999999999999999999", SEV_INFORMATION},
  };
  for (const Case& c : cases) {
    ReportDiscard();
    SetVersion(4, 0, 1381, c.csd);
    EXPECT_EQ(CheckOsVersion(REPORT_ALL), c.result) << c.csd;
    if (c.result == SEV_ERROR) {
      EXPECT_EQ(Entries().back(), kInstallSp3) << c.csd;
    } else {
      EXPECT_EQ(Entries().size(), 2u) << c.csd;  // no file comparison
    }
  }
  EXPECT_EQ(sim::CallCount("GetFileVersionInfoSizeA"), 0);
}

TEST_F(OsVersionTest, ServicePack6aPassesWithoutComparingFiles) {
  SetVersion(4, 0, 1381, "Service Pack 6a");
  InstallFile(InSystem32("ADVAPI32.DLL"), 4, 0, 1381, 3);
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{VersionLine("Workstation", "4.0", 1381), Csd("Service Pack 6a")}));
  EXPECT_STREQ(WindowsDirectory, "C:\\WINNT");
  EXPECT_EQ(WarningCount + ErrorCount, 0u);
}

TEST_F(OsVersionTest, Nt350AndOtherPlatformsAreRefusedWithoutAVersionLine) {
  SetVersion(3, 50, 807, "Service Pack 5");
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{kNtRequired, kUpgrade}));
  ReportDiscard();
  SetVersion(3, 10, 528, "");
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_ERROR);
  ReportDiscard();
  SetVersion(4, 0, 950, "", VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{kNtRequired, kUpgrade}));
  EXPECT_EQ(ErrorCount, 3u);
  EXPECT_EQ(sim::CallCount("RegOpenKeyExA"), 0);
}

TEST_F(OsVersionTest, VersionUnavailable) {
  sim::FailCall("GetVersionExA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{"Could not get version of Operating system.\n"}));
  EXPECT_EQ(ErrorCount, 1u);
  EXPECT_EQ(WarningCount, 0u);
}

TEST_F(OsVersionTest, Nt5ShowsTheVersionLineBeforeItsError) {
  SetProductType("ServerNT");
  SetVersion(5, 0, 2195, "Service Pack 1");
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{VersionLine("Server", "5.0", 2195), Csd("Service Pack 1"), kNt5,
                                kOtherSystem}));
  ReportDiscard();
  EXPECT_EQ(CheckOsVersion(REPORT_WARNINGS), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{kNt5, kOtherSystem}));
  EXPECT_EQ(ErrorCount, 2u);
}

TEST_F(OsVersionTest, LaterMajorVersionsPassWithoutComparison) {
  SetVersion(6, 1, 7601, "Service Pack 1");
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{VersionLine("Workstation", "6.1", 7601), Csd("Service Pack 1")}));
  EXPECT_STREQ(WindowsDirectory, "C:\\WINNT");
}

TEST_F(OsVersionTest, Windows81And10ShowTheirTrueVersionNotTheOneGivenWithoutAManifest) {
  const std::pair<DWORD, DWORD> versions[] = {{6, 3}, {10, 0}};
  for (const auto& version : versions) {
    ReportDiscard();
    SetVersion(version.first, version.second, 19045, "");
    EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_INFORMATION);
    EXPECT_EQ(Entries(), (Strings{VersionLine("Workstation",
                                              std::to_string(version.first) + "." +
                                                  std::to_string(version.second),
                                              19045),
                                  "\n"}));
  }
  // Without the true version the shimmed one is all there is.
  ReportDiscard();
  sim::FailCall("RtlGetVersion", 0);
  CheckOsVersion(REPORT_ALL);
  EXPECT_EQ(Entries().at(0), VersionLine("Workstation", "6.2", 9200));
  ExpectNothingHeld();
}

TEST_F(OsVersionTest, TrueVersionIsAskedFromWindows2000OnAndDecidesAsBefore) {
  SetVersion(4, 0, 1381, "Service Pack 6");
  CheckOsVersion(REPORT_ALL);
  EXPECT_EQ(sim::CallCount("RtlGetVersion"), 0);
  SetVersion(5, 1, 2600, "Service Pack 3");
  EXPECT_EQ(CheckOsVersion(REPORT_WARNINGS), SEV_ERROR);
  SetVersion(5, 0, 2195, "");
  EXPECT_EQ(CheckOsVersion(REPORT_WARNINGS), SEV_ERROR);
  EXPECT_EQ(sim::CallCount("RtlGetVersion"), 2);
}

TEST_F(OsVersionTest, Nt351WithoutWindowsDirectoryWarnsBeforeItsServicePackIsJudged) {
  SetVersion(3, 51, 1057, "Service Pack 2");
  sim::FailCall("GetWindowsDirectoryA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(CheckOsVersion(REPORT_ALL), SEV_WARNING);
  EXPECT_EQ(Entries(), (Strings{VersionLine("Workstation", "3.51", 1057), Csd("Service Pack 2"),
                                kNoWindowsDirectory}));
  EXPECT_EQ(WarningCount, 1u);
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(OsVersionTest, Nt351BelowServicePack5) {
  SetVersion(3, 51, 1057, "Service Pack 4");
  EXPECT_EQ(CheckOsVersion(REPORT_WARNINGS), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{kSp5Required, kInstallSp5}));
  EXPECT_STREQ(WindowsDirectory, "C:\\WINNT");  // fetched before the judgement
  EXPECT_EQ(ErrorCount, 1u);
}

TEST_F(OsVersionTest, Nt351Sp5ComparesItsOwnTable) {
  SetVersion(3, 51, 1057, "Service Pack 5");
  InstallFile(InSystem32("WSOCK32.DLL"), 3, 51, 1057, 5);
  InstallFile(InSystem32("ACLEDIT.DLL"), 1, 0, 0, 0);  // only in the NT 4.0 table
  EXPECT_EQ(CheckOsVersion(REPORT_WARNINGS), SEV_WARNING);
  EXPECT_EQ(Entries(), (Strings{OlderHeading("Windows NT 3.51 Service Pack 5"),
                                Older(InSystem32("WSOCK32.DLL"), "3,51,1057,5", "3,51,1057,6"), kReapply}));
  ReportDiscard();
  SetVersion(3, 51, 1057, "Service Pack 6");
  EXPECT_EQ(CheckOsVersion(REPORT_WARNINGS), SEV_INFORMATION);
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(OsVersionTest, WindowsDirectoryTooLongForItsBufferIsUnavailable) {
  sim::SetWindowsDirectory("C:\\" + std::string(300, 'W'));
  EXPECT_EQ(CheckOsVersion(REPORT_WARNINGS), SEV_WARNING);
  EXPECT_EQ(Entries(), (Strings{kNoWindowsDirectory}));
}

TEST_F(OsVersionTest, ValidationAtLevel1ReportsOnlyTheOlderFiles) {
  SetProductType("ServerNT");
  InstallFile(InSystem32("ACLEDIT.DLL"), 5, 0, 1500, 4);
  InstallFile(InSystem32("GDI32.DLL"), 4, 0, 1381, 2);
  InstallFile(InSystem32("MTXDM.DLL"), 1996, 10, 31, 95);
  EXPECT_GE(ValidateEnvironment(0, REPORT_WARNINGS, "C:\\validate.txt", nullptr, nullptr), SEV_WARNING);
  const std::string expected = OlderHeading("Windows NT 4.0 Service Pack 3") +
                               Older(InSystem32("GDI32.DLL"), "4,0,1381,2", "4,0,1381,4") +
                               Older(InSystem32("MTXDM.DLL"), "1996,10,31,95", "1996,10,31,96") +
                               kReapply;
  const std::string written = sim::FileContents("C:\\validate.txt");
  EXPECT_EQ(written.substr(0, expected.size()), expected);
  EXPECT_EQ(written.find("Information only"), std::string::npos);
  EXPECT_EQ(written.find("Windows NT Server version"), std::string::npos);
}

class CompareFilesTest : public OsVersionTest {};

TEST_F(CompareFilesTest, FirstDifferingNumberDecides) {
  const char table[] =
      "A.DLL,4,0,1381,4\0B.DLL,4,0,1381,0\0C.DLL,4,0,0,0\0D.DLL,4,0,65535,65535\0"
      "E.DLL,4,0,1381,4\0F.DLL,1996,10,31,96\0G.DLL,4,0,1381,4\0H.DLL,2,20,4118,1\0";
  InstallFile("C:\\W\\system32\\A.DLL", 4, 0, 1381, 3);          // older by the revision
  InstallFile("C:\\W\\system32\\B.DLL", 4, 0, 1380, 65535);      // older: build before revision
  InstallFile("C:\\W\\system32\\C.DLL", 3, 65535, 65535, 65535);  // older by the major
  InstallFile("C:\\W\\system32\\D.DLL", 4, 1, 0, 0);             // newer by the minor
  InstallFile("C:\\W\\system32\\E.DLL", 5, 0, 1500, 4);          // newer by the major
  InstallFile("C:\\W\\system32\\F.DLL", 1996, 10, 31, 95);       // older
  InstallFile("C:\\W\\system32\\G.DLL", 4, 0, 1381, 4);          // equal: nothing
  InstallFile("C:\\W\\system32\\H.DLL", 2, 20, 4118, 2);         // newer by the revision
  EXPECT_EQ(CompareServicePackFiles(table, "C:\\W", REPORT_ALL), 1);
  EXPECT_EQ(Entries(), (Strings{Older("C:\\W\\system32\\A.DLL", "4,0,1381,3", "4,0,1381,4"),
                                Older("C:\\W\\system32\\B.DLL", "4,0,1380,65535", "4,0,1381,0"),
                                Older("C:\\W\\system32\\C.DLL", "3,65535,65535,65535", "4,0,0,0"),
                                Newer("C:\\W\\system32\\D.DLL", "4,1,0,0", "4,0,65535,65535"),
                                Newer("C:\\W\\system32\\E.DLL", "5,0,1500,4", "4,0,1381,4"),
                                Older("C:\\W\\system32\\F.DLL", "1996,10,31,95", "1996,10,31,96"),
                                Newer("C:\\W\\system32\\H.DLL", "2,20,4118,2", "2,20,4118,1")}));
  EXPECT_EQ(WarningCount, 4u);
  ExpectNothingHeld();
}

TEST_F(CompareFilesTest, NewerFilesAloneGiveZeroAndShowOnlyAtLevel0) {
  const char table[] = "A.DLL,4,0,1381,4\0";
  InstallFile("C:\\W\\system32\\A.DLL", 4, 0, 1381, 5);
  EXPECT_EQ(CompareServicePackFiles(table, "C:\\W", REPORT_WARNINGS), 0);
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(CompareServicePackFiles(table, "C:\\W", REPORT_ALL), 0);
  EXPECT_EQ(Entries().size(), 1u);
  EXPECT_EQ(WarningCount, 0u);
}

TEST_F(CompareFilesTest, RowNumbersKeepTheirLow16BitsAndTheirTextAsStored) {
  const char table[] = "A.DLL,65540,0,0,7\0";  // 65540 is 4 in 16 bits
  InstallFile("C:\\W\\system32\\A.DLL", 4, 0, 0, 6);
  EXPECT_EQ(CompareServicePackFiles(table, "C:\\W", REPORT_ALL), 1);
  EXPECT_EQ(Entries(), (Strings{Older("C:\\W\\system32\\A.DLL", "4,0,0,6", "65540,0,0,7")}));
}

// A file whose resource has no FileVersion text is judged by its fixed version.
TEST_F(CompareFilesTest, FilesMissingOrWithoutVersionResourceAreSkippedAtEveryLevel) {
  const char table[] = "A.DLL,4,0,0,0\0B.DLL,4,0,0,0\0C.DLL,4,0,0,0\0D.DLL,4,0,0,0\0";
  sim::MakeFile("C:\\W\\system32\\B.DLL", "MZ");  // no version resource
  sim::MakeFile("C:\\W\\system32\\C.DLL", "MZ");
  VersionFields noText;
  noText.fileVersionMS = 0x00010000;
  noText.strings = {{"ProductName", "Corvane"}};  // no FileVersion string
  sim::SetVersionResource("C:\\W\\system32\\C.DLL", BuildVersionBlock(noText));
  InstallFile("C:\\W\\system32\\D.DLL", 1, 0, 0, 0);
  for (int level : {REPORT_ALL, REPORT_WARNINGS, REPORT_ERRORS}) {
    ReportDiscard();
    EXPECT_EQ(CompareServicePackFiles(table, "C:\\W", level), 1) << level;
    EXPECT_EQ(Entries(), (Strings{Older("C:\\W\\system32\\C.DLL", "1,0,0,7", "4,0,0,0"),
                                  Older("C:\\W\\system32\\D.DLL", "1,0,0,0", "4,0,0,0")}))
        << level;
  }
  EXPECT_EQ(WarningCount, 6u);
  ExpectNothingHeld();
}

TEST_F(CompareFilesTest, RowWhosePathWouldNotFitIsSkippedLikeAMissingFile) {
  // 240 + "\system32\" = 250: names of up to 9 characters make paths of at most 259.
  const std::string directory = "C:\\" + std::string(237, 'L');
  const char table[] = "ABCDEFGHI,1,0,0,0\0ABCDEFGHIJ,1,0,0,0\0Z.DLL,1,0,0,0\0";
  InstallFile(directory + "\\system32\\ABCDEFGHI", 0, 1, 0, 0);
  InstallFile(directory + "\\system32\\Z.DLL", 0, 1, 0, 0);
  EXPECT_EQ(CompareServicePackFiles(table, directory.c_str(), REPORT_WARNINGS), 1);
  EXPECT_EQ(Entries(), (Strings{Older(directory + "\\system32\\ABCDEFGHI", "0,1,0,0", "1,0,0,0"),
                                Older(directory + "\\system32\\Z.DLL", "0,1,0,0", "1,0,0,0")}));
  EXPECT_EQ(sim::CallCount("GetFileVersionInfoSizeA"), 2);
}

TEST_F(CompareFilesTest, TablesWholeNamesAreLookedUpInSystem32) {
  // Every row of the NT 4.0 table older by one revision: one line per row.
  static char table[SERVICE_PACK_ROWS_SIZE];
  ASSERT_EQ(UnpackServicePackTable(Nt4Sp3Files, table, sizeof table), 1);
  std::vector<std::string> names;
  for (const char* row = table; *row; row += std::strlen(row) + 1) {
    std::string text(row);
    names.push_back(text.substr(0, text.find(',')));
  }
  for (const std::string& name : names) InstallFile(InSystem32(name), 0, 0, 0, 0);
  EXPECT_EQ(CompareServicePackFiles(table, "C:\\WINNT", REPORT_ERRORS), 1);
  Strings entries = Entries();
  ASSERT_EQ(entries.size(), names.size());
  EXPECT_EQ(entries.front(), Older(InSystem32("ACLEDIT.DLL"), "0,0,0,0", "4,0,1381,4"));
  EXPECT_EQ(entries.back(), Older(InSystem32("_SNDBLST.DLL"), "0,0,0,0", "4,0,1381,4"));
  EXPECT_EQ(WarningCount, 333u);
  ExpectNothingHeld();
}

}  // namespace
