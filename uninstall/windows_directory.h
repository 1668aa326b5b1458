// What lies below the Windows directory belongs to the system and its users
// (profiles, the system's own files), never to the product.
#pragma once

#include "platform.h"

// 1 when the directory `tree` (a full path) is the Windows directory or lies
// below it, compared by identity (volume serial and file index) directory by
// directory from its root down, so no spelling gets past; 1 too when the
// Windows directory or one of those directories cannot be identified.
int LiesInWindowsDirectory(const char* tree);
