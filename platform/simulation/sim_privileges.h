// Control API of the simulated process token and shutdown request: the
// privileges the process holds, what the product enabled, and every shutdown
// it requested (recorded, never carried out).
#pragma once

#include "win32_api.h"

#include <string>
#include <vector>

namespace sim {

// The process holds SeShutdownPrivilege (disabled) after Reset. A privilege
// that is not held cannot be enabled (AdjustTokenPrivileges reports 1300).
void SetPrivilegeHeld(const std::string& name, bool held);
bool PrivilegeEnabled(const std::string& name);

struct PrivilegeChange {
  std::string name;  // as LookupPrivilegeValueA spells it
  DWORD attributes;
};
// Every privilege passed to AdjustTokenPrivileges, in order.
const std::vector<PrivilegeChange>& PrivilegeChanges();

struct ShutdownRequest {
  bool hasMachine;  // lpMachineName was not NULL
  std::string machine;
  bool hasMessage;  // lpMessage was not NULL
  std::string message;
  DWORD timeout;
  BOOL forceAppsClosed;
  BOOL rebootAfterShutdown;
  bool succeeded;
};
// Every InitiateSystemShutdownA call, in order, including failed ones.
const std::vector<ShutdownRequest>& ShutdownRequests();

}  // namespace sim
