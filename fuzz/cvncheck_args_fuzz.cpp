// cvncheck's command line: any number of arguments of any bytes, each held in
// a block of its exact size, over a report whose sections stand in for the
// checks. The run ends with a documented code (0, 1, 2, -1, or the process
// ends with 0 after the usage text), takes the level, the event-log switch
// and the output file from the arguments as documented, and writes no file
// but the one it was given.
//
// Input: a fault (2 bytes); a byte of section results (two bits each); an
// argument count (one byte, up to 8); then the arguments, each a length
// byte and its bytes (cut at a NUL).
#include <memory>

#include "check_driver.h"
#include "fuzz_machine.h"

namespace {

const int kMaxArguments = 8;

// What the stand-in sections saw and return.
struct SectionLog {
  uint8_t results;
  int calls[4];
  int levels[4];
};
SectionLog sections;

int Section(int index, int level) {
  ++sections.calls[index];
  sections.levels[index] = level;
  int severity = sections.results >> (2 * index) & 3;
  if (severity == 3) severity = 0;
  if (severity == 1) ++WarningCount;
  if (severity == 2) ++ErrorCount;
  ReportAdd("section %d\n", index);
  return severity;
}
int First(int level) { return Section(0, level); }
int Second(int level) { return Section(1, level); }
int LevelZeroOnly(int level) { return Section(2, level); }
int EventLogsOnly(int level) { return Section(3, level); }

const ReportSection kSections[] = {
    {51001, First, PRINT_AT_LEVEL, FALSE, FALSE},
    {51009, Second, PRINT_ABOVE_LEVEL, FALSE, FALSE},
    {51003, LevelZeroOnly, PRINTS_ITSELF, TRUE, FALSE},
    {51006, EventLogsOnly, PRINTS_ITSELF, FALSE, TRUE},
};
const SectionTable kTable = {kSections, 4};

bool IsOption(const std::string& argument, const char* option) {
  return UpperText(argument) == UpperText(option);
}

// The run the arguments ask for, by the documented rules.
struct Expected {
  bool exits = false;      // the usage text, then the process ends with 0
  bool badOut = false;     // -1 at once
  int level = 0;
  bool eventLogs = false;
  bool toFile = false;
  std::string file;
};

Expected Parse(const std::vector<std::string>& arguments) {
  Expected expected;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (IsOption(argument, "-warnings")) {
      expected.level = 1;
    } else if (IsOption(argument, "-errors")) {
      expected.level = 2;
    } else if (IsOption(argument, "-eventlogs")) {
      expected.eventLogs = true;
    } else if (IsOption(argument, "-out")) {
      if (i + 1 >= arguments.size() || arguments[i + 1].size() >= MAX_PATH) {
        expected.badOut = true;
        return expected;
      }
      expected.toFile = true;
      expected.file = arguments[++i];
    } else {
      expected.exits = true;
      return expected;
    }
  }
  return expected;
}

}  // namespace

void FuzzCvncheckArguments(const uint8_t* data, size_t size) {
  FreshMachine();
  FuzzInput input(data, size);
  InjectFault(input, {{"freopen", ERROR_ACCESS_DENIED},
                      {"printf", ERROR_ACCESS_DENIED},
                      {"wprintf", ERROR_ACCESS_DENIED},
                      {"GetDateFormatA", ERROR_INVALID_PARAMETER}});
  sections = SectionLog{input.Byte(), {}, {}};
  int argc = 1 + input.Byte() % kMaxArguments;
  std::vector<std::string> arguments{"cvncheck.exe"};
  while (static_cast<int>(arguments.size()) < argc) arguments.push_back(CText(input.ShortText()));
  // Each argument, and the vector with its closing null, in blocks of their
  // exact size: a read past one stops the run.
  std::vector<std::unique_ptr<char[]>> blocks;
  std::unique_ptr<char*[]> argv(new char*[argc + 1]);
  for (int i = 0; i < argc; ++i) {
    blocks.emplace_back(new char[arguments[i].size() + 1]);
    std::memcpy(blocks.back().get(), arguments[i].c_str(), arguments[i].size() + 1);
    argv[i] = blocks.back().get();
  }
  argv[argc] = nullptr;
  sim::MakeDirectory("C:\\Reports");
  sim::MakeFile("C:\\Reports\\old.txt", "old");

  Expected expected = Parse(arguments);
  FileAllowance allowed;
  if (expected.toFile) allowed.Entry(expected.file);
  auto before = sim::FileSnapshot();
  bool exited = false;
  int result = 0;
  try {
    result = RunEnvironmentCheckWith(&kTable, argc, argv.get());
  } catch (const sim::ProcessExit& exit) {
    exited = true;
    result = exit.code;
  }
  for (int i = 0; i < argc; ++i) FUZZ_CHECK(arguments[i] == argv[i]);

  FUZZ_CHECK(exited == expected.exits);
  if (exited) {
    FUZZ_CHECK(result == 0);
  } else if (expected.badOut) {
    FUZZ_CHECK(result == -1);
  } else if (result == -1) {
    // Only an output file that cannot be opened ends the run this way.
    FUZZ_CHECK(expected.toFile);
  } else {
    int worst = 0;
    for (int i = 0; i < 4; ++i) {
      bool runs = (i != 2 || expected.level == 0) && (i != 3 || expected.eventLogs);
      FUZZ_CHECK(sections.calls[i] == (runs ? 1 : 0));
      if (runs) FUZZ_CHECK(sections.levels[i] == expected.level);
    }
    if (ErrorCount > 0) worst = 2;
    else if (WarningCount > 0) worst = 1;
    FUZZ_CHECK(result == worst);
  }
  if (exited || expected.badOut || result == -1) {
    for (int calls : sections.calls) FUZZ_CHECK(calls == 0);
  }
  CheckFileChanges(before, allowed);
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzCvncheckArguments)
