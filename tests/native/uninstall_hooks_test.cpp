// The uninstaller's hooks and their steps on a simulated machine with the
// product installed: unattended mode, leftovers, services, drivers, the data
// question, the stash key, the registry trees, the status file and reboot.
#include <string>
#include <vector>

#include "hooks.h"
#include "uninstall_fixture.h"
#include "uninstall_steps.h"

namespace {

const char kProduct[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
const char kStash[] = "SOFTWARE\\Velmora Software Uninstall";
const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cvnsvc.exe";
const std::string kInstall = "C:\\Program Files\\Corvane\\";
const std::string kDrivers = "C:\\WINNT\\system32\\drivers\\";
const std::string kDatabases = "D:\\CVN\\Databases";
const std::string kJournals = "D:\\CVN\\Journals";
const std::string kQuestion = "\nDo you wish to continue Uninstalling?\n";
const std::string kDataQuestion =
    "Do you want to delete the Corvane\nDatabases and Journal files?\n\n"
    "If you choose to delete the databases, you\nwill lose information about any Corvane\n"
    "jobs run previously from this system.\n";
// The question names the directories that would go, each on a line.
const std::string kDataQuestionWithPaths = kDataQuestion + "\n" + kDatabases + "\n" + kJournals + "\n";
const std::string kRebootQuestion =
    "You must reboot for the uninstallation to complete\nDo you wish to reboot WindowsNT now?";
const char* const kServiceOrder[] = {"CVNSvc", "NobleNet Portmapper for TCP", "cvn-jnl", "cvn-fltr",
                                     "cvn-rec"};

// Windows NT 4.0, 2000 and XP.
std::vector<sim::OsVersion> ThreeSystems() {
  sim::OsVersion windows2000;
  windows2000.major = 5;
  windows2000.build = 2195;
  windows2000.csd = "";
  sim::OsVersion windowsXp = windows2000;
  windowsXp.minor = 1;
  windowsXp.build = 2600;
  return {sim::OsVersion{}, windows2000, windowsXp};
}

class UninstallTest : public UninstallSimTest {
 protected:
  static void Attended() { sim::SetCommandLine("C:\\WINNT\\IsUninst.exe -f\"C:\\x\\DeIsL1.isu\""); }
  static void Unattended() {
    sim::SetCommandLine("C:\\WINNT\\IsUninst.exe -a -f\"C:\\x\\DeIsL1.isu\"");
  }

  static void InstallProductKey() {
    sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
    sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "ProtectedDatasetDirectory", REG_SZ, kDatabases);
    sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "JournalRoot", REG_SZ, kJournals);
    sim::SetDword(HKEY_LOCAL_MACHINE, kProduct, "Type", 1);
  }

  static void InstallFiles() {
    for (const char* name : {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll", "cvnmapi.dll",
                             "cvnax.ocx", "DeIsL1.isu", "readme.txt", "help.GID", "search.FTS",
                             "last.rpt", "Logs\\svc.log"})
      sim::MakeFile(kInstall + name, "x");
    sim::MakeFile(kInstall + "cvnunins.mi_", "[MIF]\r\nStatus=Uninstalled\r\n");
    for (const char* name : {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys", "cvnmapi.log", "other.sys"})
      sim::MakeFile(kDrivers + name, "x");
    sim::MakeFile(kDatabases + "\\jobs.db", "x");
    sim::MakeFile(kJournals + "\\job1\\0001.jnl", "x");
  }

  static void InstallServices() {
    sim::ServiceSetup service;
    sim::AddService("CVNSvc", service);
    sim::AddService("NobleNet Portmapper for TCP", service);
    sim::ServiceSetup driver;
    driver.type = SERVICE_KERNEL_DRIVER;
    sim::AddService("cvn-jnl", driver);
    sim::AddService("cvn-fltr", driver);
    sim::AddService("cvn-rec", driver);
  }

  static void InstallProduct() {
    InstallProductKey();
    InstallFiles();
    InstallServices();
    sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, kInstall + "cvnax.ocx", 3);
    sim::SetValue(HKEY_LOCAL_MACHINE, kAppPath, "", REG_SZ, kInstall + "cvnsvc.exe");
    sim::SetValue(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane\\1.5\\Admin", "Window",
                  REG_SZ, "0 0 640 480");
  }

  static bool NoServiceLeft() {
    for (const char* name : kServiceOrder) {
      if (sim::ServiceExists(name)) return false;
    }
    return true;
  }

  // The stash the first hook leaves, naming the installation directory.
  static void Stashed() {
    sim::MakeDirectory(kInstall);
    sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
    sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, sim::AdministratorsOnly());
    sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, kInstall);
  }

  static const sim::Dialog& OnlyDialog() {
    EXPECT_EQ(sim::Dialogs().size(), 1u);
    return sim::Dialogs().at(0);
  }
};

// ---- IsSilentMode ------------------------------------------------------------------

using IsSilentModeTest = UninstallTest;

TEST_F(IsSilentModeTest, SwitchFollowedByABlankAndMoreOutsideQuotes) {
  struct Case {
    const char* line;
    int silent;
  } cases[] = {
      {"IsUninst.exe -a -fC:\\x.isu", 1},
      {"IsUninst.exe -fC:\\x.isu -a x", 1},
      {"IsUninst.exe -A -f", 1},          // any letter case
      {"IsUninst.exe -a  ", 1},           // a further blank counts as more
      {"IsUninst.exe -fC:\\x.isu -a", 0},  // at the end of the line
      {"IsUninst.exe -fC:\\x.isu -a ", 0},  // with a single trailing blank
      {"IsUninst.exe \"-a x\"", 0},         // inside a quoted argument
      {"IsUninst.exe -f\"C:\\dir -a x\\y.isu\" -c", 0},
      {"IsUninst.exe -f\"C:\\a b\\y.isu\" -a -c", 1},  // after the quotes close
      {"IsUninst.exe", 0},                            // no blank at all
      {"IsUninst.exe-a x", 0},                        // arguments start at the first blank
      {"IsUninst.exe -b -ax", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    sim::SetCommandLine(c.line);
    EXPECT_EQ(IsSilentMode(), c.silent) << c.line;
  }
}

TEST_F(IsSilentModeTest, QuotedProgramNameWithBlanksIsNotAnArgument) {
  sim::SetCommandLine("\"C:\\Program Files\\Setup\\IsUninst.exe\" -a -f");
  EXPECT_EQ(IsSilentMode(), 1);
  sim::SetCommandLine("\"C:\\Program Files\\x -a y\\IsUninst.exe\" -f");
  EXPECT_EQ(IsSilentMode(), 0);
  sim::SetCommandLine("\"C:\\Program Files\\Setup\\IsUninst.exe\" \"-a x\"");
  EXPECT_EQ(IsSilentMode(), 0);
}

TEST_F(IsSilentModeTest, NoCommandLineIsAttended) {
  sim::SetCommandLine("IsUninst.exe -a -f");
  sim::FailCall("GetCommandLineA", 0);
  EXPECT_EQ(IsSilentMode(), 0);
}

// ---- OfferDataDeletion ------------------------------------------------------------

using OfferDataDeletionTest = UninstallTest;

TEST_F(OfferDataDeletionTest, UnattendedNeverAsksNorDeletes) {
  InstallProductKey();
  InstallFiles();
  EXPECT_EQ(OfferDataDeletion(1), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_TRUE(sim::Exists(kDatabases + "\\jobs.db"));
  EXPECT_TRUE(sim::Exists(kJournals + "\\job1\\0001.jnl"));
}

TEST_F(OfferDataDeletionTest, NothingToOfferWithoutKeyOrDatabaseValue) {
  EXPECT_EQ(OfferDataDeletion(0), 0);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "JournalRoot", REG_SZ, kJournals);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(OfferDataDeletionTest, NoIsTheDefaultAndKeepsTheData) {
  InstallProductKey();
  InstallFiles();
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  const sim::Dialog& d = OnlyDialog();
  EXPECT_EQ(d.text, kDataQuestionWithPaths);
  EXPECT_EQ(d.caption, "Corvane UnInstallation");
  EXPECT_EQ(d.owner, sim::FocusWindow());
  EXPECT_EQ(d.style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_TRUE(sim::Exists(kDatabases + "\\jobs.db"));
  EXPECT_TRUE(sim::Exists(kJournals + "\\job1\\0001.jnl"));
}

TEST_F(OfferDataDeletionTest, YesDeletesDatabasesAndJournals) {
  InstallProductKey();
  InstallFiles();
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  EXPECT_EQ(sim::Dialogs().size(), 1u);
  EXPECT_FALSE(sim::Exists(kDatabases));
  EXPECT_FALSE(sim::Exists(kJournals));
  EXPECT_TRUE(sim::Exists("D:\\CVN"));
}

TEST_F(OfferDataDeletionTest, MissingJournalRootAsksAndTheAnswerDecides) {
  InstallProductKey();
  InstallFiles();
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "ProtectedDatasetDirectory", REG_SZ, kDatabases);
  for (int answer : {IDYES, IDNO}) {
    sim::MakeFile(kDatabases + "\\jobs.db", "x");
    sim::QueueAnswer(IDYES);
    sim::QueueAnswer(answer);
    EXPECT_EQ(OfferDataDeletion(0), answer == IDYES ? 0 : -1);
  }
  ASSERT_EQ(sim::Dialogs().size(), 4u);
  EXPECT_EQ(sim::Dialogs()[1].text,
            "Could not get the installed location of the CVN Exec Journal directory\n" + kQuestion);
  EXPECT_EQ(sim::Dialogs()[1].style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
  EXPECT_FALSE(sim::Exists(kDatabases));
  EXPECT_TRUE(sim::Exists(kJournals + "\\job1\\0001.jnl"));
}

TEST_F(OfferDataDeletionTest, UnreadableDatabaseValueAsksWithTheSystemText) {
  InstallProductKey();
  InstallFiles();
  // The second query of the value (its contents) fails.
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED, 3);
  sim::QueueAnswer(IDYES);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(OfferDataDeletion(0), -1);
  ASSERT_EQ(sim::Dialogs().size(), 2u);
  EXPECT_EQ(sim::Dialogs()[1].text,
            "Could not get the installed location of the CVN Exec Databases\n\nAccess is denied.\r\n" +
                kQuestion);
  EXPECT_EQ(sim::Dialogs()[1].style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
  EXPECT_TRUE(sim::Exists(kDatabases + "\\jobs.db"));
  EXPECT_TRUE(sim::Exists(kJournals + "\\job1\\0001.jnl"));
}

TEST_F(OfferDataDeletionTest, UnreadableJournalRootAsksWithTheSystemText) {
  InstallProductKey();
  InstallFiles();
  // Queries: database size, size and contents; journal size, size, contents.
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED, 6);
  sim::QueueAnswer(IDYES);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  ASSERT_EQ(sim::Dialogs().size(), 2u);
  EXPECT_EQ(sim::Dialogs()[1].text,
            "Could not get the installed location of the CVN Exec Journal directory.\n\n"
            "Access is denied.\r\n" +
                kQuestion);
  EXPECT_TRUE(sim::Exists(kJournals + "\\job1\\0001.jnl"));
}

TEST_F(OfferDataDeletionTest, WithoutADirectoryToNameTheQuestionIsAskedAsWritten) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "ProtectedDatasetDirectory", REG_SZ, kDatabases);
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED, 3);  // the database value's contents
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  EXPECT_EQ(OnlyDialog().text, kDataQuestion);
}

