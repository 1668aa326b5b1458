// WinSock 1.1, the ICMP echo service and the computer name: the host's own
// (through sim_net_host.cpp) or a scripted machine (see sim_net.h).
#include "sim_internal.h"
#include "sim_net_host.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

namespace sim {
namespace {

struct EchoScript {
  bool answers;
  DWORD ms;
  ULONG status;
};

// A hostent and everything it points to, in one heap object: the next
// look-up replaces it, so a caller that keeps the old pointer reads freed
// memory (and the sanitizer says so), as it reads stale data on Windows.
struct HostentBlock {
  hostent entry{};
  std::string name;
  std::vector<std::string> aliases;
  std::vector<char*> aliasList;
  std::vector<std::array<char, 4>> addresses;
  std::vector<char*> addressList;
};

// A socket of the simulation: its host descriptor (-1 when scripted) and its
// connect, which a non-blocking socket leaves pending until `readyAt`.
struct SocketState {
  int descriptor = -1;
  bool nonBlocking = false;
  enum { Idle, Pending, Connected, Failed } state = Idle;
  int error = 0;  // the connect's result
  uint64_t readyAt = 0;
};

struct NetState {
  bool scripted = false;
  int started = 0;
  std::string hostName;
  std::string computerName;
  std::vector<host::HostEntry> hosts;
  std::map<std::string, int> lookupErrors;  // by lower-case name
  std::map<uint32_t, std::string> reverseNames;
  std::map<uint32_t, int> reverseErrors;
  std::map<uint32_t, EchoScript> echoes;
  std::map<std::pair<uint32_t, int>, int> connects;
  std::map<SOCKET, SocketState> sockets;
  std::unique_ptr<HostentBlock> hostent;
  bool recordsWithoutName = false;
  bool recordsWithoutAddressList = false;
  char dotted[16] = {};
  std::vector<EchoRequest> echoRequests;
  std::vector<ConnectAttempt> connectAttempts;
  std::map<ULONG, std::wstring> ipStatusTexts;
};

NetState& Net() {
  static NetState state;
  return state;
}

// inet_addr as WinSock parses it: one to four parts in decimal, octal (0...)
// or hexadecimal (0x...), separated by dots and ended by the end of the text
// or white space; the last part fills the remaining bytes.
ULONG ParseAddress(const char* text) {
  if (!text) return INADDR_NONE;
  uint64_t parts[4];
  int count = 0;
  const char* p = text;
  for (;;) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return INADDR_NONE;
    uint64_t value = 0;
    int base = 10;
    if (*p == '0') {
      ++p;
      base = 8;
      if (*p == 'x' || *p == 'X') {
        ++p;
        base = 16;
      }
    }
    for (;; ++p) {
      int c = static_cast<unsigned char>(*p);
      int digit;
      if (std::isdigit(c)) {
        digit = c - '0';
      } else if (base == 16 && std::isxdigit(c)) {
        digit = std::tolower(c) - 'a' + 10;
      } else {
        break;
      }
      if (digit >= base) return INADDR_NONE;
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
      if (value > 0xffffffffu) return INADDR_NONE;
    }
    parts[count++] = value;
    if (*p != '.') break;
    if (count == 4) return INADDR_NONE;
    ++p;
  }
  if (*p && !std::isspace(static_cast<unsigned char>(*p))) return INADDR_NONE;
  static const uint64_t kLastPartLimit[] = {0xffffffffu, 0xffffffu, 0xffffu, 0xffu};
  uint64_t value = 0;
  for (int i = 0; i < count - 1; ++i) {
    if (parts[i] > 0xff) return INADDR_NONE;
    value |= parts[i] << (24 - 8 * i);
  }
  if (parts[count - 1] > kLastPartLimit[count - 1]) return INADDR_NONE;
  value |= parts[count - 1];
  // Network byte order: the first part is the first byte in memory.
  uint32_t host = static_cast<uint32_t>(value);
  uint8_t bytes[4] = {static_cast<uint8_t>(host >> 24), static_cast<uint8_t>(host >> 16),
                      static_cast<uint8_t>(host >> 8), static_cast<uint8_t>(host)};
  uint32_t net;
  std::memcpy(&net, bytes, sizeof net);
  return net;
}

std::string Dotted(uint32_t net) {
  uint8_t b[4];
  std::memcpy(b, &net, sizeof b);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

// Echo failures that come back from a router as an ICMP error message: the
// call returns that reply, its status the error, rather than failing.
// The ICMP error message a router sends back: its header and the first 8
// bytes of what it could not deliver.
constexpr DWORD kIcmpErrorSize = 8;

bool ArrivesAsReply(DWORD status) {
  switch (status) {
    case IP_DEST_NET_UNREACHABLE:
    case IP_DEST_HOST_UNREACHABLE:
    case IP_DEST_PORT_UNREACHABLE:
    case IP_TTL_EXPIRED_TRANSIT:
    case IP_BAD_DESTINATION:
      return true;
    default:
      return false;
  }
}

// How long a connect with this result takes on Windows.
DWORD ConnectMs(int result) {
  if (result == WSAECONNREFUSED) return kRefusedConnectMs;
  return result == WSAETIMEDOUT ? kConnectGiveUpMs : 0;
}

// A pending connect whose time has come is done.
SocketState& Settled(SocketState& socket) {
  if (socket.state == SocketState::Pending && socket.readyAt <= ElapsedMs())
    socket.state = socket.error == 0 ? SocketState::Connected : SocketState::Failed;
  return socket;
}

// When `s` shows in a set of select: writable once connected, exceptional
// once its connect failed (UINT64_MAX: not in this wait).
uint64_t ReadyAt(const SocketState& socket, bool write) {
  bool accepted = socket.error == 0;
  switch (socket.state) {
    case SocketState::Pending:
      return accepted == write ? socket.readyAt : UINT64_MAX;
    case SocketState::Connected:
      return write ? 0 : UINT64_MAX;
    case SocketState::Failed:
      return write ? UINT64_MAX : 0;
    default:
      return UINT64_MAX;
  }
}

// Keeps in `set` the sockets ready by `now`; their number.
int KeepReady(fd_set* set, bool write, uint64_t now) {
  if (!set) return 0;
  u_int kept = 0;
  for (u_int i = 0; i < set->fd_count; ++i) {
    SocketState& socket = Settled(Net().sockets[set->fd_array[i]]);
    if (ReadyAt(socket, write) <= now) set->fd_array[kept++] = set->fd_array[i];
  }
  set->fd_count = kept;
  return static_cast<int>(kept);
}

uint32_t ScriptAddress(const std::string& dotted) {
  ULONG value = ParseAddress(dotted.c_str());
  if (value == INADDR_NONE) throw std::invalid_argument("not a dotted address: " + dotted);
  return value;
}

void SetDefaults() {
  NetState& n = Net();
  n.hostName = kScriptedHostName;
  n.computerName = kScriptedComputerName;
  n.hosts.push_back({kScriptedFqdn, {kScriptedHostName}, {ScriptAddress(kScriptedAddress)}});
  n.hosts.push_back({"localhost", {}, {ScriptAddress("127.0.0.1")}});
  n.reverseNames[ScriptAddress(kScriptedAddress)] = kScriptedFqdn;
  n.reverseNames[ScriptAddress("127.0.0.1")] = "localhost";
}

hostent* Publish(const host::HostEntry& found) {
  auto block = std::make_unique<HostentBlock>();
  block->name = found.name;
  block->aliases = found.aliases;
  for (std::string& alias : block->aliases) block->aliasList.push_back(alias.data());
  block->aliasList.push_back(nullptr);
  for (uint32_t address : found.addresses) {
    std::array<char, 4> bytes;
    std::memcpy(bytes.data(), &address, 4);
    block->addresses.push_back(bytes);
  }
  for (auto& bytes : block->addresses) block->addressList.push_back(bytes.data());
  block->addressList.push_back(nullptr);
  block->entry.h_name = block->name.data();
  block->entry.h_aliases = block->aliasList.data();
  block->entry.h_addrtype = AF_INET;
  block->entry.h_length = 4;
  block->entry.h_addr_list = block->addressList.data();
  if (Net().recordsWithoutName) block->entry.h_name = nullptr;
  if (Net().recordsWithoutAddressList) block->entry.h_addr_list = nullptr;
  Net().hostent = std::move(block);
  return &Net().hostent->entry;
}

int HostNameNow(std::string* name) {
  if (Net().scripted) {
    *name = Net().hostName;
    return 0;
  }
  return host::HostName(name);
}

int LookUpName(const std::string& name, host::HostEntry* found) {
  NetState& n = Net();
  if (!n.scripted) return host::LookUpName(name, found);
  auto error = n.lookupErrors.find(detail::Lower(name));
  if (error != n.lookupErrors.end()) return error->second;
  ULONG dotted = ParseAddress(name.c_str());
  if (dotted != INADDR_NONE) {
    *found = host::HostEntry{name, {}, {dotted}};
    return 0;
  }
  for (const host::HostEntry& entry : n.hosts) {
    bool match = detail::EqualsNoCase(entry.name, name);
    for (const std::string& alias : entry.aliases) match = match || detail::EqualsNoCase(alias, name);
    if (match) {
      *found = entry;
      return 0;
    }
  }
  return WSAHOST_NOT_FOUND;
}

int LookUpAddress(uint32_t address, host::HostEntry* found) {
  NetState& n = Net();
  if (!n.scripted) return host::LookUpAddress(address, found);
  auto error = n.reverseErrors.find(address);
  if (error != n.reverseErrors.end()) return error->second;
  auto name = n.reverseNames.find(address);
  if (name == n.reverseNames.end()) return WSAHOST_NOT_FOUND;
  *found = host::HostEntry{name->second, {}, {address}};
  return 0;
}

// Failure of a WinSock call: its error as the thread's last error.
template <typename T>
T Fail(int error, T result) {
  SetLastError(static_cast<DWORD>(error));
  return result;
}

}  // namespace

namespace detail {
void ResetNetwork() { Net() = NetState{}; }
}  // namespace detail

void ScriptNetwork() {
  if (Net().scripted) return;
  Net().scripted = true;
  SetDefaults();
}

bool NetworkScripted() { return Net().scripted; }

void SetHostName(const std::string& name) {
  ScriptNetwork();
  Net().hostName = name;
}

void SetComputerName(const std::string& name) {
  ScriptNetwork();
  Net().computerName = name;
}

void AddHost(const std::string& officialName, const std::vector<std::string>& addresses,
             const std::vector<std::string>& aliases) {
  ScriptNetwork();
  host::HostEntry entry{officialName, aliases, {}};
  for (const std::string& address : addresses) entry.addresses.push_back(ScriptAddress(address));
  // The newest record wins, as a later hosts line would replace the name.
  Net().hosts.insert(Net().hosts.begin(), entry);
}

void FailLookup(const std::string& name, int error) {
  ScriptNetwork();
  if (error == 0) {
    Net().lookupErrors.erase(detail::Lower(name));
  } else {
    Net().lookupErrors[detail::Lower(name)] = error;
  }
}

void AddReverse(const std::string& address, const std::string& officialName) {
  ScriptNetwork();
  Net().reverseNames[ScriptAddress(address)] = officialName;
  Net().reverseErrors.erase(ScriptAddress(address));
}

void FailReverseLookup(const std::string& address, int error) {
  ScriptNetwork();
  if (error == 0) {
    Net().reverseErrors.erase(ScriptAddress(address));
  } else {
    Net().reverseErrors[ScriptAddress(address)] = error;
  }
}

void AnswerEcho(const std::string& address, DWORD ms, ULONG status) {
  ScriptNetwork();
  Net().echoes[ScriptAddress(address)] = EchoScript{true, ms, status};
}

void DropEcho(const std::string& address) {
  ScriptNetwork();
  Net().echoes[ScriptAddress(address)] = EchoScript{false, 0, 0};
}

void SetConnectResult(const std::string& address, int port, int error) {
  ScriptNetwork();
  Net().connects[{ScriptAddress(address), port}] = error;
}

void SetIpStatusText(ULONG status, const std::wstring& text) { Net().ipStatusTexts[status] = text; }

void HandOutIncompleteRecords(bool withoutName, bool withoutAddressList) {
  Net().recordsWithoutName = withoutName;
  Net().recordsWithoutAddressList = withoutAddressList;
}

int WinsockStarted() { return Net().started; }
const std::vector<EchoRequest>& EchoRequests() { return Net().echoRequests; }
const std::vector<ConnectAttempt>& ConnectAttempts() { return Net().connectAttempts; }

}  // namespace sim

