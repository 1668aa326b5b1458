#include <algorithm>
// Removal primitives: one file, a directory tree, a registry tree; the
// refusals that keep a recursive delete inside what the product owns.
#include <map>
#include <string>
#include <vector>

#include "registry_tree.h"
#include "removal.h"
#include "uninstall_fixture.h"

namespace {

using RemovalTest = UninstallSimTest;

// The system a hook would learn at its start.
void PoseSystem(DWORD major, DWORD minor) {
  sim::OsVersion version;
  version.major = major;
  version.minor = minor;
  sim::SetOsVersion(version);
  LearnDeferralRule();
}

struct System {
  DWORD major;
  DWORD minor;
};
const System kSystems[] = {{3, 51}, {4, 0}, {5, 0}, {5, 1}};

// ---- DeleteFileOrDefer ----------------------------------------------------------

// Windows 2000 and later: a file in use goes only by the rename.
class DeleteFileOrDeferTest : public RemovalTest {
 protected:
  void SetUp() override {
    RemovalTest::SetUp();
    PoseSystem(5, 0);
  }
};
using DeferBySystemTest = RemovalTest;

TEST_F(DeferBySystemTest, FileThatCannotBeRenamedIsDeferredByItsOwnNameOnlyBeforeWindows2000) {
  for (const System& system : kSystems) {
    sim::Reset();
    PoseSystem(system.major, system.minor);
    sim::MakeFile("C:\\Corvane\\Logs\\svc.log", "log");
    sim::HoldOpen("C:\\Corvane\\Logs\\svc.log");
    bool ownName = system.major < 5;
    EXPECT_EQ(DeleteFileOrDefer("svc.log", "C:\\Corvane\\Logs"), ownName ? 1 : 0) << system.major;
    EXPECT_EQ(sim::DeletionPending("C:\\Corvane\\Logs\\svc.log"), ownName) << system.major;
    sim::Reboot();
    EXPECT_EQ(sim::Exists("C:\\Corvane\\Logs\\svc.log"), !ownName) << system.major;
  }
}

TEST_F(DeferBySystemTest, FileInUseWithoutRoomForTheSuffixIsDeferredByItsOwnNameOnlyBeforeWindows2000) {
  // 250 bytes: the suffix would take the path past 259.
  const std::string directory = "C:\\" + std::string(239, 'd');
  for (const System& system : kSystems) {
    sim::Reset();
    PoseSystem(system.major, system.minor);
    sim::MakeFile(directory + "\\cvnsvc.exe", "MZ");
    sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);  // a running program's image
    bool ownName = system.major < 5;
    EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", directory.c_str()), ownName ? 1 : 0) << system.major;
    EXPECT_EQ(sim::PendingOperations().size(), ownName ? 1u : 0u) << system.major;
    EXPECT_EQ(sim::DeletionPending(directory + "\\cvnsvc.exe"), ownName) << system.major;
  }
}

TEST_F(DeferBySystemTest, SystemThatCannotBeAskedLeavesTheRenameTheOnlyWay) {
  sim::FailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND);
  PoseSystem(4, 0);
  sim::MakeFile("C:\\Corvane\\Logs\\svc.log", "log");
  sim::HoldOpen("C:\\Corvane\\Logs\\svc.log");
  EXPECT_EQ(DeleteFileOrDefer("svc.log", "C:\\Corvane\\Logs"), 0);
  EXPECT_FALSE(sim::DeletionPending("C:\\Corvane\\Logs\\svc.log"));
}

TEST_F(DeleteFileOrDeferTest, FileHeldSharingDeletionIsDeletedOnEverySystem) {
  for (const System& system : kSystems) {
    sim::Reset();
    PoseSystem(system.major, system.minor);
    sim::MakeFile("C:\\Corvane\\Logs\\svc.log", "log");
    sim::HoldOpen("C:\\Corvane\\Logs\\svc.log", true, FILE_SHARE_READ | FILE_SHARE_DELETE);
    EXPECT_EQ(DeleteFileOrDefer("svc.log", "C:\\Corvane\\Logs"), 1) << system.major;
    // Still listed but going: a second run counts it as gone.
    EXPECT_EQ(DeleteFileOrDefer("svc.log", "C:\\Corvane\\Logs"), 1) << system.major;
    EXPECT_EQ(sim::CallCount("DeleteFileW"), 1) << system.major;
    EXPECT_TRUE(sim::PendingOperations().empty()) << system.major;
    sim::HoldOpen("C:\\Corvane\\Logs\\svc.log", false);
    EXPECT_FALSE(sim::Exists("C:\\Corvane\\Logs\\svc.log")) << system.major;
  }
}

// Windows XP in the compatibility mode "Windows NT 4.0 SP5" reports 4.0
// through GetVersionExA, with junctions all the same.
TEST_F(DeferBySystemTest, CompatibilityModeReportingWindowsNT4DoesNotBringBackTheDeferralByOwnName) {
  PoseSystem(5, 1);
  sim::OsVersion posed;
  posed.csd = "Service Pack 5";
  sim::SetCompatibilityMode(posed);
  LearnDeferralRule();
  OSVERSIONINFOA reported;
  reported.dwOSVersionInfoSize = sizeof reported;
  ASSERT_TRUE(GetVersionExA(&reported));
  ASSERT_EQ(reported.dwMajorVersion, 4u);
  sim::MakeFile("C:\\Corvane\\Logs\\svc.log", "log");
  sim::HoldOpen("C:\\Corvane\\Logs\\svc.log");
  EXPECT_EQ(DeleteFileOrDefer("svc.log", "C:\\Corvane\\Logs"), 0);
  EXPECT_FALSE(sim::DeletionPending("C:\\Corvane\\Logs\\svc.log"));
}

TEST_F(DeleteFileOrDeferTest, MissingFileCountsAsDeletedAndNothingIsScheduled) {
  sim::MakeDirectory("C:\\Corvane");
  EXPECT_EQ(DeleteFileOrDefer("cvnadmin.exe", "C:\\Corvane"), 1);
  EXPECT_EQ(sim::CallCount("DeleteFileW"), 0);
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteFileOrDeferTest, FileIsDeletedAtOnce) {
  sim::MakeFile("C:\\Corvane\\cvnadmin.exe", "MZ");
  EXPECT_EQ(DeleteFileOrDefer("cvnadmin.exe", "C:\\Corvane"), 1);
  EXPECT_FALSE(sim::Exists("C:\\Corvane\\cvnadmin.exe"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteFileOrDeferTest, FileInUseIsRenamedAndItsNewNameLeftToTheNextStart) {
  sim::MakeFile("C:\\WINNT\\system32\\drivers\\cvn-rec.sys");
  // A running program's image: no deletion, but a rename.
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteFileOrDefer("cvn-rec.sys", "C:\\WINNT\\system32\\drivers"), 1);
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\system32\\drivers\\cvn-rec.sys"));
  EXPECT_TRUE(sim::Exists("C:\\WINNT\\system32\\drivers\\cvn-rec.sys.cvn-deleted"));
  ASSERT_EQ(sim::PendingOperations().size(), 1u);
  EXPECT_EQ(sim::PendingOperations()[0].source, "C:\\WINNT\\system32\\drivers\\cvn-rec.sys.cvn-deleted");
  EXPECT_EQ(sim::PendingOperations()[0].target, "");
  sim::Reboot();
  EXPECT_TRUE(sim::DirectoryEntries("C:\\WINNT\\system32\\drivers").empty());
}

TEST_F(DeleteFileOrDeferTest, FileHeldOpenWithoutSharingStaysAndOnlyTheUnusedNewNameIsScheduled) {
  sim::MakeFile("C:\\Corvane\\Logs\\svc.log", "log");
  sim::HoldOpen("C:\\Corvane\\Logs\\svc.log");
  EXPECT_EQ(DeleteFileOrDefer("svc.log", "C:\\Corvane\\Logs"), 0);
  EXPECT_EQ(sim::FileContents("C:\\Corvane\\Logs\\svc.log"), "log");
  ASSERT_EQ(sim::PendingOperations().size(), 1u);
  EXPECT_EQ(sim::PendingOperations()[0].source, "C:\\Corvane\\Logs\\svc.log.cvn-deleted");
  sim::HoldOpen("C:\\Corvane\\Logs\\svc.log", false);
  sim::Reboot();
  EXPECT_EQ(sim::FileContents("C:\\Corvane\\Logs\\svc.log"), "log");
}

TEST_F(DeleteFileOrDeferTest, DeferredFileWhoseFolderBecomesAJunctionBeforeTheRestartReachesNothingThere) {
  sim::MakeFile("C:\\WINNT\\system32\\config\\SAM", "accounts");
  sim::MakeFile("C:\\Corvane\\Logs\\SAM", "theirs");
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteFileOrDefer("SAM", "C:\\Corvane\\Logs"), 1);
  // After the uninstall the user swaps their folder for a junction.
  ASSERT_TRUE(MoveFileExA("C:\\Corvane\\Logs", "C:\\Corvane\\Old", 0));
  sim::MakeJunction("C:\\Corvane\\Logs", "C:\\WINNT\\system32\\config");
  sim::Reboot();
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\system32\\config\\SAM"), "accounts");
}

