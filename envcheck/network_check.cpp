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
// Windows 2000 and later keep each adapter's name servers in a subkey here.
#define TCPIP_INTERFACES TCPIP_PARAMETERS "\\Interfaces"
#define NAME_SERVER_VALUE "\\NameServer"
#define DHCP_NAME_SERVER_VALUE "\\DhcpNameServer"

// A name-server entry is taken for an address when it has 8 to 15
// characters; nothing else about its form is examined.
enum { NAME_SERVER_MIN_LENGTH = 8, NAME_SERVER_MAX_LENGTH = 15 };

// The addresses pinged so far, each followed by a blank, so that a server
// an adapter names again is not pinged twice; what does not fit is not kept.
enum { SEEN_SIZE = 512 };

// A registry key's name has at most 255 characters.
enum { MAX_KEY_NAME_SIZE = 256 };

// The name servers under `key` (NameServer, or failing that
// DhcpNameServer), or NULL; the caller frees it.
static char* ReadNameServerList(const char* key) {
  char path[MAX_PATH];
  size_t length = strlen(key);
  char* list;
  if (length + sizeof DHCP_NAME_SERVER_VALUE > sizeof path) return NULL;
  memcpy(path, key, length);
  strcpy(path + length, NAME_SERVER_VALUE);
  list = ReadRegistryString(HKEY_LOCAL_MACHINE, path);
  if (list == NULL || list[0] == '\0') {
    free(list);
    strcpy(path + length, DHCP_NAME_SERVER_VALUE);
    list = ReadRegistryString(HKEY_LOCAL_MACHINE, path);
  }
  return list;
}

// Pings every entry of `list` (split where it lies, so an entry of any
// length is examined whole), counting the entries and the failures. Entries
// are separated by a blank or by a comma and the blanks after it. With
// `skipSeen` an address in `seen` is passed over uncounted.
static void PingNameServers(char* list, int level, int* configured, int* failed, char* seen,
                            int skipSeen) {
  char* next = list;
  // The end, a control character or a byte from 0x80 up ends the list.
  while ((unsigned char)*next >= ' ' && (unsigned char)*next < 0x80) {
    char* entry = next;
    size_t length = strcspn(entry, " ,");
    char key[NAME_SERVER_MAX_LENGTH + 3];
    size_t used = strlen(seen);

    next = entry + length;
    if (*next != '\0') {
      if (*next++ == ',') next += strspn(next, " ");
      entry[length] = '\0';
    }
    if (length < NAME_SERVER_MIN_LENGTH || length > NAME_SERVER_MAX_LENGTH) {
      ++*configured;
      ReportAdd(LoadMessage(MSG_MALFORMED_NAME_SERVER), entry);
      ReportAdd(LoadMessage(MSG_CORRECT_DNS_ADDRESS));
      ++WarningCount;
      ++*failed;
      continue;
    }
    key[0] = ' ';
    memcpy(key + 1, entry, length);
    key[length + 1] = ' ';
    key[length + 2] = '\0';
    if (skipSeen && strstr(seen, key) != NULL) continue;
    if (used + length + 1 < SEEN_SIZE) strcpy(seen + used, key + 1);
    ++*configured;
    if (PingHost(entry, level) != 0) {
      ++*failed;
      ++WarningCount;
      ReportAdd(LoadMessage(MSG_NAME_SERVER_PROBLEM), entry);
    }
  }
}

// Pings the name servers of every adapter that are not pinged already.
static void PingInterfaceNameServers(int level, int* configured, int* failed, char* seen) {
  HKEY interfaces;
  char key[sizeof TCPIP_INTERFACES + MAX_KEY_NAME_SIZE];
  const size_t prefix = sizeof TCPIP_INTERFACES;  // with the backslash after it
  DWORD index;

  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TCPIP_INTERFACES, 0, KEY_READ, &interfaces) != ERROR_SUCCESS)
    return;
  memcpy(key, TCPIP_INTERFACES "\\", prefix);
  for (index = 0;; ++index) {
    DWORD size = sizeof key - prefix;
    char* list;
    // Every key name fits; one too long for a value's path is passed over.
    if (RegEnumKeyExA(interfaces, index, key + prefix, &size, NULL, NULL, NULL, NULL) !=
        ERROR_SUCCESS)
      break;
    list = ReadNameServerList(key);
    if (list != NULL) PingNameServers(list, level, configured, failed, seen, 1);
    free(list);
  }
  RegCloseKey(interfaces);
}

int CheckNetworkConnectivity(int level) {
  int severity = SEV_INFORMATION;
  int configured = 0;
  int failed = 0;
  int naming;
  char* list;
  char seen[SEEN_SIZE];

  // At a quiet level the error line goes first, taken back on success.
  ReportAdd(LoadMessage(level == REPORT_ALL ? MSG_PINGING_SELF : MSG_SELF_PING_FAILED));
  if (PingHost(NULL, level) != 0) {
    ReportAdd(LoadMessage(MSG_SELF_PING_ADVICE));
    ++ErrorCount;
    severity = SEV_ERROR;
  } else if (level != REPORT_ALL) {
    ReportDropLast();
  }

  list = ReadNameServerList(TCPIP_PARAMETERS);
  ReportAdd(LoadMessage(level == REPORT_ALL ? MSG_PINGING_NAME_SERVERS : MSG_CANNOT_PING_NAME_SERVER));
  seen[0] = ' ';
  seen[1] = '\0';
  if (list != NULL) PingNameServers(list, level, &configured, &failed, seen, 0);
  PingInterfaceNameServers(level, &configured, &failed, seen);
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
