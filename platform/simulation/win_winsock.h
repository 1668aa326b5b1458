// WinSock 1.1 (wsock32.dll) and the NetBIOS computer name: the types,
// constants and calls of <winsock.h>, with the 32-bit Windows layouts.
//
// The Berkeley names (socket, connect, gethostname, ...) are also the C
// library's, so they cannot be ours at link time: each one is a macro for a
// Sim* function here, and the structures carry the Windows names and layouts.
// A translation unit therefore sees either these declarations or the C
// library's socket headers, never both: mixing them fails to compile (the
// structures clash), it never links the wrong call. The simulation reaches
// the host's sockets from a file of its own that includes only the C
// library's headers (sim_net_host.cpp).
#pragma once

#include "win_types.h"

// The C library declares its own gethostname, select, fd_set and timeval
// here; take those declarations before the names become ours, so a later
// include cannot redeclare them.
#include <sys/select.h>
#include <unistd.h>

#if defined(_SYS_SOCKET_H) || defined(_NETDB_H) || defined(_NETINET_IN_H) || defined(_ARPA_INET_H)
#error "the C library's socket headers and the WinSock declarations cannot share a file"
#endif

// u_char, u_short and u_int are the C library's (the same types); its u_long
// is 64 bits wide here, so 32-bit fields use ULONG, as newer Windows headers do.
typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef uintptr_t SOCKET;  // UINT_PTR

#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define AF_UNSPEC 0
#define AF_INET 2
#define PF_INET AF_INET
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define SOCK_RAW 3
#define IPPROTO_IP 0
#define IPPROTO_ICMP 1
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17

#define INADDR_ANY ((ULONG)0x00000000)
#define INADDR_LOOPBACK 0x7f000001
#define INADDR_BROADCAST ((ULONG)0xffffffff)
#define INADDR_NONE 0xffffffff

// Codes of the calls' argument checks, beside the common ones.
#ifndef WSAEPROTONOSUPPORT
#define WSAEPROTONOSUPPORT 10043
#endif
#ifndef WSAESOCKTNOSUPPORT
#define WSAESOCKTNOSUPPORT 10044
#endif

#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
} WSADATA, *LPWSADATA;

struct in_addr {
  union {
    struct {
      u_char s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      u_short s_w1, s_w2;
    } S_un_w;
    ULONG S_addr;
  } S_un;
};
#define s_addr S_un.S_addr
typedef struct in_addr IN_ADDR;

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};
typedef struct sockaddr SOCKADDR;

struct sockaddr_in {
  short sin_family;
  u_short sin_port;
  struct in_addr sin_addr;
  char sin_zero[8];
};
typedef struct sockaddr_in SOCKADDR_IN;

// Owned by WinSock: valid until the thread's next WinSock call.
struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};
#define h_addr h_addr_list[0]
typedef struct hostent HOSTENT;

// select's sets: a count and an array of sockets, not the C library's bit
// masks, and its time-out with the 32-bit fields of Windows.
#undef FD_SETSIZE
#undef FD_CLR
#undef FD_SET
#undef FD_ZERO
#undef FD_ISSET
#define FD_SETSIZE 64
#define fd_set SimFdSet
#define timeval SimTimeval
typedef struct SimFdSet {
  u_int fd_count;
  SOCKET fd_array[FD_SETSIZE];
} fd_set;
struct timeval {
  LONG tv_sec;
  LONG tv_usec;
};
typedef struct timeval TIMEVAL;
// Adds a socket once, while the set has room.
#define FD_SET(fd, set)                                                         \
  do {                                                                          \
    u_int fdAt_;                                                                \
    for (fdAt_ = 0; fdAt_ < (set)->fd_count; ++fdAt_)                           \
      if ((set)->fd_array[fdAt_] == (SOCKET)(fd)) break;                        \
    if (fdAt_ == (set)->fd_count && (set)->fd_count < FD_SETSIZE)               \
      (set)->fd_array[(set)->fd_count++] = (SOCKET)(fd);                        \
  } while (0)
#define FD_ZERO(set) ((set)->fd_count = 0)
#define FD_ISSET(fd, set) __WSAFDIsSet((SOCKET)(fd), (fd_set*)(set))

// ioctlsocket's command that makes a socket non-blocking (_IOW('f', 126, u_long)).
#define FIONBIO ((LONG)0x8004667EL)
// getsockopt's level and option for the error of a connect that failed.
#define SOL_SOCKET 0xffff
#define SO_ERROR 0x1007

#define socket SimSocket
#define connect SimConnect
#define closesocket SimClosesocket
#define gethostname SimGethostname
#define gethostbyname SimGethostbyname
#define gethostbyaddr SimGethostbyaddr
#define inet_addr SimInetAddr
#define inet_ntoa SimInetNtoa
#define htons SimHtons
#define select SimSelect
#define ioctlsocket SimIoctlsocket
#define getsockopt SimGetsockopt

#ifdef __cplusplus
extern "C" {
#endif

int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
int WINAPI WSACleanup(void);
int WINAPI WSAGetLastError(void);
void WINAPI WSASetLastError(int iError);

SOCKET WINAPI socket(int af, int type, int protocol);
int WINAPI connect(SOCKET s, const struct sockaddr* name, int namelen);
int WINAPI closesocket(SOCKET s);
int WINAPI ioctlsocket(SOCKET s, LONG cmd, ULONG* argp);
int WINAPI getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen);
// nfds is ignored, as WinSock ignores it; timeout NULL waits without end.
int WINAPI select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds,
                  const struct timeval* timeout);
// Whether `fd` is in `set` (what FD_ISSET asks).
int WINAPI __WSAFDIsSet(SOCKET fd, fd_set* set);

int WINAPI gethostname(char* name, int namelen);
struct hostent* WINAPI gethostbyname(const char* name);
struct hostent* WINAPI gethostbyaddr(const char* addr, int len, int type);

ULONG WINAPI inet_addr(const char* cp);
char* WINAPI inet_ntoa(struct in_addr in);
u_short WINAPI htons(u_short hostshort);

// The NetBIOS name of this machine (kernel32): at most 15 characters.
#define MAX_COMPUTERNAME_LENGTH 15
#ifndef ERROR_BUFFER_OVERFLOW
#define ERROR_BUFFER_OVERFLOW 111L
#endif
BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize);

#ifdef __cplusplus
}
#endif
