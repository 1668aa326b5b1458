// Files and directories: searches and their wildcards, listing order,
// attributes, error codes, opening, sharing, moving, copying and deferred
// deletion.
#include "conformance.h"

namespace {

using conformance::Scratch;
using conformance::WriteWholeFile;
using Names = std::vector<std::string>;

const char kArea[] = "files";
const char kNoArchiveBit[] = "Wine keeps no archive attribute: every file without others reports FILE_ATTRIBUTE_ARCHIVE";
const char kRootWrites[] =
    "Wine keeps read-only as the Unix write permission, which root (who runs the tests) passes";

void MakeFile(const std::string& name, const std::string& contents = "") {
  REQUIRE(WriteWholeFile(Scratch(name), contents));
}
void MakeDir(const std::string& name) { REQUIRE(CreateDirectoryA(Scratch(name).c_str(), nullptr)); }

// Every name a search returns, in order; `error` is the error of a failed
// search (0 when it found something).
Names Search(const std::string& pattern, DWORD* error = nullptr) {
  Names names;
  WIN32_FIND_DATAA data;
  SetLastError(0xdeadbeef);
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    if (error) *error = GetLastError();
    return names;
  }
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  CHECK_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  CHECK(FindClose(find));
  if (error) *error = 0;
  return names;
}

DWORD SearchError(const std::string& pattern) {
  DWORD error = 0;
  CHECK_EQ(Search(pattern, &error), Names{});
  return error;
}

// The error of a call that failed, or 0 when it succeeded.
DWORD ErrorOf(BOOL succeeded) { return succeeded ? 0 : GetLastError(); }

void MakeWildcardFiles() {
  MakeDir("w");
  for (const char* name : {"readme", "report.rpt", "a.b.rpt", "data.rptx", "old.rpt.bak", "a.txt", "ab.txt",
                           "abc.txt", "vb40032", "vb40032.dll"})
    MakeFile(std::string("w\\") + name);
}

// ---- Listing order ----------------------------------------------------------------

CASE(kArea, "a listing gives . and .. first, then names sorted without regard to case") {
  MakeDir("list");
  for (const char* name : {"beta.txt", "Alpha.txt", "GAMMA"}) MakeFile(std::string("list\\") + name);
  MakeDir("list\\delta");
  CHECK_EQ(Search(Scratch("list\\*.*")), (Names{".", "..", "Alpha.txt", "beta.txt", "delta", "GAMMA"}));
}

CASE(kArea, "a listing through another letter case finds the same") {
  MakeDir("list");
  MakeFile("list\\One");
  CHECK_EQ(Search(Scratch("LIST\\*")), (Names{".", "..", "One"}));
}

// ---- Wildcards --------------------------------------------------------------------

struct Wildcard {
  const char* mask;
  Names expected;
};

const Wildcard kWildcards[] = {
    // data.rptx by its short name DATA~1.RPT
    {"*.rpt", {"a.b.rpt", "data.rptx", "report.rpt"}},
    {"*.RPT", {"a.b.rpt", "data.rptx", "report.rpt"}},
    {"?b.txt", {"ab.txt"}},
    {"vb40032", {"vb40032"}},
    {"VB40032.DLL", {"vb40032.dll"}},
    {"r*", {"readme", "report.rpt"}},
    {"*.rpt.*", {"a.b.rpt", "data.rptx", "old.rpt.bak", "report.rpt"}},
    {"*d*", {"data.rptx", "old.rpt.bak", "readme", "vb40032.dll"}},
    {"*.*", {".", "..", "a.b.rpt", "a.txt", "ab.txt", "abc.txt", "data.rptx", "old.rpt.bak", "readme",
             "report.rpt", "vb40032", "vb40032.dll"}},
};

const bool kWildcardCases = [] {
  for (const Wildcard& w : kWildcards) {
    conformance::Add(kArea, std::string("search mask \"") + w.mask + "\" finds what DOS rules match", [&w] {
      MakeWildcardFiles();
      CHECK_EQ(Search(Scratch(std::string("w\\") + w.mask)), w.expected);
    });
  }
  return true;
}();

// Windows turns '?' into DOS_QM (one character, or none at a dot or the end
// of the name) and "*." into names without an extension before it matches.
const Wildcard kDosWildcards[] = {
    {"*.", {".", "..", "readme", "vb40032"}},
    {"a?.txt", {"a.txt", "ab.txt"}},
    {"???.txt", {"a.txt", "ab.txt", "abc.txt"}},
    {"*.rpt?", {"a.b.rpt", "data.rptx", "report.rpt"}},
};

const bool kDosWildcardCases = [] {
  for (const Wildcard& w : kDosWildcards) {
    conformance::Add(
        kArea, std::string("search mask \"") + w.mask + "\" finds what DOS wildcards match",
        [&w] {
          MakeWildcardFiles();
          CHECK_EQ(Search(Scratch(std::string("w\\") + w.mask)), w.expected);
        },
        conformance::Kind::WineDiffers,
        "Wine matches '?' as exactly one character and \"*.\" as any name, without the DOS wildcards "
        "Windows matches them as");
  }
  return true;
}();

// ---- Failed searches ---------------------------------------------------------------

