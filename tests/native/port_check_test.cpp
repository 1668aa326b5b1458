// The port section and the exported probe: scripted connects for every case
// of the section, real sockets on this machine for the probe itself.
#include <string>
#include <vector>

#include "entry_points.h"
#include "net_listener.h"
#include "network_fixture.h"
#include "report_texts.h"

namespace {

using Lines = std::vector<std::string>;

const char kMapperNotResponding[] =
    "The Corvane service is installed but a local\nport mapper is not responding. This condition is "
    "normal just\nbefore rebooting when installing the replicator for the very first time.\nIf this "
    "condition persists after rebooting, contact technical support.";
const char kMapperWithoutService[] =
    "Warning: The Corvane service is not installed and\nthere is a TCP/IP port mapper running on this "
    "system.\n\n";
const char kMapperAdvice[] =
    "Recommendation: The currently installed TCP/IP portmapper may be\nused by the Corvane, however "
    "there service dependencies\nthe must be configured after the Zivuzodize is installed.\nContact "
    "Velmora Software technical support for assistance.\n\n";
const char kPortsAdvice[] =
    "Recommendation: The default port numbers for the Corvane\ncan be locally configured to be any "
    "value. Contact Velmora Software\ntechnical support for assistance.\n\n";

std::string PortInUse(int port) {
  return "Warning: The default Corvane TCP/IP port # " + std::to_string(port) +
         " is\nbeing used on this system.\n\n";
}

class PortCheckTest : public NetworkTest {
 protected:
  static void Listening(int port) { sim::SetConnectResult(sim::kScriptedAddress, port, 0); }
  static std::vector<int> ProbedPorts() {
    std::vector<int> ports;
    for (const sim::ConnectAttempt& attempt : sim::ConnectAttempts()) {
      EXPECT_EQ(attempt.address, sim::kScriptedAddress);
      ports.push_back(attempt.port);
    }
    return ports;
  }
};

TEST_F(PortCheckTest, MapperWithoutTheServiceWarnsAndProbesTheDefaultPortsInOrder) {
  Listening(111);
  EXPECT_EQ(CheckPortAssignments(0, 0), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kMapperWithoutService, kMapperAdvice}));
  EXPECT_EQ(WarningCount, 1u);
  EXPECT_EQ(ProbedPorts(), (std::vector<int>{111, 20481, 20482, 20480}));
}

TEST_F(PortCheckTest, OneDefaultPortInUseWarnsWithAdviceAfterIt) {
  Listening(20482);
  EXPECT_EQ(CheckPortAssignments(0, 0), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{PortInUse(20482), kPortsAdvice}));
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(PortCheckTest, AllDefaultPortsInUseGiveThreeWarningsAndOneAdvice) {
  for (int port : {20480, 20481, 20482}) Listening(port);
  EXPECT_EQ(CheckPortAssignments(0, 1), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{PortInUse(20481), PortInUse(20482), PortInUse(20480), kPortsAdvice}));
  EXPECT_EQ(WarningCount, 3u);
}

TEST_F(PortCheckTest, MapperAndAPortInUseGiveBothWarnings) {
  Listening(111);
  Listening(20480);
  EXPECT_EQ(CheckPortAssignments(0, 0), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kMapperWithoutService, kMapperAdvice, PortInUse(20480), kPortsAdvice}));
  EXPECT_EQ(WarningCount, 2u);
}

TEST_F(PortCheckTest, InstalledServiceWithMapperIsInformationAtLevelZeroOnly) {
  Listening(111);
  Listening(20481);  // not probed when the service is installed
  for (DWORD type : {1u, 2u, 3u}) {
    EXPECT_EQ(CheckPortAssignments(type, 0), SEV_INFORMATION) << type;
    EXPECT_EQ(Entries(), (Lines{kMapperWithService, kNoConflicts})) << type;
    ReportDiscard();
    EXPECT_EQ(CheckPortAssignments(type, 1), SEV_INFORMATION) << type;
    EXPECT_EQ(PendingReport, nullptr) << type;
  }
  EXPECT_EQ(ProbedPorts(), std::vector<int>(6, 111));
  EXPECT_EQ(WarningCount, 0u);
}