TEST_F(DeleteFileOrDeferTest, FileOfTheDeferredNameAlreadyThereIsNotReplaced) {
  sim::MakeFile("C:\\Corvane\\cvnsvc.exe", "MZ");
  sim::MakeFile("C:\\Corvane\\cvnsvc.exe.cvn-deleted", "other");
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", "C:\\Corvane"), 0);
  EXPECT_EQ(sim::FileContents("C:\\Corvane\\cvnsvc.exe.cvn-deleted"), "other");
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteFileOrDeferTest, FileThatCannotBeScheduledIsNotRenamed) {
  sim::MakeFile("C:\\Corvane\\cvnsvc.exe", "MZ");
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);
  sim::FailCall("MoveFileExW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", "C:\\Corvane"), 0);
  EXPECT_EQ(sim::DirectoryEntries("C:\\Corvane"), std::vector<std::string>{"cvnsvc.exe"});
  EXPECT_TRUE(sim::PendingOperations().empty());
  EXPECT_EQ(sim::CallCount("MoveFileExW"), 1);
}

TEST_F(DeleteFileOrDeferTest, StoppedBetweenScheduleAndRenameTheRerunStillDefersTheFile) {
  sim::MakeFile("C:\\Corvane\\cvnsvc.exe", "MZ");
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED, 1, 2);
  // The first run ends after scheduling: its rename never happens.
  sim::FailCall("MoveFileExW", ERROR_ACCESS_DENIED, 2);
  EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", "C:\\Corvane"), 0);
  EXPECT_TRUE(sim::Exists("C:\\Corvane\\cvnsvc.exe"));
  EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", "C:\\Corvane"), 1);
  sim::Reboot();
  EXPECT_TRUE(sim::DirectoryEntries("C:\\Corvane").empty());
}

TEST_F(DeleteFileOrDeferTest, FailedHandOverIsTheOnlyFailure) {
  sim::MakeFile("C:\\Corvane\\cvnsvc.exe");
  sim::HoldOpen("C:\\Corvane\\cvnsvc.exe");
  sim::FailCall("MoveFileExW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", "C:\\Corvane"), 0);
  EXPECT_TRUE(sim::PendingOperations().empty());
}

// A system that would not schedule a name nobody has yet: the rename first.
TEST_F(DeleteFileOrDeferTest, NameThatCannotBeScheduledBeforeItExistsIsRenamedFirst) {
  for (DWORD refusal : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND}) {
    sim::Reset();
    PoseSystem(5, 0);
    sim::MakeFile("C:\\Corvane\\cvnsvc.exe", "MZ");
    sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);
    sim::FailCall("MoveFileExW", refusal);
    EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", "C:\\Corvane"), 1) << refusal;
    EXPECT_EQ(sim::DirectoryEntries("C:\\Corvane"), std::vector<std::string>{"cvnsvc.exe.cvn-deleted"});
    EXPECT_TRUE(sim::DeletionPending("C:\\Corvane\\cvnsvc.exe.cvn-deleted")) << refusal;
    EXPECT_EQ(sim::CallCount("MoveFileExW"), 3) << refusal;
  }
}

TEST_F(DeleteFileOrDeferTest, RenamedFileThatCannotBeScheduledTakesItsNameBack) {
  sim::MakeFile("C:\\Corvane\\cvnsvc.exe", "MZ");
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);
  sim::FailCall("MoveFileExW", ERROR_FILE_NOT_FOUND);
  sim::FailCall("MoveFileExW", ERROR_ACCESS_DENIED, 2);  // the schedule after the rename
  EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", "C:\\Corvane"), 0);
  EXPECT_EQ(sim::DirectoryEntries("C:\\Corvane"), std::vector<std::string>{"cvnsvc.exe"});
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteFileOrDeferTest, NameRefusedBeforeItExistsAndRenameRefusedLeaveTheFileAsFound) {
  sim::MakeFile("C:\\Corvane\\cvnsvc.exe", "MZ");
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);
  sim::FailCall("MoveFileExW", ERROR_PATH_NOT_FOUND);
  sim::FailCall("MoveFileExW", ERROR_SHARING_VIOLATION);  // the next one: the rename
  EXPECT_EQ(DeleteFileOrDefer("cvnsvc.exe", "C:\\Corvane"), 0);
  EXPECT_EQ(sim::DirectoryEntries("C:\\Corvane"), std::vector<std::string>{"cvnsvc.exe"});
  EXPECT_TRUE(sim::PendingOperations().empty());
  EXPECT_EQ(sim::CallCount("MoveFileExW"), 2);
}