// A run after one that was ended finds the directories gone: nothing is left
// to delete, nothing to report.
TEST_F(OfferDataDeletionTest, DirectoriesAlreadyGoneAreDoneWithoutAProblem) {
  InstallProductKey();
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  EXPECT_EQ(sim::Dialogs().size(), 1u);
  // Not so for a directory that cannot be looked at.
  sim::FailCall("GetFileAttributesA", ERROR_ACCESS_DENIED, 1, 100);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  ASSERT_EQ(sim::Dialogs().size(), 4u);
  EXPECT_EQ(sim::Dialogs()[2].text.substr(0, 24), "Problem deleting Databas");
  EXPECT_EQ(sim::Dialogs()[3].text.substr(0, 24), "Problem deleting CVN Exe");
}

TEST_F(OfferDataDeletionTest, BestFitNameInADataDirectoryReachesNothingAbove) {
  InstallProductKey();
  InstallFiles();
  sim::MakeFile("D:\\CVN\\victim.txt", "theirs");
  sim::MakeFile(u"D:\\CVN\\Databases\\\uFF0E\uFF0E\uFF3Cvictim.txt", "planted");
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  EXPECT_FALSE(sim::Exists(kDatabases));
  EXPECT_EQ(sim::FileContents("D:\\CVN\\victim.txt"), "theirs");
}

TEST_F(OfferDataDeletionTest, FilesThatCannotGoAreReported) {
  InstallProductKey();
  InstallFiles();
  sim::HoldOpen(kDatabases + "\\jobs.db");
  sim::HoldOpen(kJournals + "\\job1\\0001.jnl");
  sim::FailCall("MoveFileExW", ERROR_ACCESS_DENIED, 1, 100);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  ASSERT_EQ(sim::Dialogs().size(), 3u);
  EXPECT_EQ(sim::Dialogs()[1].text,
            "Problem deleting Database files.\nNot all Database files were deleted.\n");
  EXPECT_EQ(sim::Dialogs()[1].style, static_cast<UINT>(MB_ICONWARNING));
  EXPECT_EQ(sim::Dialogs()[1].caption, "Corvane UnInstallation");
  EXPECT_EQ(sim::Dialogs()[2].text,
            "Problem deleting CVN Exec Journal files.\nNot all Journal files were deleted.\n");
}

TEST_F(OfferDataDeletionTest, DriveRootAsDataDirectoryEmptiesNothing) {
  sim::MakeFile("C:\\boot.ini", "x");
  sim::MakeFile("D:\\pagefile.sys", "x");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "ProtectedDatasetDirectory", REG_SZ, "C:\\");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "JournalRoot", REG_SZ, "D:");
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  EXPECT_TRUE(sim::Exists("C:\\boot.ini"));
  EXPECT_TRUE(sim::Exists("D:\\pagefile.sys"));
  EXPECT_TRUE(sim::Exists("C:\\WINNT\\system32"));
  EXPECT_TRUE(sim::PendingOperations().empty());
  ASSERT_EQ(sim::Dialogs().size(), 3u);
  EXPECT_EQ(sim::Dialogs()[1].text.substr(0, 24), "Problem deleting Databas");
  EXPECT_EQ(sim::Dialogs()[2].text.substr(0, 24), "Problem deleting CVN Exe");
}

// Where Everyone may set the product key's values (Windows NT 4.0) they may
// name any directory: the administrator sees which, and nothing below the
// Windows directory goes whatever the answer.
TEST_F(OfferDataDeletionTest, DirectoriesBelowTheWindowsDirectoryAreShownAndNeverEmptied) {
  for (const sim::OsVersion& version : ThreeSystems()) {
    {
      sim::Reset();
      sim::AddDrive('D');
      sim::SetOsVersion(version);
      sim::MakeFile("C:\\WINNT\\Profiles\\Bob\\ntuser.dat", "x");
      sim::MakeFile("C:\\WINNT\\Profiles\\All Users\\x.lnk", "x");
      sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "ProtectedDatasetDirectory", REG_SZ, "C:\\WINNT\\Profiles");
      sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "JournalRoot", REG_SZ, "c:\\winnt\\PROFILES\\bob\\");
      sim::QueueAnswer(IDYES);
      EXPECT_EQ(OfferDataDeletion(0), 0);
      ASSERT_EQ(sim::Dialogs().size(), 3u);
      EXPECT_EQ(sim::Dialogs()[0].text, kDataQuestion + "\nC:\\WINNT\\Profiles\nc:\\winnt\\PROFILES\\bob\\\n");
      EXPECT_EQ(sim::Dialogs()[1].text.substr(0, 24), "Problem deleting Databas");
      EXPECT_EQ(sim::Dialogs()[2].text.substr(0, 24), "Problem deleting CVN Exe");
      EXPECT_TRUE(sim::Exists("C:\\WINNT\\Profiles\\Bob\\ntuser.dat")) << version.build;
      EXPECT_TRUE(sim::Exists("C:\\WINNT\\Profiles\\All Users\\x.lnk"));
      EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
      EXPECT_TRUE(sim::PendingOperations().empty());
    }
  }
}

TEST_F(OfferDataDeletionTest, PathsInTheQuestionAreCutToAPathInWholeCharacters) {
  sim::SetCodePage(932);
  // 300 bytes: a one-byte letter, then characters of two bytes.
  std::string longPath = "D:\\" + std::string(1, 'a');
  while (longPath.size() < 300) longPath += "\x83\x5c";
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "ProtectedDatasetDirectory", REG_SZ, longPath);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "JournalRoot", REG_SZ, kJournals);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(OfferDataDeletion(0), 0);
  // "D:\a" and 127 characters of two bytes: 258 bytes; a 128th would make 260.
  EXPECT_EQ(OnlyDialog().text, kDataQuestion + "\n" + longPath.substr(0, 258) + "\n" + kJournals + "\n");
}

// ---- UninstInitialize -------------------------------------------------------------

using UninstInitializeTest = UninstallTest;

