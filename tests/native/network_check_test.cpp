// The network section on a scripted network: self ping, name-server walk,
// naming comparison, their take-backs at quiet levels and their counts.
#include <string>
#include <vector>

#include "network_fixture.h"

namespace {

using Lines = std::vector<std::string>;

const char kTcpip[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
const char kSelf[] = "Pinging Self...\n";
const char kUnder1Ms[] = " Got response in less than 1 ms.\n";
const char kNameServers[] = "\nPinging Name servers...\n";
const char kCannotPingNameServer[] = "Warning: Cannot Ping NameServer...\n";
const char kSelfPingFailed[] = "Error: A ping of this node failed.\n\n";
const char kSelfPingAdvice[] =
    "\nRecommendation: A problem \"Pinging\" the local node indicates a\nbasic problem with this "
    "nodes TCP/IP configuration.\nVerify this nodes TCP/IP settings.\n\n";
const char kCorrectDns[] =
    "\nRecommendation: Correct the DNS address in the via the\nNetwork Control application.\n\n";
const char kNetworkDown[] = "Warning: Network appears \"Down\".\n";
const char kWinsockMissing[] = "Error: WINSOCK not available.\n\n";
const char kVerifyInstalled[] = "Recommendation: Verify your system has TCP/IP correctly installed.\n\n";
const char kVerifyNameServers[] =
    "Recommendation: Verify your system TCP/IP configuration,\nand your configured name servers.\n\n";
const Lines kNaming = {"\nNETWORK NAMING:\n\n", "Computer name = CVNHOST\n", "Host name     = cvnhost\n",
                       "FQDN          = cvnhost.velmora.test\n",
                       "Network name  = cvnhost.velmora.test\n\n"};

std::string Pinging(const std::string& address, const std::string& name) {
  return " Pinging: " + address + " (" + name + ") from cvnhost.velmora.test with 32 bytes of data...\n";
}
std::string Malformed(const std::string& entry) {
  return "Warning: The configured name server: " + entry + " has a malformed address format.\n\n";
}
std::string NameServerProblem(const std::string& entry) {
  return "\nProblem pinging Name Server " + entry + ".\n";
}
std::string NameServersAdvice(int configured, int failed) {
  return "\nRecommendation: Problems communicating with name servers can be\ncaused by transitory "
         "network dropouts, a name server being unavailable,\nor your local system could be "
         "misconfigured. Of the " +
         std::to_string(configured) + " name servers configured\n" + std::to_string(failed) +
         " did not respond. Verify your configuration.\n\n";
}
Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class NetworkCheckTest : public NetworkTest {
 protected:
  static void SetNameServers(const std::string& list, const char* value = "NameServer") {
    sim::SetValue(HKEY_LOCAL_MACHINE, kTcpip, value, REG_SZ, list);
  }
  // Two name servers given by address, each with its reverse record.
  static void TwoNameServers() {
    SetNameServers("10.0.0.53 10.0.0.54");
    sim::AddReverse("10.0.0.53", "ns1.velmora.test");
    sim::AddReverse("10.0.0.54", "ns2.velmora.test");
  }
  static std::vector<std::string> EchoedAddresses() {
    std::vector<std::string> addresses;
    for (const sim::EchoRequest& echo : sim::EchoRequests()) addresses.push_back(echo.address);
    return addresses;
  }
};

// ---- The whole section --------------------------------------------------------

TEST_F(NetworkCheckTest, HealthySectionAtLevelZeroShowsEveryLine) {
  TwoNameServers();
  sim::AnswerEcho("10.0.0.54", 12);
  EXPECT_EQ(CheckNetworkConnectivity(0), SEV_INFORMATION);
  EXPECT_EQ(Entries(), Concat({{kSelf, Pinging("10.20.30.40", "cvnhost"), kUnder1Ms, kNameServers,
                                Pinging("10.0.0.53", "ns1.velmora.test"), kUnder1Ms,
                                Pinging("10.0.0.54", "ns2.velmora.test"), " Got response in 12 ms.\n"},
                               kNaming}));
  EXPECT_EQ(WarningCount, 0u);
  EXPECT_EQ(ErrorCount, 0u);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53", "10.0.0.54"}));
}

TEST_F(NetworkCheckTest, HealthySectionAtQuietLevelsTakesEverythingBack) {
  TwoNameServers();
  for (int level : {1, 2}) {
    EXPECT_EQ(CheckNetworkConnectivity(level), SEV_INFORMATION) << level;
    EXPECT_EQ(PendingReport, nullptr) << level;
  }
  EXPECT_EQ(sim::EchoRequests().size(), 6u);
  EXPECT_EQ(WarningCount + ErrorCount, 0u);
}

TEST_F(NetworkCheckTest, NameMismatchStillShowsAtQuietLevelsAndCountsNothing) {
  sim::AddReverse(sim::kScriptedAddress, "other.velmora.test");
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_INFORMATION);
  EXPECT_EQ(Entries(),
            (Lines{"Information: The local name \"cvnhost\" resolves to the full domain\nname of "
                   "\"cvnhost.velmora.test\". However the TCP/IP address of the\nlocal name "
                   "resolves back to \"other.velmora.test\".\n\n",
                   kVerifyNameServers}));
  EXPECT_EQ(WarningCount + ErrorCount, 0u);
}

TEST_F(NetworkCheckTest, NamesDifferingOnlyInCaseMatch) {
  sim::AddReverse(sim::kScriptedAddress, "CVNHOST.Velmora.TEST");
  EXPECT_EQ(CheckNetworkConnectivity(2), SEV_INFORMATION);
  EXPECT_EQ(PendingReport, nullptr);
}

TEST_F(NetworkCheckTest, SecondByteOfADoubleByteCharacterComparesExactly) {
  sim::SetCodePage(932);
  // 0x83 0x41 is one character; 0x83 0x61 another, not its lower case.
  sim::SetHostName("\x83\x41host");
  sim::AddHost("\x83\x41host.velmora.test", {sim::kScriptedAddress}, {"\x83\x41host"});
  sim::AddReverse(sim::kScriptedAddress, "\x83\x41HOST.velmora.test");
  EXPECT_EQ(CheckNetworkConnectivity(2), SEV_INFORMATION);
  EXPECT_EQ(PendingReport, nullptr);
  sim::AddReverse(sim::kScriptedAddress, "\x83\x61host.velmora.test");
  EXPECT_EQ(CheckNetworkConnectivity(2), SEV_INFORMATION);
  ASSERT_FALSE(Entries().empty());
  EXPECT_NE(Entries()[0].find("resolves back to \"\x83\x61host.velmora.test\""), std::string::npos);
}

TEST_F(NetworkCheckTest, NamesOfWhichOneIsAPrefixOfTheOtherDoNotMatch) {
  const std::string fqdn = sim::kScriptedFqdn;
  for (const std::string& reverse : {std::string("cvnhost"), fqdn + ".example"}) {
    sim::AddReverse(sim::kScriptedAddress, reverse);
    EXPECT_EQ(CheckNetworkConnectivity(2), SEV_INFORMATION) << reverse;
    EXPECT_EQ(Entries(),
              (Lines{"Information: The local name \"cvnhost\" resolves to the full domain\nname of "
                     "\"cvnhost.velmora.test\". However the TCP/IP address of the\nlocal name "
                     "resolves back to \"" +
                         reverse + "\".\n\n",
                     kVerifyNameServers}))
        << reverse;
    ReportDiscard();
  }
  EXPECT_EQ(WarningCount + ErrorCount, 0u);
}

TEST_F(NetworkCheckTest, FailedSelfPingAtLevelOneLeavesErrorFailureAndAdvice) {
  sim::DropEcho(sim::kScriptedAddress);
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_ERROR);
  EXPECT_EQ(Entries(), (Lines{kSelfPingFailed, Pinging("10.20.30.40", "cvnhost"),
                              " SendEcho to 10.20.30.40 (cvnhost) failed.\n",
                              " Error (0x2b02): Request timed out.\r\n\n", kSelfPingAdvice}));
  EXPECT_EQ(ErrorCount, 1u);
  EXPECT_EQ(WarningCount, 0u);
  EXPECT_EQ(sim::ElapsedMs(), 5000u);
}

