// The Service Control Manager: opening, states, stop requests, rights and
// deletion, on a kernel-driver service that is installed and stopped (Wine
// registers drivers but cannot start them).
#include "conformance.h"

namespace {

const char kArea[] = "services";
const char kDriver[] = "CvnConfDrv";

SC_HANDLE Manager() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  REQUIRE(manager != nullptr);
  return manager;
}

// Installs kDriver, stopped. The simulation cannot install services through
// Win32, so there the control API does it.
void InstallStoppedDriver() {
#ifdef CVN_SIM
  sim::ServiceSetup setup;
  setup.type = SERVICE_KERNEL_DRIVER;
  setup.state = SERVICE_STOPPED;
  sim::AddService(kDriver, setup);
#else
  SC_HANDLE manager = Manager();
  SC_HANDLE service = CreateServiceA(manager, kDriver, kDriver, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\cvnconf\\cvnconf.sys",
                                     nullptr, nullptr, nullptr, nullptr, nullptr);
  CloseServiceHandle(manager);
  REQUIRE(service != nullptr);
  CloseServiceHandle(service);
#endif
}

// Polls a service's state every 250 ms until it is `state` or 10 s passed.
DWORD WaitForState(SC_HANDLE service, DWORD state) {
  SERVICE_STATUS status{};
  for (int poll = 0; poll < 40; ++poll) {
    if (!QueryServiceStatus(service, &status) || status.dwCurrentState == state) break;
    SleepEx(250, FALSE);
  }
  return status.dwCurrentState;
}

// Stops and removes a service if it is there (for the next case).
void RemoveService(const char* name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_ALL_ACCESS) : nullptr;
  if (service) {
    SERVICE_STATUS status;
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) WaitForState(service, SERVICE_STOPPED);
    DeleteService(service);
    CloseServiceHandle(service);
  }
  if (manager) CloseServiceHandle(manager);
}

void RemoveDriver() { RemoveService(kDriver); }

const char kService[] = "CvnConfSvc";

// Installs kService and starts it: a service of its own process that stops
// as soon as it is asked to. Under Wine it is the test service program next
// to this one (it records its process id in C:\cvnconf-service.pid, so that
// the scenario can end it should a case leave it running).
void InstallRunningService() {
#ifdef CVN_SIM
  sim::AddService(kService);
#else
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  REQUIRE(length > 0 && length < sizeof path);
  std::string program = path;
  program = program.substr(0, program.find_last_of('\\') + 1) + "cvn_test_service.exe";
  std::string command = "\"" + program + "\" C:\\cvnconf-service.pid";
  SC_HANDLE manager = Manager();
  SC_HANDLE service = CreateServiceA(manager, kService, kService, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(), nullptr,
                                     nullptr, nullptr, nullptr, nullptr);
  CloseServiceHandle(manager);
  REQUIRE(service != nullptr);
  bool started = StartServiceA(service, 0, nullptr) && WaitForState(service, SERVICE_RUNNING) == SERVICE_RUNNING;
  CloseServiceHandle(service);
  if (!started) RemoveService(kService);
  REQUIRE(started);
#endif
}

// Installs a service with `install`, runs `body` with a handle of `access`
// to it, then removes it.
template <typename Body>
void WithService(void (*install)(), const char* name, DWORD access, Body body) {
  install();
  SC_HANDLE manager = Manager();
  SC_HANDLE service = OpenServiceA(manager, name, access);
  if (service) {
    try {
      body(service);
    } catch (const conformance::Abort&) {
    }
    CloseServiceHandle(service);
  } else {
    conformance::Fail(__FILE__, __LINE__, std::string("cannot open ") + name + ": " + std::to_string(GetLastError()));
  }
  CloseServiceHandle(manager);
  RemoveService(name);
}

// The installed, stopped driver.
template <typename Body>
void WithDriver(DWORD access, Body body) {
  WithService(InstallStoppedDriver, kDriver, access, body);
}