// ---- Win32 entry points ------------------------------------------------------------
using sim::Net;
namespace detail = sim::detail;
namespace host = sim::host;

extern "C" {

int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
  DWORD error;
  if (detail::ShouldFail("WSAStartup", &error)) return static_cast<int>(error);
  BYTE major = static_cast<BYTE>(wVersionRequested & 0xff);
  BYTE minor = static_cast<BYTE>(wVersionRequested >> 8);
  if (major == 0) return WSAVERNOTSUPPORTED;
  if (!lpWSAData) return WSAEFAULT;
  // This WinSock implements 1.0 to 2.2 and grants the version asked for.
  bool above = major > 2 || (major == 2 && minor > 2);
  std::memset(lpWSAData, 0, sizeof *lpWSAData);
  lpWSAData->wVersion = above ? MAKEWORD(2, 2) : wVersionRequested;
  lpWSAData->wHighVersion = MAKEWORD(2, 2);
  std::strcpy(lpWSAData->szDescription, "WinSock 2.0");
  std::strcpy(lpWSAData->szSystemStatus, "Running");
  lpWSAData->iMaxSockets = major < 2 ? 32767 : 0;
  lpWSAData->iMaxUdpDg = major < 2 ? 65467 : 0;
  ++Net().started;
  return 0;
}

