// WinSock 1.1 and ICMP echoes, on loopback and this machine's own address
// only, with listeners on ports the system picks.
#include <cstdio>

#include "conformance.h"

#ifdef CVN_SIM
#include "net_listener.h"
#endif

namespace {

const char kWinsock[] = "WinSock";
const char kIcmp[] = "ICMP";

// WinSock 1.1 for the length of a case.
struct Started {
  Started() { ok = WSAStartup(MAKEWORD(1, 1), &data) == 0; }
  ~Started() {
    if (ok) WSACleanup();
  }
  WSADATA data;
  bool ok = false;
};

// A TCP listener on address, port chosen by the system, until destroyed.
// The simulation reaches the host's sockets, so there it is a host socket.
#ifdef CVN_SIM
using Listener = testnet::Listener;
#else
class Listener {
 public:
  explicit Listener(const std::string& address) {
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = inet_addr(address.c_str());
    int length = sizeof where;
    if (socket_ == INVALID_SOCKET || bind(socket_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        listen(socket_, 4) != 0 || getsockname(socket_, reinterpret_cast<sockaddr*>(&where), &length) != 0)
      return;
    port_ = ntohs(where.sin_port);
  }
  ~Listener() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  bool ok() const { return port_ != 0; }
  int port() const { return port_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  int port_ = 0;
};
#endif

// An address in network byte order read as a number, most significant byte first.
unsigned long HostOrder(unsigned long networkOrder) {
  unsigned char bytes[4];
  std::memcpy(bytes, &networkOrder, 4);
  return (static_cast<unsigned long>(bytes[0]) << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
}

int Connect(const char* address, int port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return WSAGetLastError();
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<u_short>(port));
  where.sin_addr.s_addr = inet_addr(address);
  int result = connect(s, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 ? 0 : WSAGetLastError();
  closesocket(s);
  return result;
}

// This machine's own address: what its own name resolves to first.
std::string OwnAddress() {
  char name[256];
  if (gethostname(name, sizeof name) != 0) return "";
  hostent* host = gethostbyname(name);
  if (!host || host->h_addrtype != AF_INET || !host->h_addr_list[0]) return "";
  in_addr address;
  std::memcpy(&address, host->h_addr_list[0], sizeof address);
  return inet_ntoa(address);
}

// ---- Start-up ----------------------------------------------------------------------------

CASE(kWinsock, "start-up grants version 1.1 and balances with clean-up") {
  WSADATA data;
  std::memset(&data, 0, sizeof data);
  CHECK_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  CHECK_EQ(data.wVersion, MAKEWORD(1, 1));
  CHECK_EQ(WSACleanup(), 0);
}

WINE_DIFFERS(kWinsock, "a host name asked before start-up fails with 10093",
             "Wine answers gethostname without WSAStartup; Windows requires the start-up first") {
  char name[64];
  CHECK_EQ(gethostname(name, sizeof name), SOCKET_ERROR);
  CHECK_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

CASE(kWinsock, "a socket asked for before start-up fails with 10093") {
  CHECK(socket(AF_INET, SOCK_STREAM, 0) == INVALID_SOCKET);
  CHECK_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

CASE(kWinsock, "a clean-up without start-up fails with 10093") {
  CHECK_EQ(WSACleanup(), SOCKET_ERROR);
  CHECK_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

// ---- Addresses ---------------------------------------------------------------------------

struct AddressRow {
  const char* text;
  unsigned long hostOrder;
};

const AddressRow kAddresses[] = {
    {"127.0.0.1", 0x7F000001},   {"192.0.2.17", 0xC0000211},   {"10.1", 0x0A000001},
    {"10.1.2", 0x0A010002},      {"0x7f.1", 0x7F000001},       {"255.255.255.255", 0xFFFFFFFF},
    {"1.2.3.4.5", 0xFFFFFFFF},   {"", 0xFFFFFFFF},             {"abc", 0xFFFFFFFF},
    {"256.1.1.1", 0xFFFFFFFF},   {"0", 0x00000000},            {"017.0.0.1", 0x0F000001},
};

const bool kAddressCases = [] {
  for (const AddressRow& row : kAddresses) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lX", row.hostOrder);
    conformance::Add(kWinsock, std::string("inet_addr of \"") + row.text + "\" is " + hex, [&row] {
      Started winsock;
      unsigned long value = inet_addr(row.text);
      CHECK_EQ(HostOrder(value), row.hostOrder);
    });
  }
  return true;
}();

CASE(kWinsock, "inet_ntoa gives the dotted form") {
  Started winsock;
  in_addr address;
  const unsigned char bytes[4] = {192, 0, 2, 17};
  std::memcpy(&address.s_addr, bytes, 4);
  CHECK_STR(inet_ntoa(address), "192.0.2.17");
}

CASE(kWinsock, "htons swaps the bytes of a port") {
  CHECK_EQ(htons(0x1234), 0x3412);
  CHECK_EQ(htons(111), 0x6F00);
}

// ---- Names ------------------------------------------------------------------------------------

CASE(kWinsock, "the host name must fit with its terminator") {
  Started winsock;
  char name[256];
  REQUIRE(gethostname(name, sizeof name) == 0);
  int length = static_cast<int>(std::strlen(name));
  CHECK(length > 0);
  CHECK_EQ(gethostname(name, length), SOCKET_ERROR);
  CHECK_EQ(WSAGetLastError(), WSAEFAULT);
  CHECK_EQ(gethostname(name, length + 1), 0);
}

CASE(kWinsock, "localhost resolves to 127.0.0.1") {
  Started winsock;
  hostent* host = gethostbyname("localhost");
  REQUIRE(host != nullptr);
  CHECK_EQ(host->h_addrtype, AF_INET);
  CHECK_EQ(host->h_length, 4);
  in_addr address;
  std::memcpy(&address, host->h_addr_list[0], sizeof address);
  CHECK_STR(inet_ntoa(address), "127.0.0.1");
}

CASE(kWinsock, "this machine's own name resolves to an address") {
  Started winsock;
  CHECK(!OwnAddress().empty());
}

// ---- Connections ------------------------------------------------------------------------------

CASE(kWinsock, "a connect to a listener on loopback is accepted") {
  Started winsock;
  Listener listener("127.0.0.1");
  REQUIRE(listener.ok());
  CHECK_EQ(Connect("127.0.0.1", listener.port()), 0);
}

CASE(kWinsock, "a connect to a listener on this machine's own address is accepted") {
  Started winsock;
  std::string own = OwnAddress();
  REQUIRE(!own.empty());
  Listener listener(own);
  REQUIRE(listener.ok());
  CHECK_EQ(Connect(own.c_str(), listener.port()), 0);
}

CASE(kWinsock, "a connect to a closed port on loopback is refused with 10061") {
  Started winsock;
  int port = 0;
  {
    Listener listener("127.0.0.1");
    REQUIRE(listener.ok());
    port = listener.port();
  }
  CHECK_EQ(Connect("127.0.0.1", port), WSAECONNREFUSED);
}

// ---- Non-blocking connects ---------------------------------------------------------------

// A non-blocking socket whose connect to address:port is under way; *answer
// is what connect said (10035 expected). Source: MSDN, ioctlsocket (FIONBIO)
// and connect ("With a nonblocking socket ... WSAGetLastError will return
// WSAEWOULDBLOCK").
SOCKET Connecting(const char* address, int port, int* answer) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return s;
  ULONG on = 1;
  *answer = ioctlsocket(s, FIONBIO, &on) == 0 ? 0 : WSAGetLastError();
  if (*answer != 0) return s;
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<u_short>(port));
  where.sin_addr.s_addr = inet_addr(address);
  *answer = connect(s, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 ? 0 : WSAGetLastError();
  return s;
}

// Waits up to 21 s for `s` to be writable or in the exception set; the
// number select gives, with the sets it left.
int AwaitConnect(SOCKET s, fd_set* writable, fd_set* failed) {
  FD_ZERO(writable);
  FD_SET(s, writable);
  *failed = *writable;
  timeval wait{21, 0};
  return select(0, nullptr, writable, failed, &wait);
}

int SocketError(SOCKET s) {
  int value = -1;
  int length = sizeof value;
  return getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&value), &length) == 0 ? value
                                                                                                : WSAGetLastError();
}

// A port of loopback where nobody listens.
int ClosedLoopbackPort() {
  Listener listener("127.0.0.1");
  return listener.ok() ? listener.port() : 0;
}

CASE(kWinsock, "a non-blocking connect answers 10035, then select finds it writable when accepted") {
  // Source: MSDN, connect and select ("writefds: If processing a connect
  // call (nonblocking), connection has succeeded").
  Started winsock;
  Listener listener("127.0.0.1");
  REQUIRE(listener.ok());
  int answer = -1;
  SOCKET s = Connecting("127.0.0.1", listener.port(), &answer);
  REQUIRE(s != INVALID_SOCKET);
  CHECK_EQ(answer, WSAEWOULDBLOCK);
  fd_set writable;
  fd_set failed;
  CHECK_EQ(AwaitConnect(s, &writable, &failed), 1);
  CHECK(FD_ISSET(s, &writable));
  CHECK(!FD_ISSET(s, &failed));
  CHECK_EQ(SocketError(s), 0);
  CHECK_EQ(closesocket(s), 0);
}

CASE(kWinsock, "a refused non-blocking connect is in select's exception set, 10061 its SO_ERROR") {
  // Source: MSDN, select ("exceptfds: If processing a connect call
  // (nonblocking), connection attempt failed") and getsockopt (SO_ERROR).
  Started winsock;
  int port = ClosedLoopbackPort();
  REQUIRE(port != 0);
  int answer = -1;
  SOCKET s = Connecting("127.0.0.1", port, &answer);
  REQUIRE(s != INVALID_SOCKET);
  CHECK_EQ(answer, WSAEWOULDBLOCK);
  fd_set writable;
  fd_set failed;
  CHECK_EQ(AwaitConnect(s, &writable, &failed), 1);
  CHECK(FD_ISSET(s, &failed));
  CHECK(!FD_ISSET(s, &writable));
  CHECK_EQ(SocketError(s), WSAECONNREFUSED);
  CHECK_EQ(closesocket(s), 0);
}

WINE_DIFFERS(kWinsock, "a connect to a closed port on loopback is refused only after about 2 s",
             "Wine passes the host's refusal on at once; Windows sends its SYN again after the reset") {
  // Source: libuv pull request 2896 ("On Windows when connecting to an
  // unavailable port, the connect() will retry for 2s, even on loopback
  // devices"); curl issue 14144 (2 s to refuse 127.0.0.1).
  Started winsock;
  int port = ClosedLoopbackPort();
  REQUIRE(port != 0);
  DWORD start = GetTickCount();
  CHECK_EQ(Connect("127.0.0.1", port), WSAECONNREFUSED);
  DWORD waited = GetTickCount() - start;
  CHECK(waited >= 1500 && waited <= 3000);
}

CASE(kWinsock, "select with no socket to wait for fails with 10022") {
  // Source: MSDN, select (WSAEINVAL: "all three descriptor parameters were NULL").
  Started winsock;
  timeval wait{0, 0};
  CHECK_EQ(select(0, nullptr, nullptr, nullptr, &wait), SOCKET_ERROR);
  CHECK_EQ(WSAGetLastError(), WSAEINVAL);
}

CASE(kWinsock, "ioctlsocket, getsockopt and select refuse a closed socket with 10038") {
  // Source: MSDN, ioctlsocket, getsockopt and select (WSAENOTSOCK).
  Started winsock;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  REQUIRE(s != INVALID_SOCKET);
  CHECK_EQ(SocketError(s), 0);
  CHECK_EQ(closesocket(s), 0);
  ULONG on = 1;
  CHECK_EQ(ioctlsocket(s, FIONBIO, &on), SOCKET_ERROR);
  CHECK_EQ(WSAGetLastError(), WSAENOTSOCK);
  CHECK_EQ(SocketError(s), WSAENOTSOCK);
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{0, 0};
  CHECK_EQ(select(0, nullptr, &set, nullptr, &wait), SOCKET_ERROR);
  CHECK_EQ(WSAGetLastError(), WSAENOTSOCK);
}

CASE(kWinsock, "a socket closes once") {
  Started winsock;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  REQUIRE(s != INVALID_SOCKET);
  CHECK_EQ(closesocket(s), 0);
  CHECK_EQ(closesocket(s), SOCKET_ERROR);
  CHECK_EQ(WSAGetLastError(), WSAENOTSOCK);
}

#ifdef CVN_SIM
NATIVE_CASE(kWinsock, "an unknown name fails with 11001") {
  sim::ScriptNetwork();
  Started winsock;
  CHECK(gethostbyname("nowhere.velmora.test") == nullptr);
  CHECK_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
}
#endif

// ---- ICMP echoes ------------------------------------------------------------------------------

DWORD Echo(const std::string& address, BYTE* reply, DWORD replySize) {
  HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) return 0;
  BYTE payload[32];
  for (int i = 0; i < 32; ++i) payload[i] = static_cast<BYTE>(i);
  IP_OPTION_INFORMATION options{};
  options.Ttl = 32;
  DWORD replies = IcmpSendEcho(icmp, inet_addr(address.c_str()), payload, sizeof payload, &options, reply,
                               replySize, 5000);
  DWORD error = GetLastError();
  CHECK(IcmpCloseHandle(icmp));
  SetLastError(error);
  return replies;
}

void CheckEchoReply(const std::string& address) {
  alignas(8) BYTE reply[128] = {};
  REQUIRE(Echo(address, reply, sizeof reply) == 1);
  ICMP_ECHO_REPLY record;
  std::memcpy(&record, reply, sizeof record);
  CHECK_EQ(record.Status, IP_SUCCESS);
  CHECK_EQ(record.DataSize, 32);
  CHECK_EQ(record.Address, inet_addr(address.c_str()));
  CHECK(record.RoundTripTime < 5000);
  // The data follows the record.
  const BYTE* data = reply + sizeof record;
  for (int i = 0; i < 32; ++i) CHECK_EQ(data[i], i);
}

CASE(kIcmp, "an echo to loopback is answered with the data sent") {
  Started winsock;
  CheckEchoReply("127.0.0.1");
}

CASE(kIcmp, "an echo to this machine's own address is answered") {
  Started winsock;
  std::string own = OwnAddress();
  REQUIRE(!own.empty());
  CheckEchoReply(own);
}

// Windows Server 2003 and earlier answer IcmpSendEcho's buffer checks with
// codes of their own. Source: Wine, dlls/iphlpapi/tests/iphlpapi.c,
// test_IcmpSendEcho (broken(...) /* <= 2003 */).
bool EchoCodesOfNt() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwMajorVersion < 6;
}

CASE(kIcmp, "an echo buffer one byte short of the record and the data fails: 11001 to Server 2003, 11050 after") {
  // Source: Wine, iphlpapi.c, test_IcmpSendEcho (replysz = sizeof(replydata) - 1).
  alignas(8) BYTE reply[sizeof(ICMP_ECHO_REPLY) + 32] = {};
  CHECK_EQ(Echo("127.0.0.1", reply, sizeof reply - 1), 0u);
  CHECK_EQ(GetLastError(), static_cast<DWORD>(EchoCodesOfNt() ? IP_BUF_TOO_SMALL : IP_GENERAL_FAILURE));
}

CASE(kIcmp, "an echo buffer of no bytes fails: 122 to Server 2003, 87 after") {
  // Source: Wine, iphlpapi.c, test_IcmpSendEcho (ReplySize 0).
  alignas(8) BYTE reply[sizeof(ICMP_ECHO_REPLY) + 32] = {};
  CHECK_EQ(Echo("127.0.0.1", reply, 0), 0u);
  CHECK_EQ(GetLastError(), static_cast<DWORD>(EchoCodesOfNt() ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER));
}

CASE(kIcmp, "an echo buffer of exactly the record and the data takes the answer") {
  // Source: Wine, iphlpapi.c, test_IcmpSendEcho (replysz = sizeof(replydata)).
  alignas(8) BYTE reply[sizeof(ICMP_ECHO_REPLY) + 32] = {};
  CHECK_EQ(Echo("127.0.0.1", reply, sizeof reply), 1u);
}

#ifdef CVN_SIM
NATIVE_CASE(kIcmp, "a router's error without 8 bytes beyond the record and the data fails with 11050") {
  // Source: MSDN, IcmpSendEcho (ReplySize: "large enough to hold 8 more
  // bytes of data (the size of an ICMP error message)").
  sim::AnswerEcho("10.0.0.53", 3, IP_TTL_EXPIRED_TRANSIT);
  alignas(8) BYTE reply[sizeof(ICMP_ECHO_REPLY) + 32 + 8] = {};
  CHECK_EQ(Echo("10.0.0.53", reply, sizeof reply - 8), 0u);
  CHECK_EQ(GetLastError(), static_cast<DWORD>(IP_GENERAL_FAILURE));
  CHECK_EQ(Echo("10.0.0.53", reply, sizeof reply), 1u);
  ICMP_ECHO_REPLY record;
  std::memcpy(&record, reply, sizeof record);
  CHECK_EQ(record.Status, static_cast<ULONG>(IP_TTL_EXPIRED_TRANSIT));
}
#endif

CASE(kIcmp, "an echo handle closes once") {
  HANDLE icmp = IcmpCreateFile();
  REQUIRE(icmp != INVALID_HANDLE_VALUE);
  CHECK(IcmpCloseHandle(icmp));
}

#ifdef CVN_SIM
NATIVE_CASE(kIcmp, "an echo nobody answers times out after the whole wait with 11010") {
  sim::DropEcho("10.0.0.53");
  BYTE reply[64] = {};
  CHECK_EQ(Echo("10.0.0.53", reply, sizeof reply), 0);
  CHECK_EQ(GetLastError(), IP_REQ_TIMED_OUT);
  CHECK_EQ(sim::ElapsedMs(), 5000);
}
#endif

// ---- The libraries, loaded by their full path ----------------------------------------

const char kLibraries[] = "libraries";

std::string SystemLibrary(const char* name) {
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, sizeof system);
  return length == 0 || length >= sizeof system ? std::string() : std::string(system) + "\\" + name;
}

