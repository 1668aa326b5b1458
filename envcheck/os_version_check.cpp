// Does the host run a Windows NT version and service-pack level the product
// supports, and are its system files as new as that service pack ships them?
#include "optional_calls.h"
#include "readers.h"
#include "report.h"
#include "system_checks.h"

enum {
  MSG_LINE_END = 50005,
  MSG_VERSION_LINE = 52011,
  MSG_NEWER_FILE = 52012,
  MSG_CSD_VERSION = 52014,
  MSG_VERIFYING_FILES = 52015,
  MSG_OLDER_FILES = 53002,
  MSG_OLDER_FILE = 53003,
  MSG_NO_OS_VERSION = 53028,
  MSG_NO_WINDOWS_DIRECTORY = 53029,
  MSG_NT_REQUIRED = 54010,
  MSG_NT4_SP3_REQUIRED = 54011,
  MSG_NT351_SP5_REQUIRED = 54012,
  MSG_NT5_UNSUPPORTED = 54013,
  MSG_RECOMMEND_UPGRADE = 55007,
  MSG_RECOMMEND_SP3 = 55008,
  MSG_RECOMMEND_SP5 = 55009,
  MSG_RECOMMEND_REAPPLY = 55010,
  MSG_RECOMMEND_OTHER_SYSTEM = 55011,
};