int WINAPI WSACleanup(void) {
  DWORD error;
  if (detail::ShouldFail("WSACleanup", &error)) return sim::Fail(static_cast<int>(error), SOCKET_ERROR);
  if (Net().started == 0) return sim::Fail(WSANOTINITIALISED, SOCKET_ERROR);
  // The thread's look-up data does not outlive the last user.
  if (--Net().started == 0) Net().hostent.reset();
  return 0;
}

// WinSock keeps its error in the thread's last error.
int WINAPI WSAGetLastError(void) { return static_cast<int>(GetLastError()); }
void WINAPI WSASetLastError(int iError) { SetLastError(static_cast<DWORD>(iError)); }

SOCKET WINAPI socket(int af, int type, int protocol) {
  DWORD error;
  if (detail::ShouldFail("socket", &error)) return sim::Fail(static_cast<int>(error), INVALID_SOCKET);
  if (Net().started == 0) return sim::Fail(WSANOTINITIALISED, INVALID_SOCKET);
  if (af != AF_INET) return sim::Fail(WSAEAFNOSUPPORT, INVALID_SOCKET);
  if (type != SOCK_STREAM) return sim::Fail(WSAESOCKTNOSUPPORT, INVALID_SOCKET);
  if (protocol != 0 && protocol != IPPROTO_TCP) return sim::Fail(WSAEPROTONOSUPPORT, INVALID_SOCKET);
  int descriptor = -1;
  if (!Net().scripted) {
    int failure = host::OpenStreamSocket(&descriptor);
    if (failure) return sim::Fail(failure, INVALID_SOCKET);
  }
  SOCKET s = detail::NewHandle(sim::HandleKind::Socket);
  Net().sockets[s].descriptor = descriptor;
  return s;
}

