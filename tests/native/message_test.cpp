#include <string>

#include "sim_fixture.h"
#include "report.h"

namespace {

class MessageTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    MessageModule = NULL;
  }
};

TEST_F(MessageTest, UnsetModuleFallsBackToHostAndRemembersIt) {
  EXPECT_STREQ(LoadMessage(50005), "\n");
  EXPECT_EQ(MessageModule, sim::HostModule());
}

TEST_F(MessageTest, MissingIdReadsBadStringId) {
  EXPECT_STREQ(LoadMessage(50003), "***BAD STRING ID***");
  EXPECT_STREQ(LoadMessage(55029), "***BAD STRING ID***");
}

TEST_F(MessageTest, HostWithoutCatalogGivesBadStringIdForEveryLine) {
  sim::SetModuleCatalog(sim::HostModule(), false);
  EXPECT_STREQ(LoadMessage(50012), "***BAD STRING ID***");
}

TEST_F(MessageTest, NamedModuleIsUsed) {
  sim::SetModuleCatalog(sim::HostModule(), false);
  MessageModule = GetModuleHandleA("cvnunist.dll");
  ASSERT_NE(MessageModule, nullptr);
  EXPECT_STREQ(LoadMessage(50012), "Velmora Software Corvane environment check.\n");
}

TEST_F(MessageTest, TextsKeepQuotesAndBackslashes) {
  EXPECT_STREQ(LoadMessage(50004), "Argument \"%s\" not known...\n");
  std::string text = LoadMessage(55006);
  EXPECT_NE(text.find("a Target\n\\Server can"), std::string::npos);
}

TEST_F(MessageTest, CatalogHoldsEveryMessageOnce) {
  int found = 0;
  for (UINT id = 50000; id <= 55100; ++id) {
    if (std::string(LoadMessage(id)) != "***BAD STRING ID***") ++found;
  }
  EXPECT_EQ(found, 144);
}

}  // namespace
