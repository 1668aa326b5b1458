// The TCP/IP port section and the exported port probe: does a port mapper
// answer on this host, and does another program hold one of our ports?
#include "entry_points.h"
#include "network_checks.h"
#include "report.h"

enum {
  MSG_MAPPER_WITH_SERVICE = 52003,
  MSG_MAPPER_NOT_RESPONDING = 52004,
  MSG_NO_PORT_CONFLICTS = 52005,
  MSG_MAPPER_WITHOUT_SERVICE = 53004,
  MSG_DEFAULT_PORT_IN_USE = 53022,
  MSG_MAPPER_ADVICE = 55014,
  MSG_DEFAULT_PORTS_ADVICE = 55015
};

#define PORT_MAPPER_SERVICE "NobleNet Portmapper for TCP"

enum { PORT_MAPPER_PORT = 111 };
// The service's default ports, in the order they are probed.
static const int kDefaultPorts[] = {20481, 20482, 20480};

// Either bit says the service is installed on this system.
enum { INSTALLED_TYPE_BITS = 0x3 };

enum { HOST_NAME_SIZE = 256 };

// The most ports probed together: the port mapper's and the defaults.
enum { MAX_PROBED_PORTS = 1 + sizeof kDefaultPorts / sizeof kDefaultPorts[0] };

// A connect nobody answers is given up by the system after its SYN and two
// more, 3 + 6 + 12 seconds: no probe waits longer.
enum { CONNECT_WAIT_SECONDS = 21 };

// Whether a connect for the port of owners[at] was accepted.
static int PortAccepted(const int* owners, const int* errors, int count, int at) {
  int i;
  for (i = 0; i < count; ++i) {
    if (owners[i] == owners[at] && errors[i] == 0) return 1;
  }
  return 0;
}

// Waits for the connects of `count` non-blocking sockets together (those
// whose error is WSAEWOULDBLOCK are under way), each for the port owners[]
// names, until every port has its answer; puts each one's result in errors[]
// (0 when accepted) and closes the sockets had.
static void AwaitConnects(const SOCKET* probes, const int* owners, int* errors, int count) {
  fd_set connected;
  fd_set failed;
  struct timeval wait;
  int unanswered = WSAETIMEDOUT;  // for a connect still under way at the end
  int round;
  int ready;
  int length;
  int i;

  // Each wait settles at least one connect, or ends with the time-out.
  for (round = 0; round < count; ++round) {
    FD_ZERO(&connected);
    for (i = 0; i < count; ++i) {
      if (errors[i] == WSAEWOULDBLOCK && !PortAccepted(owners, errors, count, i))
        FD_SET(probes[i], &connected);
    }
    if (connected.fd_count == 0) break;
    failed = connected;
    wait.tv_sec = CONNECT_WAIT_SECONDS;
    wait.tv_usec = 0;
    ready = WinSock.select(0, NULL, &connected, &failed, &wait);
    if (ready == SOCKET_ERROR) unanswered = WinSock.WSAGetLastError();
    if (ready <= 0) break;
    // Writable when connected, in the exception set when refused: either
    // way the connect is done, and its error (0 when accepted) says how.
    for (i = 0; i < count; ++i) {
      if (errors[i] != WSAEWOULDBLOCK) continue;
      if (!WinSock.__WSAFDIsSet(probes[i], &connected) && !WinSock.__WSAFDIsSet(probes[i], &failed))
        continue;
      length = sizeof errors[i];
      if (WinSock.getsockopt(probes[i], SOL_SOCKET, SO_ERROR, (char*)&errors[i], &length) != 0)
        errors[i] = WinSock.WSAGetLastError();
    }
  }
  for (i = 0; i < count; ++i) {
    if (errors[i] == WSAEWOULDBLOCK) errors[i] = unanswered;
    if (probes[i] != INVALID_SOCKET) WinSock.closesocket(probes[i]);
  }
}

// Probes `count` ports on every address of `addresses` at once: a closed
// port answers only after the system has sent its SYN again (about 2 s on
// Windows), so all the connects share that wait. results[i] is 0 when a
// program accepts ports[i] on any address, else the first address's error.
// A socket that cannot be had ends its port's list of addresses, as one
// that accepted does; FD_SETSIZE connects go at a time.
static void ProbePorts(char** addresses, const int* ports, int count, int* results) {
  SOCKET probes[FD_SETSIZE];
  int errors[FD_SETSIZE];
  int owners[FD_SETSIZE];
  struct sockaddr_in target;
  ULONG nonBlocking = 1;
  int port = 0;  // the next connect's port and address
  int next = 0;
  int opened;
  int i;

  memset(&target, 0, sizeof target);
  target.sin_family = AF_INET;
  for (i = 0; i < count; ++i) results[i] = -1;
  while (port < count) {
    opened = 0;
    while (opened < FD_SETSIZE && port < count) {
      if (addresses[next] == NULL || results[port] == 0) {
        ++port;
        next = 0;
        continue;
      }
      owners[opened] = port;
      probes[opened] = WinSock.socket(AF_INET, SOCK_STREAM, 0);
      if (probes[opened] == INVALID_SOCKET) {
        errors[opened++] = WinSock.WSAGetLastError();
        ++port;
        next = 0;
        continue;
      }
      target.sin_port = WinSock.htons((u_short)ports[port]);
      memcpy(&target.sin_addr, addresses[next++], sizeof target.sin_addr);
      errors[opened] =
          WinSock.ioctlsocket(probes[opened], FIONBIO, &nonBlocking) != 0 ||
                  WinSock.connect(probes[opened], (struct sockaddr*)&target, sizeof target) != 0
              ? WinSock.WSAGetLastError()
              : 0;
      ++opened;
    }
    AwaitConnects(probes, owners, errors, opened);
    for (i = 0; i < opened; ++i) {
      if (results[owners[i]] == -1 || errors[i] == 0) results[owners[i]] = errors[i];
    }
  }
}