int WINAPI connect(SOCKET s, const struct sockaddr* name, int namelen) {
  DWORD error;
  if (detail::ShouldFail("connect", &error)) return sim::Fail(static_cast<int>(error), SOCKET_ERROR);
  if (Net().started == 0) return sim::Fail(WSANOTINITIALISED, SOCKET_ERROR);
  auto socketEntry = Net().sockets.find(s);
  if (socketEntry == Net().sockets.end()) return sim::Fail(WSAENOTSOCK, SOCKET_ERROR);
  if (!name || namelen < static_cast<int>(sizeof(sockaddr_in))) return sim::Fail(WSAEFAULT, SOCKET_ERROR);
  sockaddr_in target;
  std::memcpy(&target, name, sizeof target);
  if (target.sin_family != AF_INET) return sim::Fail(WSAEAFNOSUPPORT, SOCKET_ERROR);
  if (target.sin_addr.s_addr == INADDR_ANY) return sim::Fail(WSAEADDRNOTAVAIL, SOCKET_ERROR);
  sim::SocketState& socket = sim::Settled(socketEntry->second);
  if (socket.state == sim::SocketState::Pending) return sim::Fail(WSAEALREADY, SOCKET_ERROR);
  if (socket.state == sim::SocketState::Connected) return sim::Fail(WSAEISCONN, SOCKET_ERROR);
  int port = (target.sin_port & 0xff) << 8 | target.sin_port >> 8;
  Net().connectAttempts.push_back({sim::Dotted(target.sin_addr.s_addr), port});
  int result = WSAECONNREFUSED;
  if (Net().scripted) {
    auto scripted = Net().connects.find({target.sin_addr.s_addr, port});
    if (scripted != Net().connects.end()) result = scripted->second;
  } else {
    // The host's own connect answers at once on this machine's addresses.
    result = host::Connect(socket.descriptor, target.sin_addr.s_addr, target.sin_port);
  }
  socket.error = result;
  if (socket.nonBlocking) {
    socket.state = sim::SocketState::Pending;
    socket.readyAt = sim::ElapsedMs() + sim::ConnectMs(result);
    return sim::Fail(WSAEWOULDBLOCK, SOCKET_ERROR);
  }
  Sleep(sim::ConnectMs(result));
  socket.state = result ? sim::SocketState::Failed : sim::SocketState::Connected;
  return result ? sim::Fail(result, SOCKET_ERROR) : 0;
}