// A read-only file another process holds: its bit stays (it cannot be held
// to be checked), and it is renamed for the restart as any file in use.
TEST_F(DeleteFileOrDeferTest, ReadOnlyFileHeldOpenKeepsItsBitAndIsRenamed) {
  sim::MakeFile("C:\\Corvane\\help.GID", "index", FILE_ATTRIBUTE_READONLY);
  sim::FailCall("CreateFileW", ERROR_SHARING_VIOLATION);
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteFileOrDefer("help.GID", "C:\\Corvane"), 1);
  EXPECT_EQ(sim::Attributes("C:\\Corvane\\help.GID.cvn-deleted"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

// Copied from a CD, a file keeps its read-only bit: it goes now all the same.
TEST_F(DeleteFileOrDeferTest, ReadOnlyFileIsDeletedAtOnce) {
  sim::MakeFile("C:\\Corvane\\help.GID", "index", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(DeleteFileOrDefer("help.GID", "C:\\Corvane"), 1);
  EXPECT_FALSE(sim::Exists("C:\\Corvane\\help.GID"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

// A second name may lead to anyone's file: its read-only bit is not ours.
TEST_F(DeleteFileOrDeferTest, ReadOnlyFileWithASecondNameKeepsItsBit) {
  sim::MakeFile("C:\\WINNT\\system32\\ntoskrnl.exe", "kernel", FILE_ATTRIBUTE_READONLY);
  sim::MakeHardLink("C:\\Corvane\\help.GID", "C:\\WINNT\\system32\\ntoskrnl.exe");
  DeleteFileOrDefer("help.GID", "C:\\Corvane");
  EXPECT_EQ(sim::Attributes("C:\\WINNT\\system32\\ntoskrnl.exe"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(sim::CallCount("SetFileAttributesW"), 0);
}

TEST_F(DeleteFileOrDeferTest, EmptyDirectoryDoesNotMeanTheDriveRoot) {
  sim::MakeFile("C:\\cvnadmin.exe");
  EXPECT_EQ(DeleteFileOrDefer("cvnadmin.exe", ""), 0);
  EXPECT_TRUE(sim::Exists("C:\\cvnadmin.exe"));
}

TEST_F(DeleteFileOrDeferTest, PathTooLongIsSkippedNotCut) {
  // directory + "\" + name is 260 characters; cut to 259 it would name
  // another file that exists.
  std::string directory = "C:\\" + std::string(245, 'd');
  sim::MakeFile(directory + "\\cvnbase.dl");
  EXPECT_EQ(DeleteFileOrDefer("cvnbase.dll", directory.c_str()), 0);
  EXPECT_TRUE(sim::Exists(directory + "\\cvnbase.dl"));
  EXPECT_EQ(sim::CallCount("GetFileAttributesW"), 0);
  EXPECT_EQ(sim::CallCount("DeleteFileW"), 0);
}

// ---- DeleteTree ----------------------------------------------------------------

using DeleteTreeTest = RemovalTest;

TEST_F(DeleteTreeTest, AllFilesPatternEmptiesAndRemovesANestedTree) {
  sim::MakeFile("D:\\CVN\\Databases\\jobs.db");
  sim::MakeFile("D:\\CVN\\Databases\\a\\history.db");
  sim::MakeFile("D:\\CVN\\Databases\\a\\b\\c\\deep.db");
  sim::MakeDirectory("D:\\CVN\\Databases\\empty");
  sim::MakeFile("D:\\CVN\\keep.txt");
  EXPECT_EQ(DeleteTree("D:\\CVN\\Databases", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("D:\\CVN\\Databases"));
  EXPECT_TRUE(sim::Exists("D:\\CVN\\keep.txt"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteTreeTest, FilesInUseAreScheduledWithTheirDirectoriesAfterThem) {
  sim::MakeFile("D:\\CVN\\Journals\\j1\\open.jnl");
  sim::MakeFile("D:\\CVN\\Journals\\j1\\closed.jnl");
  sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED, 2);  // open.jnl, listed second
  EXPECT_EQ(DeleteTree("D:\\CVN\\Journals", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("D:\\CVN\\Journals\\j1\\closed.jnl"));
  const auto& pending = sim::PendingOperations();
  ASSERT_EQ(pending.size(), 3u);
  EXPECT_EQ(pending[0].source, "D:\\CVN\\Journals\\j1\\open.jnl.cvn-deleted");
  EXPECT_EQ(pending[1].source, "D:\\CVN\\Journals\\j1");
  EXPECT_EQ(pending[2].source, "D:\\CVN\\Journals");
  sim::Reboot();
  EXPECT_FALSE(sim::Exists("D:\\CVN\\Journals"));
}

TEST_F(DeleteTreeTest, NarrowPatternInTheInstallationDirectorySchedulesTheDirectory) {
  const std::string dir = "C:\\Program Files\\Corvane\\";
  sim::MakeFile(dir + "daily.rpt");
  sim::MakeFile(dir + "weekly.RPT");
  sim::MakeFile(dir + "cvnadmin.exe");
  sim::MakeFile(dir + "report.rpt.txt");
  EXPECT_EQ(DeleteTree(dir.c_str(), "*.rpt"), 1);
  EXPECT_EQ(sim::DirectoryEntries(dir), (std::vector<std::string>{"cvnadmin.exe", "report.rpt.txt"}));
  ASSERT_EQ(sim::PendingOperations().size(), 1u);
  EXPECT_TRUE(sim::DeletionPending(dir));
}

TEST_F(DeleteTreeTest, MissingDirectoryOrNoMatchGivesZeroAndSchedulesNothing) {
  EXPECT_EQ(DeleteTree("C:\\Program Files\\Corvane\\", "*.GID"), 0);
  sim::MakeFile("C:\\Program Files\\Corvane\\cvnadmin.exe");
  EXPECT_EQ(DeleteTree("C:\\Program Files\\Corvane\\", "*.GID"), 0);
  EXPECT_TRUE(sim::Exists("C:\\Program Files\\Corvane\\cvnadmin.exe"));
  EXPECT_TRUE(sim::PendingOperations().empty());
  EXPECT_EQ(sim::CallCount("RemoveDirectoryW"), 0);
}

TEST_F(DeleteTreeTest, ReadOnlyAndArchiveSubdirectoriesAreDescendedInto) {
  sim::MakeDirectory("D:\\Data\\ro", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  sim::MakeDirectory("D:\\Data\\ar", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE);
  sim::MakeFile("D:\\Data\\ro\\one.db");
  sim::MakeFile("D:\\Data\\ar\\two.db");
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("D:\\Data\\ro\\one.db"));
  EXPECT_FALSE(sim::Exists("D:\\Data\\ar\\two.db"));
  EXPECT_FALSE(sim::Exists("D:\\Data\\ar"));
}

TEST_F(DeleteTreeTest, OneFailureLeavesZeroButTheWalkGoesOn) {
  PoseSystem(5, 0);  // no deferral by the file's own name
  sim::MakeFile("D:\\Data\\a.db");
  sim::MakeFile("D:\\Data\\b.db");
  sim::MakeFile("D:\\Data\\c.db");
  sim::HoldOpen("D:\\Data\\a.db");
  sim::FailCall("MoveFileExW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 0);
  EXPECT_TRUE(sim::Exists("D:\\Data\\a.db"));
  EXPECT_FALSE(sim::Exists("D:\\Data\\b.db"));
  EXPECT_FALSE(sim::Exists("D:\\Data\\c.db"));
  EXPECT_TRUE(sim::DeletionPending("D:\\Data"));
}

TEST_F(DeleteTreeTest, RefusesEmptyRelativeAndRootPathsTouchingNothing) {
  sim::MakeFile("C:\\Work\\help.GID");
  sim::MakeFile("C:\\Work\\Logs\\svc.log");
  sim::MakeFile("C:\\top.txt");
  sim::MakeFile("D:\\top.txt");
  sim::SetCurrentDirectory("C:\\Work");
  const char* refused[] = {"",      "Logs\\",   "Logs",      "C:",          "C:\\",
                           "c:/",   "D:\\\\",   "C:\\.",     "C:\\..\\",    "\\Work",
                           "C:\\Work\\..", "C:\\Work\\..\\", "C:\\ ", "C:\\...",
                           "\\\\server\\share", "\\\\server\\share\\", "\\\\server"};
  for (const char* directory : refused) {
    EXPECT_EQ(DeleteTree(directory, "*.GID"), 0) << directory;
    EXPECT_EQ(DeleteTree(directory, "\\*.*"), 0) << directory;
    EXPECT_EQ(DeleteTree(directory, "*.*"), 0) << directory;
  }
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  EXPECT_TRUE(sim::Exists("C:\\Work\\help.GID"));
  EXPECT_TRUE(sim::Exists("C:\\Work\\Logs\\svc.log"));
  EXPECT_TRUE(sim::Exists("C:\\top.txt"));
  EXPECT_TRUE(sim::Exists("D:\\top.txt"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteTreeTest, ShareRootIsNeverEmptiedButATreeBelowItGoes) {
  sim::AddShare("\\\\corvsrv\\data");
  sim::MakeFile("\\\\corvsrv\\data\\theirs.doc");
  sim::MakeFile("\\\\corvsrv\\data\\Corvane\\Databases\\jobs.db");
  sim::MakeFile("\\\\corvsrv\\data\\Corvane\\Databases\\a\\history.db");
  const char* roots[] = {"\\\\corvsrv\\data", "\\\\CORVSRV\\DATA\\", "\\\\corvsrv\\data\\Corvane\\.."};
  for (const char* root : roots) {
    EXPECT_EQ(DeleteTree(root, "\\*.*"), 0) << root;
    EXPECT_EQ(DeleteTree(root, "*.doc"), 0) << root;
  }
  EXPECT_TRUE(sim::Exists("\\\\corvsrv\\data\\theirs.doc"));
  EXPECT_EQ(DeleteTree("\\\\corvsrv\\data\\Corvane\\Databases", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("\\\\corvsrv\\data\\Corvane\\Databases"));
  EXPECT_EQ(sim::DirectoryEntries("\\\\corvsrv\\data"), (std::vector<std::string>{"Corvane", "theirs.doc"}));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteTreeTest, FileWhoseHolderSharesDeletionIsDeletedNotDeferred) {
  sim::MakeFile("D:\\CVN\\Journals\\open.jnl", "jnl");
  sim::MakeFile("D:\\CVN\\Journals\\closed.jnl", "jnl");
  sim::HoldOpen("D:\\CVN\\Journals\\open.jnl", true, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  EXPECT_EQ(DeleteTree("D:\\CVN\\Journals", "\\*.*"), 1);
  EXPECT_EQ(sim::CallCount("MoveFileExW"), 1);  // the directory's, still holding the pending name
  ASSERT_EQ(sim::PendingOperations().size(), 1u);
  EXPECT_EQ(sim::PendingOperations()[0].source, "D:\\CVN\\Journals");
  EXPECT_EQ(sim::DirectoryEntries("D:\\CVN\\Journals"), (std::vector<std::string>{"open.jnl"}));
  sim::HoldOpen("D:\\CVN\\Journals\\open.jnl", false);
  EXPECT_TRUE(sim::DirectoryEntries("D:\\CVN\\Journals").empty());
  sim::Reboot();
  EXPECT_FALSE(sim::Exists("D:\\CVN\\Journals"));
}

TEST_F(DeleteTreeTest, DotsWithinNamesAreNoRefusal) {
  sim::MakeFile("D:\\Corvane 1.5\\..data\\x.db");
  EXPECT_EQ(DeleteTree("D:\\Corvane 1.5\\..data\\", "*.db"), 1);
  EXPECT_FALSE(sim::Exists("D:\\Corvane 1.5\\..data\\x.db"));
}

TEST_F(DeleteTreeTest, NameEndingInDotsOrBlanksIsTheDirectoryWindowsReadsIt) {
  // D:\Data.. and D:\Data . .. are D:\Data; D:\Data..\ (made through a
  // path that keeps the dots) is another directory whose files must stay.
  for (const char* directory : {"D:\\Data..", "D:\\Data . ..", "D:\\Data.", "D:\\Data\\."}) {
    sim::MakeFile("D:\\Data\\own.db");
    sim::MakeFile("D:\\Data\\Journals\\j1.log");
    sim::MakeFile("D:\\Data..\\other.db");
    EXPECT_EQ(DeleteTree(directory, "\\*.*"), 1) << directory;
    EXPECT_FALSE(sim::Exists("D:\\Data")) << directory;
    EXPECT_TRUE(sim::Exists("D:\\Data..\\other.db")) << directory;
    EXPECT_TRUE(sim::PendingOperations().empty()) << directory;
  }
}

TEST_F(DeleteTreeTest, CharacterEndingInTheBackslashByteIsNoSeparatorAtAnyDepth) {
  // 表 is 95 5C and ソ 83 5C in code page 932: "D:\Data\表.." is one name,
  // which Windows reads as D:\Data\表, not a ".." climbing out of it.
  sim::SetCodePage(932);
  const std::string table = "D:\\Data\\\x95\x5c";
  sim::MakeFile(table + "\\\x83\x5c\\x.db");
  sim::MakeFile(table + "\\\x83\x5c.db");
  sim::MakeFile("D:\\Data\\keep.db");
  EXPECT_EQ(DeleteTree((table + "..").c_str(), "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists(table));
  EXPECT_TRUE(sim::Exists("D:\\Data\\keep.db"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

// "．．＼victim.txt" is "..\victim.txt" through the ANSI calls on 1252.
const std::u16string kBestFitVictim = u"\uFF0E\uFF0E\uFF3Cvictim.txt";

TEST_F(DeleteTreeTest, BestFitNameIsDeletedItselfAndNothingOneLevelUp) {
  for (const char* directory : {"C:\\Corvane\\Logs", "D:\\Data\\Databases"}) {
    const std::string tree = directory;
    const std::string above = tree.substr(0, tree.rfind('\\'));
    sim::MakeFile(above + "\\victim.txt", "theirs");
    sim::MakeFile(std::u16string(tree.begin(), tree.end()) + u"\\" + kBestFitVictim, "planted");
    sim::MakeFile(tree + "\\own.log", "log");
    EXPECT_EQ(DeleteTree(directory, "\\*.*"), 1) << directory;
    EXPECT_FALSE(sim::Exists(tree)) << directory;
    EXPECT_EQ(sim::FileContents(above + "\\victim.txt"), "theirs") << directory;
    EXPECT_TRUE(sim::PendingOperations().empty()) << directory;
  }
}

TEST_F(DeleteTreeTest, NameOutsideTheCodePageIsDeleted) {
  sim::MakeFile(u"C:\\Corvane\\Logs\\\u65E5\u672C.log", "log");  // 日本.log, "??.log" on 1252
  sim::MakeFile("C:\\Corvane\\Logs\\own.log", "log");
  EXPECT_EQ(DeleteTree("C:\\Corvane\\Logs", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("C:\\Corvane\\Logs"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteTreeTest, ReadOnlyLeftoversGoNotAtTheRestart) {
  sim::MakeFile("C:\\Corvane\\help.GID", "index", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  sim::MakeFile("C:\\Corvane\\Logs\\old.log", "log", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(DeleteTree("C:\\Corvane\\", "*.GID"), 1);
  EXPECT_EQ(DeleteTree("C:\\Corvane\\Logs\\", "*.*"), 1);
  EXPECT_FALSE(sim::Exists("C:\\Corvane\\help.GID"));
  EXPECT_FALSE(sim::Exists("C:\\Corvane\\Logs"));
  ASSERT_EQ(sim::PendingOperations().size(), 1u);
  EXPECT_TRUE(sim::DeletionPending("C:\\Corvane\\"));
}

// A name whose full path would pass MAX_PATH characters cannot be used as
// listed: it stays, the walk goes on and says so.
TEST_F(DeleteTreeTest, EntryWhosePathWouldNotFitStaysAndTheRestGoes) {
  const std::string tree = "D:\\" + std::string(200, 'd');
  const std::u16string name(60, u'\u65E5');  // 203 + 1 + 60 > 259
  // Made under a short path, then moved deeper.
  sim::MakeFile(u"D:\\s\\" + name, "long");
  sim::MakeFile("D:\\s\\own.db", "data");
  ASSERT_EQ(sim::MoveAsUser("D:\\s", tree), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(DeleteTree(tree.c_str(), "\\*.*"), 0);
  EXPECT_EQ(sim::UnicodeDirectoryEntries(tree), std::vector<std::u16string>{name});
}

TEST_F(DeleteTreeTest, DotEndingNameOfAnEntryInsideIsWalkedAsListed) {
  sim::MakeFile("D:\\Data\\Old..\\x.db");
  sim::MakeFile("D:\\Data\\Old\\y.db");
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("D:\\Data\\Old..\\x.db"));
  EXPECT_FALSE(sim::Exists("D:\\Data\\Old\\y.db"));
}

TEST_F(DeleteTreeTest, EntryNamedOnlyWithDotsIsLeftAlone) {
  // "..." is a name on disk, but Windows reads D:\\Data\\... as D:\\Data.
  sim::MakeFile("D:\\Data\\...\\x.db");
  sim::MakeFile("D:\\Data\\own.db");
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 0);
  EXPECT_TRUE(sim::Exists("D:\\Data\\...\\x.db"));
  EXPECT_FALSE(sim::Exists("D:\\Data\\own.db"));
}

TEST_F(DeleteTreeTest, JunctionIsRemovedNotFollowed) {
  sim::MakeFile("C:\\Elsewhere\\precious.db");
  sim::MakeFile("D:\\Data\\own.db");
  sim::MakeJunction("D:\\Data\\link", "C:\\Elsewhere");
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 1);
  EXPECT_TRUE(sim::Exists("C:\\Elsewhere\\precious.db"));
  EXPECT_FALSE(sim::Exists("D:\\Data"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteTreeTest, JunctionGivenAsTheTreeIsRefusedTouchingNothing) {
  sim::MakeFile("D:\\precious.db");
  sim::MakeFile("C:\\Elsewhere\\precious.db");
  sim::MakeJunction("C:\\Corvane\\Journals", "D:\\");
  sim::MakeJunction("C:\\Corvane\\Databases", "C:\\Elsewhere");
  for (const char* directory : {"C:\\Corvane\\Journals", "C:\\Corvane\\Journals\\", "C:\\Corvane\\Databases"})
    EXPECT_EQ(DeleteTree(directory, "\\*.*"), 0) << directory;
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  EXPECT_TRUE(sim::Exists("D:\\precious.db"));
  EXPECT_TRUE(sim::Exists("C:\\Elsewhere\\precious.db"));
  EXPECT_TRUE(sim::Exists("C:\\Corvane\\Journals"));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

TEST_F(DeleteTreeTest, SearchThatWouldNotFitIsSkipped) {
  std::string directory = "C:\\" + std::string(253, 'd');  // + "\*.*" = 260 characters
  sim::MakeFile(directory + "\\x");
  EXPECT_EQ(DeleteTree(directory.c_str(), "\\*.*"), 0);
  EXPECT_TRUE(sim::Exists(directory + "\\x"));
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
}

TEST_F(DeleteTreeTest, DirectoryOfAWholePathIsRefusedThoughItsDotWouldGo) {
  std::string directory = "C:\\" + std::string(128, 'd') + "\\" + std::string(127, 'd');  // 259 characters
  sim::MakeDirectory(directory);
  EXPECT_EQ(DeleteTree((directory + ".").c_str(), ""), 0);
  EXPECT_TRUE(sim::Exists(directory));
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  EXPECT_EQ(sim::CallCount("GetFileAttributesA"), 0);
}

TEST_F(DeleteTreeTest, FirstMatchThatCannotGoLeavesZeroAndTheRestGoes) {
  PoseSystem(5, 0);  // no deferral by the file's own name
  sim::MakeFile("C:\\Corvane\\a.rpt");
  sim::MakeFile("C:\\Corvane\\b.rpt");
  sim::MakeFile("C:\\Corvane\\keep.txt");
  sim::HoldOpen("C:\\Corvane\\a.rpt");
  sim::FailCall("MoveFileExW", ERROR_ACCESS_DENIED);  // the hand-over of a.rpt
  EXPECT_EQ(DeleteTree("C:\\Corvane\\", "*.rpt"), 0);
  EXPECT_TRUE(sim::Exists("C:\\Corvane\\a.rpt"));
  EXPECT_FALSE(sim::Exists("C:\\Corvane\\b.rpt"));
  EXPECT_TRUE(sim::Exists("C:\\Corvane\\keep.txt"));
  ASSERT_EQ(sim::PendingOperations().size(), 1u);
  EXPECT_EQ(sim::PendingOperations()[0].source, "C:\\Corvane\\");
}

TEST_F(DeleteTreeTest, EntryWhosePathWouldNotFitIsLeftAndCounted) {
  // Paths of 259 characters, until their directory is renamed one character
  // longer: then directory + "\\" + name no longer fits a path.
  std::string made = "C:\\" + std::string(200, 'd');
  std::string directory = made + "e";
  std::string longName(55, 'n');
  sim::MakeDirectory(made + "\\" + longName);
  sim::MakeFile(made + "\\" + longName.substr(0, 54) + "f");
  sim::MakeFile(made + "\\short.txt");
  ASSERT_EQ(sim::MoveAsUser(made, directory), 0u);
  EXPECT_EQ(DeleteTree((directory + "\\").c_str(), "*.*"), 0);
  // Too long to be named here too: what stays is read from the listing.
  std::vector<std::string> left = sim::DirectoryEntries(directory);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{longName.substr(0, 54) + "f", longName}));
  EXPECT_TRUE(sim::DeletionPending(directory));
}

TEST_F(DeleteTreeTest, SubdirectoryIsSearchedInsideNotAsANamePrefixOfItsParent) {
  sim::MakeFile("C:\\Corvane\\Logs\\k\\inside.log");
  sim::MakeFile("C:\\Corvane\\Logs\\k.log");
  sim::MakeFile("C:\\Corvane\\x.rpt\\a.rpt");
  sim::MakeFile("C:\\Corvane\\x.rpt\\keep.txt");
  sim::MakeFile("C:\\Corvane\\x.rpt.rpt");
  sim::MakeFile("C:\\Corvane\\a.rpt");  // listed first: a directory there is passed over
  EXPECT_EQ(DeleteTree("C:\\Corvane\\Logs\\", "*.*"), 1);
  EXPECT_FALSE(sim::Exists("C:\\Corvane\\Logs"));
  EXPECT_EQ(DeleteTree("C:\\Corvane\\", "*.rpt"), 1);
  EXPECT_EQ(sim::DirectoryEntries("C:\\Corvane\\x.rpt"), std::vector<std::string>{"keep.txt"});
}

TEST_F(DeleteTreeTest, FileInUseInAHeldDirectoryIsRenamedAndScheduledOnEverySystem) {
  for (const System& system : kSystems) {
    sim::Reset();
    sim::AddDrive('D');
    PoseSystem(system.major, system.minor);
    sim::MakeFile("D:\\CVN\\Logs\\cvnhook.dll", "MZ");
    sim::FailCall("DeleteFileW", ERROR_ACCESS_DENIED);  // loaded by a running program
    EXPECT_EQ(DeleteTree("D:\\CVN\\Logs", "\\*.*"), 1) << system.major;
    EXPECT_EQ(sim::DirectoryEntries("D:\\CVN\\Logs"), std::vector<std::string>{"cvnhook.dll.cvn-deleted"})
        << system.major;
    sim::Reboot();
    EXPECT_FALSE(sim::Exists("D:\\CVN\\Logs")) << system.major;
  }
}

TEST_F(DeleteTreeTest, OthersWritingTheSystemDirectoriesOrTheTreeDoNotStopTheWalk) {
  sim::MakeFile("D:\\Data\\a.db");
  HANDLE windows = CreateFileA("C:\\WINNT", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  HANDLE data = CreateFileA("D:\\Data", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(windows, INVALID_HANDLE_VALUE);
  ASSERT_NE(data, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("D:\\Data\\a.db"));
  CloseHandle(windows);
  CloseHandle(data);
}

// ---- DeleteFilesInDirectory --------------------------------------------------------

using DeleteFilesInDirectoryTest = RemovalTest;

TEST_F(DeleteFilesInDirectoryTest, NameEndingInBlanksOrDotsDeletesInTheDirectoryItHolds) {
  const char* const names[] = {"cvnsvc.exe"};
  for (const char* directory : {"C:\\Corvane ", "C:\\Corvane. ."}) {
    sim::MakeFile("C:\\Corvane\\cvnsvc.exe", "ours");
    sim::MakeFile("C:\\Corvane \\cvnsvc.exe", "another directory's");
    EXPECT_EQ(DeleteFilesInDirectory(directory, names, 1), 1) << directory;
    EXPECT_FALSE(sim::Exists("C:\\Corvane\\cvnsvc.exe")) << directory;
    EXPECT_EQ(sim::FileContents("C:\\Corvane \\cvnsvc.exe"), "another directory's") << directory;
  }
}

// ---- DeleteTree against a user who changes the tree during the walk ---------------

// Windows 2000: junctions exist and a user may make them in folders of their own.
class DeleteTreeAttackTest : public RemovalTest {
 protected:
  void SetUp() override {
    RemovalTest::SetUp();
    Arrange();
  }

 public:
  static void Arrange() {
    sim::AddDrive('D');
    sim::OsVersion windows2000;
    windows2000.major = 5;
    windows2000.build = 2195;
    sim::SetOsVersion(windows2000);
    sim::MakeFile("C:\\WINNT\\system32\\config\\SAM", "hives");
    sim::MakeFile("C:\\WINNT\\system32\\config\\a.db", "system");
    sim::MakeFile("D:\\Data\\own.db");
    sim::MakeFile("D:\\Data\\User\\a.db");
    sim::MakeFile("D:\\Data\\User\\SAM");
  }
  static std::map<std::string, sim::EntryState> DriveC() {
    std::map<std::string, sim::EntryState> c;
    for (const auto& entry : sim::FileSnapshot())
      if (entry.first.rfind("C:", 0) == 0) c.insert(entry);
    return c;
  }
};

// The user's folder renamed away and a junction of its name put in its place.
void SwapFolderForJunction() {
  if (sim::MoveAsUser("D:\\Data\\User", "D:\\Away") == ERROR_SUCCESS)
    sim::MakeJunction("D:\\Data\\User", "C:\\WINNT\\system32\\config");
}

// The user's folder emptied by its owner and turned into a junction in place.
void TurnFolderIntoJunction() {
  sim::MakeDirectory("D:\\Away");
  for (const std::string& name : sim::DirectoryEntries("D:\\Data\\User"))
    sim::MoveAsUser("D:\\Data\\User\\" + name, "D:\\Away\\" + name);
  if (sim::IsDirectory("D:\\Data\\User")) sim::TurnIntoJunction("D:\\Data\\User", "C:\\WINNT\\system32\\config");
}

// Each use of each call of the walk (every call for ""), with the change
// just before it.
void ExpectNothingOutsideTheTreeChanges(void (*change)(), const std::vector<const char*>& calls) {
  for (const char* api : calls) {
    for (int nth = 1; nth <= (api[0] ? 12 : 160); ++nth) {
      sim::Reset();
      DeleteTreeAttackTest::Arrange();
      const auto before = DeleteTreeAttackTest::DriveC();
      sim::BeforeCall(api, nth, change);
      DeleteTree("D:\\Data", "\\*.*");
      EXPECT_EQ(DeleteTreeAttackTest::DriveC(), before) << api << " " << nth;
      EXPECT_EQ(sim::OpenHandles(), 0) << api << " " << nth;
    }
  }
}

TEST_F(DeleteTreeAttackTest, FolderSwappedBeforeAnyCallOfTheWalkLeadsNowhereOutsideTheTree) {
  ExpectNothingOutsideTheTreeChanges(SwapFolderForJunction, {""});
}

// Between the check of a held directory and one deletion by name (the calls
// of DeleteFileOrDefer) an emptied directory can still become a link: not
// closable without deletion relative to a handle.
TEST_F(DeleteTreeAttackTest, FolderTurnedIntoAJunctionInPlaceIsSeenBeforeTheNextDeletion) {
  ExpectNothingOutsideTheTreeChanges(TurnFolderIntoJunction,
                                     {"CreateFileW", "GetFileInformationByHandle", "FindFirstFileW",
                                      "FindNextFileW", "FindClose", "CloseHandle", "RemoveDirectoryW"});
}

TEST_F(DeleteTreeAttackTest, HeldDirectoryCannotBeRenamedNorItsParent) {
  sim::BeforeCall("DeleteFileW", 1, [] {
    EXPECT_EQ(sim::MoveAsUser("D:\\Data\\User", "D:\\Away"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(sim::MoveAsUser("D:\\Data", "D:\\Away"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  });
  EXPECT_EQ(DeleteTree("D:\\Data\\User", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("D:\\Data\\User"));
}

TEST_F(DeleteTreeAttackTest, JunctionAboveTheTreeIsRefusedTouchingNothing) {
  sim::MakeJunction("D:\\Shared", "C:\\WINNT\\system32");
  EXPECT_EQ(DeleteTree("D:\\Shared\\config", "\\*.*"), 0);
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  EXPECT_TRUE(sim::Exists("C:\\WINNT\\system32\\config\\SAM"));
}

TEST_F(DeleteTreeAttackTest, MountedVolumeAboveTheTreeIsAccepted) {
  sim::AddDrive('E');
  sim::SetDrive('E', sim::Drive{});
  sim::MakeFile("E:\\Data\\jobs.db");
  sim::MakeJunction("C:\\Volumes\\E", "E:\\");
  EXPECT_EQ(DeleteTree("C:\\Volumes\\E\\Data", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("E:\\Data"));
}

TEST_F(DeleteTreeAttackTest, SystemDirectoriesAndTheirParentsAreRefusedInAnySpelling) {
  sim::MakeFile("D:\\Sys\\WINNT\\win.ini");
  sim::SetWindowsDirectory("D:\\Sys\\WINNT");
  for (const char* directory : {"C:\\winnt\\SYSTEM32\\", "c:\\WINNT\\system32.", "D:\\Sys", "d:\\sys\\winnt\\"})
    EXPECT_EQ(DeleteTree(directory, "\\*.*"), 0) << directory;
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  EXPECT_TRUE(sim::Exists("D:\\Sys\\WINNT\\win.ini"));
}

// Profiles and the system's files lie below the Windows directory: never
// the product's, on any version, in any spelling; a directory whose name
// merely begins like it is no part of it.
TEST_F(DeleteTreeAttackTest, NothingBelowTheWindowsDirectoryIsEmptiedInAnySpelling) {
  sim::OsVersion windows2000;
  windows2000.major = 5;
  sim::OsVersion windowsXp = windows2000;
  windowsXp.minor = 1;
  for (const sim::OsVersion& version : {sim::OsVersion{}, windows2000, windowsXp}) {
    const DWORD major = version.major * 10 + version.minor;
    sim::Reset();
    Arrange();
    sim::SetOsVersion(version);
    sim::MakeFile("C:\\WINNT\\Profiles\\Bob\\ntuser.dat", "x");
    sim::MakeFile("C:\\WINNT2\\Data\\a.db", "x");
    sim::MakeFile("D:\\Sys\\WINNT\\Temp\\x.tmp", "x");
    for (const char* directory : {"C:\\WINNT\\Profiles", "c:\\winnt\\PROFILES\\bob\\", "C:/WINNT/Profiles/Bob",
                                  "C:\\WINNT\\Profiles\\Bob."})
      EXPECT_EQ(DeleteTree(directory, "\\*.*"), 0) << directory << " " << major;
    EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
    EXPECT_TRUE(sim::Exists("C:\\WINNT\\Profiles\\Bob\\ntuser.dat"));
    EXPECT_EQ(DeleteTree("C:\\WINNT2\\Data", "\\*.*"), 1);
    EXPECT_FALSE(sim::Exists("C:\\WINNT2\\Data"));
    // Moved elsewhere, the Windows directory is recognised there.
    sim::SetWindowsDirectory("D:\\Sys\\WINNT");
    EXPECT_EQ(DeleteTree("d:\\sys\\winnt\\temp", "\\*.*"), 0);
    EXPECT_TRUE(sim::Exists("D:\\Sys\\WINNT\\Temp\\x.tmp"));
    EXPECT_EQ(DeleteTree("C:\\WINNT\\Profiles\\Bob", "\\*.*"), 1);
  }
}

TEST_F(DeleteTreeAttackTest, WindowsDirectoryThatCannotBeIdentifiedEmptiesNothing) {
  sim::FailCall("GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 0);
  sim::SetWindowsDirectory("C:\\" + std::string(257, 'w'));
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 0);
  sim::SetWindowsDirectory("C:\\Gone");
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 0);
  EXPECT_EQ(sim::CallCount("FindFirstFileW"), 0);
  EXPECT_TRUE(sim::Exists("D:\\Data\\own.db"));
}

TEST_F(DeleteTreeAttackTest, WindowsNt4RefusesTheLinkFlagAndTheWalkGoesOnWithoutIt) {
  sim::SetOsVersion(sim::OsVersion{});
  EXPECT_EQ(DeleteTree("D:\\Data", "\\*.*"), 1);
  EXPECT_FALSE(sim::Exists("D:\\Data"));
}

// ---- DeleteRegistryTree -----------------------------------------------------------

using DeleteRegistryTreeTest = RemovalTest;

const char kCorvane[] = "SOFTWARE\\Velmora Software\\Corvane";

void MakeThreeLevels() {
  sim::SetValue(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5", "InstallationDirectory", REG_SZ,
                "C:\\Program Files\\Corvane\\");
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs\\Nightly");
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs\\Weekly");
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\Admin");
}

TEST_F(DeleteRegistryTreeTest, ThreeLevelsGoAndTheKeyItselfLast) {
  MakeThreeLevels();
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software"));
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 6);
}

TEST_F(DeleteRegistryTreeTest, KeyNameEndingInTheBackslashByteIsDeletedWhole) {
  sim::SetCodePage(936);
  const std::string key = std::string(kCorvane) + "\\\x81\x5c";  // 乗
  sim::CreateKey(HKEY_LOCAL_MACHINE, key + "\\Jobs");
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, key.c_str()), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, key));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
}

TEST_F(DeleteRegistryTreeTest, DeepestKeyIsDeletedFirstAndOneRefusedIsLeftWhileTheWalkGoesOn) {
  MakeThreeLevels();
  sim::FailCall("RegDeleteKeyW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_ACCESS_DENIED);
  // The first deletion tried was the first leaf, 1.5\Jobs\Nightly; then
  // Weekly and Admin went, and the keys above Nightly stay.
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 3);
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs"),
            (std::vector<std::string>{"Nightly"}));
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane), (std::vector<std::string>{"1.5"}));
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
}

// Nightly, Weekly, Jobs, 1.5, Admin, Corvane: children in enumeration
// order, each subtree before its root. The refused key stays with the keys
// above it, every other goes.
TEST_F(DeleteRegistryTreeTest, KeysGoDepthFirstInEnumerationOrder) {
  const std::vector<std::string> order = {"\\1.5\\Jobs\\Nightly", "\\1.5\\Jobs\\Weekly", "\\1.5\\Jobs",
                                          "\\1.5", "\\Admin", ""};
  for (size_t refused = 0; refused < order.size(); ++refused) {
    sim::Reset();
    MakeThreeLevels();
    sim::FailCall("RegDeleteKeyW", ERROR_ACCESS_DENIED, static_cast<int>(refused) + 1);
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_ACCESS_DENIED);
    const std::string& kept = order[refused];
    for (size_t i = 0; i < order.size(); ++i)
      EXPECT_EQ(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane + order[i]),
                kept.compare(0, order[i].size() + 1, order[i] + "\\") == 0 || kept == order[i])
          << "deletion " << refused + 1 << " refused, key Corvane" << order[i];
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

// The handle of each level stays open while its children go: one open per
// key (and one for the parent of the tree), never a reopen per child.
TEST_F(DeleteRegistryTreeTest, WideKeyIsOpenedOnceNotOncePerChild) {
  const int children = 50;
  for (int i = 0; i < children; ++i)
    sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\Job" + std::to_string(100 + i));
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
  EXPECT_EQ(sim::CallCount("RegOpenKeyExW"), children + 2);
  // Index 0 per child and the end; a child without subkeys is not searched.
  EXPECT_EQ(sim::CallCount("RegEnumKeyExW"), children + 1);
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), children + 1);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), children + 2);
}

TEST_F(DeleteRegistryTreeTest, ThreeLevelsTakeOneOpenPerKey) {
  MakeThreeLevels();
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_EQ(sim::CallCount("RegOpenKeyExW"), 7);
  EXPECT_EQ(sim::CallCount("RegEnumKeyExW"), 8);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 7);
}

TEST_F(DeleteRegistryTreeTest, ChildMissingWhenOpenedIsNotDeletedAndTheWalkGoesOn) {
  MakeThreeLevels();
  // 1.5, the first child, cannot be found by its open: no deletion is tried
  // for it, and index 0 is taken again.
  sim::FailCall("RegOpenKeyExW", ERROR_FILE_NOT_FOUND, 2);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
  EXPECT_EQ(sim::CallCount("RegOpenKeyExW"), 8);
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 6);
}

TEST_F(DeleteRegistryTreeTest, MissingKeyGivesZero) {
  EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, kCorvane), ERROR_SUCCESS);
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 0);
}

TEST_F(DeleteRegistryTreeTest, EnumerationErrorIsReturnedAndDeletedKeysStayDeleted) {
  MakeThreeLevels();
  sim::FailCall("RegEnumKeyExW", ERROR_NOT_ENOUGH_MEMORY, 5);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs\\Nightly"));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
}

TEST_F(DeleteRegistryTreeTest, SubkeyThatCannotGoStopsTheWalkInsteadOfLooping) {
  MakeThreeLevels();
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs\\Weekly");
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs\\Weekly"));
  EXPECT_LT(sim::CallCount("RegOpenKeyExW"), 20);
}

TEST_F(DeleteRegistryTreeTest, KeyRightBelowTheRootHasNoParentToOpen) {
  sim::CreateKey(HKEY_CURRENT_USER, "Corvane\\Admin\\Layout");
  sim::CreateKey(HKEY_CURRENT_USER, "CorvaneOther");
  EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, "Corvane"), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Corvane"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "CorvaneOther"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software"));
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 3);
}

TEST_F(DeleteRegistryTreeTest, PathsThatWouldNotFitAreRefusedNotCut) {
  // A parent path of 310 characters: neither a subkey's path nor the parent
  // fits a path buffer.
  const std::string parent = "SOFTWARE\\" + std::string(200, 'a') + "\\" + std::string(99, 'b');
  sim::CreateKey(HKEY_CURRENT_USER, parent + "\\Leaf");
  sim::CreateKey(HKEY_CURRENT_USER, parent + "\\Tree\\Sub");
  EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, (parent + "\\Leaf").c_str()),
            ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, (parent + "\\Tree").c_str()),
            ERROR_FILENAME_EXCED_RANGE);
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, parent + "\\Leaf"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, parent + "\\Tree\\Sub"));
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 0);
}

TEST_F(DeleteRegistryTreeTest, ParentThatCannotBeOpenedForWritingIsReported) {
  sim::CreateKey(HKEY_CURRENT_USER, kCorvane);
  sim::FailCall("RegOpenKeyExW", ERROR_ACCESS_DENIED, 2);  // the parent's open
  EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, kCorvane));
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 0);
}

TEST_F(DeleteRegistryTreeTest, RegistryLinkInTheTreeStaysAndItsTargetIsUntouched) {
  MakeThreeLevels();
  // Deleting the link by its name would delete this key, which has no subkeys.
  const std::string victim = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  sim::SetValue(HKEY_LOCAL_MACHINE, victim, "Shell", REG_SZ, "explorer.exe");
  sim::MakeRegistryLink(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs\\Link", HKEY_LOCAL_MACHINE,
                        victim);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::GetString(HKEY_LOCAL_MACHINE, victim, "Shell"), "explorer.exe");
  // The rest goes; the link and the keys above it stay.
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs"),
            std::vector<std::string>{"Link"});
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane), std::vector<std::string>{"1.5"});
}

