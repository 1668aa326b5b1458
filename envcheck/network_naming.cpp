// The naming sub-check: does this host's address resolve back to the full
// name its own name resolves to?
#include "network_checks.h"
#include "report.h"

#include "code_page.h"

enum {
  MSG_COMPUTER_NAME = 50035,
  MSG_HOST_NAME = 50036,
  MSG_FQDN = 50037,
  MSG_NETWORK_NAME = 50038,
  MSG_NAMING_HEADING = 51007,
  MSG_NO_COMPUTER_NAME = 53018,
  MSG_HOST_NAME_UNRESOLVED = 53019,
  MSG_ADDRESS_UNRESOLVED = 53020,
  MSG_NAME_MISMATCH = 53021
};

enum { NAME_SIZE = 256 };

static void CopyName(char* buffer, const char* name) {
  size_t length = strlen(name);
  if (length >= NAME_SIZE) length = WholeCharacters(name, NAME_SIZE - 1);
  memcpy(buffer, name, length);
  buffer[length] = '\0';
}

int CheckNetworkNaming(int level) {
  WSADATA wsaData;
  char computerName[NAME_SIZE];
  char hostName[NAME_SIZE];
  char fqdn[NAME_SIZE];
  char networkName[NAME_SIZE];
  DWORD size = sizeof computerName;
  struct in_addr address;
  struct hostent* host;
  int error;

  if (level == REPORT_ALL) ReportAdd(LoadMessage(MSG_NAMING_HEADING));
  if (!GetComputerNameA(computerName, &size)) {
    ReportAdd(LoadMessage(MSG_NO_COMPUTER_NAME));
    computerName[0] = '\0';
    ++WarningCount;
  }
  if (level == REPORT_ALL) ReportAdd(LoadMessage(MSG_COMPUTER_NAME), computerName);

  if (StartWinSock(&wsaData) != 0) {
    ReportAdd(LoadMessage(MSG_WINSOCK_MISSING));
    ReportAdd(LoadMessage(MSG_VERIFY_TCPIP_INSTALLED));
    ++ErrorCount;
    return SEV_ERROR;
  }
  if (WinSock.gethostname(hostName, sizeof hostName) != 0) {
    ReportAdd(LoadMessage(MSG_NETWORK_DOWN));
    ReportAdd(LoadMessage(MSG_VERIFY_TCPIP_INSTALLED));
    StopWinSock();
    ++WarningCount;
    return SEV_WARNING;
  }
  host = WinSock.gethostbyname(hostName);
  // A result without a name or an address is a look-up that found no data.
  if (host == NULL || host->h_name == NULL || FirstAddress(host) == NULL) {
    error = host == NULL ? WinSock.WSAGetLastError() : WSANO_DATA;
    ReportAdd(LoadMessage(MSG_HOST_NAME_UNRESOLVED), hostName, error);
    ReportAdd(LoadMessage(MSG_VERIFY_NAME_SERVERS));
    StopWinSock();
    ++WarningCount;
    return SEV_WARNING;
  }
  CopyName(fqdn, host->h_name);
  memcpy(&address, FirstAddress(host), sizeof address);
  if (level == REPORT_ALL) {
    ReportAdd(LoadMessage(MSG_HOST_NAME), hostName);
    ReportAdd(LoadMessage(MSG_FQDN), fqdn);
  }

  host = WinSock.gethostbyaddr((const char*)&address, sizeof address, AF_INET);
  if (host == NULL || host->h_name == NULL) {
    error = host == NULL ? WinSock.WSAGetLastError() : WSANO_DATA;
    ReportAdd(LoadMessage(MSG_ADDRESS_UNRESOLVED), error);
    ReportAdd(LoadMessage(MSG_VERIFY_NAME_SERVERS));
    StopWinSock();
    ++WarningCount;
    return SEV_WARNING;
  }
  CopyName(networkName, host->h_name);
  if (level == REPORT_ALL) ReportAdd(LoadMessage(MSG_NETWORK_NAME), networkName);

  // A mismatch is information only: nothing is counted.
  if (!SameName(fqdn, networkName)) {
    ReportAdd(LoadMessage(MSG_NAME_MISMATCH), hostName, fqdn, networkName);
    ReportAdd(LoadMessage(MSG_VERIFY_NAME_SERVERS));
  }
  StopWinSock();
  return SEV_INFORMATION;
}
