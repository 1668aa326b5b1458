// The product's event-log entries: which records are listed, how, and that a
// damaged or changing log never leads the dump astray.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>

#include "configuration_checks.h"
#include "check_fixture.h"

namespace {

const char kHeading[] = "\nCorvane EVENTLOG ENTRIES:\n\n";

// From Windows 2000 a size query asks for the next record alone: one record a
// read. NT 4.0 asks for room for many (the tests at the end).
class EventLogDumpTest : public CheckTest {
 protected:
  void SetUp() override {
    CheckTest::SetUp();
    sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Service Pack 4"});
    setenv("TZ", "UTC", 1);
    tzset();
  }

  static sim::EventRecord Event(const std::string& source, DWORD time, std::vector<std::string> strings) {
    sim::EventRecord record;
    record.source = source;
    record.timeGenerated = time;
    record.strings = std::move(strings);
    return record;
  }

  // The dump as the driver runs it: its heading first.
  // `arrange` runs between the two.
  std::string Dump(const std::function<void()>& arrange = {}) {
    sim::ClearConsole();
    ReportAdd(LoadMessage(51006));
    if (arrange) arrange();
    EXPECT_EQ(DumpEventLog("Corvane"), 0);
    ReportDiscard();
    ExpectReleased();
    return sim::ConsoleText();
  }

