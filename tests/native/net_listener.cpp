// Real listeners for the native tests, on loopback or this host's own address.
#include "net_listener.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace testnet {
namespace {

// Binds a stream socket to address:port; -1 on failure.
int Bound(const std::string& address, int port, int* boundPort) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t size = sizeof local;
  if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1 ||
      ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
    ::close(fd);
    return -1;
  }
  *boundPort = ntohs(local.sin_port);
  return fd;
}

}  // namespace

std::string OwnAddress() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  // The resolver's own order, as WinSock's gethostbyname reports it.
  hostent* found = ::gethostbyname2(name, AF_INET);
  if (!found || !found->h_addr_list[0]) return "";
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, found->h_addr_list[0], text, sizeof text);
  return text;
}

Listener::Listener(const std::string& address, int port) {
  descriptor_ = Bound(address, port, &port_);
  if (descriptor_ >= 0 && ::listen(descriptor_, 8) != 0) {
    ::close(descriptor_);
    descriptor_ = -1;
  }
}

Listener::~Listener() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

int ClosedPort(const std::string& address) {
  int port = 0;
  int fd = Bound(address, 0, &port);
  if (fd < 0) return 0;
  ::close(fd);
  return port;
}

}  // namespace testnet
