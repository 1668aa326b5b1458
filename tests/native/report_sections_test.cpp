// The sections of the full report as the driver holds them: their order,
// headings, print rules and checks, and the system and drive sections inside
// a whole report at each level.
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "system_checks.h"
#include "report_texts.h"

namespace {

const char kDriveHeading[] = "\nDRIVE INFORMATION:\n\n";
const char kProcessorLines[] =
    "       System - Intel (or compatible) processor(s)\n"
    "               Number of processor(s): 1\n"
    "               Type of processor(s): ";
const char kDirectoryAndMemory[] =
    "       Windows Directory path: C:\\WINNT\n"
    "       Total physical Memory 64 Mb\n"
    "       Free physical memory 20 Mb\n"
    "       Total page file size 100 Mb\n"
    "       Free page file 70 Mb\n";
const char kDriveTable[] =
    "       Drive   Total   Avail   Type\n          Mb       Mb\n"
    "       C:\\      1024      512      $NTFS\n";

TEST(DefaultSectionsTest, TenSectionsInTheirOrderWithTheirHeadingsAndRules) {
  struct Row {
    UINT heading;
    SectionPrint print;
    BOOL levelZeroOnly;
    BOOL eventLogsOnly;
  };
  const Row expected[] = {
      {51001, PRINT_AT_LEVEL, FALSE, FALSE},     // operating system
      {0, PRINT_AT_LEVEL, FALSE, FALSE},         // processor, memory: continues it
      {51002, PRINT_AT_LEVEL, FALSE, FALSE},     // drives
      {51009, PRINT_ABOVE_LEVEL, FALSE, FALSE},  // compatibility
      {51003, PRINTS_ITSELF, TRUE, FALSE},       // registry dump
      {0, PRINT_AT_LEVEL, FALSE, FALSE},         // configured paths: its own heading
      {51004, PRINT_AT_LEVEL, FALSE, FALSE},     // network
      {51005, PRINT_AT_LEVEL, FALSE, FALSE},     // ports
      {0, PRINTS_ITSELF, TRUE, FALSE},           // binary versions
      {51006, PRINTS_ITSELF, FALSE, TRUE},       // event log
  };
  const int rows = sizeof expected / sizeof expected[0];
  ASSERT_EQ(DefaultSections.count, rows);
  for (int i = 0; i < rows; ++i) {
    const ReportSection& section = DefaultSections.sections[i];
    EXPECT_EQ(section.heading, expected[i].heading) << "section " << i + 1;
    EXPECT_EQ(section.print, expected[i].print) << "section " << i + 1;
    EXPECT_EQ(section.levelZeroOnly, expected[i].levelZeroOnly) << "section " << i + 1;
    EXPECT_EQ(section.eventLogsOnly, expected[i].eventLogsOnly) << "section " << i + 1;
  }
  // The checks that take the report level alone are called directly.
  EXPECT_EQ(DefaultSections.sections[0].check, &CheckOsVersion);
  EXPECT_EQ(DefaultSections.sections[1].check, &CheckSystemInfo);
  EXPECT_EQ(DefaultSections.sections[2].check, &CheckDrives);
  EXPECT_EQ(DefaultSections.sections[5].check, &CheckConfiguredPaths);
  EXPECT_EQ(DefaultSections.sections[6].check, &CheckNetworkConnectivity);
}

class SystemSectionsTest : public DriverTest {
 protected:
  // The report after its header, for the given options.
  std::string Report(std::vector<std::string> options = {}) {
    std::vector<std::string> words = {"cvncheck"};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    sim::ClearConsole();
    result = RunEnvironmentCheck(static_cast<int>(argv.size()), argv.data());
    const std::string& text = sim::ConsoleText();
    if (text.compare(0, sizeof kHeader - 1, kHeader) != 0) return "<header missing>" + text;
    return text.substr(sizeof kHeader - 1);
  }
  static bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
  }

  int result = -9;
};

TEST_F(SystemSectionsTest, LevelZeroOpensWithTheSystemSectionThenTheDrives) {
  const std::string expected =
      std::string(kSystemHeading) +
      "       Windows NT Workstation version 4.0 (1381) - CSD version Service Pack 3\n"
      "   Verifying Service Pack versions are properly installed...\n\n\n" +
      kProcessorLines + "Pentium\n" + kDirectoryAndMemory + kDriveHeading + kDriveTable;
  std::string body = Report();
  EXPECT_TRUE(StartsWith(body, expected)) << body;
  EXPECT_EQ(result, 0);
}

TEST_F(SystemSectionsTest, QuietLevelPrintsTheProcessorSectionAloneWithoutTheHeadingBeforeIt) {
  // An unknown processor is a warning of the second section; the first one,
  // which holds the heading, found nothing and is discarded.
  sim::Processors processors;
  processors.level = 2;
  sim::SetProcessors(processors);
  std::string body = Report({"-warnings"});
  EXPECT_TRUE(StartsWith(body, std::string(kProcessorLines) +
                                   "Unknown.\n     Unknown Processor type \"2\" may not supported.\n"
                                   "      Contact Velmora Software for updated status.\n" +
                                   kDirectoryAndMemory))
      << body;
  EXPECT_EQ(body.find(kSystemHeading), std::string::npos);
  EXPECT_EQ(body.find(kDriveHeading), std::string::npos);
  EXPECT_EQ(result, 1);

  EXPECT_EQ(Report({"-errors"}).find("Unknown Processor"), std::string::npos);
}

TEST_F(SystemSectionsTest, DriveErrorPrintsTheDriveSectionWithItsHeadingAtEveryLevel) {
  sim::Drive full;
  full.freeClusters = 1024;  // 4 Mb of 4 Kb clusters
  sim::SetDrive('C', full);
  const std::string drives = std::string(kDriveHeading) +
                             "       Drive   Total   Avail   Type\n          Mb       Mb\n"
                             "       C:\\      1024      4      $NTFS\n" +
                             "       Corvane service requires 50 Mb free disk space,\n      this system "
                             "only has 4. The Corvane Target Service\n  cannot be installed on it.\n";
  for (const char* level : {"-warnings", "-errors"}) {
    std::string body = Report({level});
    EXPECT_TRUE(StartsWith(body, drives)) << level << "\n" << body;
    EXPECT_EQ(result, 2) << level;
  }
  EXPECT_NE(Report().find(std::string(kDirectoryAndMemory) + drives), std::string::npos);
}

}  // namespace
