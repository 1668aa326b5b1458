// setup's exports: the full report into a file, and the pre-installation
// validation with its target servers.
#include <cstring>
#include <map>

#include "driver_fixture.h"
#include "report_texts.h"

namespace {

const char kFile[] = "C:\\validate.txt";
const char kTargetsHeading[] = "Warning: Cannot communicate with supplied Target Server(s).\n\n";
const char kPingProblem[] = "Problem Pinging Target Server...\n";

std::map<std::string, unsigned>& PingResults() {
  static std::map<std::string, unsigned> results;
  return results;
}

int FakeOs(int level) { return FakeCheck<0>(level); }
int FakeNetwork(int level) { return FakeCheck<1>(level); }
int FakeCompatibility() { return FakeCheck<2>(-1); }

// Pings as PingHost does: a failure adds a line; an answer adds two lines
// that a quiet ping takes back.
unsigned FakePing(const char* host, int quiet) {
  Script().calls.push_back(std::string("ping ") + host + "@" + std::to_string(quiet));
  unsigned result = PingResults()[host];
  if (result != 0) {
    ReportAdd("no answer from %s\n", host);
  } else if (!quiet) {
    ReportAdd("pinging %s\n", host);
    ReportAdd("answer from %s\n", host);
  }
  return result;
}

const ValidationChecks kFakes = {FakeOs, FakeNetwork, FakePing, FakeCompatibility};

class ValidateEnvironmentTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    PingResults().clear();
  }
  int Validate(unsigned flags, int level, char* targets) {
    return ValidateEnvironmentWith(&kFakes, flags, level, kFile, targets, nullptr);
  }
  std::vector<std::string> Pinged() const {
    std::vector<std::string> pinged;
    for (const std::string& call : Script().calls)
      if (call.rfind("ping ", 0) == 0) pinged.push_back(call.substr(5));
    return pinged;
  }
};

TEST_F(ValidateEnvironmentTest, ChecksRunInOrderAndTheHighestSeverityIsTheResult) {
  Script().severity[0] = 1;
  Script().severity[1] = 2;
  Script().severity[2] = 0;
  EXPECT_EQ(Validate(0, 1, nullptr), 2);
  EXPECT_EQ(sim::FileContents(kFile), "body0\nbody1\nbody2\n");
  EXPECT_EQ(Script().calls, (std::vector<std::string>{"check0@1", "check1@1", "check2@-1"}));
  EXPECT_TRUE(sim::StdoutClosed());
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(sim::HeapBlocks(), 0);
}

TEST_F(ValidateEnvironmentTest, TargetsAreIgnoredWhenBitZeroIsClear) {
  char targets[] = "alpha beta ";
  EXPECT_EQ(Validate(0x2, 1, targets), 0);
  EXPECT_TRUE(Pinged().empty());
  EXPECT_STREQ(targets, "alpha beta ");
  EXPECT_EQ(sim::FileContents(kFile), "body0\nbody1\nbody2\n");
}

TEST_F(ValidateEnvironmentTest, OnlyNamesFollowedByABlankAreExaminedEachCutInPlace) {
  char targets[] = "alpha beta";
  Validate(0x1, 1, targets);
  EXPECT_EQ(Pinged(), (std::vector<std::string>{"alpha@1"}));
  EXPECT_EQ(std::string(targets, sizeof targets - 1), std::string("alpha\0beta", 10));
}

TEST_F(ValidateEnvironmentTest, TargetsThatAllAnswerLeaveNoTrace) {
  char targets[] = "alpha 10.0.0.2 ";
  EXPECT_EQ(Validate(0x1, 1, targets), 0);
  EXPECT_EQ(Pinged(), (std::vector<std::string>{"alpha@1", "10.0.0.2@1"}));
  EXPECT_EQ(sim::FileContents(kFile), "body0\nbody1\nbody2\n");
}

TEST_F(ValidateEnvironmentTest, TargetsThatAnswerLeaveNoTraceAtLevelZeroEither) {
  char targets[] = "alpha beta ";
  EXPECT_EQ(Validate(0x1, 0, targets), 0);
  EXPECT_EQ(Pinged(), (std::vector<std::string>{"alpha@1", "beta@1"}));
  EXPECT_EQ(sim::FileContents(kFile), "body0\nbody1\nbody2\n");
}