static const char kProductTypePath[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions\\ProductType";
static const char kServicePackMarker[] = "Service Pack";
static const char kSystem32[] = "\\system32\\";
static const char kNt4Sp3Name[] = "Windows NT 4.0 Service Pack 3";
static const char kNt351Sp5Name[] = "Windows NT 3.51 Service Pack 5";

enum { PRODUCT_LABEL_SIZE = 40 };

// Adds the messages of a failure (the second one may be 0) and counts one error.
static int Fail(UINT message, UINT recommendation) {
  ReportAdd(LoadMessage(message));
  if (recommendation != 0) ReportAdd(LoadMessage(recommendation));
  ++ErrorCount;
  return SEV_ERROR;
}

// "Server" when the product type names a server in any letter case or is a
// domain controller's ("LanmanNT", a server too), else "Workstation" (also
// when the type cannot be read).
static void ReadProductLabel(char* label) {
  char* type;
  char* p;

  strcpy(label, "Workstation");
  type = ReadRegistryString(HKEY_LOCAL_MACHINE, kProductTypePath);
  if (type == NULL) return;
  for (p = type; *p != '\0'; ++p) *p = (char)tolower((unsigned char)*p);
  if (strstr(type, "server") != NULL || strcmp(type, "lanmannt") == 0) strcpy(label, "Server");
  free(type);
}

// The number after the last blank of a CSD text naming a service pack
// ("Service Pack 6a" gives 6); 0 for any other text.
static int ServicePackNumber(const char* csd) {
  long number;

  if (strstr(csd, kServicePackMarker) == NULL) return 0;
  number = strtol(strrchr(csd, ' '), NULL, 10);
  if (number > 0x7FFFFFFFL) return 0x7FFFFFFF;  // a long may be wider than an int
  if (number < -0x7FFFFFFFL) return -0x7FFFFFFF;
  return (int)number;
}

// The four comma-separated numbers of a version text, each cut to 16 bits.
static void ParseVersionNumbers(const char* text, WORD numbers[4]) {
  char* end;
  int i;

  for (i = 0; i < 4; ++i) {
    numbers[i] = (WORD)strtoul(text, &end, 10);
    text = *end == ',' ? end + 1 : end;
  }
}

// Pairs of 16-bit version numbers as one key: comparing the two keys of each
// side compares the four numbers in turn.
static DWORD VersionKey(WORD first, WORD second) { return ((DWORD)first << 16) | second; }

int CompareServicePackFiles(const char* table, const char* windowsDirectory, int level) {
  const size_t prefixLength = strlen(windowsDirectory) + sizeof kSystem32 - 1;
  const char* row;
  int result = 0;

  for (row = table; *row != '\0'; row += strlen(row) + 1) {
    char path[MAX_PATH];
    char versionText[80];
    char installedText[32];
    WORD installed[4];
    WORD expected[4];
    const char* expectedText = strchr(row, ',');
    size_t nameLength;
    DWORD expectedHigh, expectedLow, installedHigh, installedLow;

    if (expectedText == NULL) continue;
    nameLength = (size_t)(expectedText - row);
    ++expectedText;
    // A path that would not fit cannot name the file: skip it like a missing one.
    if (prefixLength + nameLength >= MAX_PATH) continue;
    strcpy(path, windowsDirectory);
    strcat(path, kSystem32);
    memcpy(path + prefixLength, row, nameLength);
    path[prefixLength + nameLength] = '\0';

    if (GetFileVersionStrings(path, versionText, &installed[0], &installed[1], &installed[2],
                              &installed[3]) != 0) {
      continue;
    }
    wsprintfA(installedText, "%d,%d,%d,%d", installed[0], installed[1], installed[2], installed[3]);
    ParseVersionNumbers(expectedText, expected);
    expectedHigh = VersionKey(expected[0], expected[1]);
    expectedLow = VersionKey(expected[2], expected[3]);
    installedHigh = VersionKey(installed[0], installed[1]);
    installedLow = VersionKey(installed[2], installed[3]);

    if (expectedHigh > installedHigh || (expectedHigh == installedHigh && expectedLow > installedLow)) {
      ReportAdd(LoadMessage(MSG_OLDER_FILE), path, installedText, expectedText);
      ++WarningCount;
      result = 1;
    } else if (level == REPORT_ALL &&
               (expectedHigh < installedHigh ||
                (expectedHigh == installedHigh && expectedLow < installedLow))) {
      ReportAdd(LoadMessage(MSG_NEWER_FILE), path, installedText, expectedText);
    }
  }
  return result;
}

// Lists the files of `table` that differ from their service pack. Above
// level 0 only older files matter, so a heading with nothing under it is
// taken back.
static int VerifyServicePackFiles(const char* packedTable, const char* servicePackName, int level) {
  static char table[SERVICE_PACK_ROWS_SIZE];
  int result;

  if (level == REPORT_ALL) {
    ReportAdd(LoadMessage(MSG_VERIFYING_FILES));
  } else {
    ReportAdd(LoadMessage(MSG_OLDER_FILES), servicePackName);
  }
  // Both tables fit (a unit test holds them to it); one that did not would
  // compare no file.
  if (!UnpackServicePackTable(packedTable, table, sizeof table)) table[0] = '\0';
  result = CompareServicePackFiles(table, WindowsDirectory, level);
  if (result > 0) ReportAdd(LoadMessage(MSG_RECOMMEND_REAPPLY));
  if (result == 0 && level != REPORT_ALL) ReportDropLast();
  if (level == REPORT_ALL) ReportAdd(LoadMessage(MSG_LINE_END));
  return result;
}

int CheckOsVersion(int level) {
  OSVERSIONINFOA version;
  char label[PRODUCT_LABEL_SIZE];
  int servicePack;
  int result = SEV_INFORMATION;

  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return Fail(MSG_NO_OS_VERSION, 0);
  // From Windows 8.1 on the record names Windows 8 to a program without a
  // compatibility manifest; the true numbers replace it where the system has them.
  ReadTrueVersion(&version.dwMajorVersion, &version.dwMinorVersion, &version.dwBuildNumber);

  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT ||
      (version.dwMajorVersion == 3 && version.dwMinorVersion != 51)) {
    return Fail(MSG_NT_REQUIRED, MSG_RECOMMEND_UPGRADE);
  }

  ReadProductLabel(label);
  if (level == REPORT_ALL) {
    // The version line has no line end of its own: the CSD entry or a bare one ends it.
    ReportAdd(LoadMessage(MSG_VERSION_LINE), label, (int)version.dwMajorVersion,
              (int)version.dwMinorVersion, (int)version.dwBuildNumber);
    if (version.szCSDVersion[0] != '\0') {
      ReportAdd(LoadMessage(MSG_CSD_VERSION), version.szCSDVersion);
    } else {
      ReportAdd(LoadMessage(MSG_LINE_END));
    }
  }

  if (version.dwMajorVersion == 5) return Fail(MSG_NT5_UNSUPPORTED, MSG_RECOMMEND_OTHER_SYSTEM);

  servicePack = ServicePackNumber(version.szCSDVersion);
  if (version.dwMajorVersion == 4 && servicePack < 3) return Fail(MSG_NT4_SP3_REQUIRED, MSG_RECOMMEND_SP3);

  // Fetched before the NT 3.51 service pack is judged: without it that
  // error is never reached.
  if (!FillWindowsDirectory()) {
    ReportAdd(LoadMessage(MSG_NO_WINDOWS_DIRECTORY));
    ++WarningCount;
    return SEV_WARNING;
  }

  if (version.dwMajorVersion == 4 && servicePack == 3) {
    result = VerifyServicePackFiles(Nt4Sp3Files, kNt4Sp3Name, level);
  }
  if (version.dwMajorVersion != 3) return result;

  if (servicePack < 5) return Fail(MSG_NT351_SP5_REQUIRED, MSG_RECOMMEND_SP5);
  if (servicePack == 5) result = VerifyServicePackFiles(Nt351Sp5Files, kNt351Sp5Name, level);
  return result;
}