CASE(kLibraries, "wsock32.dll and icmp.dll load from the system directory and give their calls") {
  const struct {
    const char* library;
    std::vector<const char*> calls;
  } libraries[] = {{"wsock32.dll",
                    {"WSAStartup", "WSACleanup", "WSAGetLastError", "socket", "connect", "closesocket",
                     "gethostname", "gethostbyname", "gethostbyaddr", "inet_addr", "inet_ntoa", "htons",
                     "ioctlsocket", "select", "getsockopt", "__WSAFDIsSet"}},
                   {"icmp.dll", {"IcmpCreateFile", "IcmpCloseHandle", "IcmpSendEcho"}}};
  for (const auto& entry : libraries) {
    HMODULE module = LoadLibraryA(SystemLibrary(entry.library).c_str());
    REQUIRE(module != NULL);
    for (const char* call : entry.calls) CHECK(GetProcAddress(module, call) != NULL);
    CHECK(FreeLibrary(module));
  }
}

CASE(kLibraries, "a call the library does not export is not found with 127") {
  HMODULE module = LoadLibraryA(SystemLibrary("wsock32.dll").c_str());
  REQUIRE(module != NULL);
  CHECK(GetProcAddress(module, "NoSuchCall") == NULL);
  CHECK_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  CHECK(FreeLibrary(module));
}

