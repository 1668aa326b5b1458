// Control API of the simulated file system. A fresh machine has drive C:
// holding C:\WINNT\system32\drivers, C:\ as current directory, and reports
// C:\WINNT and C:\WINNT\system32 as Windows and system directories.
// Paths are full ("C:\dir\file") or relative to the current directory and
// compared without regard to case; missing parent directories are made.
// Names are kept in Unicode, as Windows keeps them: a std::string path is
// ANSI bytes of the code page in force (read as the ANSI calls read it), a
// std::u16string path the names as kept, for names outside the code page.
#pragma once

#include "win32_api.h"

#include <map>
#include <string>
#include <vector>

namespace sim {

// A further drive, empty ('D' makes D:\). Only its directory tree: what the
// volume reports (type, file system, free space) is sim::SetDrive's.
void AddDrive(char letter);
// A network share ("\\\\server\\share"), empty: UNC paths below it reach its
// own directory tree; its root, like a drive's, has no parent and is never
// removed. Any other UNC path fails with ERROR_BAD_NETPATH.
void AddShare(const std::string& share);
// A directory; attributes beyond FILE_ATTRIBUTE_DIRECTORY (read-only,
// archive, hidden...) may be given.
void MakeDirectory(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_DIRECTORY);
void MakeDirectory(const std::u16string& path, DWORD attributes = FILE_ATTRIBUTE_DIRECTORY);
// A file with its contents; an existing file gets the new contents and attributes.
void MakeFile(const std::string& path, const std::string& contents = "",
              DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void MakeFile(const std::u16string& path, const std::string& contents = "",
              DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
// A junction: a directory that is a reparse point leading to `target`.
// Listing or opening through it reaches the target; RemoveDirectoryA
// removes the link alone.
void MakeJunction(const std::string& path, const std::string& target);
void MakeJunction(const std::u16string& path, const std::u16string& target);
void SetAttributes(const std::string& path, DWORD attributes);
// INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD Attributes(const std::string& path);
DWORD Attributes(const std::u16string& path);

// Another process holds the file open for reading, sharing what `share`
// grants (FILE_SHARE_READ, _WRITE, _DELETE): an open it does not share, or
// one that does not share reading, fails with ERROR_SHARING_VIOLATION, and
// so do deleting, moving and renaming unless it shares deletion. Deleted
// while the hold (or a handle of this process) shares deletion, the file is
// delete-pending: still listed, but every open, deletion, rename, copy or
// attribute call meets ERROR_ACCESS_DENIED, its directory is not empty, and
// it goes when the last hold or handle is released (or at a restart).
void HoldOpen(const std::string& path, bool held = true, DWORD share = 0);
void HoldOpen(const std::u16string& path, bool held = true, DWORD share = 0);

// A running program's image or a loaded driver: deleting it fails with
// ERROR_ACCESS_DENIED until the restart, renaming it does not.
void RunImage(const std::string& path);

// A second name of the file `existing` (a hard link): the two are one file,
// whatever is written or set through one name the other shows.
void MakeHardLink(const std::string& path, const std::string& existing);
// Another process (a user without privileges) renames `from` to `to`, or
// turns an empty directory into a junction to `target`: what it may do while
// this process holds handles. 0 or the Win32 error the attempt meets
// (renaming an open directory: ERROR_SHARING_VIOLATION; one that holds an
// open directory or file: ERROR_ACCESS_DENIED; a directory that is not
// empty cannot become a junction: ERROR_DIR_NOT_EMPTY, held or not).
DWORD MoveAsUser(const std::string& from, const std::string& to);
DWORD MoveAsUser(const std::u16string& from, const std::u16string& to);
DWORD TurnIntoJunction(const std::string& path, const std::string& target);

bool Exists(const std::string& path);
bool Exists(const std::u16string& path);
bool IsDirectory(const std::string& path);
// Contents of a file ("" when missing).
std::string FileContents(const std::string& path);
// Names in a directory, sorted as a listing returns them, without . and ..:
// as the ANSI calls hand them out, or as kept.
std::vector<std::string> DirectoryEntries(const std::string& path);
std::vector<std::u16string> UnicodeDirectoryEntries(const std::string& path);

void SetCurrentDirectory(const std::string& path);

// Handles of directories (CreateFileA with FILE_FLAG_BACKUP_SEMANTICS) follow
// a junction unless FILE_FLAG_OPEN_REPARSE_POINT asks for the link itself;
// before Windows 2000 (sim::SetOsVersion) that flag is refused with
// ERROR_INVALID_PARAMETER. GetFileInformationByHandle reports a file index
// unique on the machine and the volume serial of the drive the entry is on:
// C:'s is 0x1C2D3E4F, each further drive's differs.

// Every entry of every drive as stored, junctions not followed, keyed by its
// full path as kept (UTF-8), ASCII letters in upper case, so that two names
// the ANSI calls spell alike stay apart: what a run may not have touched can be compared
// before and after. Drive roots are left out.
struct EntryState {
  DWORD attributes;
  std::string contents;
  std::string linkTarget;
  bool operator==(const EntryState& other) const {
    return attributes == other.attributes && contents == other.contents && linkTarget == other.linkTarget;
  }
};
std::map<std::string, EntryState> FileSnapshot();
// The full path, in the form of FileSnapshot's keys, of the entry `path` reaches: resolved
// against the current directory, every junction on the way replaced by where
// it leads (the last component too when followLast). Components past the
// existing tree are appended as written. Empty when a junction cannot be
// followed or the path is not valid.
std::string ResolvePath(const std::string& path, bool followLast = true);
std::string ResolvePath(const std::u16string& path, bool followLast = true);

// What MoveFileExA(..., MOVEFILE_DELAY_UNTIL_REBOOT) recorded, in order.
// Paths are full paths as given (trailing backslash kept); target is empty
// for a deletion.
// The Unicode forms are the names as recorded; source and target are how
// the ANSI calls would spell them.
struct PendingOperation {
  std::string source;
  std::string target;
  DWORD flags;
  std::u16string unicodeSource;
  std::u16string unicodeTarget;
};
const std::vector<PendingOperation>& PendingOperations();
// True when a deletion of `path` is pending (compared as full paths,
// without regard to case or a trailing backslash).
bool DeletionPending(const std::string& path);
bool DeletionPending(const std::u16string& path);

// What GetWindowsDirectoryA / GetSystemDirectoryA report. The directories
// themselves are made separately (MakeDirectory).
void SetWindowsDirectory(const std::string& path);
void SetSystemDirectory(const std::string& path);

}  // namespace sim
