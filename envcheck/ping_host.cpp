// One resolved echo to a host, with every failure explained in the report.
#include "network_checks.h"

#include "code_page.h"
#include "report.h"

enum {
  MSG_RESPONSE_MS = 50018,
  MSG_RESPONSE_UNDER_1_MS = 50019,
  MSG_SYSTEM_ERROR_TEXT = 50020,
  MSG_NO_SYSTEM_TEXT = 50021,
  MSG_PINGING = 52009,
  MSG_NETWORK_PROBLEM = 53006,
  MSG_UNKNOWN_NAME = 53007,
  MSG_BAD_ADDRESS = 53008,
  MSG_NO_FQDN = 53010,
  MSG_ECHO_FAILED = 53011
};

// The echo request is fixed: 32 bytes 0x00..0x1F, time to live 32, five
// seconds. The reply buffer holds one reply record, the echoed payload and
// the 8 bytes of an ICMP error message: without them a router's
// "unreachable" or "TTL expired" is told as a failure of the call.
enum {
  ECHO_PAYLOAD_SIZE = 32,
  ECHO_TTL = 32,
  ECHO_TIMEOUT_MS = 5000,
  ICMP_ERROR_SIZE = 8,
  ECHO_REPLY_SIZE = sizeof(ICMP_ECHO_REPLY) + ECHO_PAYLOAD_SIZE + ICMP_ERROR_SIZE
};

// The IP status text of a failed echo, in characters.
enum { IP_STATUS_TEXT_SIZE = 256 };

// This host's own name for the "from" part: the 128 characters of old.
enum { OWN_NAME_SIZE = 128 };

// A look-up that failed because the network could not be asked.
static int IsNetworkProblem(int code) { return code == WSAEINTR || code == WSAENETDOWN; }

// Copies `text` into `buffer` of `size` characters, cut to fit.
static void CopyCut(char* buffer, size_t size, const char* text) {
  size_t length = strlen(text);
  if (length >= size) length = WholeCharacters(text, size - 1);
  memcpy(buffer, text, length);
  buffer[length] = '\0';
}

// Sends the fixed echo request to `address` (network order). TRUE with the
// first reply's time; FALSE with the error when no reply came, the reply is
// an ICMP error (its status is the error) or no ICMP handle could be had
// (nor the library that gives one).
static BOOL SendEcho(ULONG address, DWORD* roundTripMs, DWORD* error) {
  BYTE payload[ECHO_PAYLOAD_SIZE];
  IP_OPTION_INFORMATION options;
  union {
    ICMP_ECHO_REPLY first;
    BYTE bytes[ECHO_REPLY_SIZE];
  } reply;
  HANDLE icmp;
  DWORD replies;
  int i;

  for (i = 0; i < ECHO_PAYLOAD_SIZE; ++i) payload[i] = (BYTE)i;
  memset(&options, 0, sizeof options);
  options.Ttl = ECHO_TTL;
  memset(&reply, 0, sizeof reply);

  icmp = OpenEcho(error);
  if (icmp == INVALID_HANDLE_VALUE) return FALSE;
  replies = Icmp.IcmpSendEcho(icmp, address, payload, sizeof payload, &options, &reply,
                              sizeof reply, ECHO_TIMEOUT_MS);
  *error = GetLastError();  // before the close can change it
  CloseEcho(icmp);
  if (replies == 0) return FALSE;
  // "Unreachable" or "TTL expired" from a router also arrives as a reply.
  if (reply.first.Status != IP_SUCCESS) {
    *error = reply.first.Status;
    return FALSE;
  }
  *roundTripMs = reply.first.RoundTripTime;
  return TRUE;
}

// Explains a failed echo. Its IP status (above IP_STATUS_BASE) is told by
// the IP helper library where the system has one. Without it, the statuses that
// share their numbers with WinSock's look-up errors get the bare code, as
// the system's text for them would be the look-up's; any other code gets
// the system's text.
static void ReportEchoError(DWORD code) {
  WCHAR wide[IP_STATUS_TEXT_SIZE];
  // A character takes up to 3 bytes in the ANSI code page (UTF-8).
  char text[3 * IP_STATUS_TEXT_SIZE];
  int result = code > IP_STATUS_BASE ? GetIpStatusText(code, wide, IP_STATUS_TEXT_SIZE) : -1;

  if (result == 0) {
    wsprintfA(text, "%S", wide);
    ReportAdd(LoadMessage(MSG_SYSTEM_ERROR_TEXT), code, text);
  } else if (result > 0 || code - (IP_STATUS_BASE + 1) <= WSANO_DATA - WSAHOST_NOT_FOUND) {
    ReportAdd(LoadMessage(MSG_NO_SYSTEM_TEXT), code, code);
  } else {
    ReportSystemError(code);
  }
}