// Probes `count` ports on this host's own addresses, never loopback: a
// program that listens on loopback alone cannot serve the other machines.
// Each port's result as zrPortExists gives it.
static void ProbeOwnPorts(const int* ports, int count, int* results) {
  WSADATA wsaData;
  char hostName[HOST_NAME_SIZE];
  struct hostent* host;
  int error;
  int i;

  error = StartWinSock(&wsaData);
  if (error == 0) {
    if (WinSock.gethostname(hostName, sizeof hostName) != 0) {
      error = WinSock.WSAGetLastError();
    } else if ((host = WinSock.gethostbyname(hostName)) == NULL) {
      error = WinSock.WSAGetLastError();
    } else if (FirstAddress(host) == NULL) {
      error = WSANO_DATA;
    } else {
      ProbePorts(host->h_addr_list, ports, count, results);
    }
    StopWinSock();
  }
  if (error != 0) {
    for (i = 0; i < count; ++i) results[i] = error;
  }
}

int zrPortExists(int port) {
  int result;
  ProbeOwnPorts(&port, 1, &result);
  return result;
}

DWORD GetNamedServiceStatus(const char* serviceName, SERVICE_STATUS* status) {
  SC_HANDLE manager;
  SC_HANDLE service;
  DWORD error = 0;

  manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (manager == NULL) return GetLastError();
  service = OpenServiceA(manager, serviceName, SERVICE_ALL_ACCESS);
  if (service == NULL) {
    error = GetLastError();
  } else {
    if (!QueryServiceStatus(service, status)) error = GetLastError();
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return error;
}

int CheckPortAssignments(DWORD installType, int level) {
  SERVICE_STATUS status;
  int ports[MAX_PROBED_PORTS];
  int inUse[MAX_PROBED_PORTS];
  int severity = SEV_INFORMATION;
  int portProblem = 0;
  int mapperWarning = 0;
  int mapperResponding;
  int count = 1;
  size_t i;

  // Queried as the product always has, but the answer on port 111 is what
  // counts: a port mapper of any make will do. Without the service the
  // default ports are probed with it, all in one wait.
  GetNamedServiceStatus(PORT_MAPPER_SERVICE, &status);
  ports[0] = PORT_MAPPER_PORT;
  if (!(installType & INSTALLED_TYPE_BITS)) {
    for (i = 0; i < sizeof kDefaultPorts / sizeof kDefaultPorts[0]; ++i) ports[count++] = kDefaultPorts[i];
  }
  ProbeOwnPorts(ports, count, inUse);
  mapperResponding = inUse[0] == 0;

  if (installType & INSTALLED_TYPE_BITS) {
    // Information only: the mapper may start with the next reboot.
    if (!mapperResponding) {
      ReportAdd(LoadMessage(MSG_MAPPER_NOT_RESPONDING));
      portProblem = 1;
    } else if (level == REPORT_ALL) {
      ReportAdd(LoadMessage(MSG_MAPPER_WITH_SERVICE));
    }
  } else {
    if (mapperResponding) {
      ++WarningCount;
      severity = SEV_WARNING;
      if (level < REPORT_ERRORS) {
        ReportAdd(LoadMessage(MSG_MAPPER_WITHOUT_SERVICE));
        ReportAdd(LoadMessage(MSG_MAPPER_ADVICE));
        mapperWarning = 1;
      }
    }
    for (i = 0; i < sizeof kDefaultPorts / sizeof kDefaultPorts[0]; ++i) {
      if (inUse[1 + i] == 0) {
        severity = SEV_WARNING;
        ++WarningCount;
        portProblem = 1;
        ReportAdd(LoadMessage(MSG_DEFAULT_PORT_IN_USE), kDefaultPorts[i]);
      }
    }
    if (portProblem) ReportAdd(LoadMessage(MSG_DEFAULT_PORTS_ADVICE));
  }

  if (!portProblem && !mapperWarning && level == REPORT_ALL) {
    ReportAdd(LoadMessage(MSG_NO_PORT_CONFLICTS));
  }
  return severity;
}
