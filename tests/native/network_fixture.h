// Fixture of the network and port section tests: a scripted network (see
// sim_net.h), empty report and counters, and after every test WinSock ended,
// every socket, ICMP and service handle closed and no heap block left.
#pragma once

#include <string>
#include <vector>

#include "network_checks.h"
#include "report.h"
#include "sim_fixture.h"

class NetworkTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    MessageModule = NULL;
    WarningCount = 0;
    ErrorCount = 0;
    sim::ScriptNetwork();
  }
  void TearDown() override {
    ReportDiscard();
    EXPECT_EQ(sim::WinsockStarted(), 0);
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), 0);
  }

  // The pending report, entry by entry.
  static std::vector<std::string> Entries() {
    std::vector<std::string> entries;
    for (const char* p = PendingReport; p && *p; p += entries.back().size() + 1) entries.emplace_back(p);
    return entries;
  }
};