unsigned PingHost(const char* hostName, int quiet) {
  WSADATA wsaData;
  char ownTarget[MAX_PATH];
  char reverseName[MAX_PATH];
  char ownName[OWN_NAME_SIZE];
  char dotted[16];
  const char* target;
  const char* displayName;
  const char* dottedText;
  struct in_addr address;
  struct hostent* host;
  DWORD roundTripMs = 0;
  DWORD echoError = 0;

  if (StartWinSock(&wsaData) != 0) {
    ReportAdd(LoadMessage(MSG_WINSOCK_MISSING));
    ReportAdd(LoadMessage(MSG_VERIFY_TCPIP_INSTALLED));
    return 2;
  }

  // A name passed in is used where it is, whatever its length.
  target = hostName;
  if (target == NULL) {
    if (WinSock.gethostname(ownTarget, sizeof ownTarget) != 0) {
      ReportAdd(LoadMessage(MSG_NETWORK_DOWN));
      ReportAdd(LoadMessage(MSG_VERIFY_TCPIP_INSTALLED));
      StopWinSock();
      return 1;
    }
    target = ownTarget;
  }

  displayName = target;
  address.s_addr = WinSock.inet_addr(target);
  if (address.s_addr == INADDR_NONE) {
    host = WinSock.gethostbyname(target);
    // A name without an address is a look-up that found no data.
    if (host == NULL || FirstAddress(host) == NULL) {
      int error = host == NULL ? WinSock.WSAGetLastError() : WSANO_DATA;
      ReportAdd(LoadMessage(IsNetworkProblem(error)          ? MSG_NETWORK_PROBLEM
                            : error == WSAHOST_NOT_FOUND ? MSG_UNKNOWN_NAME
                                                         : MSG_BAD_ADDRESS),
                target);
      StopWinSock();
      return 1;
    }
    memcpy(&address, FirstAddress(host), sizeof address);
  } else {
    // A dotted address is shown by its name where it has one. Without a
    // reverse record it is still a valid address: it is shown as given and
    // pinged. Only a network that cannot be asked stops here.
    host = WinSock.gethostbyaddr((const char*)&address, sizeof address, AF_INET);
    if (host == NULL) {
      if (IsNetworkProblem(WinSock.WSAGetLastError())) {
        ReportAdd(LoadMessage(MSG_NETWORK_PROBLEM), target);
        StopWinSock();
        return 1;
      }
    } else if (host->h_name != NULL) {
      // The next look-up reuses WinSock's record.
      CopyCut(reverseName, sizeof reverseName, host->h_name);
      displayName = reverseName;
    }
  }

  if (WinSock.gethostname(ownName, sizeof ownName) != 0) {
    ReportAdd(LoadMessage(MSG_NETWORK_DOWN));
    StopWinSock();
    return 1;
  }
  host = WinSock.gethostbyname(ownName);
  if (host == NULL || host->h_name == NULL) {
    ReportAdd(LoadMessage(MSG_NO_FQDN), ownName);
    StopWinSock();
    return 1;
  }
  dottedText = WinSock.inet_ntoa(address);
  if (dottedText == NULL) {
    ReportAdd(LoadMessage(MSG_BAD_ADDRESS), target);
    StopWinSock();
    return 1;
  }
  CopyCut(dotted, sizeof dotted, dottedText);
  ReportAdd(LoadMessage(MSG_PINGING), dotted, displayName, host->h_name, ECHO_PAYLOAD_SIZE);
  StopWinSock();

  // The echo service needs no WinSock.
  if (!SendEcho(address.s_addr, &roundTripMs, &echoError)) {
    ReportAdd(LoadMessage(MSG_ECHO_FAILED), dotted, displayName);
    ReportEchoError(echoError);
    return 1;
  }
  if (roundTripMs != 0) {
    ReportAdd(LoadMessage(MSG_RESPONSE_MS), roundTripMs);
  } else {
    ReportAdd(LoadMessage(MSG_RESPONSE_UNDER_1_MS));
  }
  if (quiet) {
    ReportDropLast();
    ReportDropLast();
  }
  return 0;
}

void ReportSystemError(DWORD code) {
  char* text = NULL;
  // Inserts are kept as written: without IGNORE_INSERTS such a text fails.
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL);
  if (length != 0 && text != NULL) {
    ReportAdd(LoadMessage(MSG_SYSTEM_ERROR_TEXT), code, text);
  } else {
    ReportAdd(LoadMessage(MSG_NO_SYSTEM_TEXT), code, code);
  }
  if (text != NULL) LocalFree(text);
}
