// The simulated Service Control Manager, token privileges and shutdown
// request: real error codes, status layouts and handle accounting.
#include <cstring>

#include "sim_fixture.h"

namespace {

using sim::HandleKind;

class ServicesSimTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    scm_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(scm_, nullptr);
  }
  void TearDown() override {
    if (scm_) {
      EXPECT_TRUE(CloseServiceHandle(scm_));
    }
  }
  SC_HANDLE Open(const char* name, DWORD access = SERVICE_ALL_ACCESS) {
    return OpenServiceA(scm_, name, access);
  }
  static SERVICE_STATUS Sentinel() {
    SERVICE_STATUS status;
    std::memset(&status, 0xcc, sizeof status);
    return status;
  }
  SC_HANDLE scm_ = nullptr;
};

TEST_F(ServicesSimTest, ManagerAndServiceHandlesAreCountedUntilClosed) {
  sim::AddService("CVNSvc");
  EXPECT_EQ(sim::OpenHandles(HandleKind::ScManager), 1);
  SC_HANDLE service = Open("cvnsvc");  // names compare without regard to case
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(sim::OpenHandles(HandleKind::Service), 1);
  EXPECT_TRUE(CloseServiceHandle(service));
  EXPECT_EQ(sim::OpenHandles(HandleKind::Service), 0);

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseServiceHandle(service));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ServicesSimTest, OpeningFailsWithTheRealErrors) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(Open("cvn-rec"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));

  sim::AddService("cvn-rec");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenServiceA(reinterpret_cast<SC_HANDLE>(0x1234), "cvn-rec", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  sim::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(sim::OpenHandles(), 1);
}

TEST_F(ServicesSimTest, StopOfAStoppedServiceGivesNotActiveWithItsStatus) {
  sim::ServiceSetup setup;
  setup.type = SERVICE_KERNEL_DRIVER;
  setup.state = SERVICE_STOPPED;
  sim::AddService("cvn-jnl", setup);
  SC_HANDLE service = Open("cvn-jnl");
  SERVICE_STATUS status = Sentinel();
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
  EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_KERNEL_DRIVER));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  CloseServiceHandle(service);
}

TEST_F(ServicesSimTest, RunningServiceThatStopsAtOnceReportsStoppedFromTheStop) {
  sim::AddService("CVNSvc");
  SC_HANDLE service = Open("CVNSvc");
  SERVICE_STATUS status = Sentinel();
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(status.dwWin32ExitCode, 0u);
  EXPECT_EQ(sim::ServiceState("CVNSvc"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(sim::StopsAccepted("CVNSvc"), 1);
  CloseServiceHandle(service);
}

TEST_F(ServicesSimTest, ServiceStopsOnTheKthStatusQuery) {
  sim::ServiceSetup setup;
  setup.stopsAfterQueries = 3;
  sim::AddService("CVNSvc", setup);
  SC_HANDLE service = Open("CVNSvc");
  SERVICE_STATUS status = Sentinel();
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  DWORD lastCheckPoint = status.dwCheckPoint;
  for (int query = 1; query <= 2; ++query) {
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING)) << query;
    EXPECT_GT(status.dwCheckPoint, lastCheckPoint);
    lastCheckPoint = status.dwCheckPoint;
  }
  ASSERT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  CloseServiceHandle(service);
}

TEST_F(ServicesSimTest, ServiceThatNeverStopsStaysPendingAndRefusesASecondStop) {
  sim::ServiceSetup setup;
  setup.stopsAfterQueries = sim::kNeverStops;
  sim::AddService("CVNSvc", setup);
  SC_HANDLE service = Open("CVNSvc");
  SERVICE_STATUS status;
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  for (int query = 0; query < 100; ++query) ASSERT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
  CloseServiceHandle(service);
}

TEST_F(ServicesSimTest, RunningDependentsRefuseTheStop) {
  sim::ServiceSetup setup;
  setup.type = SERVICE_KERNEL_DRIVER;
  setup.dependentsRunning = true;
  sim::AddService("cvn-fltr", setup);
  SC_HANDLE service = Open("cvn-fltr");
  SERVICE_STATUS status;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING));
  EXPECT_EQ(sim::ServiceState("cvn-fltr"), static_cast<DWORD>(SERVICE_RUNNING));
  CloseServiceHandle(service);
}

TEST_F(ServicesSimTest, ScriptedErrorsFailStopQueryAndDelete) {
  sim::ServiceSetup setup;
  setup.stopError = ERROR_SERVICE_REQUEST_TIMEOUT;
  setup.queryError = ERROR_ACCESS_DENIED;
  setup.deleteError = ERROR_INVALID_HANDLE;
  sim::AddService("CVNSvc", setup);
  SC_HANDLE service = Open("CVNSvc");
  SERVICE_STATUS status;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(QueryServiceStatus(service, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteService(service));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(sim::ServiceMarkedForDeletion("CVNSvc"));
  CloseServiceHandle(service);
}

TEST_F(ServicesSimTest, HandleWithoutTheRightsIsDenied) {
  sim::AddService("CVNSvc");
  SC_HANDLE service = Open("CVNSvc", SERVICE_QUERY_STATUS);
  SERVICE_STATUS status;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteService(service));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(QueryServiceStatus(service, &status));
  CloseServiceHandle(service);
}

