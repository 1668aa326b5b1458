// The binary version listing: which build of each of the product's files and
// of the shared files it depends on is installed. Lines go straight to
// standard output as they are made.
#include "configuration_checks.h"
#include "readers.h"
#include "report.h"

namespace {

const char* const kInstallationPatterns[] = {"*.exe", "*.dll", "*.ocx"};
const char* const kSystemFiles[] = {
    "zrsnmp.dll",   "msvcrt.dll",   "ltbrok32.dll", "ezrpcw32.dll", "winrpc32.dll", "mfc42.dll",
    "msvcirt.dll",  "msvcrt40.dll", "portserv.exe", "vb40032",      "mfc42u.dll",   "msvcrt20.dll",
    "olepro32.dll", "mfc40.dll",    "comctl32.ocx", "tabctl32.ocx", "threed32.ocx",
};
const char* const kDriverFiles[] = {"zr-rec.sys", "zr-jnl.sys", "zr-filtr.sys"};

const char kSystemSubdirectory[] = "\\system32\\";
const char kDriverSubdirectory[] = "drivers\\";
const char kVersionLine[] = "\t%s:\t%s\t%d,%d,%d,%d\n";

const UINT kListingHeading = 50043;
const UINT kDirectoryLine = 50044;
const UINT kNoVersionLine = 50045;

// `first` followed by `second` into a path buffer; false when it would not fit.
bool JoinPath(char* out, const char* first, const char* second) {
  size_t firstLength = strlen(first);
  size_t secondLength = strlen(second);
  if (firstLength + secondLength >= MAX_PATH) return false;
  memcpy(out, first, firstLength);
  memcpy(out + firstLength, second, secondLength + 1);
  return true;
}

void ListDirectory(const char* directory, const char* const* names, size_t count) {
  printf(LoadMessage(kDirectoryLine), directory);
  for (size_t i = 0; i < count; ++i) ListFileVersions(directory, names[i]);
}

}  // namespace

void ListFileVersions(const char* directory, const char* pattern) {
  char searchPath[MAX_PATH];
  if (!JoinPath(searchPath, directory, pattern)) return;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(searchPath, &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    char filePath[MAX_PATH];
    char versionText[VERSION_TEXT_SIZE];
    WORD major, minor, build, revision;
    if (JoinPath(filePath, directory, entry.cFileName) &&
        GetFileVersionStrings(filePath, versionText, &major, &minor, &build, &revision) == 0) {
      printf(kVersionLine, entry.cFileName, versionText, major, minor, build, revision);
    } else {
      printf(LoadMessage(kNoVersionLine), entry.cFileName);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

void ListBinaryVersions(const char* windowsDirectory) {
  char* installation = ReadRegistryPath(HKEY_LOCAL_MACHINE, INSTALLATION_DIRECTORY_VALUE);
  if (installation == NULL) return;
  printf("%s", LoadMessage(kListingHeading));
  char directory[MAX_PATH];
  bool fits = JoinPath(directory, installation, "");
  free(installation);
  if (fits) {
    ListDirectory(directory, kInstallationPatterns,
                  sizeof kInstallationPatterns / sizeof kInstallationPatterns[0]);
  }

  char systemDirectory[MAX_PATH];
  if (!JoinPath(systemDirectory, windowsDirectory, kSystemSubdirectory)) return;
  ListDirectory(systemDirectory, kSystemFiles, sizeof kSystemFiles / sizeof kSystemFiles[0]);

  if (!JoinPath(directory, systemDirectory, kDriverSubdirectory)) return;
  ListDirectory(directory, kDriverFiles, sizeof kDriverFiles / sizeof kDriverFiles[0]);
}