SERVICE_STATUS Sentinel() {
  SERVICE_STATUS status;
  std::memset(&status, 0x55, sizeof status);
  return status;
}

CASE(kArea, "opening a service that is not installed gives 1060") {
  SC_HANDLE manager = Manager();
  SetLastError(0xdeadbeef);
  CHECK(OpenServiceA(manager, "CvnConfMissing", SERVICE_ALL_ACCESS) == nullptr);
  CHECK_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  CloseServiceHandle(manager);
}

CASE(kArea, "opening a service through no manager handle gives 6") {
  SetLastError(0xdeadbeef);
  CHECK(OpenServiceA(nullptr, kDriver, SERVICE_ALL_ACCESS) == nullptr);
  CHECK_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

CASE(kArea, "a manager handle closes once") {
  SC_HANDLE manager = Manager();
  CHECK(CloseServiceHandle(manager));
}

CASE(kArea, "service names compare without regard to case") {
  InstallStoppedDriver();
  SC_HANDLE manager = Manager();
  SC_HANDLE service = OpenServiceA(manager, "cvnconfdrv", SERVICE_QUERY_STATUS);
  CHECK(service != nullptr);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  RemoveDriver();
}

CASE(kArea, "a stopped driver reports its type and the stopped state") {
  WithDriver(SERVICE_ALL_ACCESS, [](SC_HANDLE service) {
    SERVICE_STATUS status = Sentinel();
    CHECK(QueryServiceStatus(service, &status));
    CHECK_EQ(status.dwServiceType, SERVICE_KERNEL_DRIVER);
    CHECK_EQ(status.dwCurrentState, SERVICE_STOPPED);
  });
}

CASE(kArea, "a stop request to a stopped service gives 1062 with its status") {
  WithDriver(SERVICE_ALL_ACCESS, [](SC_HANDLE service) {
    SERVICE_STATUS status = Sentinel();
    SetLastError(0xdeadbeef);
    CHECK(!ControlService(service, SERVICE_CONTROL_STOP, &status));
    CHECK_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    CHECK_EQ(status.dwServiceType, SERVICE_KERNEL_DRIVER);
    CHECK_EQ(status.dwCurrentState, SERVICE_STOPPED);
  });
}

CASE(kArea, "a handle for status only may not stop the service") {
  WithDriver(SERVICE_QUERY_STATUS, [](SC_HANDLE service) {
    SERVICE_STATUS status;
    SetLastError(0xdeadbeef);
    CHECK(!ControlService(service, SERVICE_CONTROL_STOP, &status));
    CHECK_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  });
}

CASE(kArea, "a handle for status only may not delete the service") {
  WithDriver(SERVICE_QUERY_STATUS, [](SC_HANDLE service) {
    SetLastError(0xdeadbeef);
    CHECK(!DeleteService(service));
    CHECK_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  });
}

CASE(kArea, "a handle for status only queries the status") {
  WithDriver(SERVICE_QUERY_STATUS, [](SC_HANDLE service) {
    SERVICE_STATUS status;
    CHECK(QueryServiceStatus(service, &status));
  });
}

CASE(kArea, "a handle without the status right may not query it") {
  WithDriver(SERVICE_STOP, [](SC_HANDLE service) {
    SERVICE_STATUS status;
    SetLastError(0xdeadbeef);
    CHECK(!QueryServiceStatus(service, &status));
    CHECK_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  });
}

CASE(kArea, "a second deletion of a marked service gives 1072") {
  WithDriver(SERVICE_ALL_ACCESS, [](SC_HANDLE service) {
    CHECK(DeleteService(service));
    SetLastError(0xdeadbeef);
    CHECK(!DeleteService(service));
    CHECK_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  });
}

CASE(kArea, "a deleted stopped service is gone once its handles close") {
  InstallStoppedDriver();
  SC_HANDLE manager = Manager();
  SC_HANDLE service = OpenServiceA(manager, kDriver, SERVICE_ALL_ACCESS);
  REQUIRE(service != nullptr);
  CHECK(DeleteService(service));
  CHECK(CloseServiceHandle(service));
  SetLastError(0xdeadbeef);
  service = OpenServiceA(manager, kDriver, SERVICE_ALL_ACCESS);
  CHECK(service == nullptr);
  CHECK_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  RemoveDriver();
}

CASE(kArea, "a running service reports its own-process type and the running state") {
  WithService(InstallRunningService, kService, SERVICE_QUERY_STATUS, [](SC_HANDLE service) {
    SERVICE_STATUS status = Sentinel();
    CHECK(QueryServiceStatus(service, &status));
    CHECK_EQ(status.dwServiceType, SERVICE_WIN32_OWN_PROCESS);
    CHECK_EQ(status.dwCurrentState, SERVICE_RUNNING);
    CHECK(status.dwControlsAccepted & SERVICE_ACCEPT_STOP);
  });
}

CASE(kArea, "a stop request to a running service is accepted and the service ends stopped") {
  WithService(InstallRunningService, kService, SERVICE_ALL_ACCESS, [](SC_HANDLE service) {
    SERVICE_STATUS status = Sentinel();
    REQUIRE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    CHECK(status.dwCurrentState == SERVICE_STOP_PENDING || status.dwCurrentState == SERVICE_STOPPED);
    CHECK_EQ(status.dwServiceType, SERVICE_WIN32_OWN_PROCESS);
    CHECK_EQ(WaitForState(service, SERVICE_STOPPED), SERVICE_STOPPED);
    SetLastError(0xdeadbeef);
    CHECK(!ControlService(service, SERVICE_CONTROL_STOP, &status));
    CHECK_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  });
}

CASE(kArea, "a status-only handle may not stop a running service") {
  WithService(InstallRunningService, kService, SERVICE_QUERY_STATUS, [](SC_HANDLE service) {
    SERVICE_STATUS status;
    SetLastError(0xdeadbeef);
    CHECK(!ControlService(service, SERVICE_CONTROL_STOP, &status));
    CHECK_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  });
}

#ifdef CVN_SIM
NATIVE_CASE(kArea, "a running service that stops at once reports stopped from the stop request") {
  sim::AddService("CvnConfSvc");
  SC_HANDLE manager = Manager();
  SC_HANDLE service = OpenServiceA(manager, "CvnConfSvc", SERVICE_ALL_ACCESS);
  SERVICE_STATUS status = Sentinel();
  CHECK(ControlService(service, SERVICE_CONTROL_STOP, &status));
  CHECK_EQ(status.dwCurrentState, SERVICE_STOPPED);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

NATIVE_CASE(kArea, "a service that ignores the stop stays pending and refuses a second stop with 1061") {
  sim::ServiceSetup setup;
  setup.stopsAfterQueries = sim::kNeverStops;
  sim::AddService("CvnConfSvc", setup);
  SC_HANDLE manager = Manager();
  SC_HANDLE service = OpenServiceA(manager, "CvnConfSvc", SERVICE_ALL_ACCESS);
  SERVICE_STATUS status = Sentinel();
  CHECK(ControlService(service, SERVICE_CONTROL_STOP, &status));
  CHECK_EQ(status.dwCurrentState, SERVICE_STOP_PENDING);
  CHECK(!ControlService(service, SERVICE_CONTROL_STOP, &status));
  CHECK_EQ(GetLastError(), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

NATIVE_CASE(kArea, "running dependents refuse the stop with 1051") {
  sim::ServiceSetup setup;
  setup.dependentsRunning = true;
  sim::AddService("CvnConfSvc", setup);
  SC_HANDLE manager = Manager();
  SC_HANDLE service = OpenServiceA(manager, "CvnConfSvc", SERVICE_ALL_ACCESS);
  SERVICE_STATUS status;
  CHECK(!ControlService(service, SERVICE_CONTROL_STOP, &status));
  CHECK_EQ(GetLastError(), ERROR_DEPENDENT_SERVICES_RUNNING);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}
#endif

}  // namespace