CASE(kArea, "a search that matches nothing gives 2") {
  MakeDir("dir");
  MakeFile("dir\\file.txt");
  CHECK_EQ(SearchError(Scratch("dir\\*.zip")), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "a search in a missing directory gives 3") {
  CHECK_EQ(SearchError(Scratch("missing\\*.*")), ERROR_PATH_NOT_FOUND);
}

WINE_DIFFERS(kArea, "a search below a file gives 3",
             "Wine reports a file used as a directory as an invalid name (123); NTFS reports a path whose "
             "directory part is a file as not found (3)") {
  MakeFile("file.txt");
  CHECK_EQ(SearchError(Scratch("file.txt\\*.*")), ERROR_PATH_NOT_FOUND);
}

CASE(kArea, "a search for a directory path ending in a backslash gives 2") {
  MakeDir("dir");
  CHECK_EQ(SearchError(Scratch("dir\\")), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "a search for an empty directory's contents gives only . and ..") {
  MakeDir("empty");
  CHECK_EQ(Search(Scratch("empty\\*")), (Names{".", ".."}));
}

// ---- Search entries ----------------------------------------------------------------

CASE(kArea, "a search entry carries attributes and size") {
  MakeFile("data.bin", "12345");
  REQUIRE(SetFileAttributesA(Scratch("data.bin").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  WIN32_FIND_DATAA data;
  std::memset(&data, 0x55, sizeof data);
  HANDLE find = FindFirstFileA(Scratch("*.bin").c_str(), &data);
  REQUIRE(find != INVALID_HANDLE_VALUE);
  CHECK_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  CHECK_EQ(data.nFileSizeLow, 5);
  CHECK_EQ(data.nFileSizeHigh, 0);
  CHECK_STR(data.cFileName, "data.bin");
  FindClose(find);
}

WINE_DIFFERS(kArea, "a file without attributes is listed as normal", kNoArchiveBit) {
  MakeFile("plain");
  REQUIRE(SetFileAttributesA(Scratch("plain").c_str(), FILE_ATTRIBUTE_NORMAL));
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(Scratch("plain").c_str(), &data);
  REQUIRE(find != INVALID_HANDLE_VALUE);
  CHECK_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
  FindClose(find);
}

CASE(kArea, "a directory is listed with the directory attribute and its own letter case") {
  MakeDir("SubDir");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(Scratch("subdir").c_str(), &data);
  REQUIRE(find != INVALID_HANDLE_VALUE);
  CHECK(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CHECK_STR(data.cFileName, "SubDir");
  FindClose(find);
}

CASE(kArea, "a new file carries the archive attribute") {
  MakeFile("fresh.txt");
  CHECK_EQ(GetFileAttributesA(Scratch("fresh.txt").c_str()), FILE_ATTRIBUTE_ARCHIVE);
}

// ---- Paths and attributes ------------------------------------------------------------

CASE(kArea, "paths with slashes, doubled backslashes, . and .. reach the same file") {
  MakeDir("Program Files");
  MakeFile("Program Files\\cvnsvc.exe", "x");
  const std::string base = conformance::kScratchDir;
  const std::string same[] = {base + "\\PROGRAM FILES\\CvnSvc.exe", base + "/Program Files/cvnsvc.exe",
                              base + "\\Program Files\\\\.\\cvnsvc.exe",
                              base + "\\Program Files\\Logs\\..\\cvnsvc.exe"};
  for (const std::string& path : same) CHECK_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_ARCHIVE);
}

CASE(kArea, "a directory path with a trailing backslash has the directory attribute") {
  MakeDir("t");
  CHECK_EQ(GetFileAttributesA(Scratch("t\\").c_str()), FILE_ATTRIBUTE_DIRECTORY);
}

CASE(kArea, "a path's last name loses its trailing dots and blanks") {
  MakeDir("t");
  MakeFile("t\\f.txt", "x");
  CHECK_EQ(GetFileAttributesA(Scratch("t.").c_str()), FILE_ATTRIBUTE_DIRECTORY);
  CHECK_EQ(GetFileAttributesA(Scratch("t . ..").c_str()), FILE_ATTRIBUTE_DIRECTORY);
  CHECK_EQ(GetFileAttributesA(Scratch("t\\f.txt. ").c_str()), FILE_ATTRIBUTE_ARCHIVE);
}

CASE(kArea, "a name inside a path loses a single trailing dot") {
  MakeDir("t");
  MakeFile("t\\f.txt", "x");
  CHECK_EQ(GetFileAttributesA(Scratch("t.\\f.txt").c_str()), FILE_ATTRIBUTE_ARCHIVE);
  CHECK_EQ(Search(Scratch("t.\\*.txt")), Names{"f.txt"});
}

CASE(kArea, "attributes of a missing file give 2") {
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetFileAttributesA(Scratch("missing.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "attributes in a missing directory give 3") {
  SetLastError(0xdeadbeef);
  CHECK_EQ(GetFileAttributesA(Scratch("missing\\x.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

CASE(kArea, "read-only and hidden are set on a file") {
  MakeFile("f.txt");
  REQUIRE(SetFileAttributesA(Scratch("f.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  CHECK_EQ(GetFileAttributesA(Scratch("f.txt").c_str()) & ~FILE_ATTRIBUTE_ARCHIVE,
           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  CHECK(SetFileAttributesA(Scratch("f.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  CHECK_EQ(GetFileAttributesA(Scratch("f.txt").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0);
}

WINE_DIFFERS(kArea, "normal clears every other attribute of a file", kNoArchiveBit) {
  MakeFile("f.txt");
  REQUIRE(SetFileAttributesA(Scratch("f.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  CHECK_EQ(GetFileAttributesA(Scratch("f.txt").c_str()), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  CHECK(SetFileAttributesA(Scratch("f.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  CHECK_EQ(GetFileAttributesA(Scratch("f.txt").c_str()), FILE_ATTRIBUTE_NORMAL);
}

WINE_DIFFERS(kArea, "a read-only directory keeps its directory attribute",
             "Wine keeps no read-only attribute on directories") {
  MakeDir("d");
  CHECK(SetFileAttributesA(Scratch("d").c_str(), FILE_ATTRIBUTE_READONLY));
  CHECK_EQ(GetFileAttributesA(Scratch("d").c_str()), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA(Scratch("d").c_str(), FILE_ATTRIBUTE_NORMAL);
}

CASE(kArea, "setting attributes of a missing file gives 2") {
  CHECK_EQ(ErrorOf(SetFileAttributesA(Scratch("none").c_str(), FILE_ATTRIBUTE_NORMAL)), ERROR_FILE_NOT_FOUND);
}

// ---- Deleting ------------------------------------------------------------------------

CASE(kArea, "deleting a missing file gives 2") {
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("missing.txt").c_str())), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "deleting in a missing directory gives 3") {
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("nodir\\x.txt").c_str())), ERROR_PATH_NOT_FOUND);
}

CASE(kArea, "deleting a read-only file gives 5") {
  MakeFile("ro.txt");
  REQUIRE(SetFileAttributesA(Scratch("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("ro.txt").c_str())), ERROR_ACCESS_DENIED);
  CHECK(GetFileAttributesA(Scratch("ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
}

// MSDN, CreateFile: the share mode governs reading, writing and deleting;
// attributes are no data, so a file held for reading, sharing reading and
// writing, still takes a new attribute (MS-FSA, the share access check of an
// open: FILE_WRITE_ATTRIBUTES takes part in none). The walk clears a read-only
// file's bit while it holds the file, then deletes it once closed.
CASE(kArea, "a read-only file held for reading takes its bit cleared and goes once closed") {
  MakeFile("held-ro.txt");
  REQUIRE(SetFileAttributesA(Scratch("held-ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE held = CreateFileA(Scratch("held-ro.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  REQUIRE(held != INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION info;
  CHECK(GetFileInformationByHandle(held, &info));
  CHECK_EQ(info.nNumberOfLinks, 1);
  CHECK(SetFileAttributesA(Scratch("held-ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  CHECK_EQ(GetFileAttributesA(Scratch("held-ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0);
  CloseHandle(held);
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("held-ro.txt").c_str())), 0);
}

CASE(kArea, "deleting a directory as a file gives 5") {
  MakeDir("del");
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("del").c_str())), ERROR_ACCESS_DENIED);
}

CASE(kArea, "a file open without sharing cannot be deleted until closed") {
  MakeFile("open.txt");
  HANDLE file = CreateFileA(Scratch("open.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("open.txt").c_str())), ERROR_SHARING_VIOLATION);
  CHECK(CloseHandle(file));
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("OPEN.TXT").c_str())), 0);
  CHECK_EQ(GetFileAttributesA(Scratch("open.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Deletion of a file whose handles all share deletion: Wine's
// kernel32/tests/file.c, test_DeleteFileA (DeleteFileA succeeds while a
// handle opened with FILE_SHARE_DELETE is open; once it is closed the file
// is gone); MSDN, DeleteFile: the file is marked for deletion on close, and
// later CreateFile calls on it fail with ERROR_ACCESS_DENIED.
HANDLE OpenSharingDeletion(const std::string& name) {
  HANDLE file = CreateFileA(Scratch(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  return file;
}

CASE(kArea, "a file whose handle shares deletion is deleted and goes when the handle closes") {
  MakeFile("pending.txt", "x");
  HANDLE file = OpenSharingDeletion("pending.txt");
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("pending.txt").c_str())), 0);
  CHECK(CloseHandle(file));
  CHECK_EQ(GetFileAttributesA(Scratch("pending.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("pending.txt").c_str())), ERROR_FILE_NOT_FOUND);
}

WINE_DIFFERS(kArea, "a file deleted while open refuses every open, even one that would create it, with 5",
             "Wine opens a file whose deletion is pending, and deletes it again; Windows marks it and fails "
             "every later open with ERROR_ACCESS_DENIED (MSDN, DeleteFile)") {
  MakeFile("pending.txt", "x");
  HANDLE file = OpenSharingDeletion("pending.txt");
  REQUIRE(DeleteFileA(Scratch("pending.txt").c_str()));
  const DWORD dispositions[] = {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS};
  for (DWORD disposition : dispositions) {
    SetLastError(0xdeadbeef);
    HANDLE again = CreateFileA(Scratch("pending.txt").c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition, 0,
                               nullptr);
    CHECK(again == INVALID_HANDLE_VALUE);
    CHECK_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
  }
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("pending.txt").c_str())), ERROR_ACCESS_DENIED);
  CHECK(CloseHandle(file));
}

CASE(kArea, "a file deleted while open is still listed and keeps its directory from being removed") {
  MakeDir("held");
  MakeFile("held\\pending.txt", "x");
  HANDLE file = OpenSharingDeletion("held\\pending.txt");
  REQUIRE(DeleteFileA(Scratch("held\\pending.txt").c_str()));
  CHECK_EQ(Search(Scratch("held\\*.txt")), Names{"pending.txt"});
  CHECK_EQ(ErrorOf(RemoveDirectoryA(Scratch("held").c_str())), ERROR_DIR_NOT_EMPTY);
  CHECK(CloseHandle(file));
  CHECK_EQ(ErrorOf(RemoveDirectoryA(Scratch("held").c_str())), 0);
}

// ---- Directories ----------------------------------------------------------------------

CASE(kArea, "making an existing directory gives 183") {
  MakeDir("new");
  CHECK_EQ(ErrorOf(CreateDirectoryA(Scratch("NEW").c_str(), nullptr)), ERROR_ALREADY_EXISTS);
}

CASE(kArea, "making a directory in a missing one gives 3") {
  CHECK_EQ(ErrorOf(CreateDirectoryA(Scratch("no\\such").c_str(), nullptr)), ERROR_PATH_NOT_FOUND);
}

CASE(kArea, "a directory name with a wildcard is invalid") {
  CHECK_EQ(ErrorOf(CreateDirectoryA(Scratch("bad*name").c_str(), nullptr)), ERROR_INVALID_NAME);
}

CASE(kArea, "removing a directory that is not empty gives 145") {
  MakeDir("full");
  MakeFile("full\\f");
  CHECK_EQ(ErrorOf(RemoveDirectoryA(Scratch("full").c_str())), ERROR_DIR_NOT_EMPTY);
}

CASE(kArea, "removing a file as a directory gives 267") {
  MakeFile("f");
  CHECK_EQ(ErrorOf(RemoveDirectoryA(Scratch("f").c_str())), ERROR_DIRECTORY);
}

CASE(kArea, "removing a missing directory gives 2") {
  CHECK_EQ(ErrorOf(RemoveDirectoryA(Scratch("gone").c_str())), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "an empty directory is removed through a path with a trailing backslash") {
  MakeDir("empty");
  CHECK_EQ(ErrorOf(RemoveDirectoryA(Scratch("empty\\").c_str())), 0);
  CHECK_EQ(GetFileAttributesA(Scratch("empty").c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---- Opening, reading and writing ------------------------------------------------------

HANDLE Open(const std::string& name, DWORD access, DWORD share, DWORD disposition) {
  SetLastError(0xdeadbeef);
  return CreateFileA(Scratch(name).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

CASE(kArea, "opening a missing file gives 2") {
  CHECK(Open("none.txt", GENERIC_READ, 0, OPEN_EXISTING) == INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "creating in a missing directory gives 3") {
  CHECK(Open("none\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS) == INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

CASE(kArea, "creating a new file over an existing one gives 80") {
  MakeFile("there.txt", "abc");
  CHECK(Open("there.txt", GENERIC_WRITE, 0, CREATE_NEW) == INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_FILE_EXISTS);
}

CASE(kArea, "opening a directory as a file gives 5") {
  MakeDir("c");
  CHECK(Open("c", GENERIC_READ, 0, OPEN_EXISTING) == INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

CASE(kArea, "open always on an existing file says it already exists") {
  MakeFile("there.txt", "abc");
  HANDLE file = Open("there.txt", GENERIC_READ, 0, OPEN_ALWAYS);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CloseHandle(file);
}

CASE(kArea, "create always over an existing file empties it and says it existed") {
  MakeFile("there.txt", "abc");
  HANDLE file = Open("there.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CHECK_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 0);
  CloseHandle(file);
}

CASE(kArea, "a new file made with create new leaves no error") {
  HANDLE file = Open("fresh.txt", GENERIC_WRITE, 0, CREATE_NEW);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), 0);
  CloseHandle(file);
}

CASE(kArea, "reading gives the contents, then nothing at the end") {
  MakeFile("there.txt", "abc");
  HANDLE file = Open("there.txt", GENERIC_READ, 0, OPEN_EXISTING);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  char buffer[8] = {};
  DWORD read = 0;
  CHECK(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
  CHECK_EQ(std::string(buffer, read), std::string("abc"));
  CHECK(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
  CHECK_EQ(read, 0);
  CloseHandle(file);
}

CASE(kArea, "writing through a read handle gives 5") {
  MakeFile("there.txt", "abc");
  HANDLE file = Open("there.txt", GENERIC_READ, 0, OPEN_EXISTING);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  DWORD written = 0;
  CHECK_EQ(ErrorOf(WriteFile(file, "x", 1, &written, nullptr)), ERROR_ACCESS_DENIED);
  CloseHandle(file);
}

HANDLE HoldDirectory(const std::string& name) {
  return CreateFileA(Scratch(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

CASE(kArea, "a directory held without delete sharing cannot be renamed: 32") {
  MakeDir("held");
  HANDLE held = HoldDirectory("held");
  REQUIRE(held != INVALID_HANDLE_VALUE);
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("held").c_str(), Scratch("away").c_str(), 0)),
           ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  CHECK(MoveFileExA(Scratch("held").c_str(), Scratch("away").c_str(), 0));
}

WINE_DIFFERS(kArea, "a rename into a directory held without write sharing gives 32",
             "MS-FSA 2.1.5.14.11 (FileRenameInformation): a rename opens the directory it adds the name to "
             "for FILE_ADD_FILE sharing read and write, as the FAT driver sample does, so an open handle of "
             "that directory without FILE_SHARE_WRITE refuses it; Wine does not open the target directory") {
  MakeDir("held");
  MakeFile("held\\in-use.log", "log");
  HANDLE held = HoldDirectory("held");
  REQUIRE(held != INVALID_HANDLE_VALUE);
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("held\\in-use.log").c_str(),
                               Scratch("held\\in-use.log.old").c_str(), 0)),
           ERROR_SHARING_VIOLATION);
  CloseHandle(held);
}

CASE(kArea, "a rename within a directory held sharing reading and writing goes ahead; the directory stays held") {
  MakeDir("held");
  MakeFile("held\\in-use.log", "log");
  HANDLE held = CreateFileA(Scratch("held").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  REQUIRE(held != INVALID_HANDLE_VALUE);
  CHECK(MoveFileExA(Scratch("held\\in-use.log").c_str(), Scratch("held\\in-use.log.old").c_str(), 0));
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("held").c_str(), Scratch("away").c_str(), 0)), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
}

CASE(kArea, "a directory's handle gives its attributes, one link and an index of its own") {
  MakeDir("one");
  MakeDir("two");
  HANDLE one = HoldDirectory("one");
  HANDLE two = HoldDirectory("two");
  HANDLE again = CreateFileA(Scratch("one").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  REQUIRE(one != INVALID_HANDLE_VALUE && two != INVALID_HANDLE_VALUE && again != INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION first, second, third;
  CHECK(GetFileInformationByHandle(one, &first));
  CHECK(GetFileInformationByHandle(two, &second));
  CHECK(GetFileInformationByHandle(again, &third));
  CHECK_EQ(first.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
           FILE_ATTRIBUTE_DIRECTORY);
  CHECK_EQ(first.nNumberOfLinks, 1);
  CHECK_EQ(first.dwVolumeSerialNumber, second.dwVolumeSerialNumber);
  CHECK(first.nFileIndexLow != second.nFileIndexLow || first.nFileIndexHigh != second.nFileIndexHigh);
  CHECK_EQ(first.nFileIndexLow, third.nFileIndexLow);
  CHECK_EQ(first.nFileIndexHigh, third.nFileIndexHigh);
  CloseHandle(one);
  CloseHandle(two);
  CloseHandle(again);
}

CASE(kArea, "a byte appended at the end lengthens the file") {
  MakeFile("status.mif", "[Status]");
  HANDLE file = Open("status.mif", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  CHECK_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 8);
  DWORD written = 0;
  CHECK(WriteFile(file, " ", 1, &written, nullptr));
  CHECK_EQ(written, 1);
  CHECK_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 9);
  CloseHandle(file);
}

CASE(kArea, "a second open that would write is refused by a read share") {
  MakeFile("s.txt", "x");
  HANDLE first = Open("s.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  HANDLE second = Open("s.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  CHECK(second != INVALID_HANDLE_VALUE);
  HANDLE writer = Open("s.txt", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  CHECK(writer == INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  CloseHandle(first);
  if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
}

WINE_DIFFERS(kArea, "opening a read-only file for writing gives 5", kRootWrites) {
  MakeFile("ro.txt", "x");
  REQUIRE(SetFileAttributesA(Scratch("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE file = Open("ro.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
  CHECK(file == INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

CASE(kArea, "the file pointer moves from each origin") {
  MakeFile("p.bin", "0123456789");
  HANDLE file = Open("p.bin", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  CHECK_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4);
  CHECK_EQ(SetFilePointer(file, 2, nullptr, FILE_CURRENT), 6);
  CHECK_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 7);
  CloseHandle(file);
}

CASE(kArea, "a seek before the start gives 131") {
  MakeFile("p.bin", "0123456789");
  HANDLE file = Open("p.bin", GENERIC_READ, 0, OPEN_EXISTING);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  SetLastError(0xdeadbeef);
  CHECK_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  CHECK_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  CloseHandle(file);
}

CASE(kArea, "writing past the end fills the gap with zeros") {
  MakeFile("p.bin", "0123456789");
  HANDLE file = Open("p.bin", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  LONG high = 0;
  CHECK_EQ(SetFilePointer(file, 12, &high, FILE_BEGIN), 12);
  CHECK_EQ(high, 0);
  DWORD count = 0;
  CHECK(WriteFile(file, "AB", 2, &count, nullptr));
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[32];
  CHECK(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
  CHECK_EQ(std::string(buffer, count), std::string("0123456789\0\0AB", 14));
  CloseHandle(file);
}

// ---- Moving and copying -----------------------------------------------------------------

CASE(kArea, "a move onto an existing file gives 183 unless asked to replace") {
  MakeFile("a.mi_", "status");
  MakeFile("a.mif", "old");
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("a.mi_").c_str(), Scratch("a.mif").c_str(), 0)), ERROR_ALREADY_EXISTS);
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("a.mi_").c_str(), Scratch("a.mif").c_str(), MOVEFILE_REPLACE_EXISTING)), 0);
  CHECK_EQ(GetFileAttributesA(Scratch("a.mi_").c_str()), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(Search(Scratch("a.*")), Names{"a.mif"});
}

CASE(kArea, "moving a missing file gives 2") {
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("nothing").c_str(), Scratch("x").c_str(), 0)), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "a copy onto an existing file gives 80 when it must not exist") {
  MakeFile("src", "abc");
  MakeFile("dst", "old");
  CHECK_EQ(ErrorOf(CopyFileA(Scratch("src").c_str(), Scratch("dst").c_str(), TRUE)), ERROR_FILE_EXISTS);
  CHECK_EQ(ErrorOf(CopyFileA(Scratch("src").c_str(), Scratch("dst").c_str(), FALSE)), 0);
}

CASE(kArea, "a copy keeps the read-only attribute") {
  MakeFile("src", "abc");
  REQUIRE(SetFileAttributesA(Scratch("src").c_str(), FILE_ATTRIBUTE_READONLY));
  CHECK_EQ(ErrorOf(CopyFileA(Scratch("src").c_str(), Scratch("dst").c_str(), FALSE)), 0);
  CHECK(GetFileAttributesA(Scratch("dst").c_str()) & FILE_ATTRIBUTE_READONLY);
}

WINE_DIFFERS(kArea, "a copy onto a read-only file gives 5", kRootWrites) {
  MakeFile("src", "abc");
  MakeFile("dst", "old");
  REQUIRE(SetFileAttributesA(Scratch("dst").c_str(), FILE_ATTRIBUTE_READONLY));
  CHECK_EQ(ErrorOf(CopyFileA(Scratch("src").c_str(), Scratch("dst").c_str(), FALSE)), ERROR_ACCESS_DENIED);
}

CASE(kArea, "copying a missing file gives 2") {
  CHECK_EQ(ErrorOf(CopyFileA(Scratch("none").c_str(), Scratch("x").c_str(), FALSE)), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "copying into a missing directory gives 3") {
  MakeFile("src", "abc");
  CHECK_EQ(ErrorOf(CopyFileA(Scratch("src").c_str(), Scratch("nodir\\x").c_str(), FALSE)), ERROR_PATH_NOT_FOUND);
}

// ---- Deferred deletion --------------------------------------------------------------------

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

// The operations left for the restart, as recorded in the registry.
std::string PendingRenames() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
  std::string data(8192, '\0');
  DWORD type = 0, size = static_cast<DWORD>(data.size());
  LONG result = RegQueryValueExA(key, kPendingRenames, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return "";
  CHECK_EQ(type, REG_MULTI_SZ);
  data.resize(size);
  return data;
}

// Under Wine the machine is shared: a case that defers leaves the recorded
// operations as they were. (The simulation starts every case afresh.)
struct PendingRenamesKept {
  std::string before = PendingRenames();
  ~PendingRenamesKept() {
#ifndef CVN_SIM
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (before.empty()) {
      RegDeleteValueA(key, kPendingRenames);
    } else {
      RegSetValueExA(key, kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(before.data()),
                     static_cast<DWORD>(before.size()));
    }
    RegCloseKey(key);
#endif
  }
};


CASE(kArea, "a rename onto a name that is taken fails with 183 and leaves both files") {
  MakeFile("cvnsvc.exe", "mine");
  MakeFile("cvnsvc.exe.cvn-deleted", "theirs");
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("cvnsvc.exe").c_str(), Scratch("cvnsvc.exe.cvn-deleted").c_str(), 0)),
           ERROR_ALREADY_EXISTS);
  CHECK_EQ(GetFileAttributesA(Scratch("cvnsvc.exe").c_str()), FILE_ATTRIBUTE_ARCHIVE);
  CHECK_EQ(GetFileAttributesA(Scratch("cvnsvc.exe.cvn-deleted").c_str()), FILE_ATTRIBUTE_ARCHIVE);
}

CASE(kArea, "a deletion deferred until restart succeeds and leaves the file") {
  PendingRenamesKept kept;
  MakeFile("busy.dll", "x");
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("busy.dll").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)), 0);
  CHECK_EQ(GetFileAttributesA(Scratch("busy.dll").c_str()), FILE_ATTRIBUTE_ARCHIVE);
}

CASE(kArea, "a directory's deletion deferred until restart succeeds and leaves it") {
  PendingRenamesKept kept;
  MakeDir("inst");
  CHECK_EQ(ErrorOf(MoveFileExA(Scratch("inst\\").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)), 0);
  CHECK_EQ(GetFileAttributesA(Scratch("inst").c_str()), FILE_ATTRIBUTE_DIRECTORY);
}

CASE(kArea, "a deferred deletion is recorded for the restart as its NT path and an empty target") {
  PendingRenamesKept kept;
  MakeFile("busy.dll", "x");
  REQUIRE(MoveFileExA(Scratch("busy.dll").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  std::string recorded = PendingRenames();
  const std::string entry = std::string("\\??\\") + Scratch("busy.dll") + std::string("\0\0", 2);
  CHECK(recorded.size() >= entry.size() + 1);
  CHECK_EQ(recorded.substr(kept.before.empty() ? 0 : kept.before.size() - 1), entry + std::string(1, '\0'));
}

// ---- Across a restart ----------------------------------------------------------------------------

using conformance::RestartScratch;

BOOL Defer(const std::string& path, const std::string& target = "") {
  return MoveFileExA(path.c_str(), target.empty() ? nullptr : target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT);
}

const bool kDeferredAcrossRestart[] = {
    conformance::AddAroundRestart(
        kArea, "a file's deletion deferred to the restart is carried out",
        [] {
          REQUIRE(WriteWholeFile(RestartScratch("busy.dll"), "x"));
          CHECK(Defer(RestartScratch("busy.dll")));
        },
        [] {
          SetLastError(0xdeadbeef);
          CHECK_EQ(GetFileAttributesA(RestartScratch("busy.dll").c_str()), INVALID_FILE_ATTRIBUTES);
          CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
        }),
    conformance::AddAroundRestart(
        kArea, "a directory emptied by the deletions deferred before its own is removed at the restart",
        [] {
          REQUIRE(CreateDirectoryA(RestartScratch("inst").c_str(), nullptr));
          REQUIRE(WriteWholeFile(RestartScratch("inst\\cvnsvc.exe"), "x"));
          CHECK(Defer(RestartScratch("inst\\cvnsvc.exe")));
          CHECK(Defer(RestartScratch("inst")));
        },
        [] { CHECK_EQ(GetFileAttributesA(RestartScratch("inst").c_str()), INVALID_FILE_ATTRIBUTES); }),
    conformance::AddAroundRestart(
        kArea, "a directory that is not empty stays when its deferred deletion comes",
        [] {
          REQUIRE(CreateDirectoryA(RestartScratch("full").c_str(), nullptr));
          REQUIRE(WriteWholeFile(RestartScratch("full\\stays.txt"), "x"));
          CHECK(Defer(RestartScratch("full")));
        },
        [] { CHECK_EQ(GetFileAttributesA(RestartScratch("full\\stays.txt").c_str()), FILE_ATTRIBUTE_ARCHIVE); }),
    conformance::AddAroundRestart(
        kArea, "a rename deferred to the restart is carried out",
        [] {
          REQUIRE(WriteWholeFile(RestartScratch("new.cfg"), "n"));
          CHECK(Defer(RestartScratch("new.cfg"), RestartScratch("renamed.cfg")));
        },
        [] {
          CHECK_EQ(GetFileAttributesA(RestartScratch("new.cfg").c_str()), INVALID_FILE_ATTRIBUTES);
          CHECK_EQ(GetFileAttributesA(RestartScratch("renamed.cfg").c_str()), FILE_ATTRIBUTE_ARCHIVE);
        }),
    conformance::AddAroundRestart(
        kArea, "a read-only file survives its deferred deletion",
        [] {
          REQUIRE(WriteWholeFile(RestartScratch("locked.sys"), "x"));
          REQUIRE(SetFileAttributesA(RestartScratch("locked.sys").c_str(), FILE_ATTRIBUTE_READONLY));
          CHECK(Defer(RestartScratch("locked.sys")));
        },
        [] {
          CHECK(GetFileAttributesA(RestartScratch("locked.sys").c_str()) != INVALID_FILE_ATTRIBUTES);
          SetFileAttributesA(RestartScratch("locked.sys").c_str(), FILE_ATTRIBUTE_NORMAL);
        }),
    conformance::AddAroundRestart(
        kArea, "a file renamed, then its new name's deletion deferred, is gone after the restart",
        [] {
          REQUIRE(WriteWholeFile(RestartScratch("cvnbase.dll"), "x"));
          CHECK(MoveFileExA(RestartScratch("cvnbase.dll").c_str(), RestartScratch("cvnbase.dll.cvn-deleted").c_str(),
                            0));
          CHECK(Defer(RestartScratch("cvnbase.dll.cvn-deleted")));
          CHECK_EQ(GetFileAttributesA(RestartScratch("cvnbase.dll").c_str()), INVALID_FILE_ATTRIBUTES);
        },
        [] {
          CHECK_EQ(GetFileAttributesA(RestartScratch("cvnbase.dll.cvn-deleted").c_str()), INVALID_FILE_ATTRIBUTES);
          CHECK_EQ(GetFileAttributesA(RestartScratch("cvnbase.dll").c_str()), INVALID_FILE_ATTRIBUTES);
        }),
    conformance::AddAroundRestart(
        kArea, "the record of deferred operations is gone after the restart",
        [] {
          REQUIRE(WriteWholeFile(RestartScratch("gone.dll"), "x"));
          CHECK(Defer(RestartScratch("gone.dll")));
          CHECK(!PendingRenames().empty());
        },
        [] { CHECK_EQ(PendingRenames(), ""); }),
};

// ---- Names as the system keeps them --------------------------------------------
// NT keeps names in UTF-16; the ANSI calls convert what they hand out with
// the code page, a character the page lacks becoming its best fit
// (Microsoft's WindowsBestFit table bestfit1252.txt: FF0E to 2E, FF3C to 5C)
// or '?', as Wine's kernel32 does (dlls/kernel32/file.c, FindFirstFileA over
// FindFirstFileW; the layouts and errors of the wide calls as in Wine's
// kernel32/tests/file.c, test_FindFirstFileA, test_DeleteFileW,
// test_MoveFileW, test_RemoveDirectory).

const WCHAR kBestFitName[] = {0xFF0E, 0xFF0E, 0xFF3C, 'v', 'i', 'c', 't', 'i', 'm', '.', 't', 'x', 't', 0};
const WCHAR kJapaneseName[] = {0x65E5, 0x672C, '.', 'l', 'o', 'g', 0};

// Makes a file of that name in the scratch directory's `directory`.
std::wstring MakeWideFile(const std::string& directory, const WCHAR* name) {
  std::wstring path = conformance::Wide(Scratch(directory)) + L"\\" + name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  CHECK(CloseHandle(file));
  return path;
}

CASE(kArea, "a name outside the code page is listed as the page spells it, and as kept by the wide calls") {
  MakeDir("names");
  MakeWideFile("names", kBestFitName);
  MakeWideFile("names", kJapaneseName);
  if (GetACP() == 1252) {
    Names listed = Search(Scratch("names\\*.txt"));
    CHECK_EQ(listed, Names{"..\\victim.txt"});
    CHECK_EQ(Search(Scratch("names\\*.log")), Names{"??.log"});
  }
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((conformance::Wide(Scratch("names")) + L"\\*.txt").c_str(), &data);
  REQUIRE(find != INVALID_HANDLE_VALUE);
  CHECK(std::wstring(data.cFileName) == kBestFitName);
  CHECK(!FindNextFileW(find, &data));
  CHECK_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  CHECK(FindClose(find));
}

CASE(kArea, "a best-fit name read back through the ANSI calls names the file one level up") {
  if (GetACP() != 1252) return;
  MakeDir("up");
  MakeDir("up\\in");
  MakeFile("up\\victim.txt", "theirs");
  MakeWideFile("up\\in", kBestFitName);
  CHECK_EQ(GetFileAttributesA(Scratch("up\\in\\..\\victim.txt").c_str()), FILE_ATTRIBUTE_ARCHIVE);
  CHECK_EQ(SearchError(Scratch("up\\in\\??.log")), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "the wide calls reach a name outside the code page exactly") {
  MakeDir("wide");
  std::wstring path = MakeWideFile("wide", kJapaneseName);
  CHECK_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  CHECK(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  CHECK_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  CHECK(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
  std::wstring renamed = conformance::Wide(Scratch("wide")) + L"\\" + kBestFitName;
  CHECK(MoveFileExW(path.c_str(), renamed.c_str(), 0));
  CHECK_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  CHECK(DeleteFileW(renamed.c_str()));
  CHECK_EQ(ErrorOf(DeleteFileW(renamed.c_str())), ERROR_FILE_NOT_FOUND);
  // A directory of such a name, made by a rename, removed by its own name.
  MakeDir("plain");
  std::wstring directory = conformance::Wide(Scratch("wide")) + L"\\" + kJapaneseName;
  CHECK(MoveFileExW(conformance::Wide(Scratch("plain")).c_str(), directory.c_str(), 0));
  CHECK_EQ(GetFileAttributesW(directory.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
           static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  CHECK(RemoveDirectoryW(directory.c_str()));
  CHECK_EQ(ErrorOf(RemoveDirectoryW(directory.c_str())), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "a wide search entry carries the name whole and a NUL after it") {
  MakeDir("entry");
  MakeWideFile("entry", kJapaneseName);
  WIN32_FIND_DATAW data;
  std::memset(&data, 0xCC, sizeof data);
  HANDLE find = FindFirstFileW((conformance::Wide(Scratch("entry")) + L"\\" + kJapaneseName).c_str(), &data);
  REQUIRE(find != INVALID_HANDLE_VALUE);
  CHECK_EQ(data.cFileName[6], static_cast<WCHAR>(0));
  CHECK_EQ(data.nFileSizeLow, 0u);
  CHECK(FindClose(find));
  CHECK_EQ(FindFirstFileW((conformance::Wide(Scratch("entry")) + L"\\missing").c_str(), &data),
           INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// GetVolumeNameForVolumeMountPointW came with junctions and mount points in
// Windows 2000, as RtlGetVersion did (Microsoft's documentation of each):
// kernel32 offers the one exactly where ntdll offers the other, whatever
// version GetVersionExA reports.
CASE(kArea, "kernel32 offers the mount point calls exactly where ntdll offers RtlGetVersion") {
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  REQUIRE(kernel32 != nullptr);
  bool mountPoints = GetProcAddress(kernel32, "GetVolumeNameForVolumeMountPointW") != nullptr;
  bool trueVersion = ntdll != nullptr && GetProcAddress(ntdll, "RtlGetVersion") != nullptr;
  CHECK_EQ(mountPoints, trueVersion);
}

#ifdef CVN_SIM
NATIVE_CASE(kArea, "a restart carries out deferred deletions in order") {
  MakeDir("inst");
  MakeFile("inst\\busy.dll");
  CHECK(MoveFileExA(Scratch("inst\\busy.dll").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  CHECK(MoveFileExA(Scratch("inst").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  sim::Reboot();
  CHECK_EQ(GetFileAttributesA(Scratch("inst").c_str()), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(PendingRenames(), "");
}

NATIVE_CASE(kArea, "a file another process holds open cannot be deleted") {
  MakeFile("busy.txt");
  sim::HoldOpen(Scratch("busy.txt"));
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("busy.txt").c_str())), ERROR_SHARING_VIOLATION);
  sim::HoldOpen(Scratch("busy.txt"), false);
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("busy.txt").c_str())), 0);
}

NATIVE_CASE(kArea, "a file another process holds sharing deletion is deleted when it lets go") {
  MakeFile("shared.log");
  sim::HoldOpen(Scratch("shared.log"), true, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  CHECK_EQ(ErrorOf(DeleteFileA(Scratch("shared.log").c_str())), 0);
  CHECK_EQ(GetFileAttributesA(Scratch("shared.log").c_str()), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  sim::HoldOpen(Scratch("shared.log"), false);
  CHECK_EQ(SearchError(Scratch("shared.log")), ERROR_FILE_NOT_FOUND);
}

NATIVE_CASE(kArea, "a file deleted while another process holds it is gone after a restart") {
  MakeFile("shared.log");
  sim::HoldOpen(Scratch("shared.log"), true, FILE_SHARE_READ | FILE_SHARE_DELETE);
  REQUIRE(DeleteFileA(Scratch("shared.log").c_str()));
  sim::Reboot();
  CHECK_EQ(SearchError(Scratch("shared.log")), ERROR_FILE_NOT_FOUND);
}

// UNC paths: MSDN, "Naming Files, Paths, and Namespaces" (\\\\server\\share\\path);
// a server or share that is not there gives ERROR_BAD_NETPATH (53).
NATIVE_CASE(kArea, "a share's files are made, listed and deleted through UNC paths; its root stays") {
  sim::AddShare("\\\\corvsrv\\data");
  REQUIRE(CreateDirectoryA("\\\\CORVSRV\\Data\\jobs", nullptr));
  REQUIRE(WriteWholeFile("\\\\corvsrv\\data\\jobs\\a.db", "x"));
  CHECK_EQ(Search("\\\\corvsrv\\data\\jobs\\*.db"), Names{"a.db"});
  CHECK_EQ(Search("\\\\corvsrv\\data\\job?"), Names{"jobs"});
  CHECK(DeleteFileA("\\\\corvsrv\\data\\jobs\\a.db"));
  CHECK(RemoveDirectoryA("\\\\corvsrv\\data\\jobs\\..\\jobs"));
  CHECK_EQ(ErrorOf(RemoveDirectoryA("\\\\corvsrv\\data")), ERROR_ACCESS_DENIED);
  CHECK_EQ(ErrorOf(RemoveDirectoryA("\\\\corvsrv\\data\\..\\..")), ERROR_ACCESS_DENIED);
  CHECK_EQ(GetFileAttributesA("\\\\corvsrv\\data\\"), FILE_ATTRIBUTE_DIRECTORY);
  CHECK_EQ(GetFileAttributesA("\\\\corvsrv\\other\\x"), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(GetLastError(), ERROR_BAD_NETPATH);
  CHECK_EQ(GetFileAttributesA("\\\\nosuch\\data"), INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(GetLastError(), ERROR_BAD_NETPATH);
}

NATIVE_CASE(kArea, "a junction lists as a reparse point and goes alone when removed") {
  MakeDir("target");
  MakeFile("target\\jobs.db", "data");
  sim::MakeJunction(Scratch("link"), Scratch("target"));
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(Scratch("LINK").c_str(), &data);
  REQUIRE(find != INVALID_HANDLE_VALUE);
  CHECK_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  CHECK_EQ(data.dwReserved0, IO_REPARSE_TAG_MOUNT_POINT);
  FindClose(find);
  CHECK(RemoveDirectoryA(Scratch("link").c_str()));
  CHECK_EQ(Search(Scratch("target\\*.db")), Names{"jobs.db"});
}
#endif

}  // namespace