  static std::vector<uint8_t> Bytes(const sim::EventRecord& record) {
    return sim::EventRecordBytes(record, 0);
  }
  static EVENTLOGRECORD* Fixed(std::vector<uint8_t>& bytes) {
    return reinterpret_cast<EVENTLOGRECORD*>(bytes.data());
  }
};

TEST_F(EventLogDumpTest, ListsOnlyTheProductsRecordsInTheOrderWritten) {
  for (DWORD i = 0; i < 500; ++i) {
    if (i == 10 || i == 250 || i == 499) {
      sim::AddEvent(Event("Corvane", 86400 * 365 + i, {"event " + std::to_string(i), "more"}));
    } else {
      sim::AddEvent(Event(i % 2 ? "Service Control Manager" : "EventLog", i, {"x"}));
    }
  }
  EXPECT_EQ(Dump(), std::string(kHeading) +
                        "\tFri Jan  1 00:00:10 1971 Corvane CVNHOST - event 10\n"
                        "\tFri Jan  1 00:04:10 1971 Corvane CVNHOST - event 250\n"
                        "\tFri Jan  1 00:08:19 1971 Corvane CVNHOST - event 499\n");
  EXPECT_EQ(sim::CallCount("ReadEventLogA"), 1000);  // a size query and a read per record
}

TEST_F(EventLogDumpTest, WithoutTheProductsRecordsOnlyTheHeadingIsPrinted) {
  sim::AddEvent(Event("corvane", 1, {"lower"}));
  sim::AddEvent(Event("CORVANE", 2, {"upper"}));
  sim::AddEvent(Event("Corvane2", 3, {"longer"}));
  sim::AddEvent(Event("Corvan", 4, {"shorter"}));
  EXPECT_EQ(Dump(), kHeading);
}

TEST_F(EventLogDumpTest, EmptyLogOrOneThatCannotBeOpened) {
  EXPECT_EQ(Dump(), kHeading);
  // The heading stays pending for the driver to drop.
  EXPECT_EQ(Dump([] { sim::FailCall("OpenEventLogA", ERROR_ACCESS_DENIED); }), "");
}

TEST_F(EventLogDumpTest, LogWhoseRecordsCannotBeCountedIsNotReadButClosed) {
  sim::AddEvent(Event("Corvane", 86400, {"started"}));
  EXPECT_EQ(Dump([] { sim::FailCall("GetNumberOfEventLogRecords", ERROR_ACCESS_DENIED); }), kHeading);
  EXPECT_EQ(sim::CallCount("ReadEventLogA"), 0);
  EXPECT_EQ(sim::CallCount("malloc"), 1);  // the heading's entry only
  EXPECT_EQ(sim::CallCount("CloseEventLog"), 1);
}

TEST_F(EventLogDumpTest, RecordsLargerThanTheFirstBufferGrowIt) {
  // A record of exactly 1024 bytes fits the first buffer; the next needs more.
  sim::EventRecord exact = Event("Corvane", 0, {""});
  exact.strings[0] = std::string(1024 - Bytes(exact).size(), 'e');
  while (Bytes(exact).size() > 1024) exact.strings[0].pop_back();
  ASSERT_EQ(Bytes(exact).size(), 1024u);
  sim::AddEvent(exact);
  sim::AddEvent(Event("Corvane", 60, {std::string(3000, 'L')}));
  sim::AddEvent(Event("Corvane", 120, {"after"}));

  std::string out = Dump();
  std::string first = "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - " + exact.strings[0] + "\n";
  ASSERT_EQ(out.substr(0, sizeof kHeading - 1 + first.size()), kHeading + first);
  // The long line is cut by the report's formatting limit, the next one is whole.
  std::string prefix = "\tThu Jan  1 00:01:00 1970 Corvane CVNHOST - LLL";
  EXPECT_NE(out.find(prefix), std::string::npos);
  EXPECT_EQ(out.find(std::string(3000, 'L')), std::string::npos);
  EXPECT_NE(out.find("\tThu Jan  1 00:02:00 1970 Corvane CVNHOST - after\n"), std::string::npos);
}

TEST_F(EventLogDumpTest, RecordWithoutInsertionStringsShowsAnEmptyText) {
  sim::AddEvent(Event("Corvane", 0, {}));
  EXPECT_EQ(Dump(), std::string(kHeading) + "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - \n");
}

TEST_F(EventLogDumpTest, TimeThatCtimeCannotConvertShowsAPlaceholder) {
  sim::AddEvent(Event("Corvane", 0, {"text"}));
  sim::FailCall("ctime", 0);
  EXPECT_EQ(Dump(), std::string(kHeading) + "\t??? ??? ?? ??:??:?? ???? Corvane CVNHOST - text\n");
}

TEST_F(EventLogDumpTest, DamagedRecordsAreReadOnlyWithinTheirOwnLength) {
  const std::string good = "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - good\n";
  sim::AddEvent(Event("Corvane", 0, {"good"}));

  // Insertion strings said to lie beyond the record, or too many of them.
  std::vector<uint8_t> bytes = Bytes(Event("Corvane", 0, {"offset"}));
  Fixed(bytes)->StringOffset = 0xFFFFFFF0;
  sim::AddRawEventRecord(bytes);
  bytes = Bytes(Event("Corvane", 0, {"count"}));
  Fixed(bytes)->NumStrings = 0xFFFF;
  sim::AddRawEventRecord(bytes);
  // An insertion string that runs up to the record's end without its NUL.
  bytes = Bytes(Event("Corvane", 0, {"unterminated"}));
  Fixed(bytes)->StringOffset = Fixed(bytes)->Length - 3;
  std::memset(bytes.data() + bytes.size() - 3, 'z', 3);
  sim::AddRawEventRecord(bytes);
  // A source name that fills the whole record without its NUL.
  bytes.assign(120, 'C');
  *Fixed(bytes) = EVENTLOGRECORD{};
  Fixed(bytes)->Length = 120;
  sim::AddRawEventRecord(bytes);
  // A computer name that runs to the end.
  bytes.assign(72, 'H');
  *Fixed(bytes) = EVENTLOGRECORD{};
  Fixed(bytes)->Length = 72;
  std::memcpy(bytes.data() + 56, "Corvane", 8);
  sim::AddRawEventRecord(bytes);
  // A length larger than the bytes read, one smaller than the fixed part, and
  // fewer bytes than the fixed part at all.
  bytes = Bytes(Event("Corvane", 0, {"long"}));
  Fixed(bytes)->Length = 4096;
  sim::AddRawEventRecord(bytes);
  bytes = Bytes(Event("Corvane", 0, {"short"}));
  Fixed(bytes)->Length = 20;
  sim::AddRawEventRecord(bytes);
  sim::AddRawEventRecord(std::vector<uint8_t>(12, 0));
  sim::AddEvent(Event("Corvane", 0, {"good"}));

  EXPECT_EQ(Dump(), std::string(kHeading) + good +
                        "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - \n"
                        "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - count\n"
                        "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - \n"
                        "\tThu Jan  1 00:00:00 1970 Corvane  - \n" +
                        good);
}

TEST_F(EventLogDumpTest, LogClearedWhileReadEndsTheDumpWithoutRepeats) {
  for (DWORD i = 0; i < 5; ++i) sim::AddEvent(Event("Corvane", i, {"r" + std::to_string(i)}));
  sim::OnEventLogRead(5, [] { sim::ClearEventLog(); });  // before the third size query
  EXPECT_EQ(Dump(), std::string(kHeading) +
                        "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - r0\n"
                        "\tThu Jan  1 00:00:01 1970 Corvane CVNHOST - r1\n");
  EXPECT_EQ(sim::CallCount("ReadEventLogA"), 5);
}

TEST_F(EventLogDumpTest, LogThatLosesItsOldestRecordsGoesOnWithTheNextOneLeft) {
  for (DWORD i = 0; i < 5; ++i) sim::AddEvent(Event("Corvane", i, {"r" + std::to_string(i)}));
  sim::OnEventLogRead(5, [] { sim::RemoveOldestEvents(3); });
  EXPECT_EQ(Dump(), std::string(kHeading) +
                        "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - r0\n"
                        "\tThu Jan  1 00:00:01 1970 Corvane CVNHOST - r1\n"
                        "\tThu Jan  1 00:00:03 1970 Corvane CVNHOST - r3\n"
                        "\tThu Jan  1 00:00:04 1970 Corvane CVNHOST - r4\n");
}

TEST_F(EventLogDumpTest, FailedReadOrGrowthEndsTheDump) {
  for (DWORD i = 0; i < 3; ++i) sim::AddEvent(Event("Corvane", i, {"r" + std::to_string(i)}));
  sim::FailCall("ReadEventLogA", ERROR_INVALID_HANDLE, 4);  // the second record's read
  EXPECT_EQ(Dump(), std::string(kHeading) + "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - r0\n");

  sim::ClearEventLog();
  sim::AddEvent(Event("Corvane", 0, {std::string(2000, 'x')}));
  EXPECT_EQ(Dump([] { sim::FailCall("realloc", ERROR_NOT_ENOUGH_MEMORY); }), kHeading);
  EXPECT_EQ(Dump([] { sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY); }), kHeading);
}