TEST_F(NetworkCheckTest, NameServersArePingedAfterAFailedSelfPing) {
  TwoNameServers();
  sim::DropEcho(sim::kScriptedAddress);
  EXPECT_EQ(CheckNetworkConnectivity(0), SEV_ERROR);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53", "10.0.0.54"}));
  EXPECT_EQ(ErrorCount, 1u);
}

TEST_F(NetworkCheckTest, HostNameOf128CharactersPassesTheFirstReadAndFailsTheSecond) {
  std::string longName(128, 'n');
  sim::SetHostName(longName);
  sim::AddHost(longName, {"10.20.30.41"});
  sim::AddReverse("10.20.30.41", longName);
  EXPECT_EQ(CheckNetworkConnectivity(0), SEV_ERROR);
  Lines entries = Entries();
  ASSERT_GE(entries.size(), 4u);
  EXPECT_EQ(Lines(entries.begin(), entries.begin() + 4),
            (Lines{kSelf, kNetworkDown, kSelfPingAdvice, kNameServers}));
  EXPECT_TRUE(sim::EchoRequests().empty());
  EXPECT_EQ(ErrorCount, 1u);
}

TEST_F(NetworkCheckTest, MissingWinsockIsCountedOnceInThePingAndOnceInTheNaming) {
  sim::FailCall("WSAStartup", WSASYSNOTREADY, 1, 2);
  EXPECT_EQ(CheckNetworkConnectivity(0), SEV_ERROR);
  EXPECT_EQ(Entries(), (Lines{kSelf, kWinsockMissing, kVerifyInstalled, kSelfPingAdvice, kNameServers,
                              kNaming[0], kNaming[1], kWinsockMissing, kVerifyInstalled}));
  EXPECT_EQ(ErrorCount, 2u);
  EXPECT_EQ(WarningCount, 0u);
}

