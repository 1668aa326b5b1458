// Stopping and deleting a service of the product.
#pragma once

#include "platform.h"

// Stops the service and deletes it from the Service Control Manager `scm`,
// asking whether to go on when something fails (never when silent).
// tolerateDependents: a stop refused because of running dependents is no
// failure (kernel drivers). 0 to continue the uninstall, -1 to abort it.
int RemoveService(const char* serviceName, SC_HANDLE scm, int tolerateDependents, int silent);
