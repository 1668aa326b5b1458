// The WinSock, ICMP and computer-name simulation: layouts, argument checks and
// error codes of the calls, the scripted machine and the host's own network.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

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
static_assert(FD_SETSIZE == 64 && sizeof(timeval) == 8);
static_assert(FIONBIO == static_cast<LONG>(0x8004667E) && SOL_SOCKET == 0xffff && SO_ERROR == 0x1007);

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

class ConnectSimTest : public WinsockSimTest {
 protected:
  // A non-blocking socket whose connect to address:port is under way.
  SOCKET Connecting(const char* address, int port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    ULONG on = 1;
    EXPECT_EQ(ioctlsocket(s, FIONBIO, &on), 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<u_short>(port));
    target.sin_addr.s_addr = inet_addr(address);
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    return s;
  }
  static int SocketError(SOCKET s) {
    int value = -1;
    int length = sizeof value;
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&value), &length), 0);
    EXPECT_EQ(length, static_cast<int>(sizeof value));
    return value;
  }
};

TEST_F(ConnectSimTest, BlockingConnectToAClosedPortIsRefusedAfterTwoSeconds) {
  sim::SetConnectResult(sim::kScriptedAddress, 20481, 0);
  sim::SetConnectResult(sim::kScriptedAddress, 20482, WSAETIMEDOUT);
  Start();
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = inet_addr(sim::kScriptedAddress);
  const struct {
    int port;
    int result;
    uint64_t elapsedMs;
  } cases[] = {{20480, WSAECONNREFUSED, 2000}, {20481, 0, 2000}, {20482, WSAETIMEDOUT, 23000}};
  for (const auto& c : cases) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    target.sin_port = htons(static_cast<u_short>(c.port));
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target), c.result ? SOCKET_ERROR : 0);
    EXPECT_EQ(c.result ? WSAGetLastError() : 0, c.result);
    EXPECT_EQ(sim::ElapsedMs(), c.elapsedMs) << c.port;
    closesocket(s);
  }
  WSACleanup();
}

TEST_F(ConnectSimTest, SelectWaitsForTheFirstConnectDoneAndSortsThemIntoTheirSets) {
  sim::SetConnectResult(sim::kScriptedAddress, 20481, 0);
  sim::SetConnectResult(sim::kScriptedAddress, 20482, WSAETIMEDOUT);
  Start();
  SOCKET refused = Connecting(sim::kScriptedAddress, 20480);
  SOCKET accepted = Connecting(sim::kScriptedAddress, 20481);
  SOCKET silent = Connecting(sim::kScriptedAddress, 20482);
  EXPECT_EQ(sim::ElapsedMs(), 0u);
  // A connect under way is not started again.
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(20480);
  target.sin_addr.s_addr = inet_addr(sim::kScriptedAddress);
  EXPECT_EQ(connect(refused, reinterpret_cast<sockaddr*>(&target), sizeof target), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEALREADY);

  fd_set writable;
  fd_set failed;
  auto Wait = [&](std::vector<SOCKET> sockets) {
    FD_ZERO(&writable);
    for (SOCKET s : sockets) FD_SET(s, &writable);
    failed = writable;
    timeval wait{21, 0};
    return select(0, nullptr, &writable, &failed, &wait);
  };
  EXPECT_EQ(Wait({refused, accepted, silent}), 1);  // the accepted one, at once
  EXPECT_EQ(sim::ElapsedMs(), 0u);
  EXPECT_TRUE(FD_ISSET(accepted, &writable));
  EXPECT_EQ(failed.fd_count, 0u);
  EXPECT_EQ(SocketError(accepted), 0);

  EXPECT_EQ(Wait({refused, silent}), 1);  // the refusal, after 2 s
  EXPECT_EQ(sim::ElapsedMs(), 2000u);
  EXPECT_EQ(writable.fd_count, 0u);
  EXPECT_TRUE(FD_ISSET(refused, &failed));
  EXPECT_FALSE(FD_ISSET(silent, &failed));
  EXPECT_EQ(SocketError(refused), WSAECONNREFUSED);
  EXPECT_EQ(SocketError(refused), 0);  // read once

  // Nobody answers: the wait ends with its time-out, the sets emptied.
  FD_ZERO(&writable);
  FD_SET(silent, &writable);
  failed = writable;
  timeval wait{5, 500000};
  EXPECT_EQ(select(0, nullptr, &writable, &failed, &wait), 0);
  EXPECT_EQ(sim::ElapsedMs(), 7500u);
  EXPECT_EQ(writable.fd_count + failed.fd_count, 0u);
  // The system gives it up 21 s after it began.
  FD_SET(silent, &failed);
  wait = {60, 0};
  EXPECT_EQ(select(0, nullptr, nullptr, &failed, &wait), 1);
  EXPECT_EQ(sim::ElapsedMs(), 21000u);
  EXPECT_EQ(SocketError(silent), WSAETIMEDOUT);
  for (SOCKET s : {refused, accepted, silent}) closesocket(s);
  WSACleanup();
}