TEST_F(ValidateEnvironmentTest, FailedTargetKeepsItsLinesAndAddsTheRecommendation) {
  PingResults()["beta"] = 1;
  char targets[] = "alpha beta gamma ";
  EXPECT_EQ(Validate(0x1, 1, targets), 1);
  EXPECT_EQ(sim::FileContents(kFile),
            std::string("body0\nbody1\n") + kTargetsHeading + kPingProblem +
                "no answer from beta\n" + LoadMessage(55006) + "body2\n");
}

TEST_F(ValidateEnvironmentTest, WorstPingResultCounts) {
  PingResults()["alpha"] = 2;
  PingResults()["beta"] = 1;
  char targets[] = "alpha beta ";
  EXPECT_EQ(Validate(0x1, 0, targets), 2);
}

TEST_F(ValidateEnvironmentTest, NameTooLongForAHostNameCountsAsAFailedTargetWithoutAPing) {
  std::string tooLong(128, 'h');
  std::string longest(127, 'k');
  std::string list = tooLong + " " + longest + " ";
  std::vector<char> targets(list.begin(), list.end());
  targets.push_back('\0');
  EXPECT_EQ(Validate(0x1, 1, targets.data()), 1);
  EXPECT_EQ(Pinged(), (std::vector<std::string>{longest + "@1"}));
  EXPECT_EQ(sim::FileContents(kFile), std::string("body0\nbody1\n") + kTargetsHeading +
                                          kPingProblem + LoadMessage(55006) + "body2\n");
}

TEST_F(ValidateEnvironmentTest, EntriesLeftFromBeforeAreNotPrinted) {
  ReportAdd("stale\n");
  Validate(0, 0, nullptr);
  EXPECT_EQ(sim::FileContents(kFile), "body0\nbody1\nbody2\n");
}

TEST_F(ValidateEnvironmentTest, OutputFileThatCannotBeOpenedReturnsMinusOneBeforeAnyCheck) {
  sim::FailCall("freopen", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Validate(0x1, 0, nullptr), -1);
  EXPECT_TRUE(Script().calls.empty());
  EXPECT_EQ(ValidateEnvironmentWith(&kFakes, 0, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_TRUE(Script().calls.empty());
}

TEST_F(ValidateEnvironmentTest, NamedModuleWithoutCatalogGivesBadStringIdLines) {
  HMODULE kernel = sim::AddModule("kernel32.dll", false);
  PingResults()["alpha"] = 1;
  char targets[] = "alpha ";
  ValidateEnvironmentWith(&kFakes, 0x1, 1, kFile, targets, "KERNEL32.DLL");
  EXPECT_EQ(MessageModule, kernel);
  EXPECT_EQ(sim::FileContents(kFile),
            "body0\nbody1\n***BAD STRING ID******BAD STRING ID***no answer from alpha\n"
            "***BAD STRING ID***body2\n");
}

TEST_F(ValidateEnvironmentTest, ChecksNotBuiltAreSkipped) {
  char targets[] = "alpha ";
  const ValidationChecks none = {nullptr, nullptr, nullptr, nullptr};
  EXPECT_EQ(ValidateEnvironmentWith(&none, 0x1, 0, kFile, targets, nullptr), 0);
  EXPECT_EQ(sim::FileContents(kFile), "");
  EXPECT_STREQ(targets, "alpha ");
  EXPECT_TRUE(sim::StdoutClosed());
}

// The real checks, with every inet_ntoa failing (its NULL is documented).
class AddressTextMissingTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    sim::FailCall("inet_ntoa", 0, 1, 1000);
  }
  void TearDown() override {
    EXPECT_EQ(sim::HeapBlocks(), 0);
    EXPECT_EQ(sim::WinsockStarted(), 0);
    EXPECT_TRUE(sim::StdoutClosed());
    DriverTest::TearDown();
  }
};

TEST_F(AddressTextMissingTest, ValidationAtLevelsZeroAndOneFailsTheSelfPingAndTheTarget) {
  for (int level : {0, 1}) {
    char targets[] = "cvnhost ";
    EXPECT_EQ(ValidateEnvironment(0x1, level, kFile, targets, nullptr), 2) << level;
    std::string report = sim::FileContents(kFile);
    std::string selfPing = level == 0 ? "Pinging Self...\n" : "Error: A ping of this node failed.\n\n";
    EXPECT_NE(report.find(selfPing + " Bad IP Address: cvnhost\n"), std::string::npos) << report;
    EXPECT_NE(report.find(std::string(kPingProblem) + " Bad IP Address: cvnhost\n"), std::string::npos)
        << report;
  }
}

