// The Service Control Manager: installed services with scripted stop
// behaviour, manager and service handles, deletion when the last handle of a
// marked service closes.
#include "sim_internal.h"
#include "sim_services.h"

#include <iterator>
#include <map>

namespace sim {
namespace {

struct Service {
  std::string name;
  ServiceSetup setup;
  DWORD state;
  int queriesSinceStop = 0;
  DWORD checkPoint = 0;
  bool marked = false;
  int openHandles = 0;
  int stopsAccepted = 0;
};

struct ServiceHandle {
  int id;
  DWORD access;
};

struct ServiceState_ {
  std::map<int, Service> services;
  int nextId = 1;
  std::map<uintptr_t, ServiceHandle> handles;
};

ServiceState_& Scm() {
  static ServiceState_ state;
  return state;
}

Service* Find(const std::string& name) {
  for (auto& entry : Scm().services) {
    if (detail::EqualsNoCase(entry.second.name, name)) return &entry.second;
  }
  return nullptr;
}

// The service behind an open service handle, or null.
Service* FromHandle(SC_HANDLE handle, DWORD* access) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  if (!detail::IsOpen(HandleKind::Service, value)) return nullptr;
  const ServiceHandle& h = Scm().handles.at(value);
  if (access) *access = h.access;
  return &Scm().services.at(h.id);
}

void FillStatus(const Service& s, LPSERVICE_STATUS status) {
  if (!status) return;
  status->dwServiceType = s.setup.type;
  status->dwCurrentState = s.state;
  status->dwControlsAccepted = s.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status->dwWin32ExitCode = NO_ERROR;
  status->dwServiceSpecificExitCode = 0;
  status->dwCheckPoint = s.state == SERVICE_STOP_PENDING ? s.checkPoint : 0;
  status->dwWaitHint = s.state == SERVICE_STOP_PENDING ? 5000 : 0;
}

// A marked service leaves the database once it is not running and no handle
// refers to it any more.
void RemoveIfGone(int id) {
  Service& s = Scm().services.at(id);
  if (s.marked && s.openHandles == 0 && s.state == SERVICE_STOPPED) Scm().services.erase(id);
}

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

namespace detail {
void ResetServices() { Scm() = ServiceState_{}; }

// Services marked for deletion are gone after a restart.
void RebootServices() {
  for (auto it = Scm().services.begin(); it != Scm().services.end();) {
    it = it->second.marked ? Scm().services.erase(it) : std::next(it);
  }
}
}  // namespace detail

void AddService(const std::string& name, const ServiceSetup& setup) {
  if (Service* old = Find(name)) {
    old->setup = setup;
    old->state = setup.state;
    return;
  }
  Service s;
  s.name = name;
  s.setup = setup;
  s.state = setup.state;
  Scm().services[Scm().nextId++] = s;
}

bool ServiceExists(const std::string& name) { return Find(name) != nullptr; }

std::vector<std::string> ServiceNames() {
  std::vector<std::string> names;
  for (const auto& entry : Scm().services) names.push_back(entry.second.name);
  return names;
}

DWORD ServiceState(const std::string& name) {
  const Service* s = Find(name);
  return s ? s->state : 0;
}

bool ServiceMarkedForDeletion(const std::string& name) {
  const Service* s = Find(name);
  return s && s->marked;
}

int StopsAccepted(const std::string& name) {
  const Service* s = Find(name);
  return s ? s->stopsAccepted : 0;
}

}  // namespace sim

using sim::HandleKind;
namespace detail = sim::detail;