TEST_F(ConnectSimTest, ArgumentsOfTheNonBlockingCallsAreChecked) {
  Start();
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  ULONG on = 1;
  int value = 0;
  int length = sizeof value;
  EXPECT_EQ(ioctlsocket(s, 0x4004667F, &on), SOCKET_ERROR);  // FIONREAD
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  EXPECT_EQ(ioctlsocket(s, FIONBIO, nullptr), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(ioctlsocket(s + 1000, FIONBIO, &on), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(getsockopt(s, 6, SO_ERROR, reinterpret_cast<char*>(&value), &length), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  EXPECT_EQ(getsockopt(s, SOL_SOCKET, 0x1008, reinterpret_cast<char*>(&value), &length), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
  length = 2;
  EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&value), &length), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  fd_set set;
  FD_ZERO(&set);
  timeval wait{1, 0};
  EXPECT_EQ(select(0, &set, &set, &set, &wait), SOCKET_ERROR);  // nothing to wait for
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  FD_SET(s + 1000, &set);
  EXPECT_EQ(select(0, nullptr, &set, nullptr, &wait), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  // A socket is put in a set once, and a set holds FD_SETSIZE of them.
  FD_ZERO(&set);
  FD_SET(s, &set);
  FD_SET(s, &set);
  EXPECT_EQ(set.fd_count, 1u);
  for (SOCKET other = 1; other <= 2 * FD_SETSIZE; ++other) FD_SET(s + other, &set);
  EXPECT_EQ(set.fd_count, static_cast<u_int>(FD_SETSIZE));
  closesocket(s);
  WSACleanup();
  EXPECT_EQ(select(0, nullptr, &set, nullptr, &wait), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
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
  // Windows NT 4.0 to Server 2003: their own codes for a buffer too small.
  EXPECT_EQ(Echo("10.0.0.53", reply, 59), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(IP_BUF_TOO_SMALL));
  EXPECT_EQ(Echo("10.0.0.53", reply, 0), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 6, 1, 7601, "Service Pack 1"});
  EXPECT_EQ(Echo("10.0.0.53", reply, 59), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(IP_GENERAL_FAILURE));
  EXPECT_EQ(Echo("10.0.0.53", reply, 0), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Echo("10.0.0.53", reply, 60), 1u);
  EXPECT_EQ(reply[12], 32);  // DataSize
  // Every buffer size given is recorded, the refused ones too.
  std::vector<DWORD> sizes;
  for (const sim::EchoRequest& echo : sim::EchoRequests()) sizes.push_back(echo.replySize);
  EXPECT_EQ(sizes, (std::vector<DWORD>{59, 59, 60}));
}

TEST_F(IcmpSimTest, RoutersErrorNeedsEightBytesBeyondTheRecordAndData) {
  for (ULONG status : {static_cast<ULONG>(IP_DEST_HOST_UNREACHABLE), static_cast<ULONG>(IP_TTL_EXPIRED_TRANSIT)}) {
    sim::AnswerEcho("10.0.0.53", 3, status);
    BYTE reply[68] = {};
    EXPECT_EQ(Echo("10.0.0.53", reply, 60), 0u) << status;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(IP_GENERAL_FAILURE)) << status;
    EXPECT_EQ(Echo("10.0.0.53", reply, 68), 1u) << status;
    ICMP_ECHO_REPLY record;
    std::memcpy(&record, reply, sizeof record);
    EXPECT_EQ(record.Status, status);
  }
  // An answer needs no more than the record and the data.
  sim::AnswerEcho("10.0.0.53", 3);
  BYTE reply[60] = {};
  EXPECT_EQ(Echo("10.0.0.53", reply, 60), 1u);
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
