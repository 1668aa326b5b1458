// The fuzz targets over their committed seed corpora (fuzz/corpus/<target>),
// so that every input once found to break the product stays a test in the
// ordinary build. A target's failed check throws; a crash ends the run.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz.h"

namespace {

struct Target {
  const char* corpus;
  void (*run)(const uint8_t*, size_t);
};

class FuzzCorpusTest : public ::testing::TestWithParam<Target> {
 protected:
  void TearDown() override { ReportDiscard(); }
};

TEST_P(FuzzCorpusTest, EveryInputKeepsTheTargetsChecks) {
  std::filesystem::path directory = std::filesystem::path(CVN_FUZZ_CORPUS) / GetParam().corpus;
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    try {
      GetParam().run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    } catch (const FuzzFailure& failure) {
      ADD_FAILURE() << entry.path().filename() << ": " << failure.what();
    }
    ++inputs;
  }
  EXPECT_GT(inputs, 0u) << directory;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpusTest,
                         ::testing::Values(Target{"event_log", FuzzEventLogDump},
                                           Target{"version_info", FuzzVersionInfo},
                                           Target{"registry_dump", FuzzRegistryDump},
                                           Target{"silent_mode", FuzzSilentMode},
                                           Target{"name_servers", FuzzNameServers},
                                           Target{"delete_tree", FuzzDeleteTree},
                                           Target{"uninstall", FuzzUninstall},
                                           Target{"cvncheck_args", FuzzCvncheckArguments},
                                           Target{"validate_targets", FuzzValidateTargets},
                                           Target{"os_version", FuzzOsVersion},
                                           Target{"configured_values", FuzzConfiguredValues}),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.corpus); });

}  // namespace
