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

int zrPortExists(int port) {
  WSADATA wsaData;
  char hostName[HOST_NAME_SIZE];
  struct sockaddr_in address;
  struct hostent* host;
  SOCKET probe;
  char** next;
  int error;
  int result = 0;

  error = StartWinSock(&wsaData);
  if (error != 0) return error;

  // This host's own addresses, never loopback: a program that listens on
  // loopback alone cannot serve the other machines.
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = WinSock.htons((u_short)port);
  if (WinSock.gethostname(hostName, sizeof hostName) != 0) {
    result = WinSock.WSAGetLastError();
  } else if ((host = WinSock.gethostbyname(hostName)) == NULL) {
    result = WinSock.WSAGetLastError();
  } else if (FirstAddress(host) == NULL) {
    result = WSANO_DATA;
  } else {
    // A program may hold the port on any of them. A failed connect leaves
    // its socket unusable, so each address gets a socket of its own; when
    // none accepts, the result is the first address's error.
    for (next = host->h_addr_list; *next != NULL; ++next) {
      probe = WinSock.socket(AF_INET, SOCK_STREAM, 0);
      if (probe == INVALID_SOCKET) {
        error = WinSock.WSAGetLastError();
      } else {
        memcpy(&address.sin_addr, *next, sizeof address.sin_addr);
        error = WinSock.connect(probe, (struct sockaddr*)&address, sizeof address) != 0
                    ? WinSock.WSAGetLastError()
                    : 0;
        WinSock.closesocket(probe);
      }
      if (next == host->h_addr_list || error == 0) result = error;
      if (error == 0 || probe == INVALID_SOCKET) break;
    }
  }
  StopWinSock();
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
  int severity = SEV_INFORMATION;
  int portProblem = 0;
  int mapperWarning = 0;
  int mapperResponding;
  size_t i;

  // Queried as the product always has, but the answer on port 111 is what
  // counts: a port mapper of any make will do.
  GetNamedServiceStatus(PORT_MAPPER_SERVICE, &status);
  mapperResponding = zrPortExists(PORT_MAPPER_PORT) == 0;

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
      if (zrPortExists(kDefaultPorts[i]) == 0) {
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