TEST_F(PortCheckTest, InstalledServiceWithoutMapperNotesItAtEveryLevel) {
  for (DWORD type : {1u, 2u, 3u, 0xffu}) {
    for (int level : {0, 1, 2}) {
      EXPECT_EQ(CheckPortAssignments(type, level), SEV_INFORMATION);
      EXPECT_EQ(Entries(), Lines{kMapperNotResponding}) << type << " " << level;
      ReportDiscard();
    }
  }
  EXPECT_EQ(WarningCount, 0u);
}

TEST_F(PortCheckTest, TypeWithoutTheInstalledBitsBehavesAsNotInstalled) {
  Listening(111);
  EXPECT_EQ(CheckPortAssignments(4, 0), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kMapperWithoutService, kMapperAdvice}));
}

TEST_F(PortCheckTest, MapperWithoutServiceAtLevelTwoCountsWithoutLines) {
  Listening(111);
  EXPECT_EQ(CheckPortAssignments(0, 2), SEV_WARNING);
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(PortCheckTest, NothingListeningShowsNoConflictsAtLevelZeroOnly) {
  EXPECT_EQ(CheckPortAssignments(0, 0), SEV_INFORMATION);
  EXPECT_EQ(Entries(), Lines{kNoConflicts});
  ReportDiscard();
  EXPECT_EQ(CheckPortAssignments(0, 1), SEV_INFORMATION);
  EXPECT_EQ(PendingReport, nullptr);
}

TEST_F(PortCheckTest, MapperServiceStatusDoesNotChangeTheReport) {
  sim::ServiceSetup stopped;
  stopped.state = SERVICE_STOPPED;
  sim::AddService("NobleNet Portmapper for TCP", stopped);
  Listening(111);
  EXPECT_EQ(CheckPortAssignments(1, 0), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Lines{kMapperWithService, kNoConflicts}));
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 1);
}

TEST_F(PortCheckTest, ServiceStatusIsReadOrTheFailingStepsErrorReturned) {
  SERVICE_STATUS status{};
  EXPECT_EQ(GetNamedServiceStatus("NobleNet Portmapper for TCP", &status),
            static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  sim::AddService("NobleNet Portmapper for TCP");
  EXPECT_EQ(GetNamedServiceStatus("NobleNet Portmapper for TCP", &status), 0u);
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  sim::FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetNamedServiceStatus("NobleNet Portmapper for TCP", &status),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  sim::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetNamedServiceStatus("NobleNet Portmapper for TCP", &status),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// ---- zrPortExists --------------------------------------------------------------------

TEST_F(PortCheckTest, ProbeGoesToThisHostsOwnAddressNeverLoopback) {
  sim::SetConnectResult("127.0.0.1", 20480, 0);
  EXPECT_EQ(zrPortExists(20480), WSAECONNREFUSED);
  Listening(20480);
  EXPECT_EQ(zrPortExists(20480), 0);
  EXPECT_EQ(ProbedPorts(), (std::vector<int>{20480, 20480}));
}

TEST_F(PortCheckTest, ProbeUsesTheLow16BitsOfItsArgument) {
  Listening(111);
  EXPECT_EQ(zrPortExists(0x10000 + 111), 0);
}

TEST_F(PortCheckTest, ProbeFailuresReturnTheFailingStepsCode) {
  sim::FailCall("WSAStartup", WSASYSNOTREADY);
  EXPECT_EQ(zrPortExists(111), WSASYSNOTREADY);
  EXPECT_EQ(sim::CallCount("WSACleanup"), 0);

  struct Case {
    const char* api;
    int error;
  } cases[] = {{"socket", WSAEMFILE},
               {"gethostname", WSAENETDOWN},
               {"gethostbyname", WSAHOST_NOT_FOUND},
               {"ioctlsocket", WSAENETDOWN},
               {"connect", WSAETIMEDOUT},
               {"select", WSAENETDOWN},
               {"getsockopt", WSAENOTSOCK}};
  for (const Case& c : cases) {
    sim::FailCall(c.api, static_cast<DWORD>(c.error));
    EXPECT_EQ(zrPortExists(111), c.error) << c.api;
    EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Socket), 0) << c.api;
    EXPECT_EQ(sim::WinsockStarted(), 0) << c.api;
  }
  EXPECT_EQ(sim::CallCount("WSACleanup"), 7);
  // A socket is made only once an address is known.
  EXPECT_EQ(sim::CallCount("closesocket"), 4);
  // Only the connect that got under way was waited for.
  EXPECT_EQ(sim::ElapsedMs(), static_cast<uint64_t>(sim::kRefusedConnectMs));
}

