// The network and port sections inside the full report and the validation
// export, on the scripted healthy network of the driver fixture.
#include <cstring>
#include <string>

#include "driver_fixture.h"
#include "report_texts.h"

namespace {

const char kReportFile[] = "C:\\report.txt";
const char kValidateFile[] = "C:\\validate.txt";

const char kNetworkSection[] =
    "\nEXAMING NETWORK CONNECTIVITY:\n\n"
    "Pinging Self...\n"
    " Pinging: 10.20.30.40 (cvnhost) from cvnhost.velmora.test with 32 bytes of data...\n"
    " Got response in less than 1 ms.\n"
    "\nPinging Name servers...\n"
    "\nNETWORK NAMING:\n\n"
    "Computer name = CVNHOST\n"
    "Host name     = cvnhost\n"
    "FQDN          = cvnhost.velmora.test\n"
    "Network name  = cvnhost.velmora.test\n\n";
const char kPortHeading[] = "\nTCP/IP PORT ASSIGNMENTS:\n\n";

class NetworkSectionsTest : public DriverTest {
 protected:
  int Report(const char* option = nullptr) {
    char program[] = "cvncheck";
    char out[] = "-out";
    char file[sizeof kReportFile];
    std::strcpy(file, kReportFile);
    char extra[32] = "";
    if (option) std::strcpy(extra, option);
    char* argv[] = {program, out, file, extra};
    return RunEnvironmentCheck(option ? 4 : 3, argv);
  }
  static std::string ReportText() { return sim::FileContents(kReportFile); }
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
};

TEST_F(NetworkSectionsTest, FullReportShowsTheNetworkThenThePortSection) {
  EXPECT_EQ(Report(), 0);
  EXPECT_TRUE(Has(ReportText(), std::string(kNetworkSection) + kPortHeading + kNoConflicts)) << ReportText();
  EXPECT_EQ(sim::WinsockStarted(), 0);
}

TEST_F(NetworkSectionsTest, PortSectionTakesTheInstallationTypeFromTheProductKey) {
  sim::SetDword(HKEY_LOCAL_MACHINE, kProductKeyPath, "Type", 1);
  sim::SetConnectResult(sim::kScriptedAddress, 111, 0);
  EXPECT_EQ(Report(), 0);
  EXPECT_TRUE(Has(ReportText(), std::string(kPortHeading) + kMapperWithService + kNoConflicts));
}

TEST_F(NetworkSectionsTest, TypeThatIsNotADwordCountsAsNotInstalled) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "Type", REG_SZ, "1");
  sim::SetConnectResult(sim::kScriptedAddress, 111, 0);
  EXPECT_EQ(Report(), 1);
  EXPECT_TRUE(Has(ReportText(), std::string(kPortHeading) +
                                    "Warning: The Corvane service is not installed and\nthere is a "
                                    "TCP/IP port mapper running on this system.\n\n"));
  EXPECT_TRUE(Has(ReportText(), "There were 1 potential problems detected.\n"));
}

TEST_F(NetworkSectionsTest, QuietLevelsOmitHealthySectionsButStillCountWarnings) {
  EXPECT_EQ(Report("-warnings"), 0);
  EXPECT_FALSE(Has(ReportText(), "EXAMING NETWORK"));
  EXPECT_FALSE(Has(ReportText(), "TCP/IP PORT"));

  sim::SetConnectResult(sim::kScriptedAddress, 20480, 0);
  EXPECT_EQ(Report("-errors"), 1);
  EXPECT_FALSE(Has(ReportText(), "TCP/IP PORT"));
  EXPECT_TRUE(Has(ReportText(), "There were 1 potential problems detected.\n"));
}

TEST_F(NetworkSectionsTest, FailedSelfPingPrintsTheSectionAtLevelTwo) {
  sim::DropEcho(sim::kScriptedAddress);
  EXPECT_EQ(Report("-errors"), 2);
  EXPECT_TRUE(Has(ReportText(), "\nEXAMING NETWORK CONNECTIVITY:\n\nError: A ping of this node failed.\n\n"));
}

TEST_F(NetworkSectionsTest, ValidationPingsTheTargetsThatAnswerWithoutATrace) {
  char targets[] = "127.0.0.1 ";
  EXPECT_EQ(ValidateEnvironment(0x1, 1, kValidateFile, targets, nullptr), 0);
  EXPECT_EQ(sim::FileContents(kValidateFile), "");
  ASSERT_EQ(sim::EchoRequests().size(), 2u);
  EXPECT_EQ(sim::EchoRequests()[1].address, "127.0.0.1");
}

TEST_F(NetworkSectionsTest, ValidationReportsATargetThatCannotBeResolved) {
  char targets[] = "nowhere ";
  EXPECT_EQ(ValidateEnvironment(0x1, 1, kValidateFile, targets, nullptr), 1);
  EXPECT_EQ(sim::FileContents(kValidateFile),
            "Warning: Cannot communicate with supplied Target Server(s).\n\n"
            "Problem Pinging Target Server...\n"
            " Unknown name: nowhere\n"
            "\nRecommendation: A problem \"Pinging\", or communicating with, a Target\n\\Server can "
            "be caused by a network problem or mistyping the target server name.\nVerify the target "
            "server names were typed correctly.\n\n");
  EXPECT_EQ(WarningCount + ErrorCount, 0u);
}

}  // namespace