TEST_F(UninstInitializeTest, AttendedRunRemovesServicesDriversAndLeftoversAndStashes) {
  Attended();
  InstallProduct();
  sim::QueueAnswer(IDNO);  // keep the data
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(NoServiceLeft());
  for (const char* name : {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys", "cvnmapi.log"})
    EXPECT_FALSE(sim::Exists(kDrivers + name)) << name;
  EXPECT_TRUE(sim::Exists(kDrivers + "other.sys"));
  // Leftovers and the logs go; the uninstaller's own files stay for it.
  for (const char* name : {"help.GID", "search.FTS", "last.rpt", "Logs"})
    EXPECT_FALSE(sim::Exists(kInstall + name)) << name;
  for (const char* name : {"cvnadmin.exe", "cvnax.ocx", "DeIsL1.isu", "cvnunins.mi_", "readme.txt"})
    EXPECT_TRUE(sim::Exists(kInstall + name)) << name;
  EXPECT_TRUE(sim::DeletionPending(kInstall));
  // The shared control's count is pinned to 1, keeping its type.
  auto count = sim::GetValue(HKEY_LOCAL_MACHINE, kSharedDlls, kInstall + "cvnax.ocx");
  ASSERT_TRUE(count.has_value());
  EXPECT_EQ(count->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(count->data, std::string("\x01\x00\x00\x00", 4));
  // The stash is volatile and holds the directory with its terminator.
  EXPECT_TRUE(sim::IsVolatileKey(HKEY_LOCAL_MACHINE, kStash));
  auto stash = sim::GetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory");
  ASSERT_TRUE(stash.has_value());
  EXPECT_EQ(stash->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stash->data, kInstall + std::string(1, '\0'));
  EXPECT_EQ(OnlyDialog().text, kDataQuestionWithPaths);
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi_"));
  EXPECT_TRUE(sim::Exists(kDatabases + "\\jobs.db"));
}

TEST_F(UninstInitializeTest, ServicesGoInTheirOrder) {
  Attended();
  InstallProduct();
  for (const char* name : kServiceOrder) {
    sim::ServiceSetup setup;
    setup.state = SERVICE_STOPPED;
    setup.deleteError = ERROR_ACCESS_DENIED;
    sim::AddService(name, setup);
    sim::QueueAnswer(IDYES);
  }
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  ASSERT_EQ(sim::Dialogs().size(), 6u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(sim::Dialogs()[i].text, "Error attemping to delete " + std::string(kServiceOrder[i]) +
                                          " service\n\nAccess is denied.\r\n" + kQuestion);
  }
}

TEST_F(UninstInitializeTest, FirstServiceThatAbortsStopsEverything) {
  Attended();
  InstallProduct();
  sim::ServiceSetup setup;
  setup.stopError = ERROR_SERVICE_REQUEST_TIMEOUT;
  sim::AddService("NobleNet Portmapper for TCP", setup);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), -1);
  EXPECT_FALSE(sim::ServiceExists("CVNSvc"));
  EXPECT_TRUE(sim::ServiceExists("NobleNet Portmapper for TCP"));
  EXPECT_EQ(sim::ServiceState("cvn-jnl"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(sim::Exists(kDrivers + "cvn-rec.sys"));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));
  EXPECT_EQ(OnlyDialog().text.substr(0, 53), "Error attempting to stop NobleNet Portmapper for TCP ");
}

TEST_F(UninstInitializeTest, ServiceManagerThatCannotOpenAbortsWithItsSystemText) {
  Attended();
  InstallProduct();
  sim::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), -1);
  const sim::Dialog& d = OnlyDialog();
  EXPECT_EQ(d.text, "Access is denied.\r\n");
  EXPECT_EQ(d.caption, "Failure to Open Service Manager");
  EXPECT_EQ(d.style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(d.owner, sim::FocusWindow());
  EXPECT_FALSE(sim::Exists(kInstall + "help.GID"));  // the purge came first
  EXPECT_TRUE(sim::ServiceExists("CVNSvc"));

  sim::FailCall("OpenSCManagerA", 4244);  // no system text: nothing to show
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), -1);
  Unattended();
  sim::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), -1);
  EXPECT_EQ(sim::Dialogs().size(), 1u);
}

// Data on a floppy not in its drive: the hooks fail the calls there rather than
// stop the uninstall at the system's box, and give the caller its mode back.
TEST_F(UninstInitializeTest, BothHooksTouchADriveWithoutADiskWithoutTheSystemsBox) {
  Attended();
  InstallProduct();
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "ProtectedDatasetDirectory", REG_SZ, "A:\\CVN\\Databases");
  SetErrorMode(SEM_NOOPENFILEERRORBOX);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  for (const sim::Dialog& dialog : sim::Dialogs()) EXPECT_EQ(dialog.caption, "Corvane UnInstallation");
  EXPECT_EQ(sim::Dialogs().at(1).text.substr(0, 24), "Problem deleting Databas");
  EXPECT_EQ(sim::ErrorMode(), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));

  UINT during = 0;
  sim::BeforeCall("FindFirstFileW", 1, [&during] { during = sim::ErrorMode(); });
  sim::QueueAnswer(IDNO);  // no restart now
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(during, static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
  EXPECT_EQ(sim::ErrorMode(), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}

TEST_F(UninstInitializeTest, ServiceManagerErrorWhoseTextHasAnInsertShowsItAsWritten) {
  Attended();
  InstallProduct();
  sim::FailCall("OpenSCManagerA", ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), -1);
  EXPECT_EQ(OnlyDialog().text, "%1 is not a valid Win32 application.\r\n");
}

TEST_F(UninstInitializeTest, UnknownSystemDirectoryEndsTheHookWithSuccess) {
  Attended();
  InstallProduct();
  sim::FailCall("GetSystemDirectoryA", ERROR_ACCESS_DENIED, 1, 100);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  const sim::Dialog& d = OnlyDialog();
  EXPECT_EQ(d.text, "Could not get the Windows NT System directory.\nUnInstall will try to continue.\n");
  EXPECT_EQ(d.caption, "Corvane UnInstallation");
  EXPECT_EQ(d.style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(NoServiceLeft());
  EXPECT_TRUE(sim::Exists(kDrivers + "cvn-rec.sys"));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));

  Unattended();
  sim::FailCall("GetSystemDirectoryA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::Dialogs().size(), 1u);
}

TEST_F(UninstInitializeTest, UnattendedCopiesTheStatusFileAndKeepsTheData) {
  Unattended();
  InstallProduct();
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", "old");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mi_"), sim::FileContents(kInstall + "cvnunins.mi_"));
  EXPECT_TRUE(sim::Exists(kDatabases + "\\jobs.db"));
  EXPECT_TRUE(sim::Exists(kJournals + "\\job1\\0001.jnl"));
  EXPECT_TRUE(NoServiceLeft());
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));
}

TEST_F(UninstInitializeTest, StatusFileCopyReplacesASecondNameInsteadOfWritingThroughIt) {
  Unattended();
  InstallProduct();
  sim::MakeFile("C:\\WINNT\\system32\\config\\SAM", "hives");
  sim::MakeHardLink("C:\\WINNT\\cvnunins.mi_", "C:\\WINNT\\system32\\config\\SAM");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\system32\\config\\SAM"), "hives");
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mi_"), sim::FileContents(kInstall + "cvnunins.mi_"));
}

TEST_F(UninstInitializeTest, ShippedStatusFileWithASecondNameIsNotCopied) {
  Unattended();
  InstallProduct();
  sim::MakeFile("C:\\WINNT\\system32\\config\\SAM", "hives");
  sim::MoveAsUser(kInstall + "cvnunins.mi_", kInstall + "away");
  sim::MakeHardLink(kInstall + "cvnunins.mi_", "C:\\WINNT\\system32\\config\\SAM");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi_"));
}

TEST_F(UninstInitializeTest, WithoutProductKeyOnlyServicesAndDriversGo) {
  Attended();
  InstallFiles();
  InstallServices();
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_TRUE(NoServiceLeft());
  EXPECT_FALSE(sim::Exists(kDrivers + "cvn-jnl.sys"));
  EXPECT_TRUE(sim::Exists(kInstall + "help.GID"));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));

  sim::QueueAnswer(IDNO);  // no reboot
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(sim::Exists(kInstall + "cvnadmin.exe"));
  EXPECT_TRUE(sim::Exists(kInstall + "DeIsL1.isu"));
}

TEST_F(UninstInitializeTest, YesToTheMissingJournalQuestionGoesOnAndStashes) {
  Attended();
  InstallProduct();
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "ProtectedDatasetDirectory", REG_SZ, kDatabases);
  sim::QueueAnswer(IDYES);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::GetString(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory"), kInstall);

  sim::MakeFile(kDatabases + "\\jobs.db", "x");
  sim::QueueAnswer(IDYES);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), -1);
  EXPECT_EQ(sim::Dialogs().size(), 4u);
}