CASE(kLibraries, "a library path with no file behind it is not found with 126") {
  CHECK(LoadLibraryA((std::string(conformance::kScratchDir) + "\\wsock32.dll").c_str()) == NULL);
  CHECK_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

CASE(kLibraries, "a library loaded twice is one module, released once per load") {
  std::string path = SystemLibrary("icmp.dll");
  HMODULE first = LoadLibraryA(path.c_str());
  HMODULE second = LoadLibraryA(path.c_str());
  REQUIRE(first != NULL);
  CHECK_EQ(second, first);
  CHECK(FreeLibrary(first));
  CHECK(FreeLibrary(second));
}

// ---- The IP helper (Windows 2000 and later) ------------------------------------------

const char kIpHelper[] = "IP helper";

// The IP helper comes with Windows 2000; the simulation poses as it for
// these cases (Wine has it in every posing).
void PoseAsWindows2000() {
#ifdef CVN_SIM
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Service Pack 4"});
#endif
}

// GetIpErrorString from iphlpapi.dll loaded by its full path (never
// imported: Windows NT 3.51 and 4.0 have no such library).
DWORD IpErrorString(ULONG status, WCHAR* text, DWORD* size) {
  HMODULE module = LoadLibraryA(SystemLibrary("iphlpapi.dll").c_str());
  if (module == NULL) return GetLastError();
  auto call = reinterpret_cast<decltype(&GetIpErrorString)>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(module, "GetIpErrorString")));
  DWORD result = call == NULL ? GetLastError() : call(status, text, size);
  FreeLibrary(module);
  return result;
}