TEST_F(NetworkCheckTest, MissingWinsockInTheNamingAloneMakesTheSectionAnError) {
  sim::FailCall("WSAStartup", WSASYSNOTREADY, 2);
  EXPECT_EQ(CheckNetworkConnectivity(2), SEV_ERROR);
  EXPECT_EQ(Entries(), (Lines{kWinsockMissing, kVerifyInstalled}));
  EXPECT_EQ(ErrorCount, 1u);
}

// ---- The name-server walk -------------------------------------------------------

TEST_F(NetworkCheckTest, EntriesOf8And15CharactersArePingedAnd7And16AreMalformed) {
  SetNameServers("1.2.3.4 10.0.0.5 100.100.100.100 100.100.100.1000");
  sim::AddReverse("10.0.0.5", "ns5.velmora.test");
  sim::AddReverse("100.100.100.100", "ns100.velmora.test");
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kCannotPingNameServer, Malformed("1.2.3.4"), kCorrectDns,
                              Malformed("100.100.100.1000"), kCorrectDns, NameServersAdvice(4, 2)}));
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.5", "100.100.100.100"}));
  EXPECT_EQ(WarningCount, 2u);
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(NetworkCheckTest, EmptyNameServerFallsBackToDhcpNameServer) {
  SetNameServers("");
  SetNameServers("10.0.0.53", "DhcpNameServer");
  sim::AddReverse("10.0.0.53", "ns1.velmora.test");
  EXPECT_EQ(CheckNetworkConnectivity(0), SEV_INFORMATION);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53"}));
}

TEST_F(NetworkCheckTest, NameServerValueIsPreferredToDhcpNameServer) {
  SetNameServers("10.0.0.53");
  SetNameServers("10.0.0.54", "DhcpNameServer");
  sim::AddReverse("10.0.0.53", "ns1.velmora.test");
  sim::AddReverse("10.0.0.54", "ns2.velmora.test");
  CheckNetworkConnectivity(0);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53"}));
}

TEST_F(NetworkCheckTest, NoNameServerConfiguredIsNoFailure) {
  EXPECT_EQ(CheckNetworkConnectivity(0), SEV_INFORMATION);
  EXPECT_EQ(Entries(), Concat({{kSelf, Pinging("10.20.30.40", "cvnhost"), kUnder1Ms, kNameServers}, kNaming}));
  ReportDiscard();
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_INFORMATION);
  EXPECT_EQ(PendingReport, nullptr);
}

TEST_F(NetworkCheckTest, DottedServerWithoutReverseRecordIsPingedByItsAddress) {
  SetNameServers("10.0.0.99");
  sim::FailReverseLookup("10.0.0.99", WSANO_DATA);
  EXPECT_EQ(CheckNetworkConnectivity(0), SEV_INFORMATION);
  Lines entries = Entries();
  EXPECT_EQ(Lines(entries.begin() + 3, entries.begin() + 6),
            (Lines{kNameServers, Pinging("10.0.0.99", "10.0.0.99"), kUnder1Ms}));
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.99"}));
  EXPECT_EQ(WarningCount, 0u);
  // It fails only when it does not answer.
  ReportDiscard();
  sim::DropEcho("10.0.0.99");
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kCannotPingNameServer, Pinging("10.0.0.99", "10.0.0.99"),
                              " SendEcho to 10.0.0.99 (10.0.0.99) failed.\n",
                              " Error (0x2b02): Request timed out.\r\n\n", NameServerProblem("10.0.0.99"),
                              NameServersAdvice(1, 1)}));
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(NetworkCheckTest, CommaSeparatedNameServersArePingedEach) {
  // As Windows 2000 and later store them, with or without blanks after the comma.
  SetNameServers("10.0.0.53,10.0.0.54, 10.0.0.55");
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_INFORMATION);
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53", "10.0.0.54", "10.0.0.55"}));
  // Two commas in a row leave an empty entry, as two blanks do.
  ReportDiscard();
  SetNameServers("10.0.0.53,,10.0.0.54");
  EXPECT_EQ(CheckNetworkConnectivity(2), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kCannotPingNameServer, Malformed(""), kCorrectDns, NameServersAdvice(3, 1)}));
}

TEST_F(NetworkCheckTest, NameServersOfEveryAdapterArePingedOnceEach) {
  const std::string interfaces = std::string(kTcpip) + "\\Interfaces\\";
  SetNameServers("10.0.0.53", "DhcpNameServer");
  // An adapter's own list is preferred to what DHCP gave it.
  sim::SetValue(HKEY_LOCAL_MACHINE, interfaces + "{11111111-2222-3333-4444-555555555555}", "NameServer",
                REG_SZ, "10.0.0.54,10.0.0.53");
  sim::SetValue(HKEY_LOCAL_MACHINE, interfaces + "{11111111-2222-3333-4444-555555555555}",
                "DhcpNameServer", REG_SZ, "10.0.0.98");
  sim::SetValue(HKEY_LOCAL_MACHINE, interfaces + "{66666666-2222-3333-4444-555555555555}",
                "DhcpNameServer", REG_SZ, "10.0.0.55 10.0.0.54");
  sim::SetValue(HKEY_LOCAL_MACHINE, interfaces + "{77777777-2222-3333-4444-555555555555}", "NameServer",
                REG_SZ, "");
  sim::DropEcho("10.0.0.55");
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_WARNING);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53", "10.0.0.54", "10.0.0.55"}));
  Lines entries = Entries();
  EXPECT_EQ(entries.back(), NameServersAdvice(3, 1));
  EXPECT_EQ(entries[entries.size() - 2], NameServerProblem("10.0.0.55"));
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(NetworkCheckTest, AddressesBeyondWhatIsKeptArePingedAgainByAnAdapter) {
  // 60 addresses of 9 characters fill the 512 bytes kept; the last ones are
  // not remembered, so an adapter naming one has it pinged again.
  std::string list;
  for (int i = 10; i < 70; ++i) list += "10.0.1." + std::to_string(i) + " ";
  SetNameServers(list);
  sim::SetValue(HKEY_LOCAL_MACHINE, std::string(kTcpip) + "\\Interfaces\\{A}", "NameServer", REG_SZ,
                "10.0.1.10,10.0.1.69");
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_INFORMATION);
  Lines echoed = EchoedAddresses();
  ASSERT_EQ(echoed.size(), 62u);
  EXPECT_EQ(echoed.back(), "10.0.1.69");
}