int WINAPI ioctlsocket(SOCKET s, LONG cmd, ULONG* argp) {
  DWORD error;
  if (detail::ShouldFail("ioctlsocket", &error)) return sim::Fail(static_cast<int>(error), SOCKET_ERROR);
  if (Net().started == 0) return sim::Fail(WSANOTINITIALISED, SOCKET_ERROR);
  auto socketEntry = Net().sockets.find(s);
  if (socketEntry == Net().sockets.end()) return sim::Fail(WSAENOTSOCK, SOCKET_ERROR);
  // Of the commands WinSock 1.1 has, only the blocking mode is simulated.
  if (cmd != FIONBIO) return sim::Fail(WSAEINVAL, SOCKET_ERROR);
  if (!argp) return sim::Fail(WSAEFAULT, SOCKET_ERROR);
  socketEntry->second.nonBlocking = *argp != 0;
  return 0;
}

int WINAPI getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
  DWORD error;
  if (detail::ShouldFail("getsockopt", &error)) return sim::Fail(static_cast<int>(error), SOCKET_ERROR);
  if (Net().started == 0) return sim::Fail(WSANOTINITIALISED, SOCKET_ERROR);
  auto socketEntry = Net().sockets.find(s);
  if (socketEntry == Net().sockets.end()) return sim::Fail(WSAENOTSOCK, SOCKET_ERROR);
  if (level != SOL_SOCKET) return sim::Fail(WSAEINVAL, SOCKET_ERROR);
  // Only the socket's error is simulated.
  if (optname != SO_ERROR) return sim::Fail(WSAENOPROTOOPT, SOCKET_ERROR);
  if (!optval || !optlen || *optlen < static_cast<int>(sizeof(int))) return sim::Fail(WSAEFAULT, SOCKET_ERROR);
  sim::SocketState& socket = sim::Settled(socketEntry->second);
  int value = socket.state == sim::SocketState::Failed ? socket.error : 0;
  // Read once: the error is cleared by reading it.
  if (socket.state == sim::SocketState::Failed) socket.error = 0;
  std::memcpy(optval, &value, sizeof value);
  *optlen = sizeof value;
  return 0;
}

int WINAPI select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const struct timeval* timeout) {
  (void)nfds;
  DWORD error;
  if (detail::ShouldFail("select", &error)) return sim::Fail(static_cast<int>(error), SOCKET_ERROR);
  if (Net().started == 0) return sim::Fail(WSANOTINITIALISED, SOCKET_ERROR);
  u_int count = 0;
  for (fd_set* set : {readfds, writefds, exceptfds}) {
    if (!set) continue;
    if (set->fd_count > FD_SETSIZE) return sim::Fail(WSAEINVAL, SOCKET_ERROR);
    for (u_int i = 0; i < set->fd_count; ++i)
      if (!Net().sockets.count(set->fd_array[i])) return sim::Fail(WSAENOTSOCK, SOCKET_ERROR);
    count += set->fd_count;
  }
  // Nothing to wait for, or a time-out below zero, is refused.
  if (count == 0) return sim::Fail(WSAEINVAL, SOCKET_ERROR);
  if (timeout && (timeout->tv_sec < 0 || timeout->tv_usec < 0)) return sim::Fail(WSAEINVAL, SOCKET_ERROR);
  uint64_t now = sim::ElapsedMs();
  // Nothing is ever read here: the read set waits for nothing.
  uint64_t first = UINT64_MAX;
  for (bool write : {true, false}) {
    fd_set* set = write ? writefds : exceptfds;
    for (u_int i = 0; set && i < set->fd_count; ++i)
      first = std::min(first, std::max(now, sim::ReadyAt(Net().sockets[set->fd_array[i]], write)));
  }
  if (!timeout && first == UINT64_MAX) throw std::logic_error("select would wait for ever");
  uint64_t limit = timeout ? now + static_cast<uint64_t>(timeout->tv_sec) * 1000 +
                                 static_cast<uint64_t>(timeout->tv_usec) / 1000
                           : UINT64_MAX;
  uint64_t until = std::min(first, limit);
  Sleep(static_cast<DWORD>(until - now));
  if (readfds) readfds->fd_count = 0;
  return sim::KeepReady(writefds, true, until) + sim::KeepReady(exceptfds, false, until);
}

