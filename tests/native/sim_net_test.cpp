// The WinSock, ICMP and computer-name simulation: layouts, argument checks and
// error codes of the calls, the scripted machine and the host's own network.
#include <cstddef>
#include <cstring>
#include <string>

#include "net_listener.h"
#include "sim_fixture.h"

namespace {

static_assert(sizeof(in_addr) == 4);
static_assert(sizeof(sockaddr) == 16 && sizeof(sockaddr_in) == 16);
static_assert(offsetof(sockaddr_in, sin_port) == 2 && offsetof(sockaddr_in, sin_addr) == 4);
static_assert(sizeof(IP_OPTION_INFORMATION) == 8);
static_assert(sizeof(ICMP_ECHO_REPLY) == 28);
static_assert(offsetof(ICMP_ECHO_REPLY, RoundTripTime) == 8);
static_assert(offsetof(ICMP_ECHO_REPLY, DataSize) == 12);
static_assert(offsetof(ICMP_ECHO_REPLY, Data) == 16);
static_assert(offsetof(ICMP_ECHO_REPLY, Options) == 20);

std::string Dotted(const char* address) {
  in_addr in;
  std::memcpy(&in, address, 4);
  return inet_ntoa(in);
}

class WinsockSimTest : public SimTest {
 protected:
  void Start() {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  }
};

TEST_F(WinsockSimTest, StartupGrantsVersionOneOneAndBalancesWithCleanup) {
  WSADATA data;
  std::memset(&data, 0xcc, sizeof data);
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_EQ(data.wHighVersion, 0x0202);
  EXPECT_STREQ(data.szSystemStatus, "Running");
  EXPECT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(sim::WinsockStarted(), 2);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(sim::WinsockStarted(), 0);

  SetLastError(0xdeadbeef);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSAStartup(0x0000, &data), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSAStartup(0x0101, nullptr), WSAEFAULT);
  EXPECT_EQ(sim::WinsockStarted(), 0);
}

TEST_F(WinsockSimTest, FailedStartupReturnsItsCodeAndCountsNothing) {
  sim::FailCall("WSAStartup", WSASYSNOTREADY);
  WSADATA data;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WSAStartup(0x0101, &data), WSASYSNOTREADY);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);  // the result is the error, the thread's error stays
  EXPECT_EQ(sim::WinsockStarted(), 0);
}