TEST_F(NetworkCheckTest, AdapterNamesTooLongForAPathAreSkipped) {
  const std::string interfaces = std::string(kTcpip) + "\\Interfaces\\";
  // Enumerated in order of name: a name that fits a value's path, two that
  // do not (190 and 240 characters), one after them.
  sim::SetValue(HKEY_LOCAL_MACHINE, interfaces + std::string(180, 'a'), "NameServer", REG_SZ, "10.0.0.53");
  sim::SetValue(HKEY_LOCAL_MACHINE, interfaces + std::string(190, 'b'), "NameServer", REG_SZ, "10.0.0.54");
  sim::SetValue(HKEY_LOCAL_MACHINE, interfaces + std::string(240, 'c'), "NameServer", REG_SZ, "10.0.0.55");
  sim::SetValue(HKEY_LOCAL_MACHINE, interfaces + "d", "NameServer", REG_SZ, "10.0.0.56");
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_INFORMATION);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53", "10.0.0.56"}));
}

TEST_F(NetworkCheckTest, TwoBlanksGiveAnEmptyMalformedMiddleEntry) {
  SetNameServers("10.0.0.53  10.0.0.54");
  sim::AddReverse("10.0.0.53", "ns1.velmora.test");
  sim::AddReverse("10.0.0.54", "ns2.velmora.test");
  EXPECT_EQ(CheckNetworkConnectivity(2), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kCannotPingNameServer, Malformed(""), kCorrectDns, NameServersAdvice(3, 1)}));
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53", "10.0.0.54"}));
}

TEST_F(NetworkCheckTest, WalkStopsAtAControlCharacterOrAHighByte) {
  SetNameServers("10.0.0.53 \t10.0.0.54");
  sim::AddReverse("10.0.0.53", "ns1.velmora.test");
  CheckNetworkConnectivity(1);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53"}));
  EXPECT_EQ(PendingReport, nullptr);
}

TEST_F(NetworkCheckTest, TrailingBlankAddsNoEntryAndALeadingHighByteNone) {
  SetNameServers("10.0.0.53 ");
  sim::AddReverse("10.0.0.53", "ns1.velmora.test");
  CheckNetworkConnectivity(1);
  EXPECT_EQ(PendingReport, nullptr);
  ReportDiscard();
  SetNameServers("\xa0" "10.0.0.53");
  CheckNetworkConnectivity(1);
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(EchoedAddresses(), (Lines{"10.20.30.40", "10.0.0.53", "10.20.30.40"}));
}

TEST_F(NetworkCheckTest, NamedServerThatDoesNotAnswerFailsWithItsTwoLines) {
  SetNameServers("dns.velmora.lan");
  sim::AddHost("dns.velmora.lan", {"10.0.0.53"});
  sim::DropEcho("10.0.0.53");
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kCannotPingNameServer, Pinging("10.0.0.53", "dns.velmora.lan"),
                              " SendEcho to 10.0.0.53 (dns.velmora.lan) failed.\n",
                              " Error (0x2b02): Request timed out.\r\n\n", NameServerProblem("dns.velmora.lan"),
                              NameServersAdvice(1, 1)}));
}

TEST_F(NetworkCheckTest, LongNameServerEntryIsReportedWhole) {
  std::string longEntry(300, '1');
  SetNameServers("10.0.0.53 " + longEntry);
  sim::AddReverse("10.0.0.53", "ns1.velmora.test");
  CheckNetworkConnectivity(2);
  EXPECT_EQ(Entries(), (Lines{kCannotPingNameServer, Malformed(longEntry), kCorrectDns, NameServersAdvice(2, 1)}));
}

// ---- The naming check -------------------------------------------------------------