TEST_F(UninstInitializeTest, EmptyInstallationDirectoryLeavesTheCurrentDirectoryAlone) {
  Attended();
  InstallServices();
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, "");
  sim::MakeFile("C:\\Temp\\setup.GID", "x");
  sim::MakeFile("C:\\Temp\\notes.rpt", "x");
  sim::MakeFile("C:\\Temp\\Logs\\setup.log", "x");
  sim::SetCurrentDirectory("C:\\Temp");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::DirectoryEntries("C:\\Temp"),
            (std::vector<std::string>{"Logs", "notes.rpt", "setup.GID"}));
  EXPECT_TRUE(sim::Exists("C:\\Temp\\Logs\\setup.log"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

// Names as the system keeps them: "．．＼victim.txt" ("..\victim.txt" on 1252)
// in Logs deletes itself, not the installation directory's victim.txt;
// "日本.log" ("??.log") goes; a read-only help index goes now.
TEST_F(UninstInitializeTest, PurgeDeletesEveryLeftoverByItsOwnNameAndNothingElse) {
  Attended();
  InstallServices();
  InstallProductKey();
  sim::MakeFile(kInstall + "cvnsvc.exe", "x");
  sim::MakeFile(kInstall + "victim.txt", "theirs");
  const std::u16string logs = u"C:\\Program Files\\Corvane\\Logs\\";
  sim::MakeFile(logs + u"\uFF0E\uFF0E\uFF3Cvictim.txt", "planted");
  sim::MakeFile(logs + u"\u65E5\u672C.log", "log");
  sim::MakeFile(kInstall + "help.GID", "index", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(sim::Exists(kInstall + "Logs"));
  EXPECT_FALSE(sim::Exists(kInstall + "help.GID"));
  EXPECT_EQ(sim::FileContents(kInstall + "victim.txt"), "theirs");
  EXPECT_FALSE(sim::DeletionPending(kInstall + "help.GID"));
}

TEST_F(UninstInitializeTest, InstallationDirectoryWithoutItsBackslashPurgesItsOwnLogsOnly) {
  Attended();
  InstallServices();
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, "C:\\Program Files\\Corvane");
  sim::MakeFile(kInstall + "Logs\\svc.log", "x");
  sim::MakeFile(kInstall + "cvnsvc.exe", "x");
  sim::MakeFile("C:\\Program Files\\CorvaneLogs\\other.log", "x");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(sim::Exists(kInstall + "Logs"));
  EXPECT_TRUE(sim::Exists("C:\\Program Files\\CorvaneLogs\\other.log"));
  EXPECT_FALSE(sim::DeletionPending("C:\\Program Files\\CorvaneLogs"));
}

// Without its closing backslash each fixed name still goes inside the
// directory: C:\Program Files\Corvanecvnunins.mi_ is anyone's file.
TEST_F(UninstInitializeTest, InstallationDirectoryWithoutItsBackslashJoinsEachNameWithOneSeparator) {
  Unattended();
  InstallProduct();
  const std::string directory = "C:\\Program Files\\Corvane";
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, directory);
  sim::MakeFile(directory + "cvnunins.mi_", "planted");
  sim::MakeFile(directory + "1.GID", "x");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mi_"), sim::FileContents(kInstall + "cvnunins.mi_"));
  auto count = sim::GetValue(HKEY_LOCAL_MACHINE, kSharedDlls, kInstall + "cvnax.ocx");
  ASSERT_TRUE(count.has_value());
  EXPECT_EQ(count->data, std::string("\x01\x00\x00\x00", 4));
  EXPECT_FALSE(sim::GetValue(HKEY_LOCAL_MACHINE, kSharedDlls, directory + "cvnax.ocx").has_value());
  for (const char* name : {"help.GID", "search.FTS", "last.rpt", "Logs"})
    EXPECT_FALSE(sim::Exists(kInstall + name)) << name;
  EXPECT_TRUE(sim::Exists(directory + "1.GID"));
  EXPECT_TRUE(sim::Exists(directory + "cvnunins.mi_"));
  // The second hook searches the stashed directory, not its parent, for
  // the installer's logs.
  sim::MakeFile(directory + "2.isu", "x");
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(sim::Exists(kInstall + "DeIsL1.isu"));
  EXPECT_TRUE(sim::Exists(directory + "2.isu"));
}

// Directories whose last character has the backslash's byte as its second
// byte, in each double-byte code page that has such characters.
struct DoubleByteDirectory {
  UINT codePage;
  const char* name;
};
const DoubleByteDirectory kBackslashEndings[] = {
    {932, "\x88\xea\x97\x97\x95\x5c"},  // 一覧表
    {936, "\xd2\xbb\xc0\xc0\x81\x5c"},  // 一览乗
    {950, "\xb3\x5c\xa5\x5c"},          // 許功
};

TEST_F(UninstInitializeTest, LastCharacterEndingInTheBackslashByteIsNoSeparator) {
  for (const DoubleByteDirectory& page : kBackslashEndings) {
    SCOPED_TRACE(page.codePage);
    sim::Reset();
    sim::SetCodePage(page.codePage);
    Unattended();
    InstallServices();
    const std::string directory = std::string("C:\\Program Files\\") + page.name;
    sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, directory);
    sim::MakeFile(directory + "\\Logs\\svc.log", "x");
    sim::MakeFile(directory + "\\cvnsvc.exe", "x");
    sim::MakeFile(directory + "Logs\\other.log", "x");
    sim::MakeFile(directory + "Logs\\sub\\other.log", "x");
    sim::MakeFile(directory + "\\cvnunins.mi_", "inside");
    sim::MakeFile(directory + "cvnunins.mi_", "planted");
    EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
    EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mi_"), "inside");
    EXPECT_FALSE(sim::Exists(directory + "\\Logs\\svc.log"));
    EXPECT_TRUE(sim::Exists(directory + "Logs\\other.log"));
    EXPECT_TRUE(sim::Exists(directory + "Logs\\sub\\other.log"));
    EXPECT_FALSE(sim::DeletionPending(directory + "Logs"));
    EXPECT_FALSE(sim::DeletionPending(directory + "Logs\\sub"));
  }
}

TEST_F(UninstInitializeTest, DoubleByteDirectoryIsStashedPinnedAndScheduledByteForByte) {
  sim::SetCodePage(932);
  Unattended();
  InstallServices();
  const std::string directory = std::string("C:\\Program Files\\") + kBackslashEndings[0].name + "\\";
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, directory);
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, directory + "cvnax.ocx", 3);
  for (const char* name : {"cvnadmin.exe", "help.GID", "Logs\\svc.log"}) sim::MakeFile(directory + name, "x");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  auto count = sim::GetValue(HKEY_LOCAL_MACHINE, kSharedDlls, directory + "cvnax.ocx");
  ASSERT_TRUE(count.has_value());
  EXPECT_EQ(count->data, std::string("\x01\x00\x00\x00", 4));
  auto stash = sim::GetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory");
  ASSERT_TRUE(stash.has_value());
  EXPECT_EQ(stash->data, directory + std::string(1, '\0'));
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(sim::Exists(directory + "cvnadmin.exe"));
  EXPECT_FALSE(sim::Exists(directory + "Logs"));
  EXPECT_TRUE(sim::DeletionPending(directory));
}

TEST_F(UninstInitializeTest, DirectoryEndingInALoneFirstByteIsLeftAlone) {
  sim::SetCodePage(932);
  Unattended();
  InstallServices();
  const std::string directory = "C:\\Program Files\\\x88\xea\x95";
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, directory);
  // Anything appended would become the character's second byte: "\Logs"
  // would name the sibling below.
  sim::MakeFile("C:\\Program Files\\\x88\xea\x95\\Logs\\other.log", "x");
  sim::MakeFile("C:\\Program Files\\\x88\xea\x95\\keep.GID", "x");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(sim::Exists("C:\\Program Files\\\x88\xea\x95\\Logs\\other.log"));
  EXPECT_TRUE(sim::Exists("C:\\Program Files\\\x88\xea\x95\\keep.GID"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(UninstInitializeTest, DriveRelativeInstallationDirectoryPurgesNoLogs) {
  Attended();
  InstallServices();
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, "C:");
  sim::MakeFile("C:\\Logs\\keep.log", "x");
  sim::MakeFile("C:\\Temp\\Logs\\keep.log", "x");
  sim::SetCurrentDirectory("C:\\Temp");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(sim::Exists("C:\\Logs\\keep.log"));
  EXPECT_TRUE(sim::Exists("C:\\Temp\\Logs\\keep.log"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(UninstInitializeTest, InstallationDirectoryTooLongForAPathIsSkipped) {
  Attended();
  std::string longDirectory = "C:\\" + std::string(300, 'x') + "\\";
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, longDirectory);
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, longDirectory.substr(0, 250) + "cvnax.ocx", 3);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  // Not even the stash: no program file fits in it.
  EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0);
}

// Where Everyone may set the product key's values (Windows NT 4.0), the
// installation directory may name another product's folder, with its own
// uninstall log, logs and help files: without a program file of ours it is
// not the product's.
TEST_F(UninstInitializeTest, InstallationDirectoryWithoutAProgramFileIsNeitherPurgedNorStashed) {
  const std::string other = "C:\\Program Files\\Other\\";
  for (const sim::OsVersion& version : ThreeSystems()) {
    sim::Reset();
    sim::AddDrive('D');
    sim::SetOsVersion(version);
    Attended();
    InstallProduct();
    sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, other);
    for (const char* name : {"DeIsL1.isu", "help.GID", "last.rpt", "Logs\\other.log", "cvnunins.mi_",
                             "Sub\\cvnsvc.exe"})
      sim::MakeFile(other + name, "x");
    sim::MakeDirectory(other + "cvnadmin.exe");  // a directory is no program file
    sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, other + "cvnax.ocx", 3);
    const auto before = sim::FileSnapshot();
    sim::QueueAnswer(IDNO);
    EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
    EXPECT_EQ(sim::GetValue(HKEY_LOCAL_MACHINE, kSharedDlls, other + "cvnax.ocx")->data,
              std::string("\x03\x00\x00\x00", 4));
    EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash)) << version.build;
    sim::SetCommandLine("C:\\WINNT\\IsUninst.exe -a -f\"C:\\x\\DeIsL1.isu\"");
    EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
    EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi_"));
    EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
    for (const auto& entry : before) {
      if (entry.first.rfind(other, 0) == 0) {
        EXPECT_TRUE(sim::Exists(entry.first)) << entry.first;
      }
    }
    EXPECT_FALSE(sim::DeletionPending(other));
  }
}

