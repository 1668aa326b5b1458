// The steps of the two uninstaller hooks, and the registry names they share.
#pragma once

#include "platform.h"

// The product's settings key under HKEY_LOCAL_MACHINE and its values.
extern const char kProductKey[];
extern const char kInstallDirValue[];
// Carries the installation directory from the first hook to the second; a
// volatile key that only administrators and the system may change, so it is
// gone after the next restart and no user can steer the second hook.
extern const char kStashParentKey[];
extern const char kStashKeyName[];
extern const char kStashKey[];

// The program files the second hook deletes from the installation directory.
enum { PROGRAM_FILE_COUNT = 4 };
extern const char* const kProgramFiles[PROGRAM_FILE_COUNT];

// Unattended uninstall: "-a " outside double quotes among the arguments.
int IsSilentMode(void);

// InstallationDirectory of the product key into path (MAX_PATH characters);
// 0 when it is missing or would not fit.
int ReadInstallDirInto(char* path);
// The same as a new heap string sized to the value (caller frees), or NULL.
char* ReadInstallDir(void);
// directory + name into out (MAX_PATH characters) with exactly one
// separator between them, the directory's own or one added: the value may
// end in a backslash or not. A last character of two bytes is no separator
// even when its second byte is the backslash's. A directory ending in a
// drive's colon stays drive-relative (the walks refuse it). 0, out empty,
// for an empty directory, one ending in a first byte alone (the separator
// would become its second byte) or a whole that would not fit.
int JoinInstallPath(char* out, const char* directory, const char* name);
// 1 when the directory holds one of the program files (a file, not a
// directory): only then is an installation directory read from the product
// key believed.
int IsProductDirectory(const char* directory);
// When the product key names an installation directory that holds a program
// file: deletes any stash key there is, then copies the directory into a new
// one. Otherwise leaves the stash as it is.
void StashInstallDir(void);
// The stashed installation directory as a new heap string; NULL when there
// is none, or the key is not volatile or others than the administrators and
// the system may change it.
char* ReadStashedInstallDir(void);
// Reads a string value of an open key into a new heap string (*value, NULL
// on failure); returns the registry error.
LONG ReadStringValue(HKEY key, const char* valueName, char** value);

// Keeps the shared control's reference count at 1 so the uninstaller
// removes it with the rest.
void PinSharedControl(void);
// Deletes run-time leftovers from the installation directory.
void PurgeInstallDirLeftovers(void);
// Asks whether to delete the databases and journals and does it. 0 to go
// on, -1 to abort the uninstall. Never asks or deletes when silent.
int OfferDataDeletion(int silent);