int WINAPI __WSAFDIsSet(SOCKET fd, fd_set* set) {
  DWORD error;
  detail::ShouldFail("__WSAFDIsSet", &error);  // counted; it cannot fail
  for (u_int i = 0; i < set->fd_count; ++i)
    if (set->fd_array[i] == fd) return 1;
  return 0;
}

int WINAPI closesocket(SOCKET s) {
  DWORD error;
  if (detail::ShouldFail("closesocket", &error)) return sim::Fail(static_cast<int>(error), SOCKET_ERROR);
  if (Net().started == 0) return sim::Fail(WSANOTINITIALISED, SOCKET_ERROR);
  auto socketEntry = Net().sockets.find(s);
  if (socketEntry == Net().sockets.end()) return sim::Fail(WSAENOTSOCK, SOCKET_ERROR);
  if (socketEntry->second.descriptor >= 0) host::CloseSocket(socketEntry->second.descriptor);
  Net().sockets.erase(socketEntry);
  detail::ReleaseHandle(sim::HandleKind::Socket, s);
  return 0;
}

int WINAPI gethostname(char* name, int namelen) {
  DWORD error;
  if (detail::ShouldFail("gethostname", &error)) return sim::Fail(static_cast<int>(error), SOCKET_ERROR);
  if (Net().started == 0) return sim::Fail(WSANOTINITIALISED, SOCKET_ERROR);
  if (!name) return sim::Fail(WSAEFAULT, SOCKET_ERROR);
  std::string text;
  int failure = sim::HostNameNow(&text);
  if (failure) return sim::Fail(failure, SOCKET_ERROR);
  if (namelen < 0 || text.size() + 1 > static_cast<size_t>(namelen)) return sim::Fail(WSAEFAULT, SOCKET_ERROR);
  std::memcpy(name, text.c_str(), text.size() + 1);
  return 0;
}

struct hostent* WINAPI gethostbyname(const char* name) {
  DWORD error;
  if (detail::ShouldFail("gethostbyname", &error)) return sim::Fail<hostent*>(static_cast<int>(error), nullptr);
  if (Net().started == 0) return sim::Fail<hostent*>(WSANOTINITIALISED, nullptr);
  std::string wanted = name ? name : "";
  // No name (or an empty one) stands for this host.
  if (wanted.empty()) {
    int failure = sim::HostNameNow(&wanted);
    if (failure) return sim::Fail<hostent*>(failure, nullptr);
  }
  host::HostEntry found;
  int failure = sim::LookUpName(wanted, &found);
  if (failure) return sim::Fail<hostent*>(failure, nullptr);
  return sim::Publish(found);
}

struct hostent* WINAPI gethostbyaddr(const char* addr, int len, int type) {
  DWORD error;
  if (detail::ShouldFail("gethostbyaddr", &error)) return sim::Fail<hostent*>(static_cast<int>(error), nullptr);
  if (Net().started == 0) return sim::Fail<hostent*>(WSANOTINITIALISED, nullptr);
  if (!addr || len != 4) return sim::Fail<hostent*>(WSAEFAULT, nullptr);
  if (type != AF_INET) return sim::Fail<hostent*>(WSAEAFNOSUPPORT, nullptr);
  uint32_t address;
  std::memcpy(&address, addr, sizeof address);
  host::HostEntry found;
  int failure = sim::LookUpAddress(address, &found);
  if (failure) return sim::Fail<hostent*>(failure, nullptr);
  return sim::Publish(found);
}

