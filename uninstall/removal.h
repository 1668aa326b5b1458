// Removal primitives of the uninstall extension: one file, a directory tree.
// They show nothing; the caller decides what to tell.
#pragma once

#include "platform.h"

// Learns whether the system has junctions, which decides how a file in use
// may be deferred (see DeleteFileOrDefer); each hook calls it once before it
// deletes anything.
void LearnDeferralRule(void);
// Deletes directory + "\" + fileName (read-only or not), or, when it is in
// use, renames it to its name + ".cvn-deleted" and has Windows delete that
// at the next start. On a system without junctions (before Windows 2000) a
// file that cannot be renamed (held open without sharing its deletion, or
// no room for the suffix) is left to the next start by its own name. 1 when
// deleted, scheduled or already missing; 0 for an empty directory, a path
// that would not fit, or a file that can be neither deleted nor deferred,
// which then stays as it was.
int DeleteFileOrDefer(const char* fileName, const char* directory);
// Deletes the files matching pattern (searched as directory + pattern, so one
// of them carries the separator; each directory below as subdirectory\pattern)
// at every depth, each by the name the system keeps (an entry whose path would
// not fit stays, and the result is 0), then removes the directory or schedules
// its removal at the next start. 1 when every match went, 0 otherwise or when
// the search finds nothing. Refuses (0, touching nothing) an empty, relative
// or drive-root directory, one that is itself a junction or mount point, one
// below a junction (a mounted volume is accepted), the Windows or system
// directory or one holding them, and anything below the Windows directory.
// Never follows a junction or mount point below it nor leaves its volume: each
// directory is held open while it is worked in, so it cannot be renamed or
// replaced meanwhile.
int DeleteTree(const char* directory, const char* pattern);
// Deletes directory + "\" + each of the `count` names (DeleteFileOrDefer),
// holding the directory meanwhile with the checks DeleteTree makes of its
// top. 1 when each went or was scheduled; 0 when one did not or the
// directory was refused (then nothing is touched).
int DeleteFilesInDirectory(const char* directory, const char* const* names, size_t count);
// Joins first and second into out (MAX_PATH characters). 0 when the whole
// would not fit: then out is empty, never a shortened path.
int JoinPath(char* out, const char* first, const char* second);
