// Checks of what is configured on the machine: the product's directories,
// incompatible products, the configuration registry trees, the installed
// binaries' versions and the product's event-log entries.
#pragma once

#include "platform.h"

// The product key under HKEY_LOCAL_MACHINE and its installation directory value.
#define PRODUCT_KEY "SOFTWARE\\Velmora Software\\Corvane\\1.5"
#define INSTALLATION_DIRECTORY_VALUE PRODUCT_KEY "\\InstallationDirectory"

// Tests that the four configured directories exist: a severity, 0 or 2. The
// lines for existing directories and the heading are added at level 0 only.
int CheckConfiguredPaths(int level);
// Looks for the four products known to conflict with ours: a severity.
int CheckProductCompatibility(void);

// Prints the values of `path` and of every key below it, depth first, each
// key's values after its subkeys. 0, or the error opening `path`.
LONG DumpRegistryKey(HKEY root, const char* path);
// The configuration registry section, printed as it goes.
void DumpConfigurationRegistry(void);

// The binary version listing, printed as it goes; `windowsDirectory` has no
// trailing backslash.
void ListBinaryVersions(const char* windowsDirectory);
// One version line per file that `directory` (ending with a backslash)
// followed by `pattern` finds, in the order the file system returns them.
void ListFileVersions(const char* directory, const char* pattern);
// The event-log entries of `sourceName`, oldest first, printed at the end; 0.
int DumpEventLog(const char* sourceName);
