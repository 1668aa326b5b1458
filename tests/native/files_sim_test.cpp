// The simulated file system against the Windows behaviour the product
// relies on: searches and their wildcard rules, listing order, error codes,
// deferred deletions carried out at a restart, handles and sharing.
#include <cstring>
#include <string>
#include <vector>

#include "sim_fixture.h"
#include "win_crt.h"

namespace {

class FilesTest : public SimTest {
 protected:
  // Every name a search returns, in order, or the error of a failed search.
  static std::vector<std::string> Search(const std::string& searchPath, DWORD* error = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    SetLastError(0xdeadbeef);
    HANDLE find = FindFirstFileA(searchPath.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      if (error) *error = GetLastError();
      return names;
    }
    do {
      names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    DWORD end = GetLastError();
    EXPECT_EQ(end, static_cast<DWORD>(ERROR_NO_MORE_FILES)) << searchPath;
    EXPECT_TRUE(FindClose(find));
    if (error) *error = 0;
    return names;
  }

  static DWORD SearchError(const std::string& searchPath) {
    DWORD error = 0;
    EXPECT_TRUE(Search(searchPath, &error).empty()) << searchPath;
    return error;
  }

  void TearDown() override { EXPECT_EQ(sim::OpenHandles(), 0); }
};

using Names = std::vector<std::string>;

// ---- Searches --------------------------------------------------------------------

TEST_F(FilesTest, ListingGivesDotEntriesFirstThenNamesSortedWithoutRegardToCase) {
  sim::MakeFile("C:\\list\\beta.txt");
  sim::MakeFile("C:\\list\\Alpha.txt");
  sim::MakeFile("C:\\list\\_under");
  sim::MakeFile("C:\\list\\GAMMA");
  sim::MakeDirectory("C:\\list\\delta");
  EXPECT_EQ(Search("C:\\list\\*.*"), (Names{".", "..", "Alpha.txt", "beta.txt", "delta", "GAMMA", "_under"}));
  EXPECT_EQ(Search("c:\\LIST\\*"), (Names{".", "..", "Alpha.txt", "beta.txt", "delta", "GAMMA", "_under"}));
}

TEST_F(FilesTest, DriveRootListingHasNoDotEntries) {
  sim::MakeFile("C:\\autoexec.bat");
  EXPECT_EQ(Search("C:\\*.*"), (Names{"autoexec.bat", "WINNT"}));
  sim::AddDrive('d');
  DWORD error = 0;
  EXPECT_TRUE(Search("D:\\*", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, WildcardsFollowTheDosRules) {
  for (const char* name : {"readme", "report.rpt", "a.b.rpt", "data.rptx", "old.rpt.bak", "a.txt",
                           "ab.txt", "abc.txt", "vb40032", "vb40032.dll"})
    sim::MakeFile(std::string("C:\\w\\") + name);
  struct Case {
    const char* mask;
    Names expected;
  };
  const Case cases[] = {
      // data.rptx is also found by its short name DATA~1.RPT.
      {"*.rpt", {"a.b.rpt", "data.rptx", "report.rpt"}},
      {"*.RPT", {"a.b.rpt", "data.rptx", "report.rpt"}},
      {"*.", {".", "..", "readme", "vb40032"}},
      {"a?.txt", {"a.txt", "ab.txt"}},
      {"???.txt", {"a.txt", "ab.txt", "abc.txt"}},
      {"vb40032", {"vb40032"}},
      {"VB40032.DLL", {"vb40032.dll"}},
      {"r*", {"readme", "report.rpt"}},
      {"*.rpt.*", {"a.b.rpt", "data.rptx", "old.rpt.bak", "report.rpt"}},
      {"*d*", {"data.rptx", "old.rpt.bak", "readme", "vb40032.dll"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Search(std::string("C:\\w\\") + c.mask), c.expected) << c.mask;
  EXPECT_EQ(Search("C:\\w\\*.*").size(), 12u);
  EXPECT_EQ(Search("C:\\w\\*").size(), 12u);
}

TEST_F(FilesTest, SearchesAlsoMatchTheShortNamesOfLongNames) {
  for (const char* name : {"backup.exel", "Report 2.html", "setup.exe", "a.b.c.dll", ".profile"})
    sim::MakeFile(std::string("C:\\s\\") + name);
  EXPECT_EQ(Search("C:\\s\\*.exe"), (Names{"backup.exel", "setup.exe"}));  // BACKUP~1.EXE
  EXPECT_EQ(Search("C:\\s\\*.htm"), (Names{"Report 2.html"}));              // REPORT~1.HTM
  EXPECT_EQ(Search("C:\\s\\abc~1.dll"), (Names{"a.b.c.dll"}));
  EXPECT_EQ(Search("C:\\s\\profil~1"), (Names{".profile"}));
  // A name that is a short name itself has no other.
  EXPECT_TRUE(Search("C:\\s\\setup~1.exe").empty());
}

TEST_F(FilesTest, ShortNameKeepsWholeCharactersOfTwoBytes) {
  sim::SetCodePage(932);
  sim::MakeFile("C:\\s\\a\x88\xea\x97\x97\x95\x5c.text");  // a一覧表.text: A一覧~1.TEX
  EXPECT_EQ(Search("C:\\s\\a\x88\xea\x97\x97~1.tex"), (Names{"a\x88\xea\x97\x97\x95\x5c.text"}));
  EXPECT_TRUE(Search("C:\\s\\a\x88\xea\x97\x97\x95~1.tex").empty());
}

TEST_F(FilesTest, MaskOfManyStarsIsMatchedWithoutBacktrackingForever) {
  std::string name(200, 'a');
  sim::MakeFile("C:\\w\\" + name);
  // Each star may take any part of the name; the final "b" never matches.
  std::string mask = "?" + std::string(60, '<') + "*" + std::string(60, '*') + "b";
  EXPECT_EQ(Search("C:\\w\\" + mask), Names{});
  EXPECT_EQ(Search("C:\\w\\" + std::string(60, '*') + "a"), Names{name});
}

TEST_F(FilesTest, FailedSearchesGiveWindowsErrorCodes) {
  sim::MakeFile("C:\\dir\\file.txt");
  EXPECT_EQ(SearchError("C:\\dir\\*.zip"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SearchError("C:\\dir\\"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SearchError("C:\\missing\\*.*"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(SearchError("C:\\missing\\"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(SearchError("C:\\dir\\file.txt\\*.*"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(SearchError("Q:\\*.*"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesTest, SearchEntriesCarryAttributesSizeAndReparseTag) {
  sim::MakeFile("C:\\e\\data.bin", "12345", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  sim::MakeFile("C:\\e\\plain", "", 0);
  sim::MakeDirectory("C:\\target");
  sim::MakeJunction("C:\\e\\link", "C:\\target");
  WIN32_FIND_DATAA data;
  static_assert(sizeof(WIN32_FIND_DATAA) == 320, "layout of the 32-bit headers");
  std::memset(&data, 0x55, sizeof data);
  HANDLE find = FindFirstFileA("C:\\e\\*.bin", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_STREQ(data.cFileName, "data.bin");
  FindClose(find);

  find = FindFirstFileA("C:\\e\\plain", &data);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  FindClose(find);

  find = FindFirstFileA("C:\\e\\LINK", &data);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  EXPECT_EQ(data.dwReserved0, static_cast<DWORD>(IO_REPARSE_TAG_MOUNT_POINT));
  EXPECT_STREQ(data.cFileName, "link");
  FindClose(find);
}

TEST_F(FilesTest, SearchHandlesAreCountedAndCheckedOnUse) {
  sim::MakeFile("C:\\h\\one");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("C:\\h\\*", &data);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Find), 1);
  EXPECT_TRUE(FindClose(find));
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Find), 0);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FindClose(find));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, SearchTakesItsEntriesWhenItStarts) {
  sim::MakeFile("C:\\s\\a");
  sim::MakeFile("C:\\s\\b");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("C:\\s\\*.*", &data);
  ASSERT_TRUE(DeleteFileA("C:\\s\\b"));
  Names names{data.cFileName};
  while (FindNextFileA(find, &data)) names.push_back(data.cFileName);
  FindClose(find);
  EXPECT_EQ(names, (Names{".", "..", "a", "b"}));
}

// ---- Paths -----------------------------------------------------------------------

TEST_F(FilesTest, PathsResolveAsWindowsDoes) {
  sim::MakeFile("C:\\Program Files\\Corvane\\cvnsvc.exe", "x");
  const char* same[] = {"c:\\program files\\CORVANE\\CvnSvc.exe", "C:/Program Files/Corvane/cvnsvc.exe",
                        "C:\\Program Files\\\\Corvane\\.\\cvnsvc.exe",
                        "C:\\Program Files\\Logs\\..\\Corvane\\cvnsvc.exe", "\\Program Files\\Corvane\\cvnsvc.exe"};
  for (const char* path : same)
    EXPECT_EQ(GetFileAttributesA(path), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE)) << path;
  sim::SetCurrentDirectory("C:\\Program Files");
  EXPECT_EQ(GetFileAttributesA("Corvane\\cvnsvc.exe"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("C:Corvane\\cvnsvc.exe"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(Search("Corvane\\*.exe"), (Names{"cvnsvc.exe"}));
  EXPECT_EQ(Search("*"), (Names{".", "..", "Corvane"}));
}

TEST_F(FilesTest, LastNameLosesTrailingDotsAndBlanks) {
  sim::MakeFile("C:\\Corvane\\cvnsvc.exe", "x");
  for (const char* path : {"C:\\Corvane\\cvnsvc.exe.", "C:\\Corvane\\cvnsvc.exe ", "C:\\Corvane\\cvnsvc.exe. ."})
    EXPECT_EQ(GetFileAttributesA(path), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE)) << path;
  EXPECT_EQ(GetFileAttributesA("C:\\Corvane "), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  // Created under the name without them.
  ASSERT_TRUE(CreateDirectoryA("C:\\Journals..", NULL));
  EXPECT_EQ(Search("C:\\J*"), (Names{"Journals"}));
}

TEST_F(FilesTest, TrailingBackslashNamesDirectoriesOnly) {
  sim::MakeFile("C:\\t\\file.txt");
  EXPECT_EQ(GetFileAttributesA("C:\\t\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileAttributesA("C:\\t\\file.txt\\"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_TRUE(RemoveDirectoryA("C:\\t\\") == FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
}

TEST_F(FilesTest, AttributesOfMissingPathsGiveTwoOrThree) {
  sim::MakeDirectory("C:\\a");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileAttributesA("C:\\a\\missing.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("C:\\missing\\x.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  std::string tooLong = "C:\\" + std::string(MAX_PATH, 'x');
  EXPECT_EQ(GetFileAttributesA(tooLong.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
}

TEST_F(FilesTest, SetAttributesKeepsDirectoryBitAndNormalClearsTheRest) {
  sim::MakeFile("C:\\f.txt", "", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(SetFileAttributesA("C:\\f.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("C:\\f.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  sim::MakeDirectory("C:\\d");
  EXPECT_TRUE(SetFileAttributesA("C:\\d", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("C:\\d"),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_FALSE(SetFileAttributesA("C:\\none", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// ---- Deleting ----------------------------------------------------------------------

TEST_F(FilesTest, DeleteFileErrors) {
  sim::MakeFile("C:\\del\\ro.txt", "", FILE_ATTRIBUTE_READONLY);
  sim::MakeFile("C:\\del\\busy.txt");
  sim::HoldOpen("C:\\del\\busy.txt");
  struct Case {
    const char* path;
    DWORD error;
  };
  const Case cases[] = {{"C:\\del\\missing.txt", ERROR_FILE_NOT_FOUND},
                        {"C:\\nodir\\x.txt", ERROR_PATH_NOT_FOUND},
                        {"C:\\del\\ro.txt", ERROR_ACCESS_DENIED},
                        {"C:\\del\\busy.txt", ERROR_SHARING_VIOLATION},
                        {"C:\\del", ERROR_ACCESS_DENIED}};
  for (const Case& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(c.path)) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
  sim::HoldOpen("C:\\del\\busy.txt", false);
  EXPECT_TRUE(DeleteFileA("C:\\del\\BUSY.TXT"));
  EXPECT_FALSE(sim::Exists("C:\\del\\busy.txt"));
}

TEST_F(FilesTest, FileOpenInThisProcessCannotBeDeletedUntilClosed) {
  sim::MakeFile("C:\\open.txt");
  HANDLE file = CreateFileA("C:\\open.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileA("C:\\open.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_TRUE(DeleteFileA("C:\\open.txt"));
}

TEST_F(FilesTest, DirectoriesAreMadeAndRemovedWithWindowsErrors) {
  EXPECT_TRUE(CreateDirectoryA("C:\\new", nullptr));
  EXPECT_EQ(GetFileAttributesA("C:\\new"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(CreateDirectoryA("C:\\NEW", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryA("C:\\no\\such", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(CreateDirectoryA("C:\\bad*name", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));

  sim::MakeFile("C:\\new\\f");
  EXPECT_FALSE(RemoveDirectoryA("C:\\new"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_FALSE(RemoveDirectoryA("C:\\new\\f"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_FALSE(RemoveDirectoryA("C:\\gone"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(DeleteFileA("C:\\new\\f"));
  EXPECT_TRUE(RemoveDirectoryA("C:\\new\\"));
  EXPECT_FALSE(sim::Exists("C:\\new"));

  sim::MakeDirectory("C:\\ro", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(RemoveDirectoryA("C:\\ro"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(RemoveDirectoryA("C:\\"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FilesTest, CurrentDirectoryCannotBeRemoved) {
  sim::MakeDirectory("C:\\Setup");
  sim::SetCurrentDirectory("C:\\setup\\");
  EXPECT_FALSE(RemoveDirectoryA("C:\\Setup"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(FilesTest, JunctionLeadsToItsTargetAndGoesAloneWhenRemoved) {
  sim::AddDrive('D');
  sim::MakeFile("D:\\db\\jobs.db", "data");
  sim::MakeJunction("C:\\inst\\Data", "D:\\db");
  EXPECT_EQ(Search("C:\\inst\\Data\\*.db"), (Names{"jobs.db"}));
  EXPECT_EQ(sim::FileContents("C:\\inst\\data\\jobs.db"), "data");
  EXPECT_TRUE(RemoveDirectoryA("C:\\inst\\Data"));
  EXPECT_FALSE(sim::Exists("C:\\inst\\Data"));
  EXPECT_EQ(sim::FileContents("D:\\db\\jobs.db"), "data");
}

// ---- Moving and copying ----------------------------------------------------------

HANDLE OpenDirectoryHandle(const char* path, DWORD flags) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
}

TEST_F(FilesTest, HeldDirectoryCannotBeRenamedRemovedNorItsParentsRenamed) {
  sim::MakeDirectory("C:\\Data\\User\\Sub");
  EXPECT_EQ(OpenDirectoryHandle("C:\\Data\\User", 0), INVALID_HANDLE_VALUE);  // no backup semantics
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE held = OpenDirectoryHandle("C:\\Data\\User", FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::MoveAsUser("C:\\Data\\User", "C:\\Away"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(sim::MoveAsUser("C:\\Data", "C:\\Away"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // A rename into the held directory opens it for adding an entry, which a
  // hold without write sharing refuses; one that shares writing does not.
  EXPECT_EQ(sim::MoveAsUser("C:\\Data\\User\\Sub", "C:\\Data\\User\\Moved"),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(RemoveDirectoryA("C:\\Data\\User"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
  EXPECT_EQ(sim::MoveAsUser("C:\\Data", "C:\\Away"), static_cast<DWORD>(ERROR_SUCCESS));
  // Sharing deletion, a handle lets its directory be renamed.
  HANDLE shared = CreateFileA("C:\\Away\\User", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_EQ(sim::MoveAsUser("C:\\Away\\User", "C:\\Away\\Other"), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(shared);
  // Sharing writing, a held directory takes renames into it.
  HANDLE writable = CreateFileA("C:\\Away\\Other", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_EQ(sim::MoveAsUser("C:\\Away\\Other\\Sub", "C:\\Away\\Other\\Moved"),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(sim::MoveAsUser("C:\\Away\\Other", "C:\\Away\\Gone"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(writable);
}

TEST_F(FilesTest, DirectoryHandleTellsALinkFromWhatItLeadsToFromWindows2000On) {
  sim::AddDrive('D');
  sim::MakeDirectory("D:\\Target");
  sim::MakeJunction("C:\\Link", "D:\\Target");
  const DWORD asLink = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  EXPECT_EQ(OpenDirectoryHandle("C:\\Link", asLink), INVALID_HANDLE_VALUE);  // NT 4.0
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  sim::OsVersion windows2000;
  windows2000.major = 5;
  sim::SetOsVersion(windows2000);
  HANDLE link = OpenDirectoryHandle("C:\\Link", asLink);
  HANDLE target = OpenDirectoryHandle("C:\\Link", FILE_FLAG_BACKUP_SEMANTICS);
  BY_HANDLE_FILE_INFORMATION linkInfo, targetInfo;
  ASSERT_TRUE(GetFileInformationByHandle(link, &linkInfo));
  ASSERT_TRUE(GetFileInformationByHandle(target, &targetInfo));
  EXPECT_TRUE(linkInfo.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(linkInfo.dwVolumeSerialNumber, 0x1C2D3E4Fu);
  EXPECT_EQ(targetInfo.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_NE(targetInfo.dwVolumeSerialNumber, linkInfo.dwVolumeSerialNumber);
  EXPECT_NE(targetInfo.nFileIndexLow, linkInfo.nFileIndexLow);
  EXPECT_EQ(targetInfo.nNumberOfLinks, 1u);
  CloseHandle(link);
  CloseHandle(target);
  // An emptied directory may become a link even while held.
  sim::MakeDirectory("C:\\Empty");
  HANDLE held = OpenDirectoryHandle("C:\\Empty", FILE_FLAG_BACKUP_SEMANTICS);
  EXPECT_EQ(sim::TurnIntoJunction("C:\\Empty", "C:\\WINNT"), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(held);
}

TEST_F(FilesTest, HardLinkIsOneFileUnderTwoNamesUntilOneNameGoes) {
  sim::MakeFile("C:\\WINNT\\system32\\config\\SAM", "hives");
  sim::MakeHardLink("C:\\WINNT\\cvnunins.mi_", "C:\\WINNT\\system32\\config\\SAM");
  sim::MakeFile("C:\\mif", "[MIF]");
  EXPECT_TRUE(CopyFileA("C:\\mif", "C:\\WINNT\\cvnunins.mi_", FALSE));  // written through
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\system32\\config\\SAM"), "[MIF]");
  HANDLE file = CreateFileA("C:\\WINNT\\cvnunins.mi_", GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  ASSERT_TRUE(GetFileInformationByHandle(file, &info));
  EXPECT_EQ(info.nNumberOfLinks, 2u);
  CloseHandle(file);
  EXPECT_TRUE(DeleteFileA("C:\\WINNT\\cvnunins.mi_"));
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\system32\\config\\SAM"), "[MIF]");
}

TEST_F(FilesTest, MoveReplacesOnlyWhenAsked) {
  sim::MakeFile("C:\\WINNT\\cvnunins.mi_", "status");
  sim::MakeFile("C:\\WINNT\\cvnunins.mif", "old");
  EXPECT_FALSE(MoveFileExA("C:\\WINNT\\cvnunins.mi_", "C:\\WINNT\\cvnunins.mif", 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(MoveFileExA("C:\\WINNT\\cvnunins.mi_", "C:\\WINNT\\cvnunins.mif", MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(sim::Exists("C:\\WINNT\\cvnunins.mi_"));
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mif"), "status");
  EXPECT_EQ(sim::DirectoryEntries("C:\\WINNT"), (Names{"cvnunins.mif", "system32"}));
  EXPECT_FALSE(MoveFileExA("C:\\WINNT\\nothing", "C:\\WINNT\\x", 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, CopyHonoursFailIfExistsAndKeepsAttributes) {
  sim::MakeFile("C:\\src\\a.mi_", "abc", FILE_ATTRIBUTE_READONLY);
  sim::MakeFile("C:\\dst\\a.mi_", "old");
  EXPECT_FALSE(CopyFileA("C:\\src\\a.mi_", "C:\\dst\\a.mi_", TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(sim::FileContents("C:\\dst\\a.mi_"), "old");
  EXPECT_TRUE(CopyFileA("C:\\src\\a.mi_", "C:\\dst\\a.mi_", FALSE));
  EXPECT_EQ(sim::FileContents("C:\\dst\\a.mi_"), "abc");
  EXPECT_EQ(sim::Attributes("C:\\dst\\a.mi_"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_FALSE(CopyFileA("C:\\src\\a.mi_", "C:\\dst\\a.mi_", FALSE));  // now read-only
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(CopyFileA("C:\\src\\none", "C:\\dst\\none", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(CopyFileA("C:\\src\\a.mi_", "C:\\nodir\\a.mi_", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// ---- Deferred operations ---------------------------------------------------------

TEST_F(FilesTest, DeferredDeletionIsRecordedWithItsFullPath) {
  sim::MakeDirectory("C:\\inst");
  sim::SetCurrentDirectory("C:\\inst");
  EXPECT_TRUE(MoveFileExA("busy.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_TRUE(MoveFileExA("C:\\inst\\", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_TRUE(MoveFileExA("C:\\inst\\a", "C:\\inst\\b", MOVEFILE_DELAY_UNTIL_REBOOT));
  const auto& pending = sim::PendingOperations();
  ASSERT_EQ(pending.size(), 3u);
  EXPECT_EQ(pending[0].source, "C:\\inst\\busy.dll");
  EXPECT_EQ(pending[0].target, "");
  EXPECT_EQ(pending[1].source, "C:\\inst\\");
  EXPECT_EQ(pending[2].target, "C:\\inst\\b");
  EXPECT_TRUE(sim::DeletionPending("c:\\INST"));
  EXPECT_TRUE(sim::DeletionPending("C:\\inst\\BUSY.dll"));
  EXPECT_FALSE(sim::DeletionPending("C:\\inst\\a"));
}

TEST_F(FilesTest, RebootCarriesOutPendingOperationsInOrder) {
  sim::MakeFile("C:\\inst\\busy.dll");
  sim::HoldOpen("C:\\inst\\busy.dll");
  sim::MakeFile("C:\\inst\\locked.sys", "", FILE_ATTRIBUTE_READONLY);
  sim::MakeFile("C:\\keep\\stays.txt");
  sim::MakeFile("C:\\inst\\new.cfg", "n");
  ASSERT_TRUE(MoveFileExA("C:\\inst\\busy.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\keep", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\inst\\new.cfg", "C:\\keep\\new.cfg", MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\inst\\locked.sys", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\inst\\", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\inst\\never.there", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_TRUE(sim::Exists("C:\\inst\\busy.dll"));

  sim::Reboot();
  EXPECT_FALSE(sim::Exists("C:\\inst\\busy.dll"));     // its holder is gone
  EXPECT_TRUE(sim::Exists("C:\\keep\\stays.txt"));      // not empty: stays
  EXPECT_EQ(sim::FileContents("C:\\keep\\new.cfg"), "n");
  EXPECT_TRUE(sim::Exists("C:\\inst\\locked.sys"));     // read-only files survive
  EXPECT_TRUE(sim::Exists("C:\\inst"));                 // so their directory does too
  EXPECT_TRUE(sim::PendingOperations().empty());

  ASSERT_TRUE(SetFileAttributesA("C:\\inst\\locked.sys", FILE_ATTRIBUTE_NORMAL));
  ASSERT_TRUE(MoveFileExA("C:\\inst\\locked.sys", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\inst", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  sim::Reboot();
  EXPECT_FALSE(sim::Exists("C:\\inst"));  // emptied first, then removed
}

TEST_F(FilesTest, DeferringCanBeMadeToFail) {
  sim::FailCall("MoveFileExA", ERROR_ACCESS_DENIED);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA("C:\\x", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(sim::PendingOperations().empty());
}

// ---- Handles, reading and writing ------------------------------------------------

TEST_F(FilesTest, AppendingOneByteAtTheEndOfAnExistingFile) {
  sim::MakeFile("C:\\WINNT\\cvnunins.mif", "[Status]", FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileA("C:\\WINNT\\cvnunins.mif", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::File), 1);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 8u);
  DWORD written = 0xdeadbeef;
  EXPECT_TRUE(WriteFile(file, " ", 1, &written, nullptr));
  EXPECT_EQ(written, 1u);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(sim::FileContents("C:\\WINNT\\cvnunins.mif"), "[Status] ");
  EXPECT_EQ(sim::Attributes("C:\\WINNT\\cvnunins.mif"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, CreationDispositions) {
  sim::MakeFile("C:\\c\\there.txt", "abc");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA("C:\\c\\none.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileA("C:\\none\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(CreateFileA("C:\\c\\there.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(CreateFileA("C:\\c", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  HANDLE file = CreateFileA("C:\\c\\there.txt", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  char buffer[8] = {};
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "abc");
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(read, 0u);
  EXPECT_FALSE(WriteFile(file, "x", 1, &read, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(file);

  file = CreateFileA("C:\\c\\there.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(file);
  EXPECT_EQ(sim::FileContents("C:\\c\\there.txt"), "");
  file = CreateFileA("C:\\c\\fresh.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(file);
  EXPECT_EQ(sim::Attributes("C:\\c\\fresh.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FilesTest, SharingModesDecideASecondOpen) {
  sim::MakeFile("C:\\s.txt", "x");
  sim::MakeFile("C:\\ro.txt", "x", FILE_ATTRIBUTE_READONLY);
  HANDLE first = CreateFileA("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE second = CreateFileA("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA("C:\\s.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(first);
  CloseHandle(second);
  EXPECT_EQ(CreateFileA("C:\\ro.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  sim::HoldOpen("C:\\s.txt");
  EXPECT_EQ(CreateFileA("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                        nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(FilesTest, FilePointerMovesFromEachOrigin) {
  sim::MakeFile("C:\\p.bin", "0123456789");
  HANDLE file = CreateFileA("C:\\p.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_CURRENT), 6u);
  EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 7u);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  LONG high = 0;
  EXPECT_EQ(SetFilePointer(file, 12, &high, FILE_BEGIN), 12u);
  EXPECT_EQ(high, 0);
  DWORD written;
  EXPECT_TRUE(WriteFile(file, "AB", 2, &written, nullptr));
  CloseHandle(file);
  EXPECT_EQ(sim::FileContents("C:\\p.bin"), std::string("0123456789\0\0AB", 14));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, FailedOpenLeavesNoHandle) {
  sim::FailCall("CreateFileA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFileA("C:\\any", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(sim::Exists("C:\\any"));
}

// ---- System directories and redirected output ------------------------------------

TEST_F(FilesTest, SystemAndWindowsDirectories) {
  char buffer[MAX_PATH];
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 8u);
  EXPECT_STREQ(buffer, "C:\\WINNT");
  EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 17u);
  EXPECT_STREQ(buffer, "C:\\WINNT\\system32");
  EXPECT_TRUE(sim::IsDirectory("C:\\WINNT\\system32\\drivers"));
  std::memset(buffer, 0x55, sizeof buffer);
  EXPECT_EQ(GetSystemDirectoryA(buffer, 17), 18u);  // too small: the size it needs
  EXPECT_EQ(buffer[0], 0x55);
  sim::SetWindowsDirectory("D:\\WINDOWS");
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
  EXPECT_STREQ(buffer, "D:\\WINDOWS");
  sim::FailCall("GetSystemDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST_F(FilesTest, StandardOutputReopenedOnAFileWritesIntoIt) {
  sim::MakeFile("C:\\report.txt", "stale");
  ASSERT_NE(SimFreopen("C:\\report.txt", "w", SimStdout()), nullptr);
  SimPrintf("line %d\n", 1);
  SimPrintf("line %d\n", 2);
  EXPECT_EQ(sim::FileContents("C:\\report.txt"), "line 1\nline 2\n");
  EXPECT_EQ(SimFclose(SimStdout()), 0);
  EXPECT_TRUE(sim::ConsoleText().empty());
  EXPECT_EQ(SimFreopen("C:\\no\\report.txt", "w", SimStdout()), nullptr);
}

}  // namespace

namespace {

TEST_F(FilesTest, RunningImageIsRenamedButNotDeletedUntilTheRestart) {
  sim::MakeFile("C:\\App\\app.exe", "MZ");
  sim::RunImage("C:\\App\\app.exe");
  EXPECT_FALSE(DeleteFileA("C:\\App\\app.exe"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(MoveFileExA("C:\\App\\app.exe", "C:\\App\\app.old", 0));
  EXPECT_FALSE(DeleteFileA("C:\\App\\app.old"));
  sim::Reboot();
  EXPECT_TRUE(DeleteFileA("C:\\App\\app.old"));
}

TEST_F(FilesTest, ProcessEndedAtACallLeavesNoHandleNorShareLock) {
  sim::MakeFile("C:\\App\\data.txt", "x");
  sim::KillAtCall("CreateFileA", 2, false);
  HANDLE held = CreateFileA("C:\\App\\data.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(CreateFileA("C:\\App\\data.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
               sim::ProcessKilled);
  void* block = malloc(16);
  EXPECT_NE(block, nullptr);
  sim::EndProcess();
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_EQ(sim::HeapBlocks(), 0);
  EXPECT_TRUE(DeleteFileA("C:\\App\\data.txt"));  // no lock left
  // Right after a call: at the next one, whichever it is.
  sim::KillAtCall("GetFileAttributesA", 1, true);
  EXPECT_NE(GetFileAttributesA("C:\\App"), INVALID_FILE_ATTRIBUTES);
  EXPECT_THROW(DeleteFileA("C:\\App\\none"), sim::ProcessKilled);
  EXPECT_EQ(sim::CallCount("DeleteFileA"), 1);
  sim::EndProcess();
}

}  // namespace