TEST_F(PortCheckTest, ProbeTriesEveryAddressOfThisHostAtOnce) {
  sim::AddHost("cvnhost.velmora.test", {"10.20.30.40", "10.20.31.41", "192.0.2.7"}, {"cvnhost"});
  sim::SetConnectResult("10.20.31.41", 20481, 0);
  EXPECT_EQ(zrPortExists(20481), 0);
  // Accepted at once: the refusals of the others are not waited for.
  EXPECT_EQ(sim::ElapsedMs(), 0u);
  // Nobody anywhere: the first address's error, each address tried once.
  sim::SetConnectResult("192.0.2.7", 20482, WSAETIMEDOUT);
  EXPECT_EQ(zrPortExists(20482), WSAECONNREFUSED);
  std::vector<std::string> tried;
  for (const sim::ConnectAttempt& attempt : sim::ConnectAttempts())
    tried.push_back(attempt.address + ":" + std::to_string(attempt.port));
  EXPECT_EQ(tried, (std::vector<std::string>{"10.20.30.40:20481", "10.20.31.41:20481", "192.0.2.7:20481",
                                             "10.20.30.40:20482", "10.20.31.41:20482", "192.0.2.7:20482"}));
  EXPECT_EQ(sim::CallCount("socket"), 6);
  EXPECT_EQ(sim::CallCount("closesocket"), 6);
  // The refusals came together after 2 s; the silent address was given up
  // by the system after its 21 s.
  EXPECT_EQ(sim::ElapsedMs(), static_cast<uint64_t>(sim::kConnectGiveUpMs));
}

TEST_F(PortCheckTest, FirstAddressNobodyAnswersGivesTheTimeOutAfterTheSystemsWait) {
  sim::AddHost("cvnhost.velmora.test", {"10.20.30.40", "10.20.31.41"}, {"cvnhost"});
  sim::SetConnectResult("10.20.30.40", 20480, WSAETIMEDOUT);
  EXPECT_EQ(zrPortExists(20480), WSAETIMEDOUT);
  EXPECT_EQ(sim::ElapsedMs(), static_cast<uint64_t>(sim::kConnectGiveUpMs));
  EXPECT_EQ(sim::CallCount("select"), 2);  // the refusal, then the time-out
}

TEST_F(PortCheckTest, SectionOfAMachineWithThreeAddressesCostsOneConnectWait) {
  sim::AddHost("cvnhost.velmora.test", {"10.20.30.40", "10.20.31.41", "192.0.2.7"}, {"cvnhost"});
  EXPECT_EQ(CheckPortAssignments(0, 0), SEV_INFORMATION);
  EXPECT_EQ(Entries(), Lines{kNoConflicts});
  // Four ports on three addresses, twelve refusals, one wait of 2 s.
  EXPECT_EQ(sim::ConnectAttempts().size(), 12u);
  EXPECT_EQ(sim::ElapsedMs(), static_cast<uint64_t>(sim::kRefusedConnectMs));
  EXPECT_EQ(sim::CallCount("WSAStartup"), 1);
  EXPECT_EQ(sim::CallCount("select"), 1);
}

