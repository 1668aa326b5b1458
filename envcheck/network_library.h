// WinSock 1.1 (wsock32.dll) and the ICMP echo service (icmp.dll), loaded by
// their full path in the system directory while a check uses them. A library
// named alone is looked for in the loading program's directory first, which
// users may be able to write (the uninstaller runs from the Windows directory
// on Windows NT 4.0); and the uninstall, which loads this library too, never
// needs either of them.
#pragma once

#include "platform.h"

// Every routine that resolves names or probes a port starts WinSock 1.1 for
// itself and ends it before returning.
#define WINSOCK_VERSION_1_1 0x0101

// The calls each library gives, by their exported names.
#define WINSOCK_CALLS(X)                                                                        \
  X(WSAStartup) X(WSACleanup) X(WSAGetLastError) X(socket) X(connect) X(closesocket)            \
  X(gethostname) X(gethostbyname) X(gethostbyaddr) X(inet_addr) X(inet_ntoa) X(htons)          \
  X(ioctlsocket) X(select) X(getsockopt) X(__WSAFDIsSet)
#define ICMP_CALLS(X) X(IcmpCreateFile) X(IcmpCloseHandle) X(IcmpSendEcho)

#define NETWORK_CALL_FIELD(name) decltype(&::name) name;
struct WinSockCalls {
  WINSOCK_CALLS(NETWORK_CALL_FIELD)
};
struct IcmpCalls {
  ICMP_CALLS(NETWORK_CALL_FIELD)
};
#undef NETWORK_CALL_FIELD

// Valid from a successful start or open until its stop or close.
extern WinSockCalls WinSock;
extern IcmpCalls Icmp;

// Loads wsock32.dll and starts WinSock 1.1: 0, or the WinSock error, which
// is WSASYSNOTREADY when the library or one of its calls cannot be had.
int StartWinSock(WSADATA* data);
// Ends the start and releases the library.
void StopWinSock(void);
// Loads icmp.dll and opens an echo handle; INVALID_HANDLE_VALUE with *error
// when either fails.
HANDLE OpenEcho(DWORD* error);
// Closes the echo handle and releases the library.
void CloseEcho(HANDLE echo);
// The system's text for an echo's IP status, from the IP helper library of
// Windows 2000 and later (loaded for this one use), cut to `size` characters
// with the terminator: 0 with the text, -1 when the system has no such
// call, else the call's error.
int GetIpStatusText(ULONG status, WCHAR* text, DWORD size);
