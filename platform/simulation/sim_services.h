// Control API of the simulated Service Control Manager: tests install
// services with a scripted behaviour and inspect what became of them.
#pragma once

#include "win32_api.h"

#include <string>
#include <vector>

namespace sim {

// ServiceSetup::stopsAfterQueries for a service that stays STOP_PENDING forever.
constexpr int kNeverStops = -1;

// How an installed service behaves. The defaults: a running service of its
// own process that stops as soon as it is asked to.
struct ServiceSetup {
  DWORD type = SERVICE_WIN32_OWN_PROCESS;
  DWORD state = SERVICE_RUNNING;
  // Status queries after an accepted stop request until the service shows
  // SERVICE_STOPPED: 0 = the stop request itself returns it stopped,
  // k = the kth query shows it stopped, kNeverStops = never.
  int stopsAfterQueries = 0;
  // Other running services depend on it: a stop fails with 1051.
  bool dependentsRunning = false;
  // Non-zero: ControlService, QueryServiceStatus or DeleteService on this
  // service fails with that error (every time).
  DWORD stopError = 0;
  DWORD queryError = 0;
  DWORD deleteError = 0;
};

// Installs (or replaces) a service; names compare without regard to case.
void AddService(const std::string& name, const ServiceSetup& setup = ServiceSetup{});
// Installed, including a service marked for deletion that is not gone yet.
bool ServiceExists(const std::string& name);
// Every installed service (marked ones included), in installation order.
std::vector<std::string> ServiceNames();
// The current state (SERVICE_STOPPED ...), 0 when the service does not exist.
DWORD ServiceState(const std::string& name);
bool ServiceMarkedForDeletion(const std::string& name);
// Stop requests the service accepted.
int StopsAccepted(const std::string& name);

}  // namespace sim