TEST_F(NetworkCheckTest, MissingComputerNameWarnsWithoutRaisingTheSeverity) {
  sim::FailCall("GetComputerNameA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(CheckNetworkNaming(0), SEV_INFORMATION);
  Lines expected = kNaming;
  expected[1] = "Computer name = \n";
  expected.insert(expected.begin() + 1, "Warning: Cannot get NetBIOS Computer name\n\n");
  EXPECT_EQ(Entries(), expected);
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(NetworkCheckTest, OwnNameWithAnEmptyAddressListIsUnresolvedWithNoData) {
  sim::AddHost("cvnhost.velmora.test", {}, {"cvnhost"});
  EXPECT_EQ(CheckNetworkNaming(1), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{"Warning: This systems locally assigned TCP/IP name (cvnhost) cannot\nbe "
                              "resolved by the available name servers (error = 11004).\n\n",
                              kVerifyNameServers}));
  EXPECT_EQ(WarningCount, 1u);
}

TEST_F(NetworkCheckTest, RecordsWithoutNameOrAddressListAreUnresolvedWithNoData) {
  const Lines unresolved = {"Warning: This systems locally assigned TCP/IP name (cvnhost) cannot\nbe "
                            "resolved by the available name servers (error = 11004).\n\n",
                            kVerifyNameServers};
  sim::HandOutIncompleteRecords(true, false);
  EXPECT_EQ(CheckNetworkNaming(1), SEV_WARNING);
  EXPECT_EQ(Entries(), unresolved);
  ReportDiscard();
  sim::HandOutIncompleteRecords(false, true);
  EXPECT_EQ(CheckNetworkNaming(1), SEV_WARNING);
  EXPECT_EQ(Entries(), unresolved);
  EXPECT_EQ(WarningCount, 2u);
}

TEST_F(NetworkCheckTest, SelfPingWithoutDottedTextFailsTheSectionAndTheRestStillRuns) {
  sim::FailCall("inet_ntoa", 0);
  EXPECT_EQ(CheckNetworkConnectivity(1), SEV_ERROR);
  EXPECT_EQ(Entries(), (Lines{kSelfPingFailed, " Bad IP Address: cvnhost\n", kSelfPingAdvice}));
  EXPECT_EQ(ErrorCount, 1u);
}

TEST_F(NetworkCheckTest, NamingFailuresWarnWithTheirWinsockCodes) {
  sim::FailCall("gethostname", WSAENETDOWN);
  EXPECT_EQ(CheckNetworkNaming(1), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{kNetworkDown, kVerifyInstalled}));
  ReportDiscard();

  sim::FailLookup("cvnhost", WSATRY_AGAIN);
  EXPECT_EQ(CheckNetworkNaming(1), SEV_WARNING);
  EXPECT_EQ(Entries(), (Lines{"Warning: This systems locally assigned TCP/IP name (cvnhost) cannot\nbe "
                              "resolved by the available name servers (error = 11002).\n\n",
                              kVerifyNameServers}));
  ReportDiscard();

  sim::FailLookup("cvnhost", 0);
  sim::SetHostName("CVNHOST");
  sim::FailReverseLookup(sim::kScriptedAddress, WSANO_DATA);
  EXPECT_EQ(CheckNetworkNaming(0), SEV_WARNING);
  Lines entries = Entries();
  EXPECT_EQ(Lines(entries.begin() + 2, entries.end()),
            (Lines{"Host name     = CVNHOST\n", "FQDN          = cvnhost.velmora.test\n",
                   "Warning: This systems TCP/IP address cannot be resolved back\nto a network name by "
                   "the available name servers (error = 11004).\n\n",
                   kVerifyNameServers}));
  EXPECT_EQ(WarningCount, 3u);
}

}  // namespace

namespace {

// ---- PingHost and ReportSystemError ---------------------------------------------------

class PingHostTest : public NetworkCheckTest {};

TEST_F(PingHostTest, SendsTheFixedEchoRequest) {
  EXPECT_EQ(PingHost(nullptr, 0), 0u);
  ASSERT_EQ(sim::EchoRequests().size(), 1u);
  const sim::EchoRequest& echo = sim::EchoRequests()[0];
  std::vector<BYTE> payload;
  for (int i = 0; i < 32; ++i) payload.push_back(static_cast<BYTE>(i));
  EXPECT_EQ(echo.address, "10.20.30.40");
  EXPECT_EQ(echo.payload, payload);
  EXPECT_EQ(echo.ttl, 32);
  EXPECT_EQ(echo.tos, 0);
  EXPECT_EQ(echo.flags, 0);
  EXPECT_EQ(echo.optionsSize, 0);
  // The record, the data and the 8 bytes of a router's ICMP error.
  EXPECT_EQ(echo.replySize, 68u);
  EXPECT_TRUE(echo.replyBufferZeroed);
  EXPECT_EQ(echo.timeout, 5000u);
  EXPECT_EQ(sim::CallCount("WSAStartup"), 1);
  EXPECT_EQ(sim::CallCount("WSACleanup"), 1);
}

TEST_F(PingHostTest, QuietSuccessTakesBackItsTwoLinesAndNothingElse) {
  ReportAdd("before\n");
  EXPECT_EQ(PingHost("cvnhost", 1), 0u);
  EXPECT_EQ(Entries(), Lines{"before\n"});
  EXPECT_EQ(PingHost("cvnhost", 0), 0u);
  EXPECT_EQ(Entries(), (Lines{"before\n", Pinging("10.20.30.40", "cvnhost"), kUnder1Ms}));
}

TEST_F(PingHostTest, ReplyWithAnErrorStatusIsNoResponseWithTheStatusAsItsError) {
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 3"});
  sim::AnswerEcho(sim::kScriptedAddress, 3, IP_DEST_HOST_UNREACHABLE);
  EXPECT_EQ(PingHost(nullptr, 1), 1u);
  EXPECT_EQ(Entries(), (Lines{Pinging("10.20.30.40", "cvnhost"),
                              " SendEcho to 10.20.30.40 (cvnhost) failed.\n",
                              " Error (0x2afb): Destination host unreachable.\n"}));
  ReportDiscard();
  // A router's "TTL expired" arrives the same way.
  sim::FailCall("IcmpSendEcho", IP_TTL_EXPIRED_TRANSIT);
  EXPECT_EQ(PingHost(nullptr, 0), 1u);
  EXPECT_EQ(Entries().back(), " Error (0x2b05): TTL expired in transit.\n");
  EXPECT_EQ(sim::EchoRequests().size(), 2u);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Library), 0);
}

