// Unattended-mode detection over any command line: quotes that never close,
// a "-a" at the very end, no program name at all.
//
// Input: the command line (up to its first NUL, as the process holds it).
#include "fuzz.h"
#include "uninstall_steps.h"

#include <cctype>

namespace {

// "-a" or "-A" followed by a blank somewhere in the line.
bool HasSilentSwitch(const std::string& line) {
  for (size_t at = line.find('-'); at != std::string::npos && at + 2 < line.size(); at = line.find('-', at + 1))
    if (std::tolower(static_cast<unsigned char>(line[at + 1])) == 'a' && line[at + 2] == ' ') return true;
  return false;
}

}  // namespace

void FuzzSilentMode(const uint8_t* data, size_t size) {
  FreshMachine();
  std::string line = FuzzInput(data, size).Rest();
  line = line.substr(0, line.find('\0'));
  // The simulation keeps the line in a block of its exact size: a read past
  // its end stops the run.
  sim::SetCommandLine(line);
  int silent = IsSilentMode();
  FUZZ_CHECK(silent == 0 || (silent == 1 && HasSilentSwitch(line)));
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzSilentMode)
