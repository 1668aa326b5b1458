// The event log: how a sequential read sizes and fills its buffer. Wine's
// event log is always empty, so the cases that need records are set up with
// the simulation's control API.
#include "conformance.h"

namespace {

const char kArea[] = "event log";
const DWORD kForwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;

CASE(kArea, "the application log opens and counts its records") {
  HANDLE log = OpenEventLogA(nullptr, "Application");
  REQUIRE(log != nullptr);
  DWORD count = 0xdeadbeef;
  CHECK(GetNumberOfEventLogRecords(log, &count));
  CHECK(count != 0xdeadbeef);
  CHECK(CloseEventLog(log));
}

#ifdef CVN_SIM
sim::EventRecord Record(const char* source) {
  sim::EventRecord record;
  record.source = source;
  record.strings = {"text"};
  return record;
}

// advapi32/tests/eventlog.c, test_read: the size query fails with 122 and
// reads nothing; a read of the size it asked for succeeds with needed 0.
NATIVE_CASE(kArea, "from Windows 2000 a size query asks for the next record exactly") {
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, ""});
  for (const char* source : {"A", "B"}) sim::AddEvent(Record(source));
  HANDLE log = OpenEventLogA(nullptr, "Application");
  std::vector<BYTE> buffer(sizeof(EVENTLOGRECORD));
  DWORD read = 0xdeadbeef, needed = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  CHECK(!ReadEventLogA(log, kForwards, 0, buffer.data(), sizeof(EVENTLOGRECORD), &read, &needed));
  CHECK_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  CHECK_EQ(read, 0u);
  CHECK(needed > sizeof(EVENTLOGRECORD));
  DWORD toRead = needed;
  buffer.resize(toRead);
  REQUIRE(ReadEventLogA(log, kForwards, 0, buffer.data(), toRead, &read, &needed));
  CHECK_EQ(read, toRead);
  CHECK_EQ(needed, 0u);
  CloseEventLog(log);
  sim::ClearEventLog();
}

// advapi32/tests/eventlog.c, test_read: broken(read < toread), "NT4 wants a
// buffer size way bigger than just 1 record"; MSDN, ReadEventLog: the read
// returns as many whole records as fit.
NATIVE_CASE(kArea, "on NT 4.0 a size query asks for room for many records, which one read returns") {
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6"});
  for (const char* source : {"A", "B", "C"}) sim::AddEvent(Record(source));
  HANDLE log = OpenEventLogA(nullptr, "Application");
  std::vector<BYTE> buffer(sizeof(EVENTLOGRECORD));
  DWORD read = 0, needed = 0;
  CHECK(!ReadEventLogA(log, kForwards, 0, buffer.data(), sizeof(EVENTLOGRECORD), &read, &needed));
  DWORD toRead = needed;
  buffer.resize(toRead);
  REQUIRE(ReadEventLogA(log, kForwards, 0, buffer.data(), toRead, &read, &needed));
  CHECK(read < toRead);
  DWORD first = 0;
  std::memcpy(&first, buffer.data(), sizeof first);
  CHECK_EQ(read, 3 * first);  // the three records, each whole
  SetLastError(0xdeadbeef);
  CHECK(!ReadEventLogA(log, kForwards, 0, buffer.data(), toRead, &read, &needed));
  CHECK_EQ(GetLastError(), ERROR_HANDLE_EOF);
  CloseEventLog(log);
  sim::ClearEventLog();
}
#endif

}  // namespace
