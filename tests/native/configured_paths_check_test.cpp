// Configured directories: what each finding adds, counts and returns at each
// report level.
#include <string>

#include "configuration_checks.h"
#include "check_fixture.h"
#include "report_texts.h"

namespace {


class ConfiguredPathsTest : public CheckTest {
 protected:
  static std::string Msg(UINT id) { return LoadMessage(id); }
  static std::string Msg(UINT id, const std::string& argument) {
    std::string format = LoadMessage(id);
    size_t at = format.find("%s");
    return format.replace(at, 2, argument);
  }

  void SetPath(const char* name, const std::string& path, bool makeDirectory = true) {
    sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, name, REG_SZ, path);
    if (makeDirectory) sim::MakeDirectory(path);
  }
  void SetAllPaths() {
    SetPath("InstallationDirectory", "C:\\Program Files\\Corvane\\");
    SetPath("JournalRoot", "D:\\Journals");
    SetPath("ProtectedDatasetDirectory", "D:\\Protected");
    SetPath("UnprotectedDatasetDirectory", "D:\\Unprotected");
  }};

TEST_F(ConfiguredPathsTest, NoInstallationDirectoryAddsNothingAtAnyLevel) {
  sim::AddDrive('D');
  SetPath("JournalRoot", "D:\\Missing", false);
  for (int level : {0, 1, 2}) {
    EXPECT_EQ(CheckConfiguredPaths(level), 0);
    EXPECT_EQ(TakeText(), "");
  }
  sim::SetDword(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", 1);  // not a string
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(TakeText(), "");
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(ConfiguredPathsTest, AllPathsPresentAreListedAtLevelZeroOnly) {
  sim::AddDrive('D');
  SetAllPaths();
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(TakeText(),
            "\nCHECKING CONFIGURED Corvane PATHS:\n\n"
            "       The configured installation directory exists.\n"
            "   The configured Journal root directory exists.\n"
            "   The configured Protected dataset directory exists.\n"
            " The configured UnProtected dataset directory exists.\n");
  EXPECT_EQ(CheckConfiguredPaths(1), 0);
  EXPECT_EQ(TakeText(), "");
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(ConfiguredPathsTest, MissingOrUnreadableValueIsPassedOver) {
  sim::AddDrive('D');
  SetAllPaths();
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKeyPath);
  SetPath("InstallationDirectory", "C:\\Program Files\\Corvane\\");
  SetPath("ProtectedDatasetDirectory", "D:\\Protected");
  SetPath("UnprotectedDatasetDirectory", "D:\\Unprotected");
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(TakeText(), Msg(51008) + Msg(52016) + Msg(52018) + Msg(52019));

  sim::SetMultiString(HKEY_LOCAL_MACHINE, kProductKeyPath, "JournalRoot", {"D:\\Journals"});
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(TakeText(), Msg(51008) + Msg(52016) + Msg(52018) + Msg(52019));
}

TEST_F(ConfiguredPathsTest, DeletedDirectoryIsAnErrorWithItsRecommendation) {
  sim::AddDrive('D');
  SetPath("InstallationDirectory", "C:\\Program Files\\Corvane\\");
  SetPath("JournalRoot", "D:\\Journals");
  SetPath("ProtectedDatasetDirectory", "D:\\Protected", false);  // deleted
  SetPath("UnprotectedDatasetDirectory", "D:\\Unprotected");

  EXPECT_EQ(CheckConfiguredPaths(0), 2);
  EXPECT_EQ(TakeText(), Msg(51008) + Msg(52016) + Msg(52017) +
                           "Error: The configured Protected dataset directory\ndoes not exist:\n"
                           "D:\\Protected\nThis will prevent the Corvane service from starting.\n\n" +
                           Msg(55019) + Msg(52019));
  EXPECT_EQ(ErrorCount, 1u);

  EXPECT_EQ(CheckConfiguredPaths(1), 2);
  EXPECT_EQ(TakeText(), Msg(54005, "D:\\Protected") + Msg(55019));
  EXPECT_EQ(ErrorCount, 2u);
  EXPECT_EQ(WarningCount, 0u);
}

TEST_F(ConfiguredPathsTest, EveryMissingPathHasItsOwnMessages) {
  SetPath("InstallationDirectory", "C:\\Gone\\", false);
  SetPath("JournalRoot", "C:\\J", false);
  SetPath("ProtectedDatasetDirectory", "C:\\P", false);
  SetPath("UnprotectedDatasetDirectory", "C:\\U", false);
  EXPECT_EQ(CheckConfiguredPaths(2), 2);
  EXPECT_EQ(TakeText(), Msg(54003, "C:\\Gone\\") + Msg(55017) + Msg(54004, "C:\\J") + Msg(55018) +
                           Msg(54005, "C:\\P") + Msg(55019) + Msg(54006, "C:\\U") + Msg(55020));
  EXPECT_EQ(ErrorCount, 4u);
}

TEST_F(ConfiguredPathsTest, PathNamingAFileCountsAsExisting) {
  SetPath("InstallationDirectory", "C:\\Corvane\\");
  sim::MakeFile("C:\\journal.dat", "x");
  SetPath("JournalRoot", "C:\\journal.dat", false);
  EXPECT_EQ(CheckConfiguredPaths(0), 0);
  EXPECT_EQ(TakeText(), Msg(51008) + Msg(52016) + Msg(52017));
}

TEST_F(ConfiguredPathsTest, ExpandablePathIsTestedExpanded) {
  SetPath("InstallationDirectory", "C:\\Corvane\\");
  sim::MakeDirectory("C:\\Journals");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "JournalRoot", REG_EXPAND_SZ, "%SystemDrive%\\Journals");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "ProtectedDatasetDirectory", REG_EXPAND_SZ,
                "%systemdrive%\\Gone");
  EXPECT_EQ(CheckConfiguredPaths(0), 2);
  // A missing one is named as it was looked for.
  EXPECT_EQ(TakeText(), Msg(51008) + Msg(52016) + Msg(52017) + Msg(54005, "C:\\Gone") + Msg(55019));
  EXPECT_EQ(sim::HeapBlocks(), 0);
}

