// Do the directories the product's settings name exist? The service cannot
// start without them.
#include "configuration_checks.h"
#include "readers.h"
#include "report.h"

namespace {

struct ConfiguredPath {
  const char* valueName;
  UINT present;         // level 0 only
  UINT missing;         // error, with the path
  UINT recommendation;  // after a missing one
};

const ConfiguredPath kConfiguredPaths[] = {
    {"InstallationDirectory", 52016, 54003, 55017},
    {"JournalRoot", 52017, 54004, 55018},
    {"ProtectedDatasetDirectory", 52018, 54005, 55019},
    {"UnprotectedDatasetDirectory", 52019, 54006, 55020},
};

const UINT kPathsHeading = 51008;

char* ReadConfiguredPath(const char* valueName) {
  char valuePath[MAX_PATH];
  if (strlen(PRODUCT_KEY) + 1 + strlen(valueName) >= sizeof valuePath) return NULL;
  wsprintfA(valuePath, "%s\\%s", PRODUCT_KEY, valueName);
  return ReadRegistryPath(HKEY_LOCAL_MACHINE, valuePath);
}

}  // namespace

int CheckConfiguredPaths(int level) {
  int result = SEV_INFORMATION;
  // Without an installation directory the product is not installed: say nothing.
  char* path = ReadConfiguredPath(kConfiguredPaths[0].valueName);
  if (path == NULL) return result;
  if (level == REPORT_ALL) ReportAdd(LoadMessage(kPathsHeading));

  for (size_t i = 0; i < sizeof kConfiguredPaths / sizeof kConfiguredPaths[0]; ++i) {
    const ConfiguredPath& entry = kConfiguredPaths[i];
    if (i > 0) path = ReadConfiguredPath(entry.valueName);
    if (path == NULL) continue;
    // A file of that name counts as existing, as a directory does.
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
      ReportAdd(LoadMessage(entry.missing), path);
      ReportAdd(LoadMessage(entry.recommendation));
      ++ErrorCount;
      result = SEV_ERROR;
    } else if (level == REPORT_ALL) {
      ReportAdd(LoadMessage(entry.present));
    }
    free(path);
  }
  return result;
}
