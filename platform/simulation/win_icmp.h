// The ICMP echo service (icmp.dll): one echo request and its replies, with
// the records of <ipexport.h> in their 32-bit Windows layouts.
#pragma once

#include "win_types.h"

typedef ULONG IPAddr;  // IPv4 address, network byte order

// A pointer field of the 32-bit layout. The records keep their Windows sizes
// (8 and 28 bytes) so that a reply buffer sized for Windows fits; a 64-bit
// address does not fit in it, so the simulation leaves such fields 0.
typedef ULONG POINTER_32_FIELD;

typedef struct ip_option_information {
  UCHAR Ttl;
  UCHAR Tos;
  UCHAR Flags;
  UCHAR OptionsSize;
  POINTER_32_FIELD OptionsData;  // PUCHAR
} IP_OPTION_INFORMATION, *PIP_OPTION_INFORMATION;

typedef struct icmp_echo_reply {
  IPAddr Address;
  ULONG Status;
  ULONG RoundTripTime;  // milliseconds
  USHORT DataSize;
  USHORT Reserved;
  POINTER_32_FIELD Data;  // PVOID
  struct ip_option_information Options;
} ICMP_ECHO_REPLY, *PICMP_ECHO_REPLY;

// Echo status codes (IP_STATUS_BASE + n); IP_SUCCESS and IP_REQ_TIMED_OUT
// are with the other error codes.
#define IP_STATUS_BASE 11000
#define IP_BUF_TOO_SMALL (IP_STATUS_BASE + 1)
#define IP_DEST_NET_UNREACHABLE (IP_STATUS_BASE + 2)
#define IP_DEST_HOST_UNREACHABLE (IP_STATUS_BASE + 3)
#define IP_DEST_PROT_UNREACHABLE (IP_STATUS_BASE + 4)
#define IP_DEST_PORT_UNREACHABLE (IP_STATUS_BASE + 5)
#define IP_TTL_EXPIRED_TRANSIT (IP_STATUS_BASE + 13)
#define IP_BAD_DESTINATION (IP_STATUS_BASE + 18)
#define IP_GENERAL_FAILURE (IP_STATUS_BASE + 50)

#ifdef __cplusplus
extern "C" {
#endif

HANDLE WINAPI IcmpCreateFile(void);
BOOL WINAPI IcmpCloseHandle(HANDLE IcmpHandle);
// Number of replies written to ReplyBuffer; 0 with the error (for instance
// IP_REQ_TIMED_OUT) from GetLastError when none arrived in Timeout ms.
DWORD WINAPI IcmpSendEcho(HANDLE IcmpHandle, IPAddr DestinationAddress, LPVOID RequestData,
                          WORD RequestSize, PIP_OPTION_INFORMATION RequestOptions,
                          LPVOID ReplyBuffer, DWORD ReplySize, DWORD Timeout);

// IP helper library (iphlpapi.dll, Windows 2000 and later): the text of an
// echo status. *Size is the buffer's length in characters without the
// terminating zero; NO_ERROR with the text, ERROR_INSUFFICIENT_BUFFER with
// the length needed, or ERROR_INVALID_PARAMETER for no status it knows.
DWORD WINAPI GetIpErrorString(ULONG ErrorCode, LPWSTR Buffer, PDWORD Size);

#ifdef __cplusplus
}
#endif