// ---- UninstUnInitialize -------------------------------------------------------------

using UninstUnInitializeTest = UninstallTest;

TEST_F(UninstUnInitializeTest, StashIsTheOnlySourceOfTheDirectory) {
  Attended();
  InstallProduct();
  const std::string stashed = "C:\\Stashed\\";
  for (const char* name : {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll", "cvnmapi.dll", "a.isu",
                           "b.ISU", "keep.txt"})
    sim::MakeFile(stashed + name, "x");
  sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
  sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, sim::AdministratorsOnly());
  sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, stashed);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::DirectoryEntries(stashed), (std::vector<std::string>{"keep.txt"}));
  EXPECT_TRUE(sim::DeletionPending(stashed));
  // The product key's directory is not touched.
  EXPECT_TRUE(sim::Exists(kInstall + "cvnadmin.exe"));
  EXPECT_TRUE(sim::Exists(kInstall + "DeIsL1.isu"));
}

// Deferred in the order the restart carries out: the files, then their directory.
TEST_F(UninstUnInitializeTest, ProgramFilesInUseGoAtTheRestartAndTheInstallationDirectoryAfterThem) {
  for (DWORD major : {4, 5}) {
    sim::Reset();
    sim::AddDrive('D');
    sim::OsVersion system;
    system.major = major;
    sim::SetOsVersion(system);
    Attended();
    const std::string stashed = "C:\\Stashed\\";
    for (const char* name : {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll", "cvnmapi.dll", "a.isu"})
      sim::MakeFile(stashed + name, "x");
    sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
    sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, sim::AdministratorsOnly());
    sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, stashed);
    sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED, 1, 100);  // all loaded by running programs
    sim::QueueAnswer(IDNO);
    EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
    EXPECT_EQ(sim::DirectoryEntries(stashed).size(), 5u) << major;
    sim::Reboot();
    EXPECT_FALSE(sim::Exists(stashed)) << major;
  }
}

TEST_F(UninstUnInitializeTest, InstallationDirectorySwappedForAJunctionBetweenTheHooksDeletesNothingThere) {
  Attended();
  sim::OsVersion windows2000;
  windows2000.major = 5;
  sim::SetOsVersion(windows2000);
  const std::string stashed = "D:\\Corvane\\";
  sim::MakeFile(stashed + "cvnbase.dll", "x");
  sim::MakeFile("C:\\WINNT\\system32\\cvnbase.dll", "system");
  sim::MakeFile("C:\\WINNT\\system32\\cvnmapi.dll", "system");
  sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
  sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, stashed);
  ASSERT_EQ(sim::MoveAsUser("D:\\Corvane", "D:\\Away"), static_cast<DWORD>(ERROR_SUCCESS));
  sim::MakeJunction("D:\\Corvane", "C:\\WINNT\\system32");
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\system32\\cvnbase.dll"), "system");
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\system32\\cvnmapi.dll"), "system");
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(UninstUnInitializeTest, StashAUserMadeBeforeTheUninstallCannotSteerTheSecondHook) {
  Attended();
  InstallProduct();
  sim::MakeFile("C:\\WINNT\\system32\\cvnadmin.exe", "not ours");
  sim::CreateKey(HKEY_LOCAL_MACHINE, kStash);
  sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, {sim::UserSid(), sim::AllowList({{sim::EveryoneSid(), KEY_ALL_ACCESS}})});
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct);
  // Between the hooks the user rewrites whatever they still may.
  if (sim::UserMayChange(HKEY_LOCAL_MACHINE, kStash))
    sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, "C:\\WINNT\\system32");
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(sim::Exists("C:\\WINNT\\system32\\cvnadmin.exe"));
  EXPECT_FALSE(sim::Exists(kInstall + "cvnadmin.exe"));
}

TEST_F(UninstUnInitializeTest, EmptyStashedDirectoryDeletesNothing) {
  Attended();
  sim::MakeFile("C:\\cvnadmin.exe", "x");
  sim::MakeFile("C:\\setup.isu", "x");
  sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
  sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, sim::AdministratorsOnly());
  sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, "");
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(sim::Exists("C:\\cvnadmin.exe"));
  EXPECT_TRUE(sim::Exists("C:\\setup.isu"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(UninstUnInitializeTest, RegistryTreesGoAndTheRestStays) {
  Attended();
  InstallProduct();
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Other", "x", REG_SZ, "y");
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane"));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane"));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Other"));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software"));
}