ULONG WINAPI inet_addr(const char* cp) {
  DWORD error;
  // The text is not taken for an address, as one it cannot parse.
  if (detail::ShouldFail("inet_addr", &error)) return INADDR_NONE;
  return sim::ParseAddress(cp);
}

char* WINAPI inet_ntoa(struct in_addr in) {
  DWORD error;
  if (detail::ShouldFail("inet_ntoa", &error)) return nullptr;
  std::string text = sim::Dotted(in.s_addr);
  std::memcpy(Net().dotted, text.c_str(), text.size() + 1);
  return Net().dotted;
}

u_short WINAPI htons(u_short hostshort) {
  return static_cast<u_short>((hostshort >> 8) | (hostshort << 8));
}

BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
  DWORD error;
  if (detail::ShouldFail("GetComputerNameA", &error)) return sim::Fail(static_cast<int>(error), FALSE);
  if (!nSize) return sim::Fail(ERROR_INVALID_PARAMETER, FALSE);
  std::string name;
  if (Net().scripted) {
    name = Net().computerName;
  } else {
    // The NetBIOS name: the host name up to its first dot, in capitals, cut
    // at the 15 characters NetBIOS allows.
    if (sim::host::HostName(&name) != 0) name = "WORKSTATION";
    name = name.substr(0, name.find('.')).substr(0, MAX_COMPUTERNAME_LENGTH);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (!lpBuffer || *nSize < name.size() + 1) {
    *nSize = static_cast<DWORD>(name.size() + 1);
    return sim::Fail(ERROR_BUFFER_OVERFLOW, FALSE);
  }
  std::memcpy(lpBuffer, name.c_str(), name.size() + 1);
  *nSize = static_cast<DWORD>(name.size());
  return TRUE;
}

HANDLE WINAPI IcmpCreateFile(void) {
  DWORD error;
  if (detail::ShouldFail("IcmpCreateFile", &error)) return sim::Fail(static_cast<int>(error), INVALID_HANDLE_VALUE);
  return reinterpret_cast<HANDLE>(detail::NewHandle(sim::HandleKind::Icmp));
}

BOOL WINAPI IcmpCloseHandle(HANDLE IcmpHandle) {
  DWORD error;
  if (detail::ShouldFail("IcmpCloseHandle", &error)) return sim::Fail(static_cast<int>(error), FALSE);
  if (!detail::ReleaseHandle(sim::HandleKind::Icmp, reinterpret_cast<uintptr_t>(IcmpHandle)))
    return sim::Fail(ERROR_INVALID_HANDLE, FALSE);
  return TRUE;
}

