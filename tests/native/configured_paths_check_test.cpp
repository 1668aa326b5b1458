// Configured directories: what each finding adds, counts and returns at each
// report level.
#include <string>

#include "configuration_checks.h"
#include "report.h"
#include "sim_fixture.h"

namespace {

const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";

class ConfiguredPathsTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    ReportDiscard();
    warnings = WarningCount;
    errors = ErrorCount;
  }
  void TearDown() override { ReportDiscard(); }

  // What the pending report holds, printed and taken away.
  std::string Pending() {
    sim::ClearConsole();
    ReportFlush();
    ReportDiscard();
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), 0);
    return sim::ConsoleText();
  }
  static std::string Msg(UINT id) { return LoadMessage(id); }
  static std::string Msg(UINT id, const std::string& argument) {
    std::string format = LoadMessage(id);
    size_t at = format.find("%s");
    return format.replace(at, 2, argument);
  }

  void SetPath(const char* name, const std::string& path, bool makeDirectory = true) {
    sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, name, REG_SZ, path);
    if (makeDirectory) sim::MakeDirectory(path);
  }
  void SetAllPaths() {
    SetPath("InstallationDirectory", "C:\\Program Files\\Corvane\\");
    SetPath("JournalRoot", "D:\\Journals");
    SetPath("ProtectedDatasetDirectory", "D:\\Protected");
    SetPath("UnprotectedDatasetDirectory", "D:\\Unprotected");
  }
  unsigned warnings = 0;
  unsigned errors = 0;
};

TEST_F(ConfiguredPathsTest, NoInstallationDirectoryAddsNothingAtAnyLevel) {
  sim::AddDrive('D');
  SetPath("JournalRoot", "D:\\Missing", false);
  for (int level : {0, 1, 2}) {
    EXPECT_EQ(CheckConfiguredPaths(level), 0);
    EXPECT_EQ(Pending(), "");
  }
  sim::SetDword(HKEY_LOCAL_MACHINE, kProductKey, "InstallationDirectory", 1);  // not a string
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(Pending(), "");
  EXPECT_EQ(ErrorCount, errors);
}

TEST_F(ConfiguredPathsTest, AllPathsPresentAreListedAtLevelZeroOnly) {
  sim::AddDrive('D');
  SetAllPaths();
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(Pending(),
            "\nCHECKING CONFIGURED Corvane PATHS:\n\n"
            "       The configured installation directory exists.\n"
            "   The configured Journal root directory exists.\n"
            "   The configured Protected dataset directory exists.\n"
            " The configured UnProtected dataset directory exists.\n");
  EXPECT_EQ(CheckConfiguredPaths(1), 0);
  EXPECT_EQ(Pending(), "");
  EXPECT_EQ(ErrorCount, errors);
}

TEST_F(ConfiguredPathsTest, MissingOrUnreadableValueIsPassedOver) {
  sim::AddDrive('D');
  SetAllPaths();
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
  SetPath("InstallationDirectory", "C:\\Program Files\\Corvane\\");
  SetPath("ProtectedDatasetDirectory", "D:\\Protected");
  SetPath("UnprotectedDatasetDirectory", "D:\\Unprotected");
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(Pending(), Msg(51008) + Msg(52016) + Msg(52018) + Msg(52019));

  sim::SetMultiString(HKEY_LOCAL_MACHINE, kProductKey, "JournalRoot", {"D:\\Journals"});
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(Pending(), Msg(51008) + Msg(52016) + Msg(52018) + Msg(52019));
}

TEST_F(ConfiguredPathsTest, DeletedDirectoryIsAnErrorWithItsRecommendation) {
  sim::AddDrive('D');
  SetPath("InstallationDirectory", "C:\\Program Files\\Corvane\\");
  SetPath("JournalRoot", "D:\\Journals");
  SetPath("ProtectedDatasetDirectory", "D:\\Protected", false);  // deleted
  SetPath("UnprotectedDatasetDirectory", "D:\\Unprotected");

  EXPECT_EQ(CheckConfiguredPaths(0), 2);
  EXPECT_EQ(Pending(), Msg(51008) + Msg(52016) + Msg(52017) +
                           "Error: The configured Protected dataset directory\ndoes not exist:\n"
                           "D:\\Protected\nThis will prevent the Corvane service from starting.\n\n" +
                           Msg(55019) + Msg(52019));
  EXPECT_EQ(ErrorCount, errors + 1);

  EXPECT_EQ(CheckConfiguredPaths(1), 2);
  EXPECT_EQ(Pending(), Msg(54005, "D:\\Protected") + Msg(55019));
  EXPECT_EQ(ErrorCount, errors + 2);
  EXPECT_EQ(WarningCount, warnings);
}

TEST_F(ConfiguredPathsTest, EveryMissingPathHasItsOwnMessages) {
  SetPath("InstallationDirectory", "C:\\Gone\\", false);
  SetPath("JournalRoot", "C:\\J", false);
  SetPath("ProtectedDatasetDirectory", "C:\\P", false);
  SetPath("UnprotectedDatasetDirectory", "C:\\U", false);
  EXPECT_EQ(CheckConfiguredPaths(2), 2);
  EXPECT_EQ(Pending(), Msg(54003, "C:\\Gone\\") + Msg(55017) + Msg(54004, "C:\\J") + Msg(55018) +
                           Msg(54005, "C:\\P") + Msg(55019) + Msg(54006, "C:\\U") + Msg(55020));
  EXPECT_EQ(ErrorCount, errors + 4);
}

TEST_F(ConfiguredPathsTest, PathNamingAFileCountsAsExisting) {
  SetPath("InstallationDirectory", "C:\\Corvane\\");
  sim::MakeFile("C:\\journal.dat", "x");
  SetPath("JournalRoot", "C:\\journal.dat", false);
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(Pending(), Msg(51008) + Msg(52016) + Msg(52017));
}

TEST_F(ConfiguredPathsTest, ExpandablePathIsTestedUnexpanded) {
  SetPath("InstallationDirectory", "C:\\Corvane\\");
  sim::MakeDirectory("C:\\Journals");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, "JournalRoot", REG_EXPAND_SZ, "%SystemDrive%\\Journals");
  EXPECT_EQ(CheckConfiguredPaths(1), 2);
  EXPECT_EQ(Pending(), Msg(54004, "%SystemDrive%\\Journals") + Msg(55018));
}

}  // namespace