WINE_DIFFERS(kIpHelper, "an echo's status has a text of one line, its length in characters given back",
             "Wine's iphlpapi.dll does not export GetIpErrorString") {
  PoseAsWindows2000();
  // Source: MSDN, GetIpErrorString: Size is the buffer's length in
  // characters without the terminating null.
  for (ULONG status : {static_cast<ULONG>(IP_REQ_TIMED_OUT), static_cast<ULONG>(IP_DEST_HOST_UNREACHABLE)}) {
    WCHAR text[256] = {};
    DWORD size = 255;
    CHECK_EQ(IpErrorString(status, text, &size), static_cast<DWORD>(NO_ERROR));
    size_t length = 0;
    while (length < 256 && text[length] != 0) ++length;
    CHECK(length > 0 && length < 256);
    CHECK_EQ(size, static_cast<DWORD>(length));
    for (size_t i = 0; i < length; ++i) CHECK(text[i] != '\n');
  }
}

#ifdef CVN_SIM
NATIVE_CASE(kIpHelper, "Windows NT 4.0 has no IP helper library: loading it fails with 126") {
  CHECK(LoadLibraryA(SystemLibrary("iphlpapi.dll").c_str()) == NULL);
  CHECK_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

NATIVE_CASE(kIpHelper, "a text longer than the buffer gives 122 and the length it needs") {
  PoseAsWindows2000();
  WCHAR text[4] = {};
  DWORD size = 3;
  CHECK_EQ(IpErrorString(IP_REQ_TIMED_OUT, text, &size), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  CHECK_EQ(size, 18u);  // "Request timed out."
}
#endif

}  // namespace
