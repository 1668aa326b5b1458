// The network section (echoes to this host and the name servers, then the
// naming comparison) and the TCP/IP port section.
#pragma once

#include "network_library.h"

// Catalog messages shared by the routines of the network section.
enum {
  MSG_NETWORK_DOWN = 53005,
  MSG_WINSOCK_MISSING = 54008,
  MSG_VERIFY_TCPIP_INSTALLED = 55001,
  MSG_VERIFY_NAME_SERVERS = 55012
};

// The first address of a forward look-up's result, or NULL when its list is
// missing or empty (a name without an address: a look-up that found no data).
static inline const char* FirstAddress(const struct hostent* host) {
  return host->h_addr_list == NULL ? NULL : host->h_addr_list[0];
}

// Resolves `hostName` (a name or a dotted address; NULL for this host) and
// sends it one echo: 0 when a reply came, 1 when a look-up, this host's name
// or the echo failed, 2 when WinSock cannot be started. The lines it adds
// explain the failure; with `quiet` set a success takes its two lines back.
unsigned PingHost(const char* hostName, int quiet);
// Adds the system's text for a Win32 or WinSock error code, or a line with
// the bare code when the system has none.
void ReportSystemError(DWORD code);
// The network section: self ping, name-server pings, naming. A severity.
int CheckNetworkConnectivity(int level);
// Computer name, host name, full domain name and the name this host's
// address resolves back to. A severity.
int CheckNetworkNaming(int level);

// The port section for the installation type read by the driver: a
// severity, 0 or 1.
int CheckPortAssignments(DWORD installType, int level);
// 0 with the service's status, else the error of the step that failed.
DWORD GetNamedServiceStatus(const char* serviceName, SERVICE_STATUS* status);