TEST_F(DeleteRegistryTreeTest, TreeThatIsItselfALinkIsRefusedAndItsTargetUntouched) {
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\txtfile", "", REG_SZ, "Text Document");
  sim::MakeRegistryLink(HKEY_CURRENT_USER, kCorvane, HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\txtfile");
  EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::GetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\txtfile", ""), "Text Document");
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 0);
}

TEST_F(DeleteRegistryTreeTest, SystemRefusingTheOpenLinkOptionIsLearnedOnceAndTheTreeGoes) {
  MakeThreeLevels();
  sim::RefuseOpenLinkOption();
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
  EXPECT_EQ(sim::CallCount("RegOpenKeyExW"), 8);  // one refused, then one per key and the parent
}

// A link has no subkeys and a value of the link name ("SymbolicLinkValue",
// 17 characters): only a key without subkeys whose longest value name is as
// long is asked.
TEST_F(DeleteRegistryTreeTest, OnlyAKeyWithoutSubkeysAndWithAValueNameAsLongAsTheLinksIsAsked) {
  const std::string top = kCorvane;
  for (const char* name : {"A", "B", "C"}) sim::SetDword(HKEY_LOCAL_MACHINE, top + "\\Three", name, 1);
  sim::CreateKey(HKEY_LOCAL_MACHINE, top + "\\None");
  sim::SetDword(HKEY_LOCAL_MACHINE, top + "\\Parent", "SymbolicLinkValue", 1);
  sim::CreateKey(HKEY_LOCAL_MACHINE, top + "\\Parent\\Child");
  sim::SetDword(HKEY_LOCAL_MACHINE, top + "\\Short", "SymbolicLinkValu", 1);
  sim::SetDword(HKEY_LOCAL_MACHINE, top + "\\Long", "A", 1);
  sim::SetDword(HKEY_LOCAL_MACHINE, top + "\\Long", "SymbolicLinkValue", 1);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
  EXPECT_EQ(sim::CallCount("RegQueryValueExW"), 1);
}

