// Products whose drivers or services are known to conflict with ours. Each is
// known by its service key; its Start value tells disabled (4) from enabled.
#include "configuration_checks.h"
#include "readers.h"
#include "report.h"

namespace {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const DWORD kStartDisabled = 4;

struct Finding {
  UINT message;
  UINT recommendation;
  unsigned* counter;
  int severity;
};

struct IncompatibleProduct {
  const char* serviceKey;  // in any letter case, as the registry names keys
  const char* startValue;
  Finding disabled;
  Finding enabled;
};

const IncompatibleProduct kProducts[] = {
    {"OFADriver", "SYSTEM\\CurrentControlSet\\Services\\OFADriver\\Start",
     {53024, 55025, &WarningCount, SEV_WARNING},
     {54014, 55021, &ErrorCount, SEV_ERROR}},
    // Enabled, this one is still only a potential problem.
    {"VncDisk", "SYSTEM\\CurrentControlSet\\Services\\VncDisk\\Start",
     {53025, 55026, &WarningCount, SEV_WARNING},
     {54015, 55022, &WarningCount, SEV_WARNING}},
    {"OFMDriver", "SYSTEM\\CurrentControlSet\\Services\\OFMDriver\\Start",
     {53026, 55027, &WarningCount, SEV_WARNING},
     {54016, 55023, &ErrorCount, SEV_ERROR}},
    {"zr-jnl", "SYSTEM\\CurrentControlSet\\Services\\zr-jnl\\Start",
     {53027, 55028, &WarningCount, SEV_WARNING},
     {54017, 55024, &ErrorCount, SEV_ERROR}},
};

}  // namespace

int CheckProductCompatibility(void) {
  int result = SEV_INFORMATION;
  for (const IncompatibleProduct& product : kProducts) {
    DWORD start = 0;
    // A service key without a readable REG_DWORD Start counts as not installed.
    if (SubkeyExists(HKEY_LOCAL_MACHINE, kServicesKey, product.serviceKey) != 0) continue;
    if (ReadRegistryDword(HKEY_LOCAL_MACHINE, product.startValue, &start) != 0) continue;
    const Finding& finding = start == kStartDisabled ? product.disabled : product.enabled;
    ++*finding.counter;
    ReportAdd(LoadMessage(finding.message));
    ReportAdd(LoadMessage(finding.recommendation));
    if (finding.severity > result) result = finding.severity;
  }
  return result;
}
