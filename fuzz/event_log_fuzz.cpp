// The event-log dump over records of any bytes: a record may lie about its
// length, its offsets and its texts' terminators, and the log may shrink
// while the dump reads it.
//
// Input: a fault (2 bytes), the read at which the oldest records vanish and
// how many (2 bytes; the count's top bit asks for Windows 2000, whose reads
// return one record each, else NT 4.0, whose reads return many), then
// records, each a 2-byte length and its bytes.
#include "configuration_checks.h"
#include "fuzz.h"

namespace {

const char kSource[] = "Corvane";
const size_t kMaxRecords = 64;
const size_t kOneRecordReads = 0x80;

}  // namespace

void FuzzEventLogDump(const uint8_t* data, size_t size) {
  FreshMachine();
  FuzzInput input(data, size);
  InjectFault(input, {{"malloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"realloc", ERROR_NOT_ENOUGH_MEMORY},
                      {"OpenEventLogA", ERROR_ACCESS_DENIED},
                      {"GetNumberOfEventLogRecords", ERROR_INVALID_HANDLE},
                      {"ReadEventLogA", ERROR_HANDLE_EOF},
                      {"ctime", 0}});
  int changeAtRead = input.Byte();
  size_t vanishing = input.Byte();
  if (vanishing & kOneRecordReads) sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, ""});
  vanishing &= ~kOneRecordReads;
  if (changeAtRead > 0) sim::OnEventLogRead(changeAtRead, [vanishing] { sim::RemoveOldestEvents(vanishing); });
  while (!input.Empty() && sim::EventCount() < kMaxRecords) {
    std::string record = input.LongText();
    sim::AddRawEventRecord(std::vector<uint8_t>(record.begin(), record.end()));
  }
  size_t records = sim::EventCount();

  FUZZ_CHECK(DumpEventLog(kSource) == 0);
  // Each line is one printed entry: never more than the log held.
  FUZZ_CHECK(static_cast<size_t>(sim::CallCount("printf")) <= records);
  CheckReleased();
}

CVN_FUZZ_TARGET(FuzzEventLogDump)