TEST_F(DeleteRegistryTreeTest, LinkGivenMoreValuesStaysAndItsTargetIsUntouched) {
  const std::string victim = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  sim::SetValue(HKEY_LOCAL_MACHINE, victim, "Shell", REG_SZ, "explorer.exe");
  const std::string link = std::string(kCorvane) + "\\Link";
  sim::MakeRegistryLink(HKEY_LOCAL_MACHINE, link, HKEY_LOCAL_MACHINE, victim);
  HKEY opened;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, link.c_str(), REG_OPTION_OPEN_LINK, KEY_SET_VALUE, &opened),
            ERROR_SUCCESS);
  for (const char* name : {"A", "B"}) {
    DWORD one = 1;
    ASSERT_EQ(RegSetValueExA(opened, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one),
              ERROR_SUCCESS);
  }
  RegCloseKey(opened);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::GetString(HKEY_LOCAL_MACHINE, victim, "Shell"), "explorer.exe");
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane), std::vector<std::string>{"Link"});
}

TEST_F(DeleteRegistryTreeTest, InvalidParameterWithoutTheOptionIsReportedNotRetried) {
  MakeThreeLevels();
  sim::RefuseOpenLinkOption();
  sim::FailCall("RegOpenKeyExW", ERROR_INVALID_PARAMETER, 3);  // the first child, opened without it
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_INVALID_PARAMETER);
  // 1.5 is left; Admin, its sibling, is opened once and goes.
  EXPECT_EQ(sim::CallCount("RegOpenKeyExW"), 4);
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane), std::vector<std::string>{"1.5"});
}

