// Control API of the code-page area: the system's ANSI code page, which
// decides which bytes start a character of two bytes.
#pragma once

#include "win32_api.h"

#include <string>
#include <vector>

namespace sim {

// A fresh machine has code page 1252 (Western European, one byte a
// character). 932 (Japanese), 936 (Simplified Chinese), 949 (Korean) and 950
// (Traditional Chinese) have characters of two bytes; any other page is read
// as one byte a character.
void SetCodePage(UINT codePage);

// The user's locale: a fresh machine's is US English (0x0409), code page
// 1252. Other day and month names (UTF-16, Sunday and January first) make
// GetDateFormatA for LOCALE_USER_DEFAULT give "day, d month yyyy" and
// GetTimeFormatA "H:mm:ss". The A calls convert a text with the locale's
// code page, with LOCALE_USE_CP_ACP with the system's (SetCodePage); a
// character the page lacks becomes '?'. Pages 1250, 1251 and 1252 are known.
struct UserLocale {
  LCID lcid = 0x0409;
  UINT codePage = 1252;
  std::vector<std::u16string> days;
  std::vector<std::u16string> months;
};
void SetUserLocale(const UserLocale& locale);

// A name as the ANSI calls of the code page in force hand it out (best fit,
// else '?'), and ANSI bytes as the system reads them.
std::string AnsiSpelling(const std::u16string& name);
std::u16string UnicodeSpelling(const std::string& ansi);

}  // namespace sim