TEST_F(UninstUnInitializeTest, RebootQuestionNoRequestsNothing) {
  Attended();
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  const sim::Dialog& d = OnlyDialog();
  EXPECT_EQ(d.text, kRebootQuestion);
  EXPECT_EQ(d.caption, "Corvane UnInstallation");
  EXPECT_EQ(d.style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
  EXPECT_EQ(d.owner, sim::FocusWindow());
  EXPECT_TRUE(sim::ShutdownRequests().empty());
  EXPECT_TRUE(sim::PrivilegeChanges().empty());
}

TEST_F(UninstUnInitializeTest, RebootQuestionYesEnablesThePrivilegeAndRequestsARestart) {
  Attended();
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::Dialogs().size(), 1u);
  ASSERT_EQ(sim::PrivilegeChanges().size(), 1u);
  EXPECT_EQ(sim::PrivilegeChanges()[0].name, "SeShutdownPrivilege");
  EXPECT_EQ(sim::PrivilegeChanges()[0].attributes, static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
  ASSERT_EQ(sim::ShutdownRequests().size(), 1u);
  const sim::ShutdownRequest& r = sim::ShutdownRequests()[0];
  EXPECT_TRUE(r.succeeded);
  EXPECT_FALSE(r.hasMachine);
  EXPECT_FALSE(r.hasMessage);
  EXPECT_EQ(r.timeout, 0u);
  EXPECT_FALSE(r.forceAppsClosed);
  EXPECT_TRUE(r.rebootAfterShutdown);
}

TEST_F(UninstUnInitializeTest, FailedShutdownRequestSaysToRebootManually) {
  Attended();
  sim::SetPrivilegeHeld("SeShutdownPrivilege", false);
  sim::QueueAnswer(IDYES);
  sim::QueueAnswer(IDOK);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  ASSERT_EQ(sim::Dialogs().size(), 2u);
  const sim::Dialog& d = sim::Dialogs()[1];
  EXPECT_EQ(d.text,
            "Error in requesting System Shutdown\n\nA required privilege is not held by the client.\r\n"
            "\nPlease reboot your system manually\n");
  EXPECT_EQ(d.caption, "Corvane UnInstallation");
  EXPECT_EQ(d.style, static_cast<UINT>(MB_OK));
}

TEST_F(UninstUnInitializeTest, LongShutdownErrorTextIsCutBeforeTheAdvice) {
  Attended();
  sim::FailCall("InitiateSystemShutdownA", ERROR_SHUTDOWN_IN_PROGRESS);
  sim::SetSystemMessage(ERROR_SHUTDOWN_IN_PROGRESS, std::string(1000, 's'));
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  ASSERT_EQ(sim::Dialogs().size(), 2u);
  const std::string& text = sim::Dialogs()[1].text;
  const std::string advice = "\nPlease reboot your system manually\n";
  EXPECT_EQ(text.size(), 259u);
  EXPECT_EQ(text.substr(0, 37), "Error in requesting System Shutdown\n\n");
  EXPECT_EQ(text.substr(text.size() - advice.size()), advice);
}

TEST_F(UninstUnInitializeTest, UnattendedCompletesTheStatusFileWithoutAsking) {
  Unattended();
  Stashed();
  const std::string shipped = "[MIF]\r\nStatus=Uninstalled\r\n";
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", shipped, FILE_ATTRIBUTE_READONLY);
  sim::MakeFile("C:\\WINNT\\cvnunins.mif", "stale");
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_TRUE(sim::ShutdownRequests().empty());
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi_"));
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi~"));
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mif"), shipped + " ");
  // Made writable (normal); the write then marks it for archiving.
  EXPECT_EQ(sim::Attributes("C:\\WINNT\\cvnunins.mif") & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(UninstUnInitializeTest, UnattendedRunAgainLeavesTheCompletedStatusFileAlone) {
  Unattended();
  Stashed();
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", "MIF-CONTENT");
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mif"), "MIF-CONTENT ");
  EXPECT_EQ(sim::CallCount("WriteFile"), 1);
}

TEST_F(UninstUnInitializeTest, UnattendedRunEndedAfterTheAppendCompletesTheShippedCopyOnceMore) {
  Unattended();
  Stashed();
  // The last run appended to its copy and gave it the final name, then ended.
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", "MIF-CONTENT");
  sim::MakeFile("C:\\WINNT\\cvnunins.mif", "MIF-CONTENT ");
  sim::MakeFile("C:\\WINNT\\cvnunins.mi~", "MIF-CONTENT ");
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mif"), "MIF-CONTENT ");
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi_"));
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi~"));
}

TEST_F(UninstUnInitializeTest, UnattendedWithoutAStashToBelieveLeavesTheShippedStatusFile) {
  Unattended();
  sim::MakeFile(kInstall + "cvnadmin.exe", "x");
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", "MIF-CONTENT");
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mi_"), "MIF-CONTENT");
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mif"));
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(UninstUnInitializeTest, UnattendedWithAProgramFileThatStaysLeavesTheShippedStatusFile) {
  Unattended();
  Stashed();
  sim::MakeFile(kInstall + "cvnbase.dll", "x");
  // Neither deleted nor renamed, and on Windows 2000 not deferred by its own name.
  sim::HoldOpen(kInstall + "cvnbase.dll");
  sim::OsVersion windows2000;
  windows2000.major = 5;
  sim::SetOsVersion(windows2000);
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", "MIF-CONTENT");
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mi_"), "MIF-CONTENT");
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mif"));
}

TEST_F(UninstUnInitializeTest, StatusFileGivenASecondNameBetweenTheHooksIsNeitherChangedNorAppended) {
  Unattended();
  Stashed();
  sim::MakeFile("C:\\WINNT\\system32\\config\\SAM", "hives", FILE_ATTRIBUTE_READONLY);
  sim::MakeHardLink("C:\\WINNT\\cvnunins.mi_", "C:\\WINNT\\system32\\config\\SAM");
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\system32\\config\\SAM"), "hives");
  EXPECT_EQ(sim::Attributes("C:\\WINNT\\system32\\config\\SAM"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(sim::CallCount("WriteFile"), 0);
}

TEST_F(UninstUnInitializeTest, UnattendedStatusFileThatCannotBeSeekedIsLeftAsItWas) {
  Unattended();
  Stashed();
  const std::string shipped = "MIF-CONTENT";
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", shipped);
  sim::FailCall("SetFilePointer", ERROR_INVALID_PARAMETER);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mi_"), shipped);
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mif"));
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi~"));
  EXPECT_EQ(sim::CallCount("WriteFile"), 0);
}

TEST_F(UninstUnInitializeTest, UnattendedStatusFileWhoseWriteFailsIsLeftAsItWas) {
  Unattended();
  Stashed();
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", "MIF-CONTENT");
  sim::FailCall("WriteFile", ERROR_DISK_FULL);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mi_"), "MIF-CONTENT");
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mif"));
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi~"));
}

TEST_F(UninstUnInitializeTest, UnattendedWithoutStatusFileAppendsNothing) {
  Unattended();
  Stashed();
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mif"));
  sim::FailCall("GetWindowsDirectoryA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("WriteFile"), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
}

// ---- Installation directory: reading and stashing ---------------------------------

// The installation directory holds a program file, as the product's does.
class InstallDirTest : public UninstallTest {
 protected:
  void SetUp() override {
    UninstallTest::SetUp();
    sim::MakeFile(kInstall + "cvnsvc.exe", "x");
  }
};

// The product key opened as the hooks open it, for ReadStringValue.
HKEY OpenProductKey() {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  return key;
}

TEST_F(InstallDirTest, DirectoryOf259CharactersFitsAPathBufferAnd260DoNot) {
  const std::string fits = "C:\\" + std::string(255, 'f') + "\\";  // 259 characters
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, fits);
  char path[MAX_PATH];
  EXPECT_EQ(ReadInstallDirInto(path), 1);
  EXPECT_EQ(std::string(path), fits);

  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, fits + "x");
  memset(path, 'z', sizeof path);
  EXPECT_EQ(ReadInstallDirInto(path), 0);
  EXPECT_EQ(std::string(path), "");
}

TEST_F(InstallDirTest, MissingValueOrValueOfAnotherTypeReadsAsNothing) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "JournalRoot", REG_SZ, kJournals);
  EXPECT_EQ(ReadInstallDir(), nullptr);
  HKEY key = OpenProductKey();
  char* value = reinterpret_cast<char*>(1);
  EXPECT_EQ(ReadStringValue(key, "InstallationDirectory", &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(value, nullptr);

  for (DWORD type : {static_cast<DWORD>(REG_DWORD), static_cast<DWORD>(REG_MULTI_SZ),
                     static_cast<DWORD>(REG_BINARY)}) {
    sim::SetRawValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", type,
                     std::string("C:\\x\\\0", 6));
    value = reinterpret_cast<char*>(1);
    EXPECT_EQ(ReadStringValue(key, "InstallationDirectory", &value), ERROR_INVALID_DATA) << type;
    EXPECT_EQ(value, nullptr) << type;
    EXPECT_EQ(ReadInstallDir(), nullptr) << type;
  }
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(InstallDirTest, ExpandableStringIsReadAsStoredAndUnterminatedOneGetsItsNul) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_EXPAND_SZ,
                "%ProgramFiles%\\Corvane\\");
  char* value = ReadInstallDir();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::string(value), "%ProgramFiles%\\Corvane\\");
  free(value);
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  value = ReadInstallDir();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::string(value), "C:\\Corvane\\");
  free(value);
}

TEST_F(InstallDirTest, ValueChangedBetweenTheTwoQueriesReadsAsNothing) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  HKEY key = OpenProductKey();
  char* value = reinterpret_cast<char*>(1);
  // Rewritten as a number of the same size between the size and the data query.
  sim::BeforeCall("RegQueryValueExA", 2, [] {
    sim::SetRawValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_BINARY,
                     std::string(kInstall.size() + 1, '\x01'));
  });
  EXPECT_EQ(ReadStringValue(key, "InstallationDirectory", &value), ERROR_INVALID_DATA);
  EXPECT_EQ(value, nullptr);
  // Grown between the two queries: the data no longer fits the block.
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  sim::BeforeCall("RegQueryValueExA", 2, [] {
    sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall + "Bin\\");
  });
  value = reinterpret_cast<char*>(1);
  EXPECT_EQ(ReadStringValue(key, "InstallationDirectory", &value), ERROR_MORE_DATA);
  EXPECT_EQ(value, nullptr);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(InstallDirTest, FailedAllocationReadsAsNothing) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  HKEY key = OpenProductKey();
  char* value = reinterpret_cast<char*>(1);
  sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ReadStringValue(key, "InstallationDirectory", &value), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(value, nullptr);
  EXPECT_EQ(sim::CallCount("RegQueryValueExA"), 1);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ReadInstallDir(), nullptr);
}

TEST_F(InstallDirTest, StashThatCannotBeCreatedIsLeftOutQuietly) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  sim::FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
  StashInstallDir();
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));
  EXPECT_EQ(sim::CallCount("RegCreateKeyExA"), 1);
  EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0);
  // A stash left from before whose security shuts the user out.
  sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
  sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, sim::AdministratorsOnly());
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, kStash);
  StashInstallDir();
  EXPECT_EQ(sim::CallCount("RegCreateKeyExA"), 2);
  EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0);
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, kStash, false);
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kStash);
  // SOFTWARE itself cannot be opened for the stash (the product key's open
  // comes first; the look for an old stash goes by the wide calls).
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, 2);
  StashInstallDir();
  EXPECT_EQ(sim::CallCount("RegCreateKeyExA"), 2);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));
}

TEST_F(InstallDirTest, StashIsVolatileAndOnlyAdministratorsMayChangeIt) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  StashInstallDir();
  EXPECT_TRUE(sim::IsVolatileKey(HKEY_LOCAL_MACHINE, kStash));
  sim::KeySecurity security = sim::GetKeySecurity(HKEY_LOCAL_MACHINE, kStash);
  EXPECT_EQ(security.owner, sim::AdministratorsSid());
  EXPECT_EQ(security.dacl, sim::AdministratorsOnly().dacl);
  EXPECT_FALSE(sim::UserMayChange(HKEY_LOCAL_MACHINE, kStash));
  char* stashed = ReadStashedInstallDir();
  ASSERT_NE(stashed, nullptr);
  EXPECT_EQ(std::string(stashed), kInstall);
  free(stashed);
  // The check for volatility leaves nothing behind.
  EXPECT_TRUE(sim::Subkeys(HKEY_LOCAL_MACHINE, kStash).empty());
}

TEST_F(InstallDirTest, StashAUserMadeBeforehandIsReplacedByOneTheyCannotChange) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  sim::SetValue(HKEY_LOCAL_MACHINE, std::string(kStash) + "\\Theirs", "x", REG_SZ, "y");
  for (const char* key : {kStash, "SOFTWARE\\Velmora Software Uninstall\\Theirs"})
    sim::SetKeySecurity(HKEY_LOCAL_MACHINE, key,
                        {sim::UserSid(), sim::AllowList({{sim::EveryoneSid(), KEY_ALL_ACCESS}})});
  StashInstallDir();
  EXPECT_TRUE(sim::IsVolatileKey(HKEY_LOCAL_MACHINE, kStash));
  EXPECT_FALSE(sim::UserMayChange(HKEY_LOCAL_MACHINE, kStash));
  EXPECT_TRUE(sim::Subkeys(HKEY_LOCAL_MACHINE, kStash).empty());
  EXPECT_EQ(sim::GetString(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory"), kInstall);
}

TEST_F(InstallDirTest, StashIsKeptWhenTheProductKeyNamesNoDirectory) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  StashInstallDir();
  // A rerun after the uninstaller removed the product key.
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct);
  StashInstallDir();
  EXPECT_EQ(sim::GetString(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory"), kInstall);
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 0);
}