TEST_F(DeleteRegistryTreeTest, LoneValueOfTheLinkNameButAnotherTypeIsNoLink) {
  sim::SetValue(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\Named", "SymbolicLinkValue", REG_SZ, "x");
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
}

// Without its counts a key is asked for the link value and searched: one
// failure costs one question, whichever key it strikes.
TEST_F(DeleteRegistryTreeTest, KeyWhoseCountsCannotBeReadIsAskedForTheLinkAndTheTreeGoes) {
  for (int failed = 1; failed <= 6; ++failed) {
    sim::Reset();
    MakeThreeLevels();
    sim::FailCall("RegQueryInfoKeyW", ERROR_ACCESS_DENIED, failed);
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS) << "count " << failed << " failed";
    EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane)) << "count " << failed << " failed";
    EXPECT_EQ(sim::CallCount("RegQueryInfoKeyW"), 6);
    EXPECT_EQ(sim::CallCount("RegQueryValueExW"), 1);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

TEST_F(DeleteRegistryTreeTest, LinkWhoseCountsCannotBeReadStaysAndItsTargetIsUntouched) {
  const std::string target = "SOFTWARE\\Classes\\txtfile";
  sim::CreateKey(HKEY_LOCAL_MACHINE, target);
  sim::MakeRegistryLink(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\Link", HKEY_LOCAL_MACHINE, target);
  sim::FailCall("RegQueryInfoKeyW", ERROR_KEY_DELETED, 2);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, target));
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane), std::vector<std::string>{"Link"});
}