TEST_F(AddressTextMissingTest, HealthLogReportsTheFailedSelfPingAndEndsWithItsSummary) {
  EXPECT_EQ(zrHealthLog("C:\\health.txt", nullptr), 0);
  std::string report = sim::FileContents("C:\\health.txt");
  EXPECT_NE(report.find("Pinging Self...\n Bad IP Address: cvnhost\n"), std::string::npos) << report;
  EXPECT_EQ(report.back(), '\n');
}

class HealthLogTest : public DriverTest {};

TEST_F(HealthLogTest, WritesTheFullReportIntoTheFileWithTheNamedModulesCatalog) {
  sim::SetModuleCatalog(sim::HostModule(), false);
  EXPECT_EQ(zrHealthLog("C:\\health.txt", "CVNUNIST.dll"), 0);
  EXPECT_EQ(MessageModule, GetModuleHandleA("cvnunist.dll"));
  // Header, the sections built so far, summary.
  std::string report = sim::FileContents("C:\\health.txt");
  const std::string header = kHeader;
  const std::string summary = "\nThere were no problem issues detected.\n";
  EXPECT_EQ(report.substr(0, header.size()), header);
  EXPECT_NE(report.find("\nSYSTEM INFORMATION:\n\n       Windows NT Workstation version 4.0 (1381)"),
            std::string::npos);
  EXPECT_NE(report.find("\nEXAMING NETWORK CONNECTIVITY:\n\n"), std::string::npos);
  ASSERT_GE(report.size(), header.size() + summary.size());
  EXPECT_EQ(report.substr(report.size() - summary.size()), summary);
  EXPECT_EQ(sim::ConsoleText(), "");
  EXPECT_TRUE(sim::StdoutClosed());
}

TEST_F(HealthLogTest, ModuleWithoutCatalogGivesBadStringIdForEveryCatalogLine) {
  sim::AddModule("kernel32.dll", false);
  zrHealthLog("C:\\health.txt", "kernel32.dll");
  // Every line but the version text comes from the catalog.
  std::string report = sim::FileContents("C:\\health.txt");
  const std::string bad = "***BAD STRING ID***";
  EXPECT_EQ(report.substr(0, bad.size()), bad);
  for (size_t at; (at = report.find(bad)) != std::string::npos;) report.erase(at, bad.size());
  EXPECT_EQ(report, "V1.5.1 Build 841-0 - ");
}

// A drive without a disk fails the calls on it instead of stopping the caller
// at the system's box; the caller's own error mode comes back.
TEST_F(HealthLogTest, PathOnADriveWithoutADiskIsReportedWithoutTheSystemsBox) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", REG_SZ, "C:\\WINNT");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "JournalRoot", REG_SZ, "A:\\Journals");
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  UINT during = 0;
  sim::BeforeCall("GetFileAttributesA", 1, [&during] { during = sim::ErrorMode(); });
  EXPECT_EQ(zrHealthLog("C:\\health.txt", nullptr), 0);
  EXPECT_EQ(during, static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX));
  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_EQ(sim::ErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
  EXPECT_NE(sim::FileContents("C:\\health.txt").find("A:\\Journals"), std::string::npos);
}

TEST_F(HealthLogTest, ValidationIntoAFileOnADriveWithoutADiskFailsWithoutTheSystemsBox) {
  EXPECT_EQ(ValidateEnvironment(0, 0, "A:\\validate.txt", nullptr, nullptr), -1);
  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_EQ(sim::ErrorMode(), 0u);
  EXPECT_EQ(sim::CallCount("SetErrorMode"), 2);
}

TEST_F(HealthLogTest, ResultIsZeroWhateverTheReportFound) {
  ErrorCount = 5;
  EXPECT_EQ(zrHealthLog("C:\\health.txt", nullptr), 0);
  EXPECT_EQ(MessageModule, sim::HostModule());
  sim::FailCall("freopen", ERROR_ACCESS_DENIED);
  EXPECT_EQ(zrHealthLog("C:\\health.txt", nullptr), 0);
  EXPECT_EQ(zrHealthLog(nullptr, nullptr), 0);
}

}  // namespace
