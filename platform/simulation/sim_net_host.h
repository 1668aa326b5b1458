// The host's own sockets, resolver and ICMP echo, for the network area when
// it is not scripted. Plain C++ types only: this header is seen both by the
// WinSock side (sim_net.cpp) and by the file that includes the C library's
// socket headers (sim_net_host.cpp), which never meet otherwise.
// Results are WinSock (or ICMP status) error codes, 0 for success.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim::host {

// Addresses are IPv4 in network byte order, as WinSock keeps them.
struct HostEntry {
  std::string name;
  std::vector<std::string> aliases;
  std::vector<uint32_t> addresses;
};

int HostName(std::string* name);
int LookUpName(const std::string& name, HostEntry* entry);
int LookUpAddress(uint32_t address, HostEntry* entry);

// A blocking IPv4 stream socket; *descriptor is -1 on failure.
int OpenStreamSocket(int* descriptor);
// Blocking connect with the system's own time-out; `portNet` in network order.
int Connect(int descriptor, uint32_t address, uint16_t portNet);
void CloseSocket(int descriptor);

struct EchoReply {
  uint32_t from = 0;
  uint32_t roundTripMs = 0;
  uint8_t ttl = 0;
  std::vector<uint8_t> data;
};
// One ICMP echo with this payload and time to live, through a datagram ICMP
// socket where the machine allows one, else a raw socket. 0 with the first
// matching reply; IP_REQ_TIMED_OUT when none came within timeoutMs; another
// code when no ICMP socket can be had.
int Echo(uint32_t address, const std::vector<uint8_t>& payload, int ttl, uint32_t timeoutMs,
         EchoReply* reply);

}  // namespace sim::host