extern "C" {

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
  DWORD error;
  if (detail::ShouldFail("OpenSCManagerA", &error)) {
    SetLastError(error);
    return nullptr;
  }
  if (lpMachineName && *lpMachineName) {  // only this machine is reachable
    SetLastError(1722);                   // RPC_S_SERVER_UNAVAILABLE
    return nullptr;
  }
  if (lpDatabaseName && !detail::EqualsNoCase(lpDatabaseName, "ServicesActive")) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return reinterpret_cast<SC_HANDLE>(detail::NewHandle(HandleKind::ScManager));
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
  DWORD error;
  if (detail::ShouldFail("OpenServiceA", &error)) {
    SetLastError(error);
    return nullptr;
  }
  if (!detail::IsOpen(HandleKind::ScManager, reinterpret_cast<uintptr_t>(hSCManager))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!lpServiceName || !*lpServiceName) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  for (auto& entry : sim::Scm().services) {
    if (!detail::EqualsNoCase(entry.second.name, lpServiceName)) continue;
    uintptr_t value = detail::NewHandle(HandleKind::Service);
    sim::Scm().handles[value] = sim::ServiceHandle{entry.first, dwDesiredAccess};
    ++entry.second.openHandles;
    return reinterpret_cast<SC_HANDLE>(value);
  }
  SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
  return nullptr;
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  DWORD error;
  if (detail::ShouldFail("ControlService", &error)) return sim::Fail(error);
  DWORD access = 0;
  sim::Service* s = sim::FromHandle(hService, &access);
  if (!s) return sim::Fail(ERROR_INVALID_HANDLE);
  // Only the stop control is simulated.
  if (dwControl != SERVICE_CONTROL_STOP) return sim::Fail(ERROR_INVALID_SERVICE_CONTROL);
  if (!(access & SERVICE_STOP)) return sim::Fail(ERROR_ACCESS_DENIED);
  if (s->setup.stopError) return sim::Fail(s->setup.stopError);
  // For these three failures Windows still returns the latest status.
  if (s->state == SERVICE_STOPPED) {
    sim::FillStatus(*s, lpServiceStatus);
    return sim::Fail(ERROR_SERVICE_NOT_ACTIVE);
  }
  if (s->state != SERVICE_RUNNING) {
    sim::FillStatus(*s, lpServiceStatus);
    return sim::Fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  }
  if (s->setup.dependentsRunning) return sim::Fail(ERROR_DEPENDENT_SERVICES_RUNNING);
  ++s->stopsAccepted;
  s->queriesSinceStop = 0;
  s->checkPoint = 1;
  s->state = s->setup.stopsAfterQueries == 0 ? SERVICE_STOPPED : SERVICE_STOP_PENDING;
  sim::FillStatus(*s, lpServiceStatus);
  return TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  DWORD error;
  if (detail::ShouldFail("QueryServiceStatus", &error)) return sim::Fail(error);
  DWORD access = 0;
  sim::Service* s = sim::FromHandle(hService, &access);
  if (!s) return sim::Fail(ERROR_INVALID_HANDLE);
  if (!(access & SERVICE_QUERY_STATUS)) return sim::Fail(ERROR_ACCESS_DENIED);
  if (s->setup.queryError) return sim::Fail(s->setup.queryError);
  if (!lpServiceStatus) return sim::Fail(ERROR_INVALID_ADDRESS);
  if (s->state == SERVICE_STOP_PENDING) {
    ++s->queriesSinceStop;
    ++s->checkPoint;
    if (s->setup.stopsAfterQueries != sim::kNeverStops &&
        s->queriesSinceStop >= s->setup.stopsAfterQueries)
      s->state = SERVICE_STOPPED;
  }
  sim::FillStatus(*s, lpServiceStatus);
  return TRUE;
}

BOOL WINAPI DeleteService(SC_HANDLE hService) {
  DWORD error;
  if (detail::ShouldFail("DeleteService", &error)) return sim::Fail(error);
  DWORD access = 0;
  sim::Service* s = sim::FromHandle(hService, &access);
  if (!s) return sim::Fail(ERROR_INVALID_HANDLE);
  if (!(access & DELETE)) return sim::Fail(ERROR_ACCESS_DENIED);
  if (s->setup.deleteError) return sim::Fail(s->setup.deleteError);
  if (s->marked) return sim::Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
  s->marked = true;
  return TRUE;
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
  DWORD error;
  if (detail::ShouldFail("CloseServiceHandle", &error)) return sim::Fail(error);
  auto value = reinterpret_cast<uintptr_t>(hSCObject);
  if (detail::ReleaseHandle(HandleKind::ScManager, value)) return TRUE;
  if (!detail::ReleaseHandle(HandleKind::Service, value)) return sim::Fail(ERROR_INVALID_HANDLE);
  auto it = sim::Scm().handles.find(value);
  int id = it->second.id;
  sim::Scm().handles.erase(it);
  --sim::Scm().services.at(id).openHandles;
  sim::RemoveIfGone(id);
  return TRUE;
}

}  // extern "C"