TEST_F(ServicesSimTest, MarkedServiceGoesWhenItsLastHandleCloses) {
  sim::ServiceSetup setup;
  setup.state = SERVICE_STOPPED;
  sim::AddService("cvn-rec", setup);
  SC_HANDLE first = Open("cvn-rec");
  SC_HANDLE second = Open("cvn-rec");
  ASSERT_TRUE(DeleteService(first));
  EXPECT_TRUE(sim::ServiceMarkedForDeletion("cvn-rec"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteService(second));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));

  CloseServiceHandle(first);
  EXPECT_TRUE(sim::ServiceExists("cvn-rec"));
  CloseServiceHandle(second);
  EXPECT_FALSE(sim::ServiceExists("cvn-rec"));
  EXPECT_EQ(Open("cvn-rec"), nullptr);
}

TEST_F(ServicesSimTest, MarkedServiceThatIsStillRunningStaysInstalledUntilARestart) {
  sim::AddService("CVNSvc");
  SC_HANDLE service = Open("CVNSvc");
  ASSERT_TRUE(DeleteService(service));
  CloseServiceHandle(service);
  EXPECT_TRUE(sim::ServiceExists("CVNSvc"));
  EXPECT_TRUE(sim::ServiceMarkedForDeletion("CVNSvc"));
  sim::Reboot();
  EXPECT_FALSE(sim::ServiceExists("CVNSvc"));
}

TEST_F(ServicesSimTest, InjectedFaultsUseTheChosenError) {
  sim::AddService("CVNSvc");
  SC_HANDLE service = Open("CVNSvc");
  SERVICE_STATUS status;
  sim::FailCall("QueryServiceStatus", ERROR_INVALID_HANDLE, 2);
  EXPECT_TRUE(QueryServiceStatus(service, &status));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(QueryServiceStatus(service, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 3);
  CloseServiceHandle(service);
}

// ---- Token privileges and the shutdown request ----------------------------------

class PrivilegesSimTest : public SimTest {};

TEST_F(PrivilegesSimTest, ShutdownNeedsTheEnabledPrivilegeAndIsOnlyRecorded) {
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(InitiateSystemShutdownA(nullptr, nullptr, 0, FALSE, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));

  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  EXPECT_EQ(sim::OpenHandles(HandleKind::Token), 1);
  TOKEN_PRIVILEGES privileges;
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid));
  EXPECT_EQ(privileges.Privileges[0].Luid.LowPart, 19u);
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(sim::PrivilegeEnabled("SeShutdownPrivilege"));
  ASSERT_EQ(sim::PrivilegeChanges().size(), 1u);
  EXPECT_EQ(sim::PrivilegeChanges()[0].name, "SeShutdownPrivilege");
  EXPECT_EQ(sim::PrivilegeChanges()[0].attributes, static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
  EXPECT_TRUE(CloseHandle(token));
  EXPECT_EQ(sim::OpenHandles(), 0);

  char message[] = "bye";
  EXPECT_TRUE(InitiateSystemShutdownA(nullptr, message, 30, TRUE, FALSE));
  ASSERT_EQ(sim::ShutdownRequests().size(), 2u);
  EXPECT_FALSE(sim::ShutdownRequests()[0].succeeded);
  const sim::ShutdownRequest& request = sim::ShutdownRequests()[1];
  EXPECT_TRUE(request.succeeded);
  EXPECT_FALSE(request.hasMachine);
  EXPECT_TRUE(request.hasMessage);
  EXPECT_EQ(request.message, "bye");
  EXPECT_EQ(request.timeout, 30u);
  EXPECT_TRUE(request.forceAppsClosed);
  EXPECT_FALSE(request.rebootAfterShutdown);
}

TEST_F(PrivilegesSimTest, PrivilegeNotHeldIsNotAssignedYetTheCallSucceeds) {
  sim::SetPrivilegeHeld("SeShutdownPrivilege", false);
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
  TOKEN_PRIVILEGES privileges{1, {{{19, 0}, SE_PRIVILEGE_ENABLED}}};
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  EXPECT_FALSE(sim::PrivilegeEnabled("SeShutdownPrivilege"));
  CloseHandle(token);
}

TEST_F(PrivilegesSimTest, LookupAndAdjustFailWithTheRealErrors) {
  LUID luid;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));

  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES privileges{1, {{{19, 0}, SE_PRIVILEGE_ENABLED}}};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(token);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  sim::FailCall("InitiateSystemShutdownA", ERROR_SHUTDOWN_IN_PROGRESS);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(InitiateSystemShutdownA(nullptr, nullptr, 0, FALSE, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHUTDOWN_IN_PROGRESS));
}

}  // namespace
