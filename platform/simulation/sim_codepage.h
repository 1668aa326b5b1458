// Control API of the code-page area: the system's ANSI code page, which
// decides which bytes start a character of two bytes.
#pragma once

#include "win32_api.h"

namespace sim {

// A fresh machine has code page 1252 (Western European, one byte a
// character). 932 (Japanese), 936 (Simplified Chinese), 949 (Korean) and 950
// (Traditional Chinese) have characters of two bytes; any other page is read
// as one byte a character.
void SetCodePage(UINT codePage);

}  // namespace sim
