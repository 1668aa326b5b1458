// cvncheck.exe: the environment check from a console, on this machine.
// Often run unattended (scheduled, remote): a configured path on a drive
// without a disk fails its check instead of waiting at the system's box.
#include "entry_points.h"
#include "error_mode.h"

int main(int argc, char** argv) {
  FailCriticalErrors();
  return RunEnvironmentCheck(argc, argv);
}
