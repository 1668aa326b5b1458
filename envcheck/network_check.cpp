// The network section: can this host ping itself and its name servers?
#include "network_checks.h"
#include "readers.h"
#include "report.h"

enum {
  MSG_PINGING_NAME_SERVERS = 50022,
  MSG_PINGING_SELF = 52010,
  MSG_CANNOT_PING_NAME_SERVER = 53012,
  MSG_MALFORMED_NAME_SERVER = 53013,
  MSG_NAME_SERVER_PROBLEM = 53031,
  MSG_SELF_PING_FAILED = 54009,
  MSG_SELF_PING_ADVICE = 55002,
  MSG_NAME_SERVERS_ADVICE = 55003,
  MSG_CORRECT_DNS_ADDRESS = 55004
};

#define TCPIP_PARAMETERS "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"
#define NAME_SERVER_VALUE TCPIP_PARAMETERS "\\NameServer"
#define DHCP_NAME_SERVER_VALUE TCPIP_PARAMETERS "\\DhcpNameServer"

// A name-server entry is taken for an address when it has 8 to 15
// characters; nothing else about its form is examined.
enum { NAME_SERVER_MIN_LENGTH = 8, NAME_SERVER_MAX_LENGTH = 15 };

// The configured name servers, blank-separated, or NULL; the caller frees it.
static char* ReadNameServerList(void) {
  char* list = ReadRegistryString(HKEY_LOCAL_MACHINE, NAME_SERVER_VALUE);
  if (list == NULL || list[0] == '\0') {
    free(list);
    list = ReadRegistryString(HKEY_LOCAL_MACHINE, DHCP_NAME_SERVER_VALUE);
  }
  return list;
}

// Pings every entry of `list` (split where it lies, so an entry of any
// length is examined whole), counting the entries and the failures.
static void PingNameServers(char* list, int level, int* configured, int* failed) {
  char* next = list;
  // The end, a control character or a byte from 0x80 up ends the list.
  while ((unsigned char)*next >= ' ' && (unsigned char)*next < 0x80) {
    char* entry = next;
    char* blank = strchr(entry, ' ');
    size_t length;

    if (blank != NULL) {
      *blank = '\0';
      next = blank + 1;
    } else {
      next = entry + strlen(entry);
    }
    ++*configured;
    length = strlen(entry);
    if (length < NAME_SERVER_MIN_LENGTH || length > NAME_SERVER_MAX_LENGTH) {
      ReportAdd(LoadMessage(MSG_MALFORMED_NAME_SERVER), entry);
      ReportAdd(LoadMessage(MSG_CORRECT_DNS_ADDRESS));
      ++WarningCount;
      ++*failed;
    } else if (PingHost(entry, level) != 0) {
      ++*failed;
      ++WarningCount;
      ReportAdd(LoadMessage(MSG_NAME_SERVER_PROBLEM), entry);
    }
  }
}

int CheckNetworkConnectivity(int level) {
  int severity = SEV_INFORMATION;
  int configured = 0;
  int failed = 0;
  int naming;
  char* list;

  // At a quiet level the error line goes first, taken back on success.
  ReportAdd(LoadMessage(level == REPORT_ALL ? MSG_PINGING_SELF : MSG_SELF_PING_FAILED));
  if (PingHost(NULL, level) != 0) {
    ReportAdd(LoadMessage(MSG_SELF_PING_ADVICE));
    ++ErrorCount;
    severity = SEV_ERROR;
  } else if (level != REPORT_ALL) {
    ReportDropLast();
  }

  list = ReadNameServerList();
  ReportAdd(LoadMessage(level == REPORT_ALL ? MSG_PINGING_NAME_SERVERS : MSG_CANNOT_PING_NAME_SERVER));
  if (list != NULL) PingNameServers(list, level, &configured, &failed);
  if (failed > 0) {
    ReportAdd(LoadMessage(MSG_NAME_SERVERS_ADVICE), configured, failed);
    if (severity < SEV_WARNING) severity = SEV_WARNING;
  } else if (level != REPORT_ALL) {
    ReportDropLast();
  }
  free(list);

  naming = CheckNetworkNaming(level);
  return naming > severity ? naming : severity;
}
