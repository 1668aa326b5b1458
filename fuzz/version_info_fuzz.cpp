// The version reader over a file whose version resource is any bytes: nodes
// whose lengths lie, keys without terminators, values past their node, texts
// of any length.
//
// Input: a fault (2 bytes), then the version block.
#include "fuzz.h"
#include "readers.h"

#include <cstring>

namespace {

const char kFile[] = "C:\\WINNT\\system32\\fuzzed.dll";
const char kUnwritten = '\xA5';
const size_t kSentinelBytes = 16;
const WORD kUnsetNumber = 0xBEEF;

}  // namespace

void FuzzVersionInfo(const uint8_t* data, size_t size) {
  FreshMachine();
  ChooseCodePage(data, size);
  FuzzInput input(data, size);
  InjectFault(input, {{"malloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"GetFileVersionInfoSizeA", ERROR_FILE_NOT_FOUND},
                      {"GetFileVersionInfoA", ERROR_ACCESS_DENIED},
                      {"VerQueryValueA", ERROR_RESOURCE_TYPE_NOT_FOUND},
                      {"GetFileVersionInfoA", 0}});
  std::string block = input.Rest();
  sim::MakeFile(kFile, "MZ");
  sim::SetVersionResource(kFile, std::vector<BYTE>(block.begin(), block.end()));

  char text[VERSION_TEXT_SIZE + kSentinelBytes];
  memset(text, kUnwritten, sizeof text);
  WORD numbers[4] = {kUnsetNumber, kUnsetNumber, kUnsetNumber, kUnsetNumber};
  LONG result = GetFileVersionStrings(kFile, text, &numbers[0], &numbers[1], &numbers[2], &numbers[3]);

  for (size_t i = VERSION_TEXT_SIZE; i < sizeof text; ++i) FUZZ_CHECK(text[i] == kUnwritten);
  if (result == 0) {
    FUZZ_CHECK(memchr(text, '\0', VERSION_TEXT_SIZE) != NULL);
  } else {
    // A failure leaves every output as it was.
    for (size_t i = 0; i < VERSION_TEXT_SIZE; ++i) FUZZ_CHECK(text[i] == kUnwritten);
    for (WORD number : numbers) FUZZ_CHECK(number == kUnsetNumber);
  }
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzVersionInfo)
