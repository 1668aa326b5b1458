// The network exports of CVNUNIST.dll on this machine.
//
//   wine_network.exe probe
//       check host: zrPortExists against listeners this host starts on its
//       own address and on loopback, and against a closed port.
//   wine_network.exe validate LEVEL FILE TARGETS
//       ValidateEnvironment with bit 0 set; exit code = its result. (It
//       closes standard output, so the scenario reads FILE itself.)
#include <windows.h>
#include <winsock.h>

#include <stdlib.h>

#include "check.h"

namespace {

typedef int (*PortExistsFn)(int port);
typedef int (*ValidateFn)(unsigned flags, int level, const char* outputFile, char* targets,
                          const char* moduleName);

// An export by name, as its plain C type.
template <typename Fn>
Fn Export(HMODULE dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// A stream socket bound to address:0, listening or not; its port in *port.
SOCKET Bound(ULONG address, bool listening, int* port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = address;
  int size = sizeof local;
  if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      (listening && listen(s, 4) != 0) ||
      getsockname(s, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  *port = ntohs(local.sin_port);
  return s;
}

void Probe(PortExistsFn portExists) {
  WSADATA data;
  if (!CHECK_EQ(0, WSAStartup(MAKEWORD(1, 1), &data))) return;
  // This host's own address, found the way the probe finds it.
  char name[256];
  hostent* host = NULL;
  if (CHECK_EQ(0, gethostname(name, sizeof name))) host = gethostbyname(name);
  if (!CHECK_THAT(host != NULL, "own name does not resolve (%d)", WSAGetLastError())) {
    WSACleanup();
    return;
  }
  in_addr own;
  memcpy(&own, host->h_addr_list[0], sizeof own);
  // Kept before the probe's own look-ups replace WinSock's record.
  in_addr second = {};
  if (host->h_addr_list[1] != NULL) memcpy(&second, host->h_addr_list[1], sizeof second);
  printf("this host: %s at %s\n", name, inet_ntoa(own));

  int port = 0;
  SOCKET listener = Bound(own.s_addr, true, &port);
  if (CHECK_THAT(listener != INVALID_SOCKET, "no listener on the own address (%d)", WSAGetLastError())) {
    CHECK_EQ(0, portExists(port));
    closesocket(listener);
  }

  SOCKET unused = Bound(own.s_addr, false, &port);
  if (CHECK(unused != INVALID_SOCKET)) {
    closesocket(unused);
    CHECK_EQ(WSAECONNREFUSED, portExists(port));
  }

  // A program that holds a port on the host's second address only is seen
  // (on a machine of more than one address).
  if (second.s_addr != 0) {
    printf("second address: %s\n", inet_ntoa(second));
    SOCKET held = Bound(second.s_addr, true, &port);
    if (CHECK_THAT(held != INVALID_SOCKET, "no listener on the second address (%d)", WSAGetLastError())) {
      CHECK_EQ(0, portExists(port));
      closesocket(held);
      CHECK_EQ(WSAECONNREFUSED, portExists(port));
    }
  }

  // Loopback is never probed: a program listening there alone is not seen.
  if ((ntohl(own.s_addr) >> 24) != 127) {
    SOCKET loopback = Bound(htonl(INADDR_LOOPBACK), true, &port);
    if (CHECK(loopback != INVALID_SOCKET)) {
      CHECK_EQ(WSAECONNREFUSED, portExists(port));
      closesocket(loopback);
    }
  }
  WSACleanup();
}

}  // namespace

int main(int argc, char** argv) {
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  if (argc == 5 && strcmp(argv[1], "validate") == 0) {
    if (dll == NULL) return 100;
    ValidateFn validate = Export<ValidateFn>(dll, "ValidateEnvironment");
    if (validate == NULL) return 101;
    return validate(0x1, atoi(argv[2]), argv[3], argv[4], "CVNUNIST.dll");
  }
  if (CHECK_THAT(argc == 2 && strcmp(argv[1], "probe") == 0, "usage: probe | validate LEVEL FILE TARGETS") &&
      CHECK_THAT(dll != NULL, "LoadLibraryA(\"CVNUNIST.dll\") failed with %lu", GetLastError())) {
    PortExistsFn portExists = Export<PortExistsFn>(dll, "zrPortExists");
    if (CHECK(portExists != NULL)) Probe(portExists);
  }
  return check::Summary();
}
