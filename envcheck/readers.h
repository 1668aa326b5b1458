// Registry and version readers shared by the checks. They report nothing and
// count nothing: every failure goes back to the caller.
#pragma once

#include "platform.h"

// A new heap copy of a REG_SZ or REG_EXPAND_SZ value (unexpanded), or NULL.
// `valuePath` is the key path, a backslash and the value name (empty for the
// key's default value). The caller frees the copy.
char* ReadRegistryString(HKEY rootKey, const char* valuePath);
// The same for a configured path: a REG_EXPAND_SZ value comes back with its
// environment references expanded, within MAX_PATH characters (else as
// stored).
char* ReadRegistryPath(HKEY rootKey, const char* valuePath);
// 0 with *value set for a REG_DWORD; -1 for no backslash or another type
// that fits 4 bytes; otherwise the registry error code.
LONG ReadRegistryDword(HKEY rootKey, const char* valuePath, DWORD* value);
// 0 when keyPath has a direct subkey named subkeyName, in any letter case;
// ERROR_NO_MORE_ITEMS when none matches; else the error opening keyPath.
LONG SubkeyExists(HKEY rootKey, const char* keyPath, const char* subkeyName);
// Characters of a file-version text buffer, its NUL included.
enum { VERSION_TEXT_SIZE = 80 };
// 0 with the FileVersion text (into a VERSION_TEXT_SIZE buffer, cut to fit)
// and the four fixed version numbers; -1 when the resource lacks them, or
// when a failure came without an error code; else a system error. A failure
// leaves every output untouched.
LONG GetFileVersionStrings(const char* filePath, char* versionText, WORD* major, WORD* minor,
                           WORD* build, WORD* revision);
