// ValidateEnvironment's target list: any bytes, any length, or none at all,
// held in a block of its exact size, with checks and pings that stand in for
// the real ones. Every blank-terminated name gets one verdict: pinged once
// with exactly its text when it fits a host name, a failure otherwise; the
// report holds one problem line per failed name; the list changes only where
// its blanks were; the result is the worst verdict; no file but the output
// file is written.
//
// Input: a fault (2 bytes); flags (1 byte: bit 0 examine the targets, bit 1
// no target list, bits 2-3 the output file, bits 4-5 the module name); the
// report level (1 byte); the results of the operating-system, network and
// compatibility checks (1 byte, two bits each); then ping results, one byte
// per target (its value modulo 3) as long as the count byte (1 byte) says,
// and the rest is the target list, up to its first NUL.
#include <memory>

#include "check_driver.h"
#include "fuzz_machine.h"

namespace {

const size_t kHostNameSize = 128;
const char kProblemLine[] = "Problem Pinging Target Server...\n";
const char kHeading[] = "Warning: Cannot communicate with supplied Target Server(s).\n\n";
const char* const kOutputFiles[] = {"C:\\validate.txt", "C:\\WINNT", "C:\\Missing\\validate.txt", nullptr};
const char* const kModules[] = {nullptr, "CVNUNIST.dll", "nothing.dll", ""};

struct PingLog {
  std::string results;
  size_t next;
  std::vector<std::string> names;
};
PingLog pings;
uint8_t checkResults;

int CheckResult(int index) {
  int severity = checkResults >> (2 * index) & 3;
  return severity == 3 ? 0 : severity;
}
int OsVersion(int) { return CheckResult(0); }
int Network(int) { return CheckResult(1); }
int Compatibility(void) { return CheckResult(2); }
unsigned Ping(const char* name, int quiet) {
  FUZZ_CHECK(quiet == 1);
  pings.names.push_back(name);
  uint8_t result = pings.next < pings.results.size() ? static_cast<uint8_t>(pings.results[pings.next]) : 0;
  ++pings.next;
  return result % 3;
}

const ValidationChecks kChecks = {OsVersion, Network, Ping, Compatibility};

size_t Count(const std::string& text, const std::string& line) {
  size_t count = 0;
  for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
  return count;
}

}  // namespace

void FuzzValidateTargets(const uint8_t* data, size_t size) {
  FreshMachine();
  ChooseCodePage(data, size);
  FuzzInput input(data, size);
  FuzzFaultChoice fault = InjectFault(input, {{"freopen", ERROR_ACCESS_DENIED}, {"printf", ERROR_ACCESS_DENIED}, {"malloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"realloc", ERROR_NOT_ENOUGH_MEMORY}});
  bool openFails = fault.Is(0, 1);
  uint8_t flags = input.Byte();
  int level = input.Byte() % 3;
  checkResults = input.Byte();
  pings = PingLog{input.Bytes(input.Byte()), 0, {}};
  std::string list = CText(input.Rest());
  const char* outputFile = kOutputFiles[flags >> 2 & 3];
  const char* module = kModules[flags >> 4 & 3];
  bool examine = (flags & 1) && !(flags & 2);

  std::unique_ptr<char[]> targets;
  if (!(flags & 2)) {
    targets.reset(new char[list.size() + 1]);
    std::memcpy(targets.get(), list.c_str(), list.size() + 1);
  }
  FileAllowance allowed;
  if (outputFile) allowed.Entry(outputFile);
  auto before = sim::FileSnapshot();
  int result = ValidateEnvironmentWith(&kChecks, flags & 1, level, outputFile, targets.get(), module);

  // The names, each cut at its blank; the text after the last blank is none.
  std::vector<std::string> names;
  std::string expectedList = list;
  if (examine && result != -1) {
    for (size_t start = 0, blank; (blank = list.find(' ', start)) != std::string::npos; start = blank + 1) {
      names.push_back(list.substr(start, blank - start));
      expectedList[blank] = '\0';
    }
  }
  if (targets) FUZZ_CHECK(std::string(targets.get(), list.size()) == expectedList);
  size_t pinged = 0;
  size_t failed = 0;
  int worst = std::max({CheckResult(0), CheckResult(1), CheckResult(2)});
  for (const std::string& name : names) {
    int verdict = 1;
    if (name.size() < kHostNameSize) {
      FUZZ_CHECK(pinged < pings.names.size() && pings.names[pinged] == name);
      verdict = static_cast<uint8_t>(pinged < pings.results.size() ? pings.results[pinged] : 0) % 3;
      ++pinged;
    }
    if (verdict != 0) ++failed;
    worst = std::max(worst, verdict);
  }
  FUZZ_CHECK(pinged == pings.names.size());
  // Only an output file that cannot be opened gives -1.
  FUZZ_CHECK((result == -1) == (outputFile != kOutputFiles[0] || openFails));
  if (result != -1) {
    FUZZ_CHECK(result == worst);
    if (!fault.Any(4)) {
      std::string report = sim::FileContents(outputFile);
      FUZZ_CHECK(Count(report, kProblemLine) == failed);
      FUZZ_CHECK(Count(report, kHeading) == (failed > 0 ? 1u : 0u));
    }
  }
  CheckFileChanges(before, allowed);
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzValidateTargets)
