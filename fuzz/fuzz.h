// Shared by the fuzz targets: reading a fuzzer's bytes as structured input,
// injecting one fault chosen by the input, and checks that fail loudly.
//
// Each target is a function over the input bytes, built twice: as a libFuzzer
// executable (CVN_FUZZ_MAIN, see cmake/fuzz.cmake) and into the unit tests,
// which run it over its committed corpus (fuzz_corpus_test.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "report.h"
#include "sim.h"

// The targets, each over a fuzzer's input of any size.
void FuzzEventLogDump(const uint8_t* data, size_t size);
void FuzzVersionInfo(const uint8_t* data, size_t size);
void FuzzRegistryDump(const uint8_t* data, size_t size);
void FuzzSilentMode(const uint8_t* data, size_t size);
void FuzzNameServers(const uint8_t* data, size_t size);
void FuzzDeleteTree(const uint8_t* data, size_t size);
void FuzzUninstall(const uint8_t* data, size_t size);
void FuzzCvncheckArguments(const uint8_t* data, size_t size);
void FuzzValidateTargets(const uint8_t* data, size_t size);
void FuzzOsVersion(const uint8_t* data, size_t size);
void FuzzConfiguredValues(const uint8_t* data, size_t size);

// A property the product must keep: a failure throws, which ends a fuzzer
// run (uncaught) or fails the corpus test (caught there).
struct FuzzFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};
#define FUZZ_CHECK(condition)                                                                   \
  do {                                                                                          \
    if (!(condition))                                                                           \
      throw FuzzFailure(std::string(__FILE__) + ":" + std::to_string(__LINE__) + ": " + #condition); \
  } while (0)

// The bytes read front to back; reads past the end give zeros and empty texts.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), left_(size) {}

  bool Empty() const { return left_ == 0; }
  uint8_t Byte() { return left_ ? (--left_, *data_++) : 0; }
  uint16_t Word() {
    uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }
  // Up to `count` bytes, fewer at the end.
  std::string Bytes(size_t count) {
    if (count > left_) count = left_;
    std::string bytes(reinterpret_cast<const char*>(data_), count);
    data_ += count;
    left_ -= count;
    return bytes;
  }
  // A text whose length comes first, in one byte.
  std::string ShortText() { return Bytes(Byte()); }
  // A text whose length comes first, in two bytes.
  std::string LongText() { return Bytes(Word()); }
  std::string Rest() { return Bytes(left_); }

 private:
  const uint8_t* data_;
  size_t left_;
};

// A call the input may make fail, and the error it then fails with.
struct FuzzFault {
  const char* api;
  DWORD error;
};

// The fault an input chose: the index into the list (none past it) and the
// use that fails.
struct FuzzFaultChoice {
  size_t index;
  int nth;
  bool Is(size_t wanted, int use = 0) const { return index == wanted && (use == 0 || nth == use); }
  bool Any(size_t count) const { return index < count; }
};

// Two bytes choose one of `faults` (or none, for an index past the list) and
// the use of it, 1 to 16, that fails.
inline FuzzFaultChoice InjectFault(FuzzInput& input, std::initializer_list<FuzzFault> faults) {
  size_t choice = input.Byte();
  int nth = input.Byte() % 16 + 1;
  if (choice < faults.size()) sim::FailCall(faults.begin()[choice].api, faults.begin()[choice].error, nth);
  return FuzzFaultChoice{choice, nth};
}

// Replaces every `from` byte of `text`.
inline std::string Without(std::string text, char from, char to) {
  for (char& c : text)
    if (c == from) c = to;
  return text;
}

// A fresh machine with an empty report and the problem counters at zero.
inline void FreshMachine() {
  ReportDiscard();  // while the machine still counts the block
  sim::Reset();
  MessageModule = NULL;
  WarningCount = 0;
  ErrorCount = 0;
}

// The machine's ANSI code page, chosen by the input's last byte: names the
// input spells then hold characters of two bytes, and first bytes alone at
// their ends.
inline void ChooseCodePage(const uint8_t* data, size_t size) {
  static const UINT kCodePages[] = {1252, 932, 936, 949, 950};
  sim::SetCodePage(kCodePages[size ? data[size - 1] % 5 : 0]);
}

// The entries of the pending report, in order.
inline std::vector<std::string> ReportEntries() {
  std::vector<std::string> entries;
  for (const char* entry = PendingReport; entry && *entry; entry += std::strlen(entry) + 1) entries.push_back(entry);
  return entries;
}

// Once the report is discarded, nothing the product opened, allocated or
// started may be left.
inline void CheckReleased() {
  ReportDiscard();
  FUZZ_CHECK(sim::OpenHandles() == 0);
  FUZZ_CHECK(sim::HeapBlocks() == 0);
  FUZZ_CHECK(sim::WinsockStarted() == 0);
}

#ifdef CVN_FUZZ_MAIN
#define CVN_FUZZ_TARGET(function)                                              \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {  \
    function(data, size);                                                      \
    return 0;                                                                  \
  }
#else
#define CVN_FUZZ_TARGET(function)
#endif
