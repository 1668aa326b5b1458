// The process error mode while an export works.
#include "error_mode.h"

UINT FailCriticalErrors(void) {
  UINT callerMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  if ((callerMode & ~SEM_FAILCRITICALERRORS) != 0) SetErrorMode(callerMode | SEM_FAILCRITICALERRORS);
  return callerMode;
}

void RestoreErrorMode(UINT callerMode) { SetErrorMode(callerMode); }