// Not knowing whether a key is a link, the walk does not delete it by name.
TEST_F(DeleteRegistryTreeTest, KeyThatCannotBeAskedForTheLinkStays) {
  const std::string target = "SOFTWARE\\Classes\\txtfile";
  sim::CreateKey(HKEY_LOCAL_MACHINE, target);
  sim::MakeRegistryLink(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\Link", HKEY_LOCAL_MACHINE, target);
  sim::FailCall("RegQueryValueExW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, target));
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 0);
}

// ---- Names as the registry keeps them

// x\uFF3CSub is listed by the ANSI calls of code page 1252 as "x\Sub", which
// opens Sub through the link x.
TEST_F(DeleteRegistryTreeTest, KeyBesideALinkIsDeletedAsItselfAndTheLinksTargetKeepsItsSubkey) {
  const std::string target = "SOFTWARE\\Microsoft\\Target";
  sim::CreateKey(HKEY_LOCAL_MACHINE, target + "\\Sub");
  sim::MakeRegistryLink(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\x", HKEY_LOCAL_MACHINE, target);
  const std::u16string lookAlike = u"SOFTWARE\\Velmora Software\\Corvane\\x\uFF3CSub";
  sim::CreateKey(HKEY_LOCAL_MACHINE, lookAlike);
  ASSERT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane), (std::vector<std::string>{"x", "x\\Sub"}));
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, lookAlike));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, target + "\\Sub"));
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane), std::vector<std::string>{"x"});
}