TEST_F(PingHostTest, StatusTextOfThreeBytesACharacterUnderUtf8IsShownWhole) {
  // Windows 10 with UTF-8 as the ANSI code page, and a status text of the
  // longest length asked for in a script of three bytes a character.
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 10, 0, 19045, ""});
  sim::SetCodePage(65001);
  sim::SetIpStatusText(IP_DEST_HOST_UNREACHABLE, std::wstring(255, L'\u4E0D'));
  sim::AnswerEcho(sim::kScriptedAddress, 3, IP_DEST_HOST_UNREACHABLE);
  EXPECT_EQ(PingHost(nullptr, 0), 1u);
  std::string text;
  for (int i = 0; i < 255; ++i) text += "\xE4\xB8\x8D";
  EXPECT_EQ(Entries().back(), " Error (0x2afb): " + text + "\n");
}

TEST_F(PingHostTest, EchoStatusIsToldByTheIpHelperWhereTheSystemHasOne) {
  // The system's own texts for 11003 and 11010 are those of other errors.
  sim::SetSystemMessage(WSANO_RECOVERY, "A non-recoverable error occurred during a database lookup.\r\n");
  struct Case {
    DWORD major;
    DWORD status;
    const char* line;
  } cases[] = {
      // Windows NT 3.51 and 4.0 have no IP helper: the bare code where the
      // system's text would be a look-up's, else the system's text.
      {3, IP_DEST_HOST_UNREACHABLE, " No message for: 0x2afb(11003)\n"},
      {4, IP_DEST_HOST_UNREACHABLE, " No message for: 0x2afb(11003)\n"},
      {4, IP_REQ_TIMED_OUT, " Error (0x2b02): Request timed out.\r\n\n"},
      {4, IP_TTL_EXPIRED_TRANSIT, " No message for: 0x2b05(11013)\n"},
      {5, IP_DEST_HOST_UNREACHABLE, " Error (0x2afb): Destination host unreachable.\n"},
      {5, IP_REQ_TIMED_OUT, " Error (0x2b02): Request timed out.\n"},
      {10, IP_DEST_NET_UNREACHABLE, " Error (0x2afa): Destination net unreachable.\n"},
      // A status the IP helper has no text for.
      {10, IP_STATUS_BASE + 20, " No message for: 0x2b0c(11020)\n"},
      // Beyond the statuses (IP_PENDING): the system's text, here none.
      {10, IP_STATUS_BASE + 255, " No message for: 0x2bf7(11255)\n"},
  };
  for (const Case& c : cases) {
    sim::SetOsVersion({VER_PLATFORM_WIN32_NT, c.major, 0, 1000, ""});
    sim::FailCall("IcmpSendEcho", c.status);
    EXPECT_EQ(PingHost(nullptr, 0), 1u) << c.line;
    EXPECT_EQ(Entries().back(), c.line);
    ReportDiscard();
  }
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Library), 0);
}

TEST_F(PingHostTest, IpHelperThatCannotBeHadOrFailsFallsBack) {
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, ""});
  sim::DropEcho(sim::kScriptedAddress);
  sim::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND, 3);  // after wsock32 and icmp
  EXPECT_EQ(PingHost(nullptr, 0), 1u);
  EXPECT_EQ(Entries().back(), " Error (0x2b02): Request timed out.\r\n\n");
  ReportDiscard();
  sim::FailCall("GetIpErrorString", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(PingHost(nullptr, 0), 1u);
  EXPECT_EQ(Entries().back(), " No message for: 0x2b02(11010)\n");
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Library), 0);
}

TEST_F(PingHostTest, AddressWithoutDottedTextIsABadAddressAndIsNotPinged) {
  sim::FailCall("inet_ntoa", 0);
  EXPECT_EQ(PingHost(nullptr, 1), 1u);
  EXPECT_EQ(Entries(), Lines{" Bad IP Address: cvnhost\n"});
  ReportDiscard();
  sim::AddHost("ns1.velmora.test", {"10.0.0.53"}, {"ns1"});
  sim::FailCall("inet_ntoa", 0);
  EXPECT_EQ(PingHost("ns1", 0), 1u);
  EXPECT_EQ(Entries(), Lines{" Bad IP Address: ns1\n"});
  EXPECT_TRUE(sim::EchoRequests().empty());
  EXPECT_EQ(sim::CallCount("WSACleanup"), 2);
}

