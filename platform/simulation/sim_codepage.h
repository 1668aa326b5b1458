// Control API of the code-page area: the system's ANSI code page, which
// decides which bytes start a character of two bytes.
#pragma once

#include "win32_api.h"

#include <string>

namespace sim {

// A fresh machine has code page 1252 (Western European, one byte a
// character). 932 (Japanese), 936 (Simplified Chinese), 949 (Korean) and 950
// (Traditional Chinese) have characters of two bytes; any other page is read
// as one byte a character.
void SetCodePage(UINT codePage);

// A name as the ANSI calls of the code page in force hand it out (best fit,
// else '?'), and ANSI bytes as the system reads them.
std::string AnsiSpelling(const std::u16string& name);
std::u16string UnicodeSpelling(const std::string& ansi);

}  // namespace sim
