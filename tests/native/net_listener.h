// Real TCP endpoints on this machine for the tests that use the host's own
// sockets. Plain types only: the implementation includes the C library's
// socket headers, which cannot meet the WinSock declarations in one file.
#pragma once

#include <string>

namespace testnet {

// This host's own IPv4 address: the first address its own name resolves to
// (the address the product probes), in dotted form; empty when it has none.
std::string OwnAddress();

// Listens on address:port (port 0 picks a free one) until destroyed.
class Listener {
 public:
  explicit Listener(const std::string& address, int port = 0);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  bool ok() const { return descriptor_ >= 0; }
  int port() const { return port_; }

 private:
  int descriptor_ = -1;
  int port_ = 0;
};

// A port on that address where nobody listens (bound once, then released).
int ClosedPort(const std::string& address);

}  // namespace testnet