TEST_F(InstallDirTest, StashThatCannotBeReplacedIsNeitherWrittenNorBelieved) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
  sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, {sim::UserSid(), sim::AdministratorsOnly().dacl});
  sim::FailCall("RegDeleteKeyW", ERROR_ACCESS_DENIED);
  StashInstallDir();
  EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0);
  // Their own key: they may write what they like into it.
  sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, "C:\\WINNT\\system32");
  EXPECT_EQ(ReadStashedInstallDir(), nullptr);
}

TEST_F(InstallDirTest, StashIsBelievedOnlyWhenVolatileAndOnlyAdministratorsMayChangeIt) {
  // The administrator's own account, S-1-5-21-1-2-3-500.
  std::string ownAccount = sim::UserSid();
  ownAccount[24] = '\xf4';
  ownAccount[25] = '\x01';
  const std::string everyone = sim::EveryoneSid();
  std::string inheritOnly = sim::AllowList({{sim::AdministratorsSid(), KEY_ALL_ACCESS}, {everyone, KEY_ALL_ACCESS}});
  inheritOnly[sizeof(ACL) + 8 + 16 + 1] = INHERIT_ONLY_ACE | CONTAINER_INHERIT_ACE;
  const struct {
    const char* what;
    bool isVolatile;
    sim::KeySecurity security;
    std::string tokenOwner;
    bool believed;
  } cases[] = {
      {"as the first hook makes it", true, sim::AdministratorsOnly(), sim::AdministratorsSid(), true},
      {"not volatile", false, sim::AdministratorsOnly(), sim::AdministratorsSid(), false},
      {"owned by a user", true, {sim::UserSid(), sim::AdministratorsOnly().dacl}, sim::AdministratorsSid(), false},
      {"owned by the account this process makes keys for", true, {ownAccount, sim::AdministratorsOnly().dacl},
       ownAccount, true},
      {"everyone may set values", true,
       {sim::AdministratorsSid(), sim::AllowList({{sim::AdministratorsSid(), KEY_ALL_ACCESS}, {everyone, KEY_SET_VALUE}})},
       sim::AdministratorsSid(), false},
      {"everyone may read", true,
       {sim::AdministratorsSid(), sim::AllowList({{sim::AdministratorsSid(), KEY_ALL_ACCESS}, {everyone, KEY_READ}})},
       sim::AdministratorsSid(), true},
      {"an entry only for subkeys", true, {sim::AdministratorsSid(), inheritOnly}, sim::AdministratorsSid(), true},
      {"an entry for its verified owner", true,
       {ownAccount, sim::AllowList({{sim::AdministratorsSid(), KEY_ALL_ACCESS}, {ownAccount, KEY_ALL_ACCESS}})},
       ownAccount, true},
      {"an entry for an account that does not own it", true,
       {sim::AdministratorsSid(), sim::AllowList({{sim::AdministratorsSid(), KEY_ALL_ACCESS}, {ownAccount, KEY_ALL_ACCESS}})},
       ownAccount, false},
      {"no access list", true, {sim::AdministratorsSid(), std::nullopt}, sim::AdministratorsSid(), false},
  };
  for (const auto& c : cases) {
    sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kStash);
    sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, c.isVolatile);
    sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, c.security);
    sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, kInstall);
    sim::SetTokenOwner(c.tokenOwner);
    char* stashed = ReadStashedInstallDir();
    EXPECT_EQ(stashed != nullptr, c.believed) << c.what;
    free(stashed);
    EXPECT_TRUE(sim::Subkeys(HKEY_LOCAL_MACHINE, kStash).empty()) << c.what;
  }
}

// Windows 2000 and later merge SOFTWARE's inheritable entries into a list
// given at creation unless it is protected; on XP the administrator's own
// account owns what it creates.
TEST_F(InstallDirTest, StashMadeOnWindowsNt4And2000AndXpIsBelieved) {
  std::string ownAccount = sim::UserSid();
  ownAccount[24] = '\xf4';
  ownAccount[25] = '\x01';
  for (const sim::OsVersion& version : ThreeSystems()) {
    sim::Reset();
    sim::SetOsVersion(version);
    const std::string owner = version.minor == 1 ? ownAccount : sim::AdministratorsSid();
    sim::SetTokenOwner(owner);
    sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
    sim::MakeFile(kInstall + "cvnsvc.exe", "x");
    StashInstallDir();
    sim::KeySecurity security = sim::GetKeySecurity(HKEY_LOCAL_MACHINE, kStash);
    EXPECT_EQ(security.owner, owner) << version.build;
    EXPECT_EQ(security.dacl, sim::AdministratorsOnly().dacl) << version.build;
    EXPECT_EQ(sim::CallCount("SetSecurityDescriptorControl"), version.major >= 5 ? 1 : 0);
    char* stashed = ReadStashedInstallDir();
    ASSERT_NE(stashed, nullptr) << version.build;
    EXPECT_EQ(std::string(stashed), kInstall);
    free(stashed);
  }
}

// Without the protection Windows 2000 gives the stash SOFTWARE's entries:
// Power Users may change it, and it is not believed.
TEST_F(InstallDirTest, StashLeftUnprotectedOnWindows2000ReceivesSoftwaresEntriesAndIsNotBelieved) {
  sim::SetOsVersion(ThreeSystems()[1]);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  sim::MakeFile(kInstall + "cvnsvc.exe", "x");
  sim::FailCall("GetProcAddress", ERROR_PROC_NOT_FOUND);
  StashInstallDir();
  const BYTE kInherits = CONTAINER_INHERIT_ACE | INHERITED_ACE;
  const DWORD kPowerUsers = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE;
  EXPECT_EQ(sim::GetKeySecurity(HKEY_LOCAL_MACHINE, kStash).dacl,
            sim::AccessList({{sim::AdministratorsSid(), KEY_ALL_ACCESS, 0},
                             {sim::LocalSystemSid(), KEY_ALL_ACCESS, 0},
                             {sim::UsersSid(), KEY_READ, kInherits},
                             {sim::PowerUsersSid(), kPowerUsers, kInherits},
                             {sim::AdministratorsSid(), KEY_ALL_ACCESS, kInherits},
                             {sim::LocalSystemSid(), KEY_ALL_ACCESS, kInherits},
                             {sim::AdministratorsSid(), KEY_ALL_ACCESS, INHERITED_ACE},
                             {sim::CreatorOwnerSid(), KEY_ALL_ACCESS, kInherits | INHERIT_ONLY_ACE}}));
  EXPECT_EQ(ReadStashedInstallDir(), nullptr);
  // The call there but failing: no stash rather than one that is not believed.
  sim::FailCall("SetSecurityDescriptorControl", ERROR_INVALID_PARAMETER);
  StashInstallDir();
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));
}

TEST_F(InstallDirTest, StashWhoseSecurityCannotBeReadWhollyIsNotBelieved) {
  const std::string admins = sim::AdministratorsSid();
  std::string list = *sim::AdministratorsOnly().dacl;
  auto withWord = [](std::string bytes, size_t at, WORD value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
    return bytes;
  };
  std::string objectEntry = list;
  objectEntry[sizeof(ACL)] = 5;  // an allow entry for an object type
  std::vector<std::pair<std::string, DWORD>> many(60, {sim::AdministratorsSid(), KEY_READ});
  const struct {
    const char* what;
    sim::KeySecurity security;
  } cases[] = {
      {"a list longer than the descriptor", {admins, withWord(list, 2, 0x400)}},
      {"more entries than the list holds", {admins, withWord(list, 4, 3)}},
      {"an entry shorter than its header", {admins, withWord(list, sizeof(ACL) + 2, 4)}},
      {"an entry past the list's end", {admins, withWord(list, sizeof(ACL) + 2, 0x200)}},
      {"an entry of a kind not known here", {admins, objectEntry}},
      {"more than the buffer holds", {admins, sim::AllowList(many)}},
      {"no owner", {"", list}},
      {"an owner longer than the descriptor", {std::string("\x01\x0f\0\0\0\0\0\x05", 8), list}},
  };
  for (const auto& c : cases) {
    sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kStash);
    sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
    sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, c.security);
    sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, kInstall);
    EXPECT_EQ(ReadStashedInstallDir(), nullptr) << c.what;
  }
}

TEST_F(InstallDirTest, StashOwnerIsCheckedAgainstATokenThatCannotBeReadAsNoMatch) {
  std::string ownAccount = sim::UserSid();
  ownAccount[24] = '\xf4';
  ownAccount[25] = '\x01';
  sim::CreateKey(HKEY_LOCAL_MACHINE, kStash, true);
  sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, {ownAccount, sim::AdministratorsOnly().dacl});
  sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, kInstall);
  sim::SetTokenOwner(ownAccount);
  sim::FailCall("OpenProcessToken", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadStashedInstallDir(), nullptr);
  sim::FailCall("GetTokenInformation", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadStashedInstallDir(), nullptr);
  // An owner of more sub-authorities than a SID may have does not fit.
  sim::SetTokenOwner(ownAccount + std::string(48, '\x01'));
  EXPECT_EQ(ReadStashedInstallDir(), nullptr);
}

