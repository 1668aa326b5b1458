// The network section's name-server walk over any configured list: entries
// of any length and bytes, values without their NUL, the DHCP value as the
// fall-back, on the scripted network with one call that may fail.
//
// Input: a fault (2 bytes); a byte of choices (bit 0: NameServer is set,
// bit 1: it is REG_EXPAND_SZ, bit 2: DhcpNameServer is set, the rest: the
// report level; bit 7 also: Windows 2000, with an adapter whose NameServer
// holds DhcpNameServer's bytes and whose DhcpNameServer holds NameServer's);
// NameServer's bytes (2-byte length, then the bytes); the rest is
// DhcpNameServer's bytes.
#include "fuzz.h"
#include "network_checks.h"
#include "report.h"

namespace {

const char kParameters[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
const char kInterface[] =
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{2A7B3C4D-0000-4E5F}";

}  // namespace

void FuzzNameServers(const uint8_t* data, size_t size) {
  FreshMachine();
  sim::ScriptNetwork();
  FuzzInput input(data, size);
  InjectFault(input, {{"WSAStartup", WSASYSNOTREADY},
                      {"gethostname", WSAENETDOWN},
                      {"gethostbyname", WSATRY_AGAIN},
                      {"gethostbyaddr", WSANO_DATA},
                      {"IcmpCreateFile", ERROR_NOT_ENOUGH_MEMORY},
                      {"IcmpSendEcho", IP_REQ_TIMED_OUT},
                      {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
                      {"RegQueryValueExA", ERROR_MORE_DATA},
                      {"malloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"realloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"FormatMessageA", ERROR_MR_MID_NOT_FOUND},
                      {"IcmpSendEcho", IP_DEST_HOST_UNREACHABLE},
                      {"GetIpErrorString", ERROR_NOT_ENOUGH_MEMORY},
                      {"RegEnumKeyExA", ERROR_MORE_DATA}});
  uint8_t choices = input.Byte();
  std::string nameServers = input.LongText();
  std::string dhcpNameServers = input.Rest();
  if (choices & 1)
    sim::SetRawValue(HKEY_LOCAL_MACHINE, kParameters, "NameServer", choices & 2 ? REG_EXPAND_SZ : REG_SZ,
                     nameServers);
  if (choices & 4) sim::SetRawValue(HKEY_LOCAL_MACHINE, kParameters, "DhcpNameServer", REG_SZ, dhcpNameServers);
  int level = (choices >> 3) % 3;
  if (choices & 0x80) {
    sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Service Pack 4"});
    sim::SetRawValue(HKEY_LOCAL_MACHINE, kInterface, "NameServer", REG_SZ, dhcpNameServers);
    sim::SetRawValue(HKEY_LOCAL_MACHINE, kInterface, "DhcpNameServer", REG_SZ, nameServers);
  }

  int severity = CheckNetworkConnectivity(level);
  FUZZ_CHECK(severity >= SEV_INFORMATION && severity <= SEV_ERROR);
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzNameServers)
