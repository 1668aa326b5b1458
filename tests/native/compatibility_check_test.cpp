// Incompatible products: what each one found adds, counts and returns.
#include <string>

#include "configuration_checks.h"
#include "check_fixture.h"

namespace {

const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";

class CompatibilityTest : public CheckTest {
 protected:
  static std::string Msg(UINT id) { return LoadMessage(id); }

  void Install(const char* service, DWORD start) {
    sim::SetDword(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\" + service, "Start", start);
  }
};

TEST_F(CompatibilityTest, NoIncompatibleProductAddsNothing) {
  Install("Tcpip", 1);
  EXPECT_EQ(CheckProductCompatibility(), 0);
  EXPECT_EQ(TakeText(), "");
  EXPECT_EQ(WarningCount, 0u);
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(CompatibilityTest, SecondProductEnabledIsOnlyAWarning) {
  Install("VncDisk", 2);
  EXPECT_EQ(CheckProductCompatibility(), 1);
  EXPECT_EQ(TakeText(), Msg(54015) + Msg(55022));
  EXPECT_EQ(WarningCount, 1u);
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(CompatibilityTest, FirstDisabledAndThirdEnabledInTableOrder) {
  Install("OFMDriver", 1);
  Install("OFADriver", 4);
  EXPECT_EQ(CheckProductCompatibility(), 2);
  EXPECT_EQ(Entries().size(), 4u);  // a message and a recommendation each
  EXPECT_EQ(TakeText(), Msg(53024) + Msg(55025) + Msg(54016) + Msg(55023));
  EXPECT_EQ(WarningCount, 1u);
  EXPECT_EQ(ErrorCount, 1u);
}

TEST_F(CompatibilityTest, ManualStartCountsAsEnabled) {
  Install("zr-jnl", 3);
  EXPECT_EQ(CheckProductCompatibility(), 2);
  EXPECT_EQ(TakeText(), Msg(54017) + Msg(55024));
  EXPECT_EQ(ErrorCount, 1u);
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
    EXPECT_EQ(TakeText(), Msg(c.disabled[0]) + Msg(c.disabled[1]));
    EXPECT_EQ(WarningCount, w + 1);
    EXPECT_EQ(ErrorCount, e);
    Install(c.service, 0);
    EXPECT_EQ(CheckProductCompatibility(), c.enabledIsError ? 2 : 1);
    EXPECT_EQ(TakeText(), Msg(c.enabled[0]) + Msg(c.enabled[1]));
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
  EXPECT_EQ(TakeText(), "");
  EXPECT_EQ(WarningCount, 0u);
  EXPECT_EQ(ErrorCount, 0u);
}

}  // namespace
