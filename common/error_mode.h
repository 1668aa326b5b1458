// The library works unattended: a removable drive without a disk must fail
// the call, not stop the caller at the system's "There is no disk in the
// drive" box. Each export that reaches the file system sets the mode for the
// time it works and gives the caller's back.
#pragma once

#include "platform.h"

// Sets the mode that fails such calls, keeping the caller's other choices;
// returns the caller's mode.
UINT FailCriticalErrors(void);
// Gives the caller its own mode back.
void RestoreErrorMode(UINT callerMode);