// ---- NT 4.0: a read returns every whole record that fits its block ----------------

class Nt4EventLogDumpTest : public EventLogDumpTest {
 protected:
  void SetUp() override {
    EventLogDumpTest::SetUp();
    sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6"});
  }
};

TEST_F(Nt4EventLogDumpTest, EveryProductEventOfEachReadIsListed) {
  // About 300 Kb of records: several reads, each of many records.
  std::string expected = kHeading;
  for (DWORD i = 0; i < 600; ++i) {
    std::string text = "event " + std::to_string(i) + " " + std::string(400, 'x');
    if (i % 3 == 0) {
      sim::AddEvent(Event("Corvane", i, {text}));
      std::time_t when = i;
      std::string time = std::asctime(std::gmtime(&when));
      time.pop_back();
      expected += "\t" + time + " Corvane CVNHOST - " + text + "\n";
    } else {
      sim::AddEvent(Event("EventLog", i, {text}));
    }
  }
  EXPECT_EQ(Dump(), expected);
  int reads = sim::CallCount("ReadEventLogA") / 2;
  EXPECT_GT(reads, 1);
  EXPECT_LT(reads, 10);
}

TEST_F(Nt4EventLogDumpTest, ARecordNotEndingInItsLengthEndsTheReadsWalk) {
  sim::AddEvent(Event("Corvane", 0, {"first"}));
  std::vector<uint8_t> bytes = Bytes(Event("Corvane", 1, {"damaged"}));
  Fixed(bytes)->Length -= 4;  // its last length no longer matches
  sim::AddRawEventRecord(bytes);
  sim::AddEvent(Event("Corvane", 2, {"same read, not reached"}));
  EXPECT_EQ(Dump(), std::string(kHeading) +
                        "\tThu Jan  1 00:00:00 1970 Corvane CVNHOST - first\n"
                        "\tThu Jan  1 00:00:01 1970 Corvane CVNHOST - damaged\n");
}

TEST_F(Nt4EventLogDumpTest, LogThatLosesItsOldestRecordsBetweenReadsGoesOn) {
  for (DWORD i = 0; i < 200; ++i) sim::AddEvent(Event("Corvane", i, {std::string(400, 'r')}));
  sim::OnEventLogRead(3, [] { sim::RemoveOldestEvents(190); });  // before the second size query
  std::string out = Dump();
  size_t lines = std::count(out.begin(), out.end(), '\n') - 3;
  EXPECT_LT(lines, 200u);
  EXPECT_NE(out.find("00:03:19 1970"), std::string::npos);  // the newest record
}

}  // namespace
