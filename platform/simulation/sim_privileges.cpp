// The process token: privileges held and enabled, their adjustment through
// token handles, and shutdown requests that are recorded, never carried out.
#include "sim_internal.h"
#include "sim_privileges.h"

#include <map>

namespace sim {
namespace {

struct Privilege {
  const char* name;
  DWORD luid;  // the LUIDs Windows NT assigns to its well-known privileges
};

constexpr Privilege kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},   {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},    {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6}, {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},      {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},   {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},   {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14}, {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16}, {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},      {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},        {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22}, {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},
};

const Privilege* ByName(const std::string& name) {
  for (const Privilege& p : kPrivileges) {
    if (detail::EqualsNoCase(p.name, name)) return &p;
  }
  return nullptr;
}

const Privilege* ByLuid(const LUID& luid) {
  if (luid.HighPart != 0) return nullptr;
  for (const Privilege& p : kPrivileges) {
    if (p.luid == luid.LowPart) return &p;
  }
  return nullptr;
}

struct TokenState {
  std::map<DWORD, bool> held;  // LUID -> enabled
  std::map<uintptr_t, DWORD> tokens;  // open token handle -> access
  std::vector<PrivilegeChange> changes;
  std::vector<ShutdownRequest> shutdowns;
};

TokenState& Token() {
  static TokenState state;
  return state;
}

constexpr uintptr_t kCurrentProcess = static_cast<uintptr_t>(-1);

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

namespace detail {
void ResetPrivileges() {
  Token() = TokenState{};
  Token().held[19] = false;  // SeShutdownPrivilege, held but disabled
  Token().held[23] = true;   // SeChangeNotifyPrivilege, enabled by default
}
}  // namespace detail

void SetPrivilegeHeld(const std::string& name, bool held) {
  const Privilege* p = ByName(name);
  if (!p) return;
  if (held) {
    Token().held.emplace(p->luid, false);
  } else {
    Token().held.erase(p->luid);
  }
}

bool PrivilegeEnabled(const std::string& name) {
  const Privilege* p = ByName(name);
  if (!p) return false;
  auto it = Token().held.find(p->luid);
  return it != Token().held.end() && it->second;
}

const std::vector<PrivilegeChange>& PrivilegeChanges() { return Token().changes; }
const std::vector<ShutdownRequest>& ShutdownRequests() { return Token().shutdowns; }

namespace detail {
bool CloseTokenHandle(uintptr_t value) {
  if (!ReleaseHandle(HandleKind::Token, value)) return false;
  Token().tokens.erase(value);
  return true;
}
}  // namespace detail

}  // namespace sim

namespace detail = sim::detail;

extern "C" {

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(sim::kCurrentProcess); }

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
  DWORD error;
  if (detail::ShouldFail("OpenProcessToken", &error)) return sim::Fail(error);
  if (reinterpret_cast<uintptr_t>(ProcessHandle) != sim::kCurrentProcess)
    return sim::Fail(ERROR_INVALID_HANDLE);
  if (!TokenHandle) return sim::Fail(ERROR_NOACCESS);
  uintptr_t value = detail::NewHandle(sim::HandleKind::Token);
  sim::Token().tokens[value] = DesiredAccess;
  *TokenHandle = reinterpret_cast<HANDLE>(value);
  return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
  DWORD error;
  if (detail::ShouldFail("LookupPrivilegeValueA", &error)) return sim::Fail(error);
  if (lpSystemName && *lpSystemName) return sim::Fail(1722);  // RPC_S_SERVER_UNAVAILABLE
  const sim::Privilege* p = lpName ? sim::ByName(lpName) : nullptr;
  if (!p) return sim::Fail(ERROR_NO_SUCH_PRIVILEGE);
  lpLuid->LowPart = p->luid;
  lpLuid->HighPart = 0;
  return TRUE;
}

// Enables or disables privileges of the process token. Like Windows, it
// succeeds when a privilege is not held, leaving ERROR_NOT_ALL_ASSIGNED.
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
  DWORD error;
  if (detail::ShouldFail("AdjustTokenPrivileges", &error)) return sim::Fail(error);
  auto value = reinterpret_cast<uintptr_t>(TokenHandle);
  auto token = sim::Token().tokens.find(value);
  if (!detail::IsOpen(sim::HandleKind::Token, value) || token == sim::Token().tokens.end())
    return sim::Fail(ERROR_INVALID_HANDLE);
  if (!(token->second & TOKEN_ADJUST_PRIVILEGES)) return sim::Fail(ERROR_ACCESS_DENIED);
  if (PreviousState && !(token->second & TOKEN_QUERY)) return sim::Fail(ERROR_ACCESS_DENIED);
  if (PreviousState) return sim::Fail(ERROR_INVALID_PARAMETER);  // not needed by the product
  if (DisableAllPrivileges) {
    for (auto& held : sim::Token().held) held.second = false;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  if (!NewState) return sim::Fail(ERROR_NOACCESS);
  DWORD result = ERROR_SUCCESS;
  for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& entry = NewState->Privileges[i];
    const sim::Privilege* p = sim::ByLuid(entry.Luid);
    sim::Token().changes.push_back(
        sim::PrivilegeChange{p ? p->name : std::to_string(entry.Luid.LowPart), entry.Attributes});
    auto held = p ? sim::Token().held.find(p->luid) : sim::Token().held.end();
    if (held == sim::Token().held.end()) {
      result = ERROR_NOT_ALL_ASSIGNED;
      continue;
    }
    held->second = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  SetLastError(result);
  return TRUE;
}

BOOL WINAPI InitiateSystemShutdownA(LPSTR lpMachineName, LPSTR lpMessage, DWORD dwTimeout,
                                    BOOL bForceAppsClosed, BOOL bRebootAfterShutdown) {
  sim::ShutdownRequest request{lpMachineName != nullptr, lpMachineName ? lpMachineName : "",
                               lpMessage != nullptr,     lpMessage ? lpMessage : "",
                               dwTimeout,                bForceAppsClosed,
                               bRebootAfterShutdown,     false};
  DWORD error = ERROR_SUCCESS;
  if (!detail::ShouldFail("InitiateSystemShutdownA", &error)) {
    if (lpMachineName && *lpMachineName) {
      error = 1722;  // RPC_S_SERVER_UNAVAILABLE: no other machine is reachable
    } else if (!sim::PrivilegeEnabled(SE_SHUTDOWN_NAME)) {
      error = ERROR_PRIVILEGE_NOT_HELD;
    }
  }
  request.succeeded = error == ERROR_SUCCESS;
  sim::Token().shutdowns.push_back(request);
  if (!request.succeeded) return sim::Fail(error);
  return TRUE;
}

}  // extern "C"
