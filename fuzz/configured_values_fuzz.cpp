// The product's registry values that the configured-paths and compatibility
// checks read, of any type, size and data: the four directory values, and
// the four products' service keys (spelled exactly, in another case, or
// missing) with a Start value of any kind. Keys match in any letter case;
// an expandable path is tested expanded. Each check's result, counters and
// number of entries are what the documented rules give for those values.
//
// Input: a fault (2 bytes); the report level (1 byte); four directory
// values, each a type byte (0 missing, 1 REG_SZ, 2 REG_EXPAND_SZ, 3 REG_SZ
// without its NUL, else that type), a byte that picks where the text starts
// (an existing directory, an existing file, a missing directory, nothing,
// an existing directory through an environment reference)
// and the text (2-byte length); then four products, each a byte (bit 0
// the service key exists, bit 1 in another letter case) and a Start value:
// a type byte (0 missing, else that type) and its data (1-byte length).
#include "configuration_checks.h"
#include "fuzz_machine.h"

namespace {

const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const char* const kPathValues[] = {"InstallationDirectory", "JournalRoot", "ProtectedDatasetDirectory",
                                   "UnprotectedDatasetDirectory"};
const char* const kStarts[] = {"", "C:\\Corvane", "C:\\Corvane\\readme.txt", "C:\\Gone",
                               "%SystemDrive%\\Corvane"};
struct Product {
  const char* key;
  const char* otherCase;
  int enabledSeverity;
};
const Product kProducts[] = {{"OFADriver", "ofadriver", 2},
                             {"VncDisk", "VNCDISK", 1},
                             {"OFMDriver", "OfmDriver", 2},
                             {"zr-jnl", "ZR-JNL", 2}};

// The text a directory value gives the check, when it is a string.
bool StorePath(FuzzInput& input, const char* name, std::string* text) {
  uint8_t type = input.Byte();
  std::string data = kStarts[input.Byte() % 5] + input.LongText();
  if (type == 0) return false;
  if (type == 1 || type == 2) {
    sim::SetValue(HKEY_LOCAL_MACHINE, kProductKey, name, type == 1 ? REG_SZ : REG_EXPAND_SZ, data);
  } else {
    sim::SetRawValue(HKEY_LOCAL_MACHINE, kProductKey, name, type == 3 ? REG_SZ : type, data);
  }
  *text = CText(data);
  if (type == 2) {
    // Expanded as the check expands it, within a path's length.
    char expanded[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA(text->c_str(), expanded, MAX_PATH);
    if (length > 0 && length <= MAX_PATH) *text = expanded;
  }
  return type <= 3;
}

}  // namespace

void FuzzConfiguredValues(const uint8_t* data, size_t size) {
  FreshMachine();
  FuzzInput input(data, size);
  FuzzFaultChoice fault = InjectFault(input, {{"RegOpenKeyExA", ERROR_ACCESS_DENIED},
                      {"RegQueryValueExA", ERROR_ACCESS_DENIED},
                      {"RegEnumKeyExA", ERROR_ACCESS_DENIED},
                      {"GetFileAttributesA", ERROR_ACCESS_DENIED},
                      {"malloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"realloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"ExpandEnvironmentStringsA", ERROR_NOT_ENOUGH_MEMORY}});
  bool faulty = fault.Any(7);
  int level = input.Byte() % 3;
  sim::MakeFile("C:\\Corvane\\readme.txt", "readme");
  sim::CreateKey(HKEY_LOCAL_MACHINE, kProductKey);

  // The configured paths: quiet without an installation directory; a
  // missing one is an error with two entries, a present one a line at
  // level 0.
  int expectedPaths = 0;
  size_t pathEntries = 0;
  unsigned pathErrors = 0;
  for (int i = 0; i < 4; ++i) {
    std::string text;
    bool readable = StorePath(input, kPathValues[i], &text);
    if (i == 0 && !readable) break;
    if (i == 0 && level == 0) ++pathEntries;
    if (!readable) continue;
    // Asked as the check asks (a fault would already fail this call).
    if (!faulty && GetFileAttributesA(text.c_str()) == INVALID_FILE_ATTRIBUTES) {
      expectedPaths = 2;
      pathEntries += 2;
      ++pathErrors;
    } else if (level == 0) {
      ++pathEntries;
    }
  }

  // The products: found with its key in any case and a 4-byte REG_DWORD Start.
  int expectedProducts = 0;
  unsigned productWarnings = 0;
  unsigned productErrors = 0;
  for (const Product& product : kProducts) {
    uint8_t key = input.Byte();
    DWORD startType = input.Byte();
    std::string start = input.ShortText();
    if (!(key & 1)) continue;
    std::string path = std::string(kServicesKey) + "\\" + (key & 2 ? product.otherCase : product.key);
    sim::CreateKey(HKEY_LOCAL_MACHINE, path);
    if (startType != 0) sim::SetRawValue(HKEY_LOCAL_MACHINE, path, "Start", startType, start);
    if (startType != REG_DWORD || start.size() != 4) continue;
    int severity = start == std::string("\4\0\0\0", 4) ? 1 : product.enabledSeverity;
    (severity == 2 ? productErrors : productWarnings) += 1;
    expectedProducts = std::max(expectedProducts, severity);
  }

  int paths = CheckConfiguredPaths(level);
  size_t entries = ReportEntries().size();
  unsigned errors = ErrorCount;
  FUZZ_CHECK(paths == 0 || paths == 2);
  FUZZ_CHECK(WarningCount == 0 && (errors > 0) == (paths == 2));
  int products = CheckProductCompatibility();
  FUZZ_CHECK(products >= 0 && products <= 2);
  FUZZ_CHECK((WarningCount > 0 || ErrorCount > errors) == (products > 0));
  if (!faulty) {
    FUZZ_CHECK(paths == expectedPaths && errors == pathErrors && entries == pathEntries);
    FUZZ_CHECK(products == expectedProducts && WarningCount == productWarnings &&
               ErrorCount - errors == productErrors);
    FUZZ_CHECK(ReportEntries().size() - entries == 2 * (productWarnings + productErrors));
  }
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzConfiguredValues)
