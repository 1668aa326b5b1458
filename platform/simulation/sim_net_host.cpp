// The host's sockets, resolver and ICMP echo behind the WinSock simulation.
// This file includes the C library's socket headers and none of the WinSock
// declarations (see win_winsock.h).
#include "sim_net_host.h"

#include "win_errors.h"
#include "win_icmp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <chrono>
#include <cstring>

namespace sim::host {
namespace {

int WinsockError(int error) {
  switch (error) {
    case EINTR: return WSAEINTR;
    case EBADF: return WSAEBADF;
    case EACCES:
    case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EINPROGRESS:
    case EALREADY: return WSAEINPROGRESS;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ECONNRESET: return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
  }
}

// The resolver's h_errno values line up with WinSock's 11001..11004.
int ResolverError(int error) {
  switch (error) {
    case HOST_NOT_FOUND: return WSAHOST_NOT_FOUND;
    case TRY_AGAIN: return WSATRY_AGAIN;
    case NO_DATA: return WSANO_DATA;
    default: return WSANO_RECOVERY;
  }
}

void CopyEntry(const hostent& from, HostEntry* to) {
  to->name = from.h_name ? from.h_name : "";
  to->aliases.clear();
  for (char** alias = from.h_aliases; alias && *alias; ++alias) to->aliases.emplace_back(*alias);
  to->addresses.clear();
  for (char** address = from.h_addr_list; address && *address; ++address) {
    uint32_t value;
    std::memcpy(&value, *address, sizeof value);
    to->addresses.push_back(value);
  }
}

uint16_t Checksum(const uint8_t* bytes, size_t size) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < size; i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  if (size % 2) sum += static_cast<uint32_t>(bytes[size - 1] << 8);
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

}  // namespace

int HostName(std::string* name) {
  char buffer[HOST_NAME_MAX + 1];
  if (::gethostname(buffer, sizeof buffer) != 0) return WinsockError(errno);
  buffer[HOST_NAME_MAX] = '\0';
  *name = buffer;
  return 0;
}

int LookUpName(const std::string& name, HostEntry* entry) {
  hostent result;
  hostent* found = nullptr;
  int error = 0;
  std::vector<char> work(8192);
  while (::gethostbyname2_r(name.c_str(), AF_INET, &result, work.data(), work.size(), &found,
                            &error) == ERANGE) {
    work.resize(work.size() * 2);
  }
  if (!found) return ResolverError(error);
  CopyEntry(result, entry);
  return 0;
}

int LookUpAddress(uint32_t address, HostEntry* entry) {
  hostent result;
  hostent* found = nullptr;
  int error = 0;
  std::vector<char> work(8192);
  while (::gethostbyaddr_r(&address, sizeof address, AF_INET, &result, work.data(), work.size(),
                           &found, &error) == ERANGE) {
    work.resize(work.size() * 2);
  }
  if (!found) return ResolverError(error);
  CopyEntry(result, entry);
  return 0;
}

int OpenStreamSocket(int* descriptor) {
  *descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return *descriptor < 0 ? WinsockError(errno) : 0;
}

int Connect(int descriptor, uint32_t address, uint16_t portNet) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = portNet;
  target.sin_addr.s_addr = address;
  int result;
  do {
    result = ::connect(descriptor, reinterpret_cast<sockaddr*>(&target), sizeof target);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : WinsockError(errno);
}

void CloseSocket(int descriptor) { ::close(descriptor); }

int Echo(uint32_t address, const std::vector<uint8_t>& payload, int ttl, uint32_t timeoutMs,
         EchoReply* reply) {
  // An unprivileged datagram ICMP socket where net.ipv4.ping_group_range
  // allows it (the kernel then owns the identifier); raw as root otherwise.
  bool raw = false;
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) {
    raw = true;
    fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  }
  if (fd < 0) return errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : IP_GENERAL_FAILURE;

  static uint16_t sequence = 0;
  const uint16_t id = static_cast<uint16_t>(::getpid());
  const uint16_t seq = ++sequence;
  std::vector<uint8_t> packet(8 + payload.size());
  packet[0] = ICMP_ECHO;
  packet[4] = static_cast<uint8_t>(id >> 8);
  packet[5] = static_cast<uint8_t>(id);
  packet[6] = static_cast<uint8_t>(seq >> 8);
  packet[7] = static_cast<uint8_t>(seq);
  std::memcpy(packet.data() + 8, payload.data(), payload.size());
  uint16_t sum = Checksum(packet.data(), packet.size());
  packet[2] = static_cast<uint8_t>(sum >> 8);
  packet[3] = static_cast<uint8_t>(sum);

  int on = 1;
  ::setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
  if (!raw) ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = address;
  auto start = std::chrono::steady_clock::now();
  if (::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&target),
               sizeof target) < 0) {
    int error = errno;
    ::close(fd);
    return error == ENETUNREACH ? IP_DEST_NET_UNREACHABLE
           : error == EHOSTUNREACH ? IP_DEST_HOST_UNREACHABLE
                                   : IP_GENERAL_FAILURE;
  }

  auto deadline = start + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    int wait = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1);
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, wait) <= 0) continue;

    uint8_t buffer[1500];
    char control[64];
    sockaddr_in from{};
    iovec part{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got = ::recvmsg(fd, &message, 0);
    if (got <= 0) continue;

    const uint8_t* icmp = buffer;
    size_t size = static_cast<size_t>(got);
    uint8_t replyTtl = 0;
    if (raw) {
      size_t header = static_cast<size_t>(buffer[0] & 0x0f) * 4;
      if (size < header + 8) continue;
      replyTtl = buffer[8];
      icmp += header;
      size -= header;
      // A raw socket also sees other echoes, our own request on loopback among them.
      if (from.sin_addr.s_addr != address || icmp[4] != packet[4] || icmp[5] != packet[5]) continue;
    } else {
      if (size < 8) continue;
      for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
          int value;
          std::memcpy(&value, CMSG_DATA(c), sizeof value);
          replyTtl = static_cast<uint8_t>(value);
        }
      }
    }
    if (icmp[0] != ICMP_ECHOREPLY || icmp[6] != packet[6] || icmp[7] != packet[7]) continue;

    reply->from = from.sin_addr.s_addr;
    reply->roundTripMs = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                              start)
            .count());
    reply->ttl = replyTtl;
    reply->data.assign(icmp + 8, icmp + size);
    ::close(fd);
    return 0;
  }
  ::close(fd);
  return IP_REQ_TIMED_OUT;
}

}  // namespace sim::host
