// The configuration sections inside the full report and the validation
// export: where each appears, and at which report levels it is printed.
#include <cstring>
#include <string>

#include "driver_fixture.h"
#include "report_texts.h"

namespace {

const char kReportFile[] = "C:\\report.txt";
const char kValidateFile[] = "C:\\validate.txt";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";

const char kPathsHeading[] = "\nCHECKING CONFIGURED Corvane PATHS:\n\n";
const char kNetworkHeading[] = "\nEXAMING NETWORK CONNECTIVITY:\n\n";

class ConfigurationSectionsTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    setenv("TZ", "UTC", 1);
    tzset();
  }
  std::string Report(std::vector<std::string> options = {}) {
    std::vector<std::string> words = {"cvncheck", "-out", kReportFile};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    result = RunEnvironmentCheck(static_cast<int>(argv.size()), argv.data());
    return sim::FileContents(kReportFile);
  }
  static size_t At(const std::string& text, const std::string& part) { return text.find(part); }
  static void Install(const char* service, DWORD start) {
    sim::SetDword(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\" + service, "Start", start);
  }

  int result = -9;
};

TEST_F(ConfigurationSectionsTest, CompatibilityHeadingOnlyForAProblemAboveTheLevel) {
  EXPECT_EQ(At(Report(), kCompatibilityHeading), std::string::npos);

  Install("VncDisk", 4);  // a warning
  std::string text = Report();
  EXPECT_NE(At(text, std::string(kCompatibilityHeading) + LoadMessage(53025)), std::string::npos);
  EXPECT_EQ(At(Report({"-warnings"}), kCompatibilityHeading), std::string::npos);
  EXPECT_EQ(result, 1);  // counted all the same

  Install("OFADriver", 2);  // an error
  EXPECT_NE(At(Report({"-warnings"}), kCompatibilityHeading), std::string::npos);
  EXPECT_EQ(At(Report({"-errors"}), kCompatibilityHeading), std::string::npos);
  EXPECT_EQ(result, 2);
}

TEST_F(ConfigurationSectionsTest, SectionsInTheirOrderAtLevelZero) {
  Install("zr-jnl", 4);
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  sim::MakeDirectory("C:\\Corvane");
  std::string text = Report();
  size_t compatibility = At(text, kCompatibilityHeading);
  // The dump names each key by the tree's path and the subkey names.
  size_t registry = At(text, std::string(kRegistryHeading) +
                                 "\n     Values for key: Software\\Velmora Software\\Corvane\\1.5\n"
                                 "               InstallationDirectory:     C:\\Corvane\\\n");
  size_t paths = At(text, std::string(kPathsHeading) + LoadMessage(52016));
  size_t network = At(text, kNetworkHeading);
  ASSERT_NE(compatibility, std::string::npos);
  ASSERT_NE(registry, std::string::npos) << text;
  ASSERT_NE(paths, std::string::npos);
  ASSERT_NE(network, std::string::npos);
  EXPECT_LT(compatibility, registry);
  EXPECT_LT(registry, paths);
  EXPECT_LT(paths, network);
  EXPECT_EQ(At(text, kEventLogHeading), std::string::npos);
}

TEST_F(ConfigurationSectionsTest, RegistryDumpOnlyAtLevelZero) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "JournalRoot", REG_SZ, "C:\\Journals");
  sim::SetDword(HKEY_LOCAL_MACHINE,
                "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
                "LargeSystemCache", 1);
  EXPECT_NE(At(Report(), LoadMessage(52013)), std::string::npos);
  for (const char* option : {"-warnings", "-errors"}) {
    std::string text = Report({option});
    EXPECT_EQ(At(text, kRegistryHeading), std::string::npos);
    EXPECT_EQ(At(text, "LargeSystemCache"), std::string::npos);
  }
}

TEST_F(ConfigurationSectionsTest, MissingPathShowsAtEveryLevelWithoutTheHeadingAbove) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  sim::MakeDirectory("C:\\Corvane");
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "JournalRoot", REG_SZ, "C:\\Journals");
  std::string error = "Error: The configured Journal root path does not exist:\nC:\\Journals\n";
  std::string text = Report({"-errors"});
  EXPECT_NE(At(text, error), std::string::npos);
  EXPECT_EQ(At(text, kPathsHeading), std::string::npos);
  EXPECT_EQ(result, 2);
  EXPECT_NE(At(Report(), std::string(kPathsHeading) + LoadMessage(52016) + error), std::string::npos);
}

TEST_F(ConfigurationSectionsTest, VersionListingAfterThePortsAtLevelZeroOnly) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProductKeyPath, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  sim::MakeDirectory("C:\\Corvane");
  // The system checks before it have found the Windows directory.
  std::string listing =
      "\nCorvane binary version information\n\n     Files in C:\\Corvane\\\n"
      "\n     Files in C:\\WINNT\\system32\\\n\n     Files in C:\\WINNT\\system32\\drivers\\\n";
  std::string text = Report();
  size_t versions = At(text, listing);
  ASSERT_NE(versions, std::string::npos) << text;
  EXPECT_LT(At(text, "\nTCP/IP PORT ASSIGNMENTS:\n\n"), versions);
  for (const char* option : {"-warnings", "-errors"}) {
    EXPECT_EQ(At(Report({option}), "binary version"), std::string::npos);
  }
}

TEST_F(ConfigurationSectionsTest, EventLogSectionOnlyWithItsOptionAtAnyLevel) {
  sim::EventRecord record;
  record.source = "Corvane";
  record.strings = {"The replication service started."};
  sim::AddEvent(record);
  std::string line = "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - The replication service started.\n";
  EXPECT_EQ(At(Report(), kEventLogHeading), std::string::npos);
  std::string text = Report({"-errors", "-eventlogs"});
  EXPECT_NE(At(text, std::string(kEventLogHeading) + line), std::string::npos);
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(ConfigurationSectionsTest, ValidationIncludesTheCompatibilityCheck) {
  Install("OFMDriver", 1);
  EXPECT_EQ(ValidateEnvironment(0, 0, kValidateFile, nullptr, nullptr), 2);
  std::string text = sim::FileContents(kValidateFile);
  EXPECT_NE(At(text, std::string(LoadMessage(54016))), std::string::npos);
  EXPECT_NE(At(text, std::string(LoadMessage(55023))), std::string::npos);
}

}  // namespace
