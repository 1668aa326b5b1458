// The operating-system check over any version numbers, any CSD text, any
// product type value and any Windows directory: the verdict is the one the
// documented rules give for them, with the counter it names and its
// messages, and never anything else; the version line names the true
// version, not the one a program without a manifest is told.
//
// Input: a fault (2 bytes); the platform id (1 byte), major and minor
// version (1 byte each), build (2 bytes); the report level (1 byte, modulo
// 3; its bit 2 adds 128 to the next); the Windows directory's length beyond
// "C:\W" (1 byte; 0 keeps C:\WINNT); the
// product type's registry type (1 byte) and data (1-byte length, then the
// bytes); the rest is the CSD text (the system keeps 127 characters).
#include <cstdlib>

#include "fuzz_machine.h"
#include "system_checks.h"

namespace {

const char kProductOptions[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const size_t kCsdSize = 128;

struct Verdict {
  int severity;
  unsigned warnings;
  unsigned errors;
  const char* message;  // the text of the entry that tells it, or null
};

// The service-pack number of a CSD text: the decimal number from its last
// blank on when it names a service pack, else 0.
long ServicePack(const std::string& csd) {
  if (csd.find("Service Pack") == std::string::npos) return 0;
  long number = std::strtol(csd.c_str() + csd.rfind(' '), nullptr, 10);
  return std::max(-0x7FFFFFFFL, std::min(0x7FFFFFFFL, number));
}

Verdict Expect(bool versionFails, const sim::OsVersion& version, bool windowsDirectoryFails) {
  const Verdict error = {2, 0, 1, nullptr};
  if (versionFails) return {2, 0, 1, "Could not get version of Operating system.\n"};
  if (version.platformId != VER_PLATFORM_WIN32_NT || (version.major == 3 && version.minor != 51))
    return {2, 0, 1, "Error: Corvane requires Windows NT 3.51\nor greater operating system.\n\n"};
  if (version.major == 5) return {2, 0, 1, "Error: Corvane service is not\nsupported on Windows NT 5.\n\n"};
  long servicePack = ServicePack(version.csd);
  if (version.major == 4 && servicePack < 3)
    return {2, 0, 1, "Error: Corvane requires Service\nPack 3 to be installed on Windows NT 4.0 systems\n\n"};
  if (windowsDirectoryFails) return {1, 1, 0, " Unable to get Windows Directory.\n"};
  // No file of the service-pack tables is installed: comparing them finds
  // nothing older.
  if (version.major != 3 || servicePack >= 5) return {0, 0, 0, nullptr};
  Verdict verdict = error;
  verdict.message =
      "Error: Corvane requires Service\nPack 5 (or greater) to be installed on Windows NT 3.51 systems\n\n";
  return verdict;
}

bool ReportHolds(const char* text) {
  std::vector<std::string> entries = ReportEntries();
  return std::find(entries.begin(), entries.end(), text) != entries.end();
}

}  // namespace

void FuzzOsVersion(const uint8_t* data, size_t size) {
  FreshMachine();
  FuzzInput input(data, size);
  FuzzFaultChoice fault = InjectFault(input, {{"GetVersionExA", ERROR_ACCESS_DENIED},
                      {"GetWindowsDirectoryA", ERROR_ACCESS_DENIED},
                      {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
                      {"RegQueryValueExA", ERROR_ACCESS_DENIED},
                      {"malloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"realloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"RtlGetVersion", 0},
                      {"GetProcAddress", ERROR_PROC_NOT_FOUND}});
  sim::OsVersion version;
  version.platformId = input.Byte() % 4;
  version.major = input.Byte();
  version.minor = input.Byte();
  version.build = input.Word();
  uint8_t levelByte = input.Byte();
  int level = levelByte % 3;
  size_t windowsLength = input.Byte() + (levelByte & 4 ? 128 : 0);
  std::string windowsDirectory = windowsLength ? "C:\\W" + std::string(windowsLength, 'w') : "C:\\WINNT";
  DWORD typeType = input.Byte();
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kProductOptions, "ProductType", typeType, input.ShortText());
  version.csd = input.Rest();
  sim::SetOsVersion(version);
  sim::SetWindowsDirectory(windowsDirectory);
  // What the product is given: at most 127 characters, up to a NUL.
  version.csd = CText(version.csd.substr(0, kCsdSize - 1));

  int result = CheckOsVersion(level);
  Verdict expected = Expect(fault.Is(0, 1), version, fault.Is(1, 1) || windowsDirectory.size() >= MAX_PATH);
  FUZZ_CHECK(result == expected.severity);
  FUZZ_CHECK(WarningCount == expected.warnings && ErrorCount == expected.errors);
  // A failed allocation may cost the report entries, never the verdict.
  if (!fault.Is(4) && !fault.Is(5) && expected.message) FUZZ_CHECK(ReportHolds(expected.message));
  // At level 0 the version line names the true version; without it (the call
  // failed) GetVersionExA's, which says Windows 8 from 8.1 on.
  bool nt = version.platformId == VER_PLATFORM_WIN32_NT && !(version.major == 3 && version.minor != 51);
  if (level == 0 && !fault.Is(0, 1) && !fault.Is(4) && !fault.Is(5) && nt) {
    bool shimmed = version.major > 6 || (version.major == 6 && version.minor > 2);
    bool truthLost = fault.Is(6, 1) || fault.Is(7, 1);
    std::string shown = truthLost && shimmed ? "6.2 (9200)"
                                             : std::to_string(version.major) + "." +
                                                   std::to_string(version.minor) + " (" +
                                                   std::to_string(version.build) + ")";
    std::vector<std::string> entries = ReportEntries();
    FUZZ_CHECK(!entries.empty() && entries[0].find(" version " + shown) != std::string::npos);
  }
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzOsVersion)
