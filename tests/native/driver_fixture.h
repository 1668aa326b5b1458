// Shared by the driver and entry-point tests: a clean report engine and
// scripted fake checks.
#pragma once

#include <string>
#include <vector>

#include "check_driver.h"
#include "entry_points.h"
#include "report.h"
#include "sim_fixture.h"

// What a fake check does when called: the severity it returns, the problems
// it counts, and the calls seen so far ("name@level").
struct FakeScript {
  int severity[8] = {};
  unsigned warnings[8] = {};
  unsigned errors[8] = {};
  std::vector<std::string> calls;
};

inline FakeScript& Script() {
  static FakeScript script;
  return script;
}

// Fake check `n`: adds "body<n>\n", counts as scripted, returns its severity.
template <int n>
int FakeCheck(int level) {
  Script().calls.push_back("check" + std::to_string(n) + "@" + std::to_string(level));
  ReportAdd("body%d\n", n);
  WarningCount += Script().warnings[n];
  ErrorCount += Script().errors[n];
  return Script().severity[n];
}

// A fake of a section that prints itself, heading included.
template <int n>
int FakeSelfPrinting(int level) {
  Script().calls.push_back("self" + std::to_string(n) + "@" + std::to_string(level));
  ReportAdd("listing%d\n", n);
  ReportFlush();
  ReportDiscard();
  return Script().severity[n];
}

class DriverTest : public SimTest {
 protected:
  void SetUp() override {
    ReportDiscard();  // while the machine still counts the block
    SimTest::SetUp();
    Script() = FakeScript{};
    WarningCount = 0;
    ErrorCount = 0;
    MessageModule = NULL;
    sim::ScriptNetwork();  // the network sections meet a healthy scripted network
  }
  void TearDown() override {
    ReportDiscard();
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
};
