// Test control of WinSock, the ICMP echo service and the computer name.
//
// After Reset they are the host's own: WinSock calls reach the host's sockets
// and resolver, IcmpSendEcho sends a real echo, GetComputerNameA gives the
// host's name in capitals. A test that scripts the network calls
// ScriptNetwork (every setter below does it for the test) and gets this
// machine, with no traffic at all:
//   - host name "cvnhost", computer name "CVNHOST";
//   - "cvnhost" resolves to the official name "cvnhost.velmora.test" at
//     10.20.30.40, which resolves back to "cvnhost.velmora.test";
//   - "localhost" is 127.0.0.1 both ways, as in a Windows hosts file;
//   - other names fail with WSAHOST_NOT_FOUND, other addresses resolve back
//     to nothing (WSAHOST_NOT_FOUND);
//   - every echo is answered in 0 ms;
//   - every connect is refused (WSAECONNREFUSED), after kRefusedConnectMs.
// Connects take their time on the virtual clock, in both modes: a refused
// one kRefusedConnectMs, one nobody answers (scripted WSAETIMEDOUT)
// kConnectGiveUpMs, any other none. A blocking connect sleeps that long; a
// non-blocking one (ioctlsocket FIONBIO) answers WSAEWOULDBLOCK and is done
// that much later, which select waits for: writable when accepted, in the
// exception set with the error for getsockopt SO_ERROR otherwise.
// Fault injection (FailCall) works in both modes: "WSAStartup" fails with its
// code as result, "GetComputerNameA", "gethostname", "socket", ... as the
// calls do.
#pragma once

#include "win_winsock.h"
#include "win_icmp.h"

#include <string>
#include <vector>

namespace sim {

// Windows answers a SYN's reset by sending the SYN again, so a connect to a
// closed port, loopback included, fails only after about 2 s; one nobody
// answers is given up after its SYN and two more (3 + 6 + 12 s).
inline constexpr DWORD kRefusedConnectMs = 2000;
inline constexpr DWORD kConnectGiveUpMs = 21000;

inline constexpr char kScriptedHostName[] = "cvnhost";
inline constexpr char kScriptedComputerName[] = "CVNHOST";
inline constexpr char kScriptedFqdn[] = "cvnhost.velmora.test";
inline constexpr char kScriptedAddress[] = "10.20.30.40";

void ScriptNetwork();
bool NetworkScripted();

// What gethostname gives (any length, so tests can exceed the caller's buffer).
void SetHostName(const std::string& name);
// What GetComputerNameA gives.
void SetComputerName(const std::string& name);
// A host that forward look-ups find by its official name or an alias
// (without regard to case), with its addresses in dotted form, first first;
// with none, a look-up finds it with an empty address list.
void AddHost(const std::string& officialName, const std::vector<std::string>& addresses,
             const std::vector<std::string>& aliases = {});
// Forward look-ups of `name` fail with this WinSock error (0: no longer).
void FailLookup(const std::string& name, int error);
// The reverse record of an address, and reverse look-ups that fail (0: no
// longer).
void AddReverse(const std::string& address, const std::string& officialName);
void FailReverseLookup(const std::string& address, int error);
// Echoes to an address: answered after `ms` with this reply status, or never
// (IcmpSendEcho then waits its whole time-out on the virtual clock and fails
// with IP_REQ_TIMED_OUT).
void AnswerEcho(const std::string& address, DWORD ms, ULONG status = IP_SUCCESS);
void DropEcho(const std::string& address);
// Connects to address:port end with this WinSock error, 0 for accepted.
void SetConnectResult(const std::string& address, int port, int error);

// GetIpErrorString's text for `status` (a system of another language).
void SetIpStatusText(ULONG status, const std::wstring& text);

// Successful look-ups hand back a record without its official name (h_name
// NULL) or without its address list (h_addr_list NULL), as a damaged
// resolver might; false, false: whole records again.
void HandOutIncompleteRecords(bool withoutName, bool withoutAddressList);

// Successful WSAStartup calls not yet matched by WSACleanup.
int WinsockStarted();

// Every echo sent, as IcmpSendEcho was asked for it.
struct EchoRequest {
  std::string address;  // dotted
  std::vector<BYTE> payload;
  BYTE ttl, tos, flags, optionsSize;
  DWORD replySize;
  bool replyBufferZeroed;  // every byte of the reply buffer was 0 on entry
  DWORD timeout;
};
const std::vector<EchoRequest>& EchoRequests();

// Every connect that reached the network (scripted or real), in order.
struct ConnectAttempt {
  std::string address;  // dotted
  int port;
};
const std::vector<ConnectAttempt>& ConnectAttempts();

}  // namespace sim