TEST_F(WinsockSimTest, CallsBeforeStartupFailNotInitialised) {
  sim::ScriptNetwork();
  char name[256];
  EXPECT_EQ(gethostname(name, sizeof name), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  SetLastError(0);
  EXPECT_EQ(gethostbyname("cvnhost"), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST_F(WinsockSimTest, InetAddrParsesLikeWinsock) {
  struct Case {
    const char* text;
    const char* dotted;  // nullptr: INADDR_NONE
  } cases[] = {
      {"10.20.30.40", "10.20.30.40"}, {"1.2.3", "1.2.0.3"},         {"1.2", "1.0.0.2"},
      {"0x7f.1", "127.0.0.1"},        {"010.0.0.1", "8.0.0.1"},     {"1.2.3.4 trailing", "1.2.3.4"},
      {"0.0.0.0", "0.0.0.0"},         {"", nullptr},                {"1.2.3.4x", nullptr},
      {"256.1.1.1", nullptr},         {"1.2.3.4.5", nullptr},       {"09.1.1.1", nullptr},
      {"1.2.3.", nullptr},            {"ns1.velmora.test", nullptr}, {" 1.2.3.4", nullptr},
  };
  for (const Case& c : cases) {
    ULONG value = inet_addr(c.text);
    if (!c.dotted) {
      EXPECT_EQ(value, INADDR_NONE) << c.text;
      continue;
    }
    in_addr in;
    in.s_addr = value;
    EXPECT_STREQ(inet_ntoa(in), c.dotted) << c.text;
  }
  EXPECT_EQ(htons(111), 0x6f00);
}

TEST_F(WinsockSimTest, HostNameMustFitWithItsTerminator) {
  sim::SetHostName(std::string(128, 'h'));
  Start();
  char name[300];
  std::memset(name, 'x', sizeof name);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(gethostname(name, 128), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(name[0], 'x');
  EXPECT_EQ(gethostname(name, 129), 0);
  EXPECT_EQ(std::string(name), std::string(128, 'h'));
  WSACleanup();
}

TEST_F(WinsockSimTest, ScriptedMachineResolvesBothWays) {
  sim::ScriptNetwork();
  Start();
  char name[256];
  ASSERT_EQ(gethostname(name, sizeof name), 0);
  EXPECT_STREQ(name, "cvnhost");
  hostent* host = gethostbyname("CVNHOST");
  ASSERT_NE(host, nullptr);
  EXPECT_STREQ(host->h_name, "cvnhost.velmora.test");
  EXPECT_EQ(host->h_addrtype, AF_INET);
  EXPECT_EQ(host->h_length, 4);
  EXPECT_EQ(Dotted(host->h_addr), "10.20.30.40");
  EXPECT_EQ(host->h_addr_list[1], nullptr);

  char address[4];
  std::memcpy(address, host->h_addr, 4);
  hostent* back = gethostbyaddr(address, 4, AF_INET);
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back->h_name, "cvnhost.velmora.test");
  SetLastError(0);
  EXPECT_EQ(gethostbyaddr(address, 3, AF_INET), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);

  hostent* dotted = gethostbyname("192.0.2.9");
  ASSERT_NE(dotted, nullptr);
  EXPECT_STREQ(dotted->h_name, "192.0.2.9");
  EXPECT_EQ(Dotted(dotted->h_addr), "192.0.2.9");
  WSACleanup();
}

TEST_F(WinsockSimTest, ScriptedLookupFailuresCarryTheirCodes) {
  sim::AddHost("ns1.velmora.test", {"10.0.0.53", "10.0.0.54"}, {"ns1"});
  sim::FailLookup("flaky", WSATRY_AGAIN);
  sim::FailReverseLookup("10.0.0.53", WSANO_DATA);
  Start();
  hostent* host = gethostbyname("ns1");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(Dotted(host->h_addr_list[0]), "10.0.0.53");
  EXPECT_EQ(Dotted(host->h_addr_list[1]), "10.0.0.54");

  SetLastError(0);
  EXPECT_EQ(gethostbyname("flaky"), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSATRY_AGAIN);
  EXPECT_EQ(gethostbyname("nowhere"), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);

  ULONG address = inet_addr("10.0.0.53");
  EXPECT_EQ(gethostbyaddr(reinterpret_cast<char*>(&address), 4, AF_INET), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSANO_DATA);
  address = inet_addr("10.0.0.54");
  EXPECT_EQ(gethostbyaddr(reinterpret_cast<char*>(&address), 4, AF_INET), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  WSACleanup();
}

TEST_F(WinsockSimTest, ScriptedConnectsAreRefusedUnlessAccepted) {
  sim::SetConnectResult(sim::kScriptedAddress, 20481, 0);
  Start();
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Socket), 1);

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(20480);
  target.sin_addr.s_addr = inet_addr(sim::kScriptedAddress);
  SetLastError(0);
  EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
  target.sin_port = htons(20481);
  EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target), 0);
  EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&target), 15), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  ASSERT_EQ(sim::ConnectAttempts().size(), 2u);
  EXPECT_EQ(sim::ConnectAttempts()[1].address, "10.20.30.40");
  EXPECT_EQ(sim::ConnectAttempts()[1].port, 20481);

  EXPECT_EQ(closesocket(s), 0);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Socket), 0);
  EXPECT_EQ(closesocket(s), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(socket(AF_INET, SOCK_DGRAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAESOCKTNOSUPPORT);
  WSACleanup();
}

TEST_F(WinsockSimTest, ComputerNameReportsTheSizeItNeeds) {
  sim::SetComputerName("VELMORA-SRV01");
  char name[64];
  DWORD size = 13;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetComputerNameA(name, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(size, 14u);
  size = 14;
  EXPECT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, "VELMORA-SRV01");
  EXPECT_EQ(size, 13u);

  sim::FailCall("GetComputerNameA", ERROR_ACCESS_DENIED);
  size = sizeof name;
  EXPECT_FALSE(GetComputerNameA(name, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

class IcmpSimTest : public SimTest {
 protected:
  DWORD Echo(const char* address, BYTE* reply, DWORD replySize, DWORD timeout = 5000) {
    HANDLE icmp = IcmpCreateFile();
    EXPECT_NE(icmp, INVALID_HANDLE_VALUE);
    BYTE payload[32];
    for (int i = 0; i < 32; ++i) payload[i] = static_cast<BYTE>(i);
    IP_OPTION_INFORMATION options{};
    options.Ttl = 32;
    DWORD replies = IcmpSendEcho(icmp, inet_addr(address), payload, sizeof payload, &options, reply,
                                 replySize, timeout);
    DWORD error = GetLastError();
    EXPECT_TRUE(IcmpCloseHandle(icmp));
    SetLastError(error);
    return replies;
  }
};

TEST_F(IcmpSimTest, ScriptedEchoAnswersWithRecordThenData) {
  sim::AnswerEcho("10.0.0.53", 17);
  alignas(4) BYTE reply[60] = {};
  ASSERT_EQ(Echo("10.0.0.53", reply, sizeof reply), 1u);
  ICMP_ECHO_REPLY record;
  std::memcpy(&record, reply, sizeof record);
  EXPECT_EQ(record.Status, static_cast<ULONG>(IP_SUCCESS));
  EXPECT_EQ(record.RoundTripTime, 17u);
  EXPECT_EQ(record.DataSize, 32);
  EXPECT_EQ(record.Address, inet_addr("10.0.0.53"));
  for (int i = 0; i < 32; ++i) EXPECT_EQ(reply[28 + i], i);
  EXPECT_EQ(sim::ElapsedMs(), 17u);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Icmp), 0);

  ASSERT_EQ(sim::EchoRequests().size(), 1u);
  const sim::EchoRequest& sent = sim::EchoRequests()[0];
  EXPECT_EQ(sent.address, "10.0.0.53");
  EXPECT_EQ(sent.ttl, 32);
  EXPECT_EQ(sent.replySize, 60u);
  EXPECT_TRUE(sent.replyBufferZeroed);
  EXPECT_EQ(sent.timeout, 5000u);
}

TEST_F(IcmpSimTest, DroppedEchoTimesOutAfterTheWholeWait) {
  sim::DropEcho("10.0.0.53");
  BYTE reply[60] = {};
  SetLastError(0);
  EXPECT_EQ(Echo("10.0.0.53", reply, sizeof reply), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(IP_REQ_TIMED_OUT));
  EXPECT_EQ(sim::ElapsedMs(), 5000u);
}

TEST_F(IcmpSimTest, ReplyLaterThanTheTimeoutIsATimeout) {
  sim::AnswerEcho("10.0.0.53", 6000);
  BYTE reply[60] = {};
  EXPECT_EQ(Echo("10.0.0.53", reply, sizeof reply), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(IP_REQ_TIMED_OUT));
}

TEST_F(IcmpSimTest, BufferWithoutRoomForARecordIsRefused) {
  sim::ScriptNetwork();
  BYTE reply[60] = {};
  EXPECT_EQ(Echo("10.0.0.53", reply, 35), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(IP_BUF_TOO_SMALL));
  EXPECT_EQ(Echo("10.0.0.53", reply, 36), 1u);
  EXPECT_EQ(reply[12], 8);  // DataSize: what fits after the record
}

TEST_F(IcmpSimTest, HandlesAreAccounted) {
  HANDLE icmp = IcmpCreateFile();
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Icmp), 1);
  EXPECT_TRUE(IcmpCloseHandle(icmp));
  SetLastError(0);
  EXPECT_FALSE(IcmpCloseHandle(icmp));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  sim::FailCall("IcmpCreateFile", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(IcmpCreateFile(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

// ---- The host's own network (no script): loopback and this machine only ----

TEST_F(WinsockSimTest, HostNetworkResolvesThisHostsOwnName) {
  std::string own = testnet::OwnAddress();
  if (own.empty()) GTEST_SKIP() << "this host's name does not resolve";
  Start();
  char name[256];
  ASSERT_EQ(gethostname(name, sizeof name), 0);
  hostent* host = gethostbyname(name);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(Dotted(host->h_addr), own);
  WSACleanup();
}

TEST_F(WinsockSimTest, HostNetworkConnectsToAListenerAndIsRefusedOnAClosedPort) {
  testnet::Listener listener("127.0.0.1");
  ASSERT_TRUE(listener.ok());
  int closed = testnet::ClosedPort("127.0.0.1");
  Start();
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = inet_addr("127.0.0.1");

  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  target.sin_port = htons(static_cast<u_short>(listener.port()));
  EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target), 0);
  closesocket(s);

  s = socket(AF_INET, SOCK_STREAM, 0);
  target.sin_port = htons(static_cast<u_short>(closed));
  EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
  closesocket(s);
  WSACleanup();
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(IcmpSimTest, HostNetworkEchoesOnLoopback) {
  BYTE reply[60] = {};
  if (Echo("127.0.0.1", reply, sizeof reply) == 0) {
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) GTEST_SKIP() << "no ICMP socket allowed on this machine";
    FAIL() << "echo failed with " << error;
  }
  ICMP_ECHO_REPLY record;
  std::memcpy(&record, reply, sizeof record);
  EXPECT_EQ(record.Address, inet_addr("127.0.0.1"));
  EXPECT_EQ(record.DataSize, 32);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(reply[28 + i], i);
  EXPECT_EQ(sim::ElapsedMs(), 0u);  // real time, not the virtual clock
}

}  // namespace
