// Incompatible products: what each one found adds, counts and returns.
#include <string>

#include "configuration_checks.h"
#include "report.h"
#include "sim_fixture.h"

namespace {

const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";

class CompatibilityTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    ReportDiscard();
    warnings = WarningCount;
    errors = ErrorCount;
  }
  void TearDown() override { ReportDiscard(); }

  // What the pending report holds, printed and taken away.
  std::string Pending() {
    sim::ClearConsole();
    ReportFlush();
    ReportDiscard();
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), 0);
    return sim::ConsoleText();
  }
  static std::string Msg(UINT id) { return LoadMessage(id); }

  void Install(const char* service, DWORD start) {
    sim::SetDword(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\" + service, "Start", start);
  }

  unsigned warnings = 0;
  unsigned errors = 0;
};

TEST_F(CompatibilityTest, NoIncompatibleProductAddsNothing) {
  Install("Tcpip", 1);
  EXPECT_EQ(CheckProductCompatibility(), 0);
  EXPECT_EQ(Pending(), "");
  EXPECT_EQ(WarningCount, warnings);
  EXPECT_EQ(ErrorCount, errors);
}

TEST_F(CompatibilityTest, SecondProductEnabledIsOnlyAWarning) {
  Install("VncDisk", 2);
  EXPECT_EQ(CheckProductCompatibility(), 1);
  EXPECT_EQ(Pending(), Msg(54015) + Msg(55022));
  EXPECT_EQ(WarningCount, warnings + 1);
  EXPECT_EQ(ErrorCount, errors);
}

TEST_F(CompatibilityTest, FirstDisabledAndThirdEnabledInTableOrder) {
  Install("OFMDriver", 1);
  Install("OFADriver", 4);
  EXPECT_EQ(CheckProductCompatibility(), 2);
  EXPECT_EQ(Pending(), Msg(53024) + Msg(55025) + Msg(54016) + Msg(55023));
  EXPECT_EQ(WarningCount, warnings + 1);
  EXPECT_EQ(ErrorCount, errors + 1);
}

TEST_F(CompatibilityTest, ManualStartCountsAsEnabled) {
  Install("zr-jnl", 3);
  EXPECT_EQ(CheckProductCompatibility(), 2);
  EXPECT_EQ(Pending(), Msg(54017) + Msg(55024));
  EXPECT_EQ(ErrorCount, errors + 1);
}

TEST_F(CompatibilityTest, EachProductInEachState) {
  struct Case {
    const char* service;
    UINT disabled[2];
    UINT enabled[2];
    bool enabledIsError;
  };
  const Case cases[] = {{"OFADriver", {53024, 55025}, {54014, 55021}, true},
                        {"VncDisk", {53025, 55026}, {54015, 55022}, false},
                        {"OFMDriver", {53026, 55027}, {54016, 55023}, true},
                        {"zr-jnl", {53027, 55028}, {54017, 55024}, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.service);
    sim::Reset();
    Install(c.service, 4);
    unsigned w = WarningCount, e = ErrorCount;
    EXPECT_EQ(CheckProductCompatibility(), 1);
    EXPECT_EQ(Pending(), Msg(c.disabled[0]) + Msg(c.disabled[1]));
    EXPECT_EQ(WarningCount, w + 1);
    EXPECT_EQ(ErrorCount, e);
    Install(c.service, 0);
    EXPECT_EQ(CheckProductCompatibility(), c.enabledIsError ? 2 : 1);
    EXPECT_EQ(Pending(), Msg(c.enabled[0]) + Msg(c.enabled[1]));
    EXPECT_EQ(WarningCount, w + (c.enabledIsError ? 1 : 2));
    EXPECT_EQ(ErrorCount, e + (c.enabledIsError ? 1 : 0));
  }
}

TEST_F(CompatibilityTest, ServiceKeyInOtherLetterCaseOrWithoutDwordStartIsNotDetected) {
  Install("ofadriver", 1);
  Install("VNCDISK", 1);
  sim::SetValue(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\OFMDriver", "Start", REG_SZ, "1");
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\zr-jnl");
  EXPECT_EQ(CheckProductCompatibility(), 0);
  EXPECT_EQ(Pending(), "");
  EXPECT_EQ(WarningCount, warnings);
  EXPECT_EQ(ErrorCount, errors);
}

}  // namespace
