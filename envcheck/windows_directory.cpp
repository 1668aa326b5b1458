// The process-wide Windows directory buffer and its filling.
#include "report.h"
#include "system_checks.h"

char WindowsDirectory[MAX_PATH];

int FillWindowsDirectory(void) {
  // A path too long for the buffer comes back as the size it needs, with
  // nothing written: as unavailable as a failed call.
  UINT length = GetWindowsDirectoryA(WindowsDirectory, MAX_PATH);
  return length != 0 && length < MAX_PATH;
}
