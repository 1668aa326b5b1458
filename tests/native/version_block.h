// Builds VS_VERSIONINFO blocks in their binary layout for the tests: the
// fixed info, a StringFileInfo table and the VarFileInfo translations, each
// of which can be left out or made malformed.
#pragma once

#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include "sim.h"
#endif

struct VersionTranslation {
  WORD language;
  WORD codePage;
};

// The defaults make a complete block: version 4.21.0.7, text "4.21.0007",
// table "040904b0" and its translation 0x0409/1200.
struct VersionFields {
  bool fixedInfo = true;  // false: the root's value is empty (zero length)
  DWORD fileVersionMS = 0x00040015;
  DWORD fileVersionLS = 0x00000007;
  DWORD productVersionMS = 0x00040015;
  DWORD productVersionLS = 0x00000007;
  DWORD fileType = VFT_DLL;
  bool stringFileInfo = true;
  // Name of the string table; empty: the first translation as "%04x%04x".
  std::string tableName;
  std::vector<std::pair<std::string, std::string>> strings = {
      {"CompanyName", "Velmora Software"}, {"FileVersion", "4.21.0007"}, {"ProductName", "Corvane"}};
  bool varFileInfo = true;
  // An empty list leaves a Translation value of zero length.
  std::vector<VersionTranslation> translations = {{0x0409, 0x04B0}};
};

std::vector<BYTE> BuildVersionBlock(const VersionFields& fields);