DWORD WINAPI IcmpSendEcho(HANDLE IcmpHandle, IPAddr DestinationAddress, LPVOID RequestData,
                          WORD RequestSize, PIP_OPTION_INFORMATION RequestOptions,
                          LPVOID ReplyBuffer, DWORD ReplySize, DWORD Timeout) {
  DWORD error;
  bool failing = detail::ShouldFail("IcmpSendEcho", &error);
  if (failing && !sim::ArrivesAsReply(error)) return sim::Fail<DWORD>(static_cast<int>(error), 0);
  // Windows Server 2003 and earlier answer the argument checks with codes of
  // their own (iphlpapi/tests/iphlpapi.c, test_IcmpSendEcho, broken()).
  bool before6 = !detail::VersionAtLeast(6, 0);
  if (!detail::IsOpen(sim::HandleKind::Icmp, reinterpret_cast<uintptr_t>(IcmpHandle)))
    return sim::Fail<DWORD>(before6 ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER, 0);
  if (ReplySize == 0) return sim::Fail<DWORD>(before6 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER, 0);
  if (!ReplyBuffer || (!RequestData && RequestSize)) return sim::Fail<DWORD>(ERROR_INVALID_PARAMETER, 0);

  const BYTE* request = static_cast<const BYTE*>(RequestData);
  BYTE* out = static_cast<BYTE*>(ReplyBuffer);
  sim::EchoRequest sent{sim::Dotted(DestinationAddress),
                        std::vector<BYTE>(request, request + RequestSize),
                        RequestOptions ? RequestOptions->Ttl : BYTE{128},
                        RequestOptions ? RequestOptions->Tos : BYTE{0},
                        RequestOptions ? RequestOptions->Flags : BYTE{0},
                        RequestOptions ? RequestOptions->OptionsSize : BYTE{0},
                        ReplySize,
                        std::all_of(out, out + ReplySize, [](BYTE b) { return b == 0; }),
                        Timeout};
  Net().echoRequests.push_back(sent);
  // One reply record and the data sent back must fit.
  if (ReplySize < sizeof(ICMP_ECHO_REPLY) + RequestSize)
    return sim::Fail<DWORD>(before6 ? IP_BUF_TOO_SMALL : IP_GENERAL_FAILURE, 0);

  ICMP_ECHO_REPLY record{};
  std::vector<BYTE> data;
  if (Net().scripted) {
    sim::EchoScript script{true, 0, IP_SUCCESS};
    auto scripted = Net().echoes.find(DestinationAddress);
    if (scripted != Net().echoes.end()) script = scripted->second;
    if (failing) script = sim::EchoScript{true, 0, error};
    if (!script.answers || script.ms > Timeout) {
      Sleep(Timeout);  // the whole wait, on the virtual clock
      return sim::Fail<DWORD>(IP_REQ_TIMED_OUT, 0);
    }
    Sleep(script.ms);
    record.Address = DestinationAddress;
    record.Status = script.status;
    record.RoundTripTime = script.ms;
    record.Options.Ttl = 128;
    data = sent.payload;
  } else {
    host::EchoReply reply;
    int failure = host::Echo(DestinationAddress, sent.payload, sent.ttl, Timeout, &reply);
    if (failure) return sim::Fail<DWORD>(failure, 0);
    record.Address = reply.from;
    record.Status = failing ? error : IP_SUCCESS;
    record.RoundTripTime = reply.roundTripMs;
    record.Options.Ttl = reply.ttl;
    data = reply.data;
  }
  // A router's ICMP error needs its 8 bytes beyond the echo's room
  // (IcmpSendEcho's documentation); without them the call fails.
  if (sim::ArrivesAsReply(record.Status) && ReplySize < sizeof(ICMP_ECHO_REPLY) + RequestSize + sim::kIcmpErrorSize)
    return sim::Fail<DWORD>(IP_GENERAL_FAILURE, 0);
  // The echoed data follows the record, as much of it as the buffer holds.
  size_t room = ReplySize - sizeof record;
  record.DataSize = static_cast<USHORT>(std::min(data.size(), room));
  std::memcpy(out, &record, sizeof record);
  std::memcpy(out + sizeof record, data.data(), record.DataSize);
  return 1;
}

DWORD WINAPI GetIpErrorString(ULONG ErrorCode, LPWSTR Buffer, PDWORD Size) {
  DWORD error;
  if (detail::ShouldFail("GetIpErrorString", &error)) return error;
  // The texts of an English Windows; a status it does not know is refused.
  static const std::map<ULONG, const char*> texts = {
      {IP_BUF_TOO_SMALL, "Buffer too small."},
      {IP_DEST_NET_UNREACHABLE, "Destination net unreachable."},
      {IP_DEST_HOST_UNREACHABLE, "Destination host unreachable."},
      {IP_DEST_PROT_UNREACHABLE, "Destination protocol unreachable."},
      {IP_DEST_PORT_UNREACHABLE, "Destination port unreachable."},
      {IP_REQ_TIMED_OUT, "Request timed out."},
      {IP_TTL_EXPIRED_TRANSIT, "TTL expired in transit."},
      {IP_BAD_DESTINATION, "Bad destination."},
      {IP_GENERAL_FAILURE, "General failure."},
  };
  if (!Size) return ERROR_INVALID_PARAMETER;
  std::wstring text;
  auto own = Net().ipStatusTexts.find(ErrorCode);
  auto found = texts.find(ErrorCode);
  if (own != Net().ipStatusTexts.end()) {
    text = own->second;
  } else if (found != texts.end()) {
    text.assign(found->second, found->second + std::strlen(found->second));
  } else {
    return ERROR_INVALID_PARAMETER;
  }
  DWORD length = static_cast<DWORD>(text.size());
  // *Size counts the characters without the terminating zero.
  if (!Buffer || *Size < length) {
    *Size = length;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  for (DWORD i = 0; i <= length; ++i) Buffer[i] = text.c_str()[i];
  *Size = length;
  return NO_ERROR;
}

}  // extern "C"