TEST_F(InstallDirTest, StashWithASubkeyOfTheProbesNameIsNotBelievedAndKeepsIt) {
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kStash) + "\\Probe", true);
  sim::SetKeySecurity(HKEY_LOCAL_MACHINE, kStash, sim::AdministratorsOnly());
  sim::SetValue(HKEY_LOCAL_MACHINE, kStash, "InstallationDirectory", REG_SZ, kInstall);
  EXPECT_EQ(ReadStashedInstallDir(), nullptr);
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kStash), std::vector<std::string>{"Probe"});
}

TEST_F(InstallDirTest, WithoutTheValuePinAndPurgeOpenNothingElseAndTouchNothing) {
  Attended();
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "JournalRoot", REG_SZ, kJournals);
  // What an empty directory would name, and what it would purge.
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, "cvnax.ocx", 3);
  sim::MakeFile("C:\\help.GID", "x");
  sim::MakeFile("C:\\Logs\\svc.log", "x");
  PinSharedControl();
  PurgeInstallDirLeftovers();
  // One open each: the product key's.
  EXPECT_EQ(sim::CallCount("RegOpenKeyExA"), 2);
  EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0);
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  EXPECT_EQ(sim::GetValue(HKEY_LOCAL_MACHINE, kSharedDlls, "cvnax.ocx")->data,
            std::string("\x03\x00\x00\x00", 4));
  EXPECT_TRUE(sim::Exists("C:\\help.GID"));
  EXPECT_TRUE(sim::Exists("C:\\Logs\\svc.log"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(InstallDirTest, SharedControlNotListedOrNamesTooLongAreLeftAlone) {
  // Installed, but the shared control has no counter: nothing is written.
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, kInstall);
  sim::SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, "C:\\Other\\cvnax.ocx", 3);
  PinSharedControl();
  EXPECT_EQ(sim::CallCount("RegQueryValueExA"), 3);  // size, data, counter
  EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0);
  EXPECT_EQ(sim::ValueNames(HKEY_LOCAL_MACHINE, kSharedDlls),
            std::vector<std::string>{"C:\\Other\\cvnax.ocx"});
  // A directory of 255 characters fits, but neither directory + "cvnax.ocx"
  // nor directory + "Logs\" (or a leftover pattern) does.
  const std::string directory = "C:\\" + std::string(251, 'd') + "\\";
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, directory);
  sim::MakeFile(directory + "x", "x");
  PinSharedControl();
  EXPECT_EQ(sim::CallCount("RegOpenKeyExA"), 3);  // product key twice, SharedDLLs once
  PurgeInstallDirLeftovers();
  EXPECT_EQ(sim::CallCount("RegOpenKeyExA"), 4);
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  EXPECT_TRUE(sim::Exists(directory + "x"));
}

// ---- Directory lengths at the edge of a path ---------------------------------------

using PathEdgeTest = UninstallTest;

TEST_F(PathEdgeTest, StatusFilePathsThatExactlyFillAPathAreUsedByBothHooks) {
  Unattended();
  InstallProduct();
  // 246 characters + "\cvnunins.mi_" (13) = 259, the longest path there is.
  const std::string windows = "C:\\" + std::string(243, 'w');
  sim::MakeDirectory(windows);
  sim::SetWindowsDirectory(windows);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  const std::string shipped = sim::FileContents(kInstall + "cvnunins.mi_");
  EXPECT_EQ(sim::FileContents(windows + "\\cvnunins.mi_"), shipped);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(sim::Exists(windows + "\\cvnunins.mi_"));
  EXPECT_EQ(sim::FileContents(windows + "\\cvnunins.mif"), shipped + " ");
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(PathEdgeTest, StatusFilePathsOneCharacterTooLongAreLeftAloneByBothHooks) {
  Unattended();
  InstallProduct();
  const std::string windows = "C:\\" + std::string(244, 'w');  // 247 + 13 = 260
  sim::MakeDirectory(windows);
  sim::SetWindowsDirectory(windows);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("CopyFileA"), 0);
  const int moves = sim::CallCount("MoveFileExW");
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("MoveFileExW"), moves + 1);  // the installation directory only
  EXPECT_EQ(sim::CallCount("WriteFile"), 0);
  EXPECT_TRUE(sim::DirectoryEntries(windows).empty());
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(PathEdgeTest, UnattendedWithoutRoomForTheShippedStatusFileCopiesNothing) {
  Unattended();
  InstallServices();
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);  // no installation directory
  // 248 characters + "cvnunins.mi_" (12) = 260.
  const std::string directory = "C:\\" + std::string(244, 'i') + "\\";
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, directory);
  sim::MakeFile(directory + "cvnunins.mi", "[MIF]");
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("CopyFileA"), 0);
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi_"));
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(PathEdgeTest, WindowsDirectoryOf260CharactersIsUnknownToBothHooks) {
  Unattended();
  InstallProduct();
  sim::SetWindowsDirectory("C:\\" + std::string(257, 'w'));
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("CopyFileA"), 0);
  // Without the Windows directory no tree is walked: it might be inside.
  EXPECT_TRUE(sim::Exists(kInstall + "help.GID"));
  const int moves = sim::CallCount("MoveFileExW");
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("MoveFileExW"), moves);
  EXPECT_EQ(sim::CallCount("WriteFile"), 0);
  EXPECT_TRUE(sim::Exists(kInstall + "cvnadmin.exe"));
}

TEST_F(PathEdgeTest, SystemDirectoryOf260CharactersIsUnknownAnd259LeavesNoRoomForDrivers) {
  Attended();
  InstallProduct();
  sim::SetSystemDirectory("C:\\" + std::string(257, 's'));
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  ASSERT_EQ(sim::Dialogs().size(), 1u);
  EXPECT_EQ(sim::Dialogs()[0].text,
            "Could not get the Windows NT System directory.\nUnInstall will try to continue.\n");
  EXPECT_EQ(sim::Dialogs()[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));

  // 259 characters are a directory, but "\drivers" no longer fits after it:
  // no driver file is looked for, and the hook goes on to the data question.
  sim::SetSystemDirectory("C:\\" + std::string(256, 's'));
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::Dialogs().size(), 2u);
  EXPECT_EQ(sim::Dialogs()[1].text, kDataQuestionWithPaths);
  for (const char* name : {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys", "cvnmapi.log"})
    EXPECT_TRUE(sim::Exists(kDrivers + name)) << name;
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));
}

// ---- Reboot without the shutdown privilege --------------------------------------------

TEST_F(UninstUnInitializeTest, TokenOrPrivilegeThatCannotBeHadStillRequestsTheRestart) {
  const std::string failed =
      "Error in requesting System Shutdown\n\nA required privilege is not held by the client.\r\n"
      "\nPlease reboot your system manually\n";
  Attended();
  sim::FailCall("OpenProcessToken", ERROR_ACCESS_DENIED);
  sim::QueueAnswer(IDYES);
  sim::QueueAnswer(IDOK);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("LookupPrivilegeValueA"), 0);
  EXPECT_TRUE(sim::PrivilegeChanges().empty());
  ASSERT_EQ(sim::ShutdownRequests().size(), 1u);
  EXPECT_FALSE(sim::ShutdownRequests()[0].succeeded);
  ASSERT_EQ(sim::Dialogs().size(), 2u);
  EXPECT_EQ(sim::Dialogs()[1].text, failed);

  sim::FailCall("LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE);
  sim::QueueAnswer(IDYES);
  sim::QueueAnswer(IDOK);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::CallCount("OpenProcessToken"), 2);
  EXPECT_EQ(sim::CallCount("AdjustTokenPrivileges"), 0);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Token), 0);
  ASSERT_EQ(sim::ShutdownRequests().size(), 2u);
  EXPECT_FALSE(sim::ShutdownRequests()[1].succeeded);
  ASSERT_EQ(sim::Dialogs().size(), 4u);
  EXPECT_EQ(sim::Dialogs()[3].text, failed);
}

// ---- Both hooks, as the uninstaller runs them -----------------------------------------

TEST_F(UninstallTest, WholeUnattendedUninstall) {
  Unattended();
  InstallProduct();
  EXPECT_EQ(UninstInitialize(nullptr, nullptr, 0), 0);
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_EQ(sim::HeapBlocks(), 0);
  // What the uninstaller removes itself between the hooks.
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct);
  EXPECT_EQ(UninstUnInitialize(nullptr, nullptr, 0), 0);

  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_TRUE(NoServiceLeft());
  for (const char* name : {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll", "cvnmapi.dll",
                           "DeIsL1.isu", "help.GID", "Logs"})
    EXPECT_FALSE(sim::Exists(kInstall + name)) << name;
  EXPECT_TRUE(sim::Exists(kDatabases + "\\jobs.db"));
  EXPECT_TRUE(sim::Exists(kJournals + "\\job1\\0001.jnl"));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane"));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane"));
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mif"),
            sim::FileContents(kInstall + "cvnunins.mi_") + " ");

  sim::Reboot();
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kStash));
}

}  // namespace