TEST_F(PortCheckTest, AddressesBeyondOneSetAreProbedInTurnsUntilOneAccepts) {
  std::vector<std::string> addresses;
  for (int i = 1; i <= FD_SETSIZE + 6; ++i) addresses.push_back("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
  sim::AddHost("cvnhost.velmora.test", addresses, {"cvnhost"});
  sim::SetConnectResult(addresses.back(), 20480, 0);
  EXPECT_EQ(zrPortExists(20480), 0);
  EXPECT_EQ(sim::ConnectAttempts().size(), addresses.size());
  EXPECT_EQ(sim::ElapsedMs(), static_cast<uint64_t>(sim::kRefusedConnectMs));
  // Held on the first address: the ones that did not fit are not tried.
  sim::SetConnectResult(addresses.front(), 111, 0);
  EXPECT_EQ(zrPortExists(111), 0);
  EXPECT_EQ(sim::ConnectAttempts().size(), addresses.size() + FD_SETSIZE);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Socket), 0);
}

TEST_F(PortCheckTest, PortHeldOnASecondAddressIsAConflict) {
  sim::AddHost("cvnhost.velmora.test", {"10.20.30.40", "10.20.31.41"}, {"cvnhost"});
  sim::SetConnectResult("10.20.31.41", 20482, 0);
  EXPECT_EQ(CheckPortAssignments(0, 0), SEV_WARNING);
  EXPECT_EQ(Entries(), (std::vector<std::string>{PortInUse(20482), kPortsAdvice}));
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(PortCheckTest, SocketThatCannotBeHadForALaterAddressEndsTheProbe) {
  sim::AddHost("cvnhost.velmora.test", {"10.20.30.40", "10.20.31.41", "192.0.2.7"}, {"cvnhost"});
  sim::FailCall("socket", WSAEMFILE, 2);
  EXPECT_EQ(zrPortExists(111), WSAECONNREFUSED);
  EXPECT_EQ(sim::CallCount("socket"), 2);
  EXPECT_EQ(sim::CallCount("connect"), 1);
}

TEST_F(PortCheckTest, WinsockLibraryThatCannotBeHadIsTheStartFailureAndIsReleased) {
  sim::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(zrPortExists(111), WSASYSNOTREADY);
  sim::FailCall("GetProcAddress", ERROR_PROC_NOT_FOUND, 4);
  EXPECT_EQ(zrPortExists(111), WSASYSNOTREADY);
  // A system directory that leaves no room for the library's name.
  sim::SetSystemDirectory("C:\\" + std::string(245, 's'));
  EXPECT_EQ(zrPortExists(111), WSASYSNOTREADY);
  EXPECT_EQ(sim::CallCount("LoadLibraryA"), 2);
  EXPECT_EQ(sim::CallCount("WSAStartup"), 0);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Library), 0);
  EXPECT_EQ(sim::CallCount("FreeLibrary"), 1);
}

TEST_F(PortCheckTest, OwnNameWithAnEmptyAddressListIsNoDataAndConnectsNowhere) {
  sim::HandOutIncompleteRecords(false, true);
  EXPECT_EQ(zrPortExists(111), WSANO_DATA);
  sim::HandOutIncompleteRecords(false, false);
  sim::AddHost("cvnhost.velmora.test", {}, {"cvnhost"});
  EXPECT_EQ(zrPortExists(111), WSANO_DATA);
  EXPECT_TRUE(ProbedPorts().empty());
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Socket), 0);
  EXPECT_EQ(sim::WinsockStarted(), 0);
}

class PortProbeOnThisMachineTest : public SimTest {};

TEST_F(PortProbeOnThisMachineTest, ListenerOnOwnAddressIsFoundAndAClosedPortRefused) {
  std::string own = testnet::OwnAddress();
  if (own.empty()) GTEST_SKIP() << "this host's name does not resolve";
  testnet::Listener listener(own);
  ASSERT_TRUE(listener.ok());
  EXPECT_EQ(zrPortExists(listener.port()), 0);
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_EQ(sim::WinsockStarted(), 0);

  int closed = testnet::ClosedPort(own);
  ASSERT_NE(closed, 0);
  EXPECT_EQ(zrPortExists(closed), WSAECONNREFUSED);
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_EQ(sim::WinsockStarted(), 0);
  EXPECT_EQ(sim::CallCount("WSACleanup"), 2);
}

}  // namespace