TEST_F(ConfiguredPathsTest, PlainStringIsNeverExpanded) {
  SetPath("InstallationDirectory", "C:\\Corvane\\");
  sim::MakeDirectory("C:\\Journals");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "JournalRoot", REG_SZ, "%SystemDrive%\\Journals");
  EXPECT_EQ(CheckConfiguredPaths(1), 2);
  EXPECT_EQ(TakeText(), Msg(54004, "%SystemDrive%\\Journals") + Msg(55018));
  EXPECT_EQ(sim::CallCount("ExpandEnvironmentStringsA"), 0);
}

// An expansion that fails or would not fit a path leaves the path as stored.
TEST_F(ConfiguredPathsTest, ExpansionThatFailsOrOverflowsKeepsTheStoredPath) {
  SetPath("InstallationDirectory", "C:\\Corvane\\");
  sim::SetEnvironmentVariable("Deep", "C:\\" + std::string(250, 'd'));
  sim::MakeDirectory("C:\\" + std::string(250, 'd'));
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "JournalRoot", REG_EXPAND_SZ, "%Deep%");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "ProtectedDatasetDirectory", REG_EXPAND_SZ,
                "%Deep%\\Protected");
  sim::FailCall("ExpandEnvironmentStringsA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(CheckConfiguredPaths(1), 2);
  EXPECT_EQ(TakeText(), Msg(54004, "%Deep%") + Msg(55018) + Msg(54005, "%Deep%\\Protected") + Msg(55019));
  sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY, 3);  // the journal root expansion's buffer
  EXPECT_EQ(CheckConfiguredPaths(1), 2);
  EXPECT_EQ(TakeText(), Msg(54004, "%Deep%") + Msg(55018) + Msg(54005, "%Deep%\\Protected") + Msg(55019));
  EXPECT_EQ(sim::HeapBlocks(), 0);
}

}  // namespace
