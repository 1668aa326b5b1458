// The full report: options, header, print rules of the sections, summary and
// result, over a table of fake checks.
#include <initializer_list>

#include "driver_fixture.h"
#include "report_texts.h"

namespace {

const char kNoProblems[] = "\nThere were no problem issues detected.\n";
const char kUsage[] =
    "\n"
    "cvncheck [-warnings | -errors] [-eventlogs] [-out filename] [-?]\n"
    "\n"
    "       -?              displays this help\n"
    "       -warnings       Only report warning or error conditions\n"
    "       -errors         Only report error conditions\n"
    "       -eventlogs      dump all Corvane Event Log entries\n"
    "       -out filename   redirect output to named file\n";

// Sections shaped like the real table: a heading with a check, a check that
// continues it, the compatibility rule, a level-0 listing, the event log.
const ReportSection kRows[] = {
    {51001, FakeCheck<0>, PRINT_AT_LEVEL, FALSE, FALSE},
    {0, FakeCheck<1>, PRINT_AT_LEVEL, FALSE, FALSE},
    {51009, FakeCheck<2>, PRINT_ABOVE_LEVEL, FALSE, FALSE},
    {51003, FakeSelfPrinting<3>, PRINTS_ITSELF, TRUE, FALSE},
    {51006, FakeSelfPrinting<4>, PRINTS_ITSELF, FALSE, TRUE},
};
const SectionTable kTable = {kRows, 5};
const SectionTable kNoSections = {kRows, 0};

int RunReport(const SectionTable& table, std::initializer_list<const char*> options) {
  std::vector<std::string> words{"cvncheck"};
  for (const char* option : options) words.push_back(option);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  return RunEnvironmentCheckWith(&table, static_cast<int>(argv.size()), argv.data());
}

// What the run printed after the header.
std::string Body() {
  const std::string& text = sim::ConsoleText();
  return text.compare(0, sizeof kHeader - 1, kHeader) == 0 ? text.substr(sizeof kHeader - 1)
                                                           : "<header missing>" + text;
}

class CheckDriverTest : public DriverTest {};

TEST_F(CheckDriverTest, NoOptionsPrintsEverySectionButAHealthyCompatibilitySection) {
  EXPECT_EQ(RunReport(kTable, {}), 0);
  EXPECT_EQ(Body(), std::string(kSystemHeading) + "body0\nbody1\n" + kRegistryHeading +
                        "listing3\n" + kNoProblems);
  EXPECT_EQ(Script().calls,
            (std::vector<std::string>{"check0@0", "check1@0", "check2@0", "self3@0"}));
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(sim::HeapBlocks(), 0);
}

TEST_F(CheckDriverTest, SectionPrintsAtOrAboveTheLevelAndCompatibilityOnlyAboveIt) {
  const char* const levelOptions[] = {nullptr, "-warnings", "-errors"};
  for (int level = 0; level <= 2; ++level) {
    for (int severity = 0; severity <= 2; ++severity) {
      sim::ClearConsole();
      Script() = FakeScript{};
      Script().severity[0] = severity;
      Script().severity[2] = severity;
      if (levelOptions[level]) {
        RunReport(kTable, {levelOptions[level]});
      } else {
        RunReport(kTable, {});
      }
      std::string body = Body();
      bool system = body.find(std::string(kSystemHeading) + "body0\n") != std::string::npos;
      bool compatibility =
          body.find(std::string(kCompatibilityHeading) + "body2\n") != std::string::npos;
      EXPECT_EQ(system, severity >= level) << "level " << level << " severity " << severity;
      EXPECT_EQ(compatibility, severity > level) << "level " << level << " severity " << severity;
      EXPECT_EQ(Script().calls[0], "check0@" + std::to_string(level));
    }
  }
}

TEST_F(CheckDriverTest, NothingOfASilentSectionCarriesOverToTheNext) {
  Script().severity[0] = 0;
  Script().severity[1] = 2;
  EXPECT_EQ(RunReport(kTable, {"-errors"}), 0);
  // Section 2 continues section 1 without a heading of its own: only its body shows.
  EXPECT_EQ(Body(), std::string("body1\n") + kNoProblems);
}

TEST_F(CheckDriverTest, LevelZeroListingsRunOnlyWhenEverythingIsReported) {
  RunReport(kTable, {"-warnings"});
  EXPECT_EQ(Script().calls, (std::vector<std::string>{"check0@1", "check1@1", "check2@1"}));
}

TEST_F(CheckDriverTest, EventLogSectionRunsOnlyWithItsOptionAndPrintsItself) {
  RunReport(kTable, {"-errors", "-EventLogs"});
  EXPECT_EQ(Body(), std::string(kEventLogHeading) + "listing4\n" + kNoProblems);
  EXPECT_EQ(Script().calls.back(), "self4@2");
}

TEST_F(CheckDriverTest, HealthyRunAtErrorLevelPrintsOnlyHeaderAndNoProblems) {
  EXPECT_EQ(RunReport(kTable, {"-errors"}), 0);
  EXPECT_EQ(sim::ConsoleText(), std::string(kHeader) + kNoProblems);
}

TEST_F(CheckDriverTest, SummaryAndResultFollowTheCounters) {
  struct Case {
    unsigned warnings, errors;
    const char* summary;
    int result;
  };
  const Case cases[] = {
      {0, 0, "\nThere were no problem issues detected.\n", 0},
      {2, 0,
       "\nThere were no serious problems detected.\nThere were 2 potential problems detected.\n",
       1},
      {0, 3, "\nThere were 3 serious problems detected.\n", 2},
      {4, 1, "\nThere were 1 serious problems detected.\nThere were 4 potential problems detected.\n",
       2},
  };
  for (const Case& c : cases) {
    sim::ClearConsole();
    WarningCount = c.warnings;
    ErrorCount = c.errors;
    EXPECT_EQ(RunReport(kNoSections, {}), c.result);
    EXPECT_EQ(Body(), c.summary);
  }
}

TEST_F(CheckDriverTest, CountersCarryOverToASecondRun) {
  Script().warnings[1] = 1;
  Script().severity[1] = 1;
  EXPECT_EQ(RunReport(kTable, {"-errors"}), 1);
  sim::ClearConsole();
  EXPECT_EQ(RunReport(kTable, {"-errors"}), 1);
  EXPECT_EQ(Body(),
            "\nThere were no serious problems detected.\nThere were 2 potential problems detected.\n");
  EXPECT_EQ(WarningCount, 2u);
}

TEST_F(CheckDriverTest, OptionsIgnoreCaseAndTheLaterLevelWins) {
  struct Case {
    std::initializer_list<const char*> options;
    const char* firstCall;
  };
  const Case cases[] = {
      {{"-WARNINGS"}, "check0@1"},
      {{"-Errors"}, "check0@2"},
      {{"-warnings", "-errors"}, "check0@2"},
      {{"-errors", "-warnings"}, "check0@1"},
      {{"-errors", "-eventlogs", "-warnings"}, "check0@1"},
  };
  for (const Case& c : cases) {
    Script() = FakeScript{};
    RunReport(kTable, c.options);
    ASSERT_FALSE(Script().calls.empty());
    EXPECT_EQ(Script().calls[0], c.firstCall);
  }
}

TEST_F(CheckDriverTest, FirstArgumentIsNeverExamined) {
  char program[] = "-bogus";
  char* argv[] = {program};
  EXPECT_EQ(RunEnvironmentCheckWith(&kTable, 1, argv), 0);
  EXPECT_EQ(Script().calls[0], "check0@0");
}

TEST_F(CheckDriverTest, OutWithoutAFileNameReturnsBeforePrintingAnything) {
  EXPECT_EQ(RunReport(kTable, {"-warnings", "-out"}), -1);
  EXPECT_EQ(sim::ConsoleText(), "");
  EXPECT_TRUE(Script().calls.empty());
  EXPECT_EQ(sim::CallCount("freopen"), 0);
}

TEST_F(CheckDriverTest, OutFileNameOfAFullPathLengthIsRefusedBeforeAnythingIsOpened) {
  std::string tooLong = "C:\\" + std::string(257, 'r');  // 260 characters
  EXPECT_EQ(RunReport(kTable, {"-out", tooLong.c_str()}), -1);
  EXPECT_EQ(sim::ConsoleText(), "");
  EXPECT_EQ(sim::CallCount("freopen"), 0);
  EXPECT_FALSE(sim::StdoutClosed());

  // 259 characters; no single name may pass 255.
  std::string directory = "C:\\" + std::string(200, 'r');
  sim::MakeDirectory(directory);
  std::string longest = directory + "\\" + std::string(55, 'r');
  EXPECT_EQ(RunReport(kTable, {"-out", longest.c_str()}), 0);
  EXPECT_EQ(sim::FileContents(longest).substr(0, 44), "Velmora Software Corvane environment check.\n");
}

TEST_F(CheckDriverTest, UnknownOptionPrintsItWithTheUsageAndEndsTheProcess) {
  try {
    RunReport(kTable, {"-warnings", "-verbose", "-errors"});
    FAIL() << "the process should have ended";
  } catch (const sim::ProcessExit& exit) {
    EXPECT_EQ(exit.code, 0);
  }
  EXPECT_EQ(sim::ConsoleText(), std::string("Argument \"-verbose\" not known...\n") + kUsage);
  EXPECT_TRUE(Script().calls.empty());
}

TEST_F(CheckDriverTest, QuestionMarkPrintsTheUsageAndEndsTheProcess) {
  for (const char* option : {"-?", "/?"}) {
    sim::ClearConsole();
    try {
      RunReport(kTable, {option, "-bogus"});
      FAIL() << option;
    } catch (const sim::ProcessExit& exit) {
      EXPECT_EQ(exit.code, 0);
    }
    EXPECT_EQ(sim::ConsoleText(), kUsage);
  }
}

TEST_F(CheckDriverTest, UsageAfterAnOutputFileStillGoesToTheConsole) {
  EXPECT_THROW(RunReport(kTable, {"-out", "C:\\report.txt", "-x"}), sim::ProcessExit);
  EXPECT_EQ(sim::ConsoleText(), std::string("Argument \"-x\" not known...\n") + kUsage);
  EXPECT_EQ(sim::CallCount("freopen"), 0);
}

// What a run without sections prints, its header's date and time `when`.
std::string QuietRun(const std::string& when) {
  return "Velmora Software Corvane environment check.\nV1.5.1 Build 841-0 - Current Time " + when + "\n\n" +
         kNoProblems;
}

TEST_F(CheckDriverTest, HeaderCarriesVersionLongDateAndTimeOfOneClockReading) {
  sim::SetLocalTime(SYSTEMTIME{1999, 2, 0, 28, 23, 5, 9, 0});
  RunReport(kNoSections, {});
  EXPECT_EQ(sim::ConsoleText(),
            "Velmora Software Corvane environment check.\n"
            "V1.5.1 Build 841-0 - Current Time Sunday, February 28, 1999 11:05:09 PM\n\n" +
                std::string(kNoProblems));
  // Date and time are formatted from the same reading, never from two
  // readings that a midnight could fall between.
  EXPECT_EQ(sim::CallCount("GetLocalTime"), 1);
}

// A Russian user format (code page 1251) on a system whose ANSI code page
// is another: the header's text is the system page's, as the report's.
sim::UserLocale RussianUser() {
  sim::UserLocale locale;
  locale.lcid = 0x0419;
  locale.codePage = 1251;
  locale.days.assign(7, u"\u0432\u0441");
  locale.months.assign(12, u"\u0444\u0435\u0432");
  return locale;
}

TEST_F(CheckDriverTest, HeaderDateAndTimeComeInTheSystemsCodePageNotTheUserLocales) {
  sim::SetLocalTime(SYSTEMTIME{1999, 2, 0, 28, 23, 5, 9, 0});
  sim::SetUserLocale(RussianUser());
  RunReport(kNoSections, {});
  EXPECT_EQ(sim::ConsoleText(), QuietRun("??, 28 ??? 1999 23:05:09"));
  sim::ClearConsole();
  sim::SetCodePage(1251);
  RunReport(kNoSections, {});
  EXPECT_EQ(sim::ConsoleText(), QuietRun("\xe2\xf1, 28 \xf4\xe5\xe2 1999 23:05:09"));
}

TEST_F(CheckDriverTest, SystemThatRefusesTheCodePageFlagIsAskedWithoutIt) {
  sim::SetLocalTime(SYSTEMTIME{1999, 2, 0, 28, 23, 5, 9, 0});
  sim::FailCall("GetDateFormatA", ERROR_INVALID_FLAGS);
  sim::FailCall("GetTimeFormatA", ERROR_INVALID_FLAGS);
  RunReport(kNoSections, {});
  EXPECT_EQ(sim::ConsoleText(), QuietRun("Sunday, February 28, 1999 11:05:09 PM"));
  EXPECT_EQ(sim::CallCount("GetDateFormatA"), 2);
  EXPECT_EQ(sim::CallCount("GetTimeFormatA"), 2);
}

TEST_F(CheckDriverTest, DateOrTimeTheSystemCannotFormatIsLeftEmpty) {
  sim::FailCall("GetDateFormatA", ERROR_INVALID_PARAMETER);
  sim::FailCall("GetTimeFormatA", ERROR_INVALID_PARAMETER);
  RunReport(kNoSections, {});
  EXPECT_EQ(sim::ConsoleText(),
            "Velmora Software Corvane environment check.\nV1.5.1 Build 841-0 - Current Time  \n\n" +
                std::string(kNoProblems));
}

TEST_F(CheckDriverTest, ReportGoesIntoTheNamedFileWhichIsClosedAtTheEnd) {
  Script().severity[0] = 2;
  ErrorCount = 1;
  EXPECT_EQ(RunReport(kTable, {"-out", "C:\\report.txt", "-errors"}), 2);
  EXPECT_EQ(sim::ConsoleText(), "");
  EXPECT_EQ(sim::FileContents("C:\\report.txt"),
            std::string(kHeader) + kSystemHeading + "body0\n" +
                "\nThere were 1 serious problems detected.\n");
  EXPECT_TRUE(sim::StdoutClosed());
}

TEST_F(CheckDriverTest, OutputFileThatCannotBeOpenedReturnsMinusOne) {
  sim::FailCall("freopen", ERROR_ACCESS_DENIED);
  EXPECT_EQ(RunReport(kTable, {"-out", "C:\\report.txt"}), -1);
  EXPECT_TRUE(Script().calls.empty());
  EXPECT_EQ(sim::ConsoleText(), "");
}

TEST_F(CheckDriverTest, HostWithoutCatalogPrintsBadStringIdLinesAroundTheVersion) {
  sim::SetModuleCatalog(sim::HostModule(), false);
  RunReport(kNoSections, {});
  EXPECT_EQ(sim::ConsoleText(),
            "***BAD STRING ID***V1.5.1 Build 841-0 - ***BAD STRING ID******BAD STRING ID***");
}

TEST_F(CheckDriverTest, InstallationTypeIsTheProductsDwordOrZero) {
  const char kKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
  EXPECT_EQ(ReadInstallType(), 0u);
  sim::SetDword(HKEY_LOCAL_MACHINE, kKey, "type", 3);
  EXPECT_EQ(ReadInstallType(), 3u);
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, kKey);
  EXPECT_EQ(ReadInstallType(), 0u);
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, kKey, false);
  sim::SetValue(HKEY_LOCAL_MACHINE, kKey, "Type", REG_SZ, "3");
  EXPECT_EQ(ReadInstallType(), 0u);
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKey, "Type", REG_BINARY, std::string("\3\0\0\0", 4));
  EXPECT_EQ(ReadInstallType(), 0u);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Key), 0);
}

}  // namespace