// \u65E5\u672C is "??" on code page 1252: no key of that name exists.
TEST_F(DeleteRegistryTreeTest, KeysNamedOutsideTheCodePageGoWithTheTreeInEitherRoot) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    sim::Reset();
    MakeThreeLevels();
    sim::CreateKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velmora Software\\Corvane\\\u65E5\u672C\\\u0E01");
    sim::CreateKey(root, u"Software\\Corvane\\\u65E5\u672C\\Sub");
    sim::CreateKey(root, u"Software\\Corvane\\\u65E5\u672D");
    const char* tree = root == HKEY_CURRENT_USER ? "Software\\Corvane" : kCorvane;
    EXPECT_EQ(DeleteRegistryTree(root, tree), ERROR_SUCCESS);
    EXPECT_FALSE(sim::KeyExists(root, tree));
    EXPECT_LT(sim::CallCount("RegEnumKeyExW"), 20);
  }
}

// A name with a NUL inside would open the key named by its first part.
TEST_F(DeleteRegistryTreeTest, NameThatCannotBeUsedAsListedIsLeftAndTheWalkGoesOn) {
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\a");
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::u16string(u"SOFTWARE\\Velmora Software\\Corvane\\a\0b", 37));
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\c");
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_INVALID_NAME);
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane).size(), 1u);
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 2);
}

TEST_F(DeleteRegistryTreeTest, KeyFoundMissingEachTimeItIsListedIsLeftAndTheWalkEnds) {
  MakeThreeLevels();
  // 1.5, the first child, cannot be found by its open, twice.
  sim::FailCall("RegOpenKeyExW", ERROR_FILE_NOT_FOUND, 2, 2);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, kCorvane), std::vector<std::string>{"1.5"});
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\Admin"));
}

TEST_F(DeleteRegistryTreeTest, KeyGoneBeforeItsOpenNeedsNoDeletionAndTheNextIsTaken) {
  MakeThreeLevels();
  sim::BeforeCall("RegOpenKeyExW", 2, [] { sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5"); });
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kCorvane));
  EXPECT_EQ(sim::CallCount("RegDeleteKeyW"), 2);  // Admin, then Corvane
}

TEST_F(DeleteRegistryTreeTest, SubkeyWhosePathWouldNotFitIsLeftAndItsSiblingsGo) {
  const std::string top = "SOFTWARE\\" + std::string(240, 'a');
  sim::CreateKey(HKEY_CURRENT_USER, top + "\\" + std::string(30, 'b'));
  sim::CreateKey(HKEY_CURRENT_USER, top + "\\c");
  EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, top.c_str()), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(sim::Subkeys(HKEY_CURRENT_USER, top), std::vector<std::string>{std::string(30, 'b')});
}

TEST_F(DeleteRegistryTreeTest, TopThatCannotBeConvertedIsReportedAndNothingGoes) {
  MakeThreeLevels();
  sim::FailCall("MultiByteToWideChar", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kCorvane), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, std::string(kCorvane) + "\\1.5\\Jobs\\Nightly"));
}

TEST_F(DeleteRegistryTreeTest, RefusedDeletionIsReportedNotSuccess) {
  sim::CreateKey(HKEY_CURRENT_USER, kCorvane);
  sim::FailCall("RegDeleteKeyW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, kCorvane), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, kCorvane));
}

}  // namespace