TEST_F(PingHostTest, RecordsWithoutNameOrAddressListTakeTheirLookupsFailurePaths) {
  sim::AddReverse("10.0.0.53", "ns1.velmora.test");
  sim::HandOutIncompleteRecords(false, true);
  EXPECT_EQ(PingHost("cvnhost", 0), 1u);
  EXPECT_EQ(Entries(), Lines{" Bad IP Address: cvnhost\n"});
  ReportDiscard();
  sim::HandOutIncompleteRecords(true, false);
  EXPECT_EQ(PingHost("10.0.0.53", 0), 1u);
  EXPECT_EQ(Entries(), Lines{" Cannot get FQDN for: cvnhost\n"});
  ReportDiscard();
  EXPECT_EQ(PingHost("localhost", 0), 1u);
  EXPECT_EQ(Entries(), Lines{" Cannot get FQDN for: cvnhost\n"});
  EXPECT_TRUE(sim::EchoRequests().empty());
}

TEST_F(PingHostTest, NameWithAnEmptyAddressListIsABadAddress) {
  sim::AddHost("bare.velmora.test", {}, {"bare"});
  EXPECT_EQ(PingHost("bare", 0), 1u);
  EXPECT_EQ(Entries(), Lines{" Bad IP Address: bare\n"});
  EXPECT_TRUE(sim::EchoRequests().empty());
}

TEST_F(PingHostTest, LookupFailuresMapToTheirMessages) {
  struct Case {
    const char* target;
    int error;
    const char* line;
  } cases[] = {
      {"alpha", WSAHOST_NOT_FOUND, " Unknown name: alpha\n"},
      {"alpha", WSAENETDOWN, " Network problem while contacting: alpha\n"},
      {"alpha", WSAEINTR, " Network problem while contacting: alpha\n"},
      {"alpha", WSATRY_AGAIN, " Bad IP Address: alpha\n"},
      {"alpha", WSANO_DATA, " Bad IP Address: alpha\n"},
      {"10.0.0.9", WSAENETDOWN, " Network problem while contacting: 10.0.0.9\n"},
      {"10.0.0.9", WSAEINTR, " Network problem while contacting: 10.0.0.9\n"},
  };
  for (const Case& c : cases) {
    sim::FailLookup("alpha", c.error);
    sim::FailReverseLookup("10.0.0.9", c.error);
    EXPECT_EQ(PingHost(c.target, 0), 1u) << c.line;
    EXPECT_EQ(Entries(), Lines{c.line});
    EXPECT_EQ(sim::WinsockStarted(), 0);
    ReportDiscard();
  }
  EXPECT_TRUE(sim::EchoRequests().empty());
}

TEST_F(PingHostTest, DottedTargetWithoutReverseRecordIsPingedByItsAddress) {
  for (int error : {WSANO_DATA, WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY}) {
    sim::FailReverseLookup("10.0.0.9", error);
    EXPECT_EQ(PingHost("10.0.0.9", 0), 0u) << error;
    EXPECT_EQ(Entries(), (Lines{Pinging("10.0.0.9", "10.0.0.9"), kUnder1Ms}));
    ReportDiscard();
  }
  EXPECT_EQ(sim::EchoRequests().size(), 4u);
  EXPECT_EQ(sim::WinsockStarted(), 0);
}

TEST_F(PingHostTest, DottedTargetIsShownByItsReverseName) {
  sim::AddReverse("10.0.0.53", "ns1.velmora.test");
  EXPECT_EQ(PingHost("10.0.0.53", 0), 0u);
  EXPECT_EQ(Entries(), (Lines{Pinging("10.0.0.53", "ns1.velmora.test"), kUnder1Ms}));
  // A reverse name longer than the display buffer is cut to it.
  ReportDiscard();
  sim::AddReverse("10.0.0.54", std::string(300, 'r'));
  EXPECT_EQ(PingHost("10.0.0.54", 0), 0u);
  EXPECT_EQ(Entries(), (Lines{Pinging("10.0.0.54", std::string(259, 'r')), kUnder1Ms}));
}

TEST_F(PingHostTest, TargetLongerThanTheOldBufferIsResolvedWhole) {
  std::string longName(300, 'a');
  sim::AddHost(longName, {"10.0.0.77"});
  EXPECT_EQ(PingHost(longName.c_str(), 0), 0u);
  EXPECT_EQ(EchoedAddresses(), Lines{"10.0.0.77"});
}

TEST_F(PingHostTest, HostNameFailuresOfTheTwoReadsDifferInTheirAdvice) {
  sim::FailCall("gethostname", WSAENETDOWN);
  EXPECT_EQ(PingHost(nullptr, 0), 1u);
  EXPECT_EQ(Entries(), (Lines{kNetworkDown, kVerifyInstalled}));
  ReportDiscard();
  sim::FailCall("gethostname", WSAENETDOWN);
  EXPECT_EQ(PingHost("cvnhost", 0), 1u);
  EXPECT_EQ(Entries(), Lines{kNetworkDown});
}

