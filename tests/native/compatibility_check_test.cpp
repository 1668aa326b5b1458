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

TEST_F(CompatibilityTest, FirstDisabledAndThirdEnabledInTableOrder) {
  Install("OFMDriver", 1);
  Install("OFADriver", 4);
  EXPECT_EQ(CheckProductCompatibility(), 2);
  EXPECT_EQ(Entries().size(), 4u);  // a message and a recommendation each
  EXPECT_EQ(TakeText(), Msg(53024) + Msg(55025) + Msg(54016) + Msg(55023));
  EXPECT_EQ(WarningCount, 1u);
  EXPECT_EQ(ErrorCount, 1u);
}

// Every Start but 4 counts as enabled, manual start (3) included; the second
// product is only ever a warning.
TEST_F(CompatibilityTest, EachProductDisabledAndEnabled) {
  struct Case {
    const char* service;
    DWORD enabledStart;
    UINT disabled[2];
    UINT enabled[2];
    bool enabledIsError;
  };
  const Case cases[] = {{"OFADriver", 0, {53024, 55025}, {54014, 55021}, true},
                        {"VncDisk", 2, {53025, 55026}, {54015, 55022}, false},
                        {"OFMDriver", 1, {53026, 55027}, {54016, 55023}, true},
                        {"zr-jnl", 3, {53027, 55028}, {54017, 55024}, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.service);
    sim::Reset();
    WarningCount = ErrorCount = 0;
    Install(c.service, 4);
    EXPECT_EQ(CheckProductCompatibility(), 1);
    EXPECT_EQ(TakeText(), Msg(c.disabled[0]) + Msg(c.disabled[1]));
    EXPECT_EQ(WarningCount, 1u);
    EXPECT_EQ(ErrorCount, 0u);
    Install(c.service, c.enabledStart);
    EXPECT_EQ(CheckProductCompatibility(), c.enabledIsError ? 2 : 1);
    EXPECT_EQ(TakeText(), Msg(c.enabled[0]) + Msg(c.enabled[1]));
    EXPECT_EQ(WarningCount, c.enabledIsError ? 1u : 2u);
    EXPECT_EQ(ErrorCount, c.enabledIsError ? 1u : 0u);
  }
}

TEST_F(CompatibilityTest, ServiceKeyInOtherLetterCaseIsDetected) {
  Install("ofadriver", 4);
  Install("VNCDISK", 2);
  EXPECT_EQ(CheckProductCompatibility(), 1);
  EXPECT_EQ(TakeText(), Msg(53024) + Msg(55025) + Msg(54015) + Msg(55022));
  EXPECT_EQ(WarningCount, 2u);
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(CompatibilityTest, ServiceKeyWithoutDwordStartIsNotDetected) {
  sim::SetValue(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\OFMDriver", "Start", REG_SZ, "1");
  sim::CreateKey(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\zr-jnl");
  EXPECT_EQ(CheckProductCompatibility(), 0);
  EXPECT_EQ(TakeText(), "");
  EXPECT_EQ(WarningCount, 0u);
  EXPECT_EQ(ErrorCount, 0u);
}

}  // namespace
