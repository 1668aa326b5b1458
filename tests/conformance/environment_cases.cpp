// The process environment as ExpandEnvironmentStringsA reads it: references
// replaced, everything else kept, counts with the terminator. SystemDrive is
// C: on every machine the cases run on.
#include "conformance.h"

namespace {

const char kArea[] = "environment";

DWORD Expand(const char* text, char* buffer, DWORD size) {
  std::memset(buffer, 0x55, size);
  return ExpandEnvironmentStringsA(text, buffer, size);
}

CASE(kArea, "a reference is replaced and the count includes the terminator") {
  char buffer[MAX_PATH];
  CHECK_EQ(Expand("%SystemDrive%\\Corvane", buffer, sizeof buffer), 11u);
  CHECK_STR(buffer, "C:\\Corvane");
}

CASE(kArea, "names match without regard to case") {
  char buffer[MAX_PATH];
  CHECK_EQ(Expand("%systemdrive%", buffer, sizeof buffer), 3u);
  CHECK_STR(buffer, "C:");
}

CASE(kArea, "an undefined reference and a lone percent sign stay as written") {
  char buffer[MAX_PATH];
  CHECK_EQ(Expand("%CvnNoSuchVariable%\\50%", buffer, sizeof buffer), 24u);
  CHECK_STR(buffer, "%CvnNoSuchVariable%\\50%");
}

CASE(kArea, "a buffer too small gives at least the count needed") {
  char buffer[8];
  std::memset(buffer, 0x55, sizeof buffer);
  DWORD needed = ExpandEnvironmentStringsA("%SystemDrive%\\Corvane", buffer, 5);
  CHECK(needed >= 11u);
  CHECK_EQ(static_cast<unsigned char>(buffer[5]), 0x55);
}

#ifdef CVN_SIM
NATIVE_CASE(kArea, "an injected failure gives 0 and its code") {
  char buffer[MAX_PATH];
  sim::FailCall("ExpandEnvironmentStringsA", ERROR_NOT_ENOUGH_MEMORY);
  CHECK_EQ(Expand("%SystemDrive%", buffer, sizeof buffer), 0u);
  CHECK_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}
#endif

}  // namespace