TEST_F(PingHostTest, OwnNameOf127CharactersFitsTheFromPart) {
  const std::string ownName(127, 'h');
  sim::SetHostName(ownName);
  sim::AddHost(ownName + ".velmora.test", {"10.20.30.41"}, {ownName});
  sim::AddHost("ns1.velmora.test", {"10.0.0.53"}, {"ns1"});
  EXPECT_EQ(PingHost("ns1", 0), 0u);
  EXPECT_EQ(Entries(), (Lines{" Pinging: 10.0.0.53 (ns1) from " + ownName +
                                  ".velmora.test with 32 bytes of data...\n",
                              kUnder1Ms}));
  EXPECT_EQ(EchoedAddresses(), Lines{"10.0.0.53"});
}

TEST_F(PingHostTest, OwnNameThatDoesNotResolveGivesNoFqdn) {
  sim::AddHost("ns1.velmora.test", {"10.0.0.53"}, {"ns1"});
  sim::FailLookup("cvnhost", WSATRY_AGAIN);
  EXPECT_EQ(PingHost("ns1", 0), 1u);
  EXPECT_EQ(Entries(), Lines{" Cannot get FQDN for: cvnhost\n"});
}

TEST_F(PingHostTest, MissingWinsockIsTwoWithAdvice) {
  sim::FailCall("WSAStartup", WSAVERNOTSUPPORTED);
  EXPECT_EQ(PingHost("cvnhost", 1), 2u);
  EXPECT_EQ(Entries(), (Lines{kWinsockMissing, kVerifyInstalled}));
  EXPECT_EQ(sim::CallCount("WSACleanup"), 0);
}

TEST_F(PingHostTest, NetworkLibrariesLoadFromTheSystemDirectoryNotBesideTheCaller) {
  // Copies where a library named alone would be looked for first.
  for (const char* planted : {"C:\\WINNT\\wsock32.dll", "C:\\WINNT\\icmp.dll", "C:\\wsock32.dll"})
    sim::MakeFile(planted, "MZ");
  EXPECT_EQ(PingHost(nullptr, 1), 0u);
  EXPECT_EQ(sim::LibraryLoads(),
            (Lines{"C:\\WINNT\\system32\\wsock32.dll", "C:\\WINNT\\system32\\icmp.dll"}));
  EXPECT_EQ(sim::CallCount("FreeLibrary"), 2);
}

TEST_F(PingHostTest, WinsockLibraryThatCannotBeLoadedIsMissingWinsock) {
  sim::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(PingHost("cvnhost", 1), 2u);
  EXPECT_EQ(Entries(), (Lines{kWinsockMissing, kVerifyInstalled}));
  EXPECT_EQ(sim::CallCount("WSAStartup"), 0);
}

TEST_F(PingHostTest, IcmpLibraryWithoutItsCallIsAFailedEchoWithThatError) {
  // The sixteen WinSock calls, then the ICMP library's first.
  sim::FailCall("GetProcAddress", ERROR_PROC_NOT_FOUND, 17);
  EXPECT_EQ(PingHost(nullptr, 1), 1u);
  EXPECT_EQ(Entries(), (Lines{Pinging("10.20.30.40", "cvnhost"), " SendEcho to 10.20.30.40 (cvnhost) failed.\n",
                              " Error (0x7f): The specified procedure could not be found.\r\n\n"}));
  EXPECT_EQ(sim::CallCount("IcmpCreateFile"), 0);
}

TEST_F(PingHostTest, NoIcmpHandleCountsAsAFailedEcho) {
  sim::FailCall("IcmpCreateFile", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(PingHost(nullptr, 1), 1u);
  EXPECT_EQ(Entries(), (Lines{Pinging("10.20.30.40", "cvnhost"), " SendEcho to 10.20.30.40 (cvnhost) failed.\n",
                              " Error (0x8): Not enough storage is available to process this command.\r\n\n"}));
  EXPECT_TRUE(sim::EchoRequests().empty());
}

TEST_F(PingHostTest, ErrorWithoutSystemTextShowsTheBareCode) {
  sim::FailCall("IcmpSendEcho", IP_GENERAL_FAILURE);
  sim::SetSystemMessage(IP_GENERAL_FAILURE, "");
  EXPECT_EQ(PingHost(nullptr, 0), 1u);
  EXPECT_EQ(Entries().back(), " No message for: 0x2b2a(11050)\n");
}

TEST_F(PingHostTest, SystemErrorTextIsShownExactlyAndReleased) {
  sim::SetSystemMessage(0x1234, "  Padded text with %s inside  \r\n");
  ReportSystemError(0x1234);
  EXPECT_EQ(Entries(), Lines{" Error (0x1234):   Padded text with %s inside  \r\n\n"});
  EXPECT_EQ(sim::CallCount("FormatMessageA"), 1);
}

TEST_F(PingHostTest, SystemErrorTextWithAnInsertIsShownAsWritten) {
  ReportSystemError(ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ(Entries(), Lines{" Error (0xc1): %1 is not a valid Win32 application.\r\n\n"});
}

}  // namespace
