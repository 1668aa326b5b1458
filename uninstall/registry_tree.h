// Registry trees: deleting a key with everything below it, links left
// in place. Shows nothing; the caller decides what to tell.
#pragma once

#include "platform.h"

// Deletes the key registryPath under rootKey with all its subkeys, deepest
// first. 0 when done or when the key does not exist, else a registry error.
// A registry link, the key itself or one below it, is left in place and its
// target untouched (then the keys above it stay too).
LONG DeleteRegistryTree(HKEY rootKey, const char* registryPath);
