// The simulated event log against the layout and errors of the real one.
#include <cstring>
#include <string>

#include "sim_fixture.h"

namespace {

sim::EventRecord Source(const std::string& source) {
  sim::EventRecord record;
  record.source = source;
  return record;
}

class SimEventLogTest : public SimTest {
 protected:
  const DWORD kForwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
};

TEST_F(SimEventLogTest, RecordIsLaidOutAsEventLogRecord) {
  sim::EventRecord record;
  record.source = "Corvane";
  record.computer = "HOST1";
  record.timeGenerated = 1000;
  record.eventId = 7;
  record.strings = {"first", "second"};
  record.data = {1, 2, 3};
  std::vector<uint8_t> bytes = sim::EventRecordBytes(record, 42);

  ASSERT_EQ(bytes.size() % 4, 0u);
  EVENTLOGRECORD fixed;
  std::memcpy(&fixed, bytes.data(), sizeof fixed);
  EXPECT_EQ(sizeof fixed, 56u);
  EXPECT_EQ(fixed.Length, bytes.size());
  EXPECT_EQ(fixed.Reserved, 0x654c664cu);
  EXPECT_EQ(fixed.RecordNumber, 42u);
  EXPECT_EQ(fixed.TimeGenerated, 1000u);
  EXPECT_EQ(fixed.NumStrings, 2);
  const char* text = reinterpret_cast<const char*>(bytes.data());
  EXPECT_STREQ(text + 56, "Corvane");
  EXPECT_STREQ(text + 64, "HOST1");
  EXPECT_EQ(fixed.UserSidOffset, 72u);  // 56 + 8 + 6, padded to a DWORD
  EXPECT_EQ(fixed.StringOffset, 72u);
  EXPECT_STREQ(text + fixed.StringOffset, "first");
  EXPECT_STREQ(text + fixed.StringOffset + 6, "second");
  EXPECT_EQ(fixed.DataOffset, fixed.StringOffset + 13);
  EXPECT_EQ(fixed.DataLength, 3u);
  DWORD trailer;
  std::memcpy(&trailer, bytes.data() + bytes.size() - 4, 4);
  EXPECT_EQ(trailer, fixed.Length);
}

TEST_F(SimEventLogTest, SizeQueryFailsAndTellsTheBytesNeededThenReadsOneByOne) {
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, ""});
  sim::AddEvent(Source("A"));
  sim::AddEvent(Source("B"));
  HANDLE log = OpenEventLogA(nullptr, "Corvane");
  ASSERT_NE(log, nullptr);
  DWORD count = 0;
  ASSERT_TRUE(GetNumberOfEventLogRecords(log, &count));
  EXPECT_EQ(count, 2u);

  std::vector<uint8_t> buffer(512, 0xcc);
  DWORD read = 0xdeadbeef, needed = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadEventLogA(log, kForwards, 0, buffer.data(), 0, &read, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(needed, sim::EventRecordBytes(Source("A"), 1).size());
  EXPECT_EQ(buffer[0], 0xcc);

  ASSERT_TRUE(ReadEventLogA(log, kForwards, 0, buffer.data(), needed, &read, &needed));
  EXPECT_EQ(read, sim::EventRecordBytes(Source("A"), 1).size());
  EXPECT_STREQ(reinterpret_cast<char*>(buffer.data()) + 56, "A");

  // What fits is read at once; past the end the read fails with EOF.
  ASSERT_TRUE(ReadEventLogA(log, kForwards, 0, buffer.data(), 512, &read, &needed));
  EXPECT_STREQ(reinterpret_cast<char*>(buffer.data()) + 56, "B");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadEventLogA(log, kForwards, 0, buffer.data(), 512, &read, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));

  EXPECT_TRUE(CloseEventLog(log));
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(SimEventLogTest, SeveralWholeRecordsFitOneRead) {
  for (const char* source : {"A", "B", "C"}) sim::AddEvent(Source(source));
  size_t one = sim::EventRecordBytes(Source("A"), 1).size();
  HANDLE log = OpenEventLogA(nullptr, "Corvane");
  std::vector<uint8_t> buffer(2 * one + 1);
  DWORD read = 0, needed = 0;
  ASSERT_TRUE(ReadEventLogA(log, kForwards, 0, buffer.data(), buffer.size(), &read, &needed));
  EXPECT_EQ(read, 2 * one);
  ASSERT_TRUE(ReadEventLogA(log, kForwards, 0, buffer.data(), buffer.size(), &read, &needed));
  EXPECT_EQ(read, one);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer.data()) + 56, "C");
  CloseEventLog(log);
}

// advapi32/tests/eventlog.c, test_read: NT 4.0 asks for far more than the
// next record, and a read of that size returns less than it asked for.
TEST_F(SimEventLogTest, Nt4SizeQueryAsksForRoomForManyRecords) {
  for (const char* source : {"A", "B", "C"}) sim::AddEvent(Source(source));
  size_t one = sim::EventRecordBytes(Source("A"), 1).size();
  HANDLE log = OpenEventLogA(nullptr, "Corvane");
  std::vector<uint8_t> buffer(sizeof(EVENTLOGRECORD));
  DWORD read = 0xdeadbeef, needed = 0xdeadbeef;
  EXPECT_FALSE(ReadEventLogA(log, kForwards, 0, buffer.data(), buffer.size(), &read, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(read, 0u);
  EXPECT_GT(needed, 3 * one);
  buffer.resize(needed);
  ASSERT_TRUE(ReadEventLogA(log, kForwards, 0, buffer.data(), needed, &read, &needed));
  EXPECT_EQ(read, 3 * one);
  EXPECT_EQ(needed, 0u);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer.data()) + 2 * one + 56, "C");
  CloseEventLog(log);

  // Windows 2000 asks for the next record alone.
  sim::SetOsVersion({VER_PLATFORM_WIN32_NT, 5, 0, 2195, ""});
  log = OpenEventLogA(nullptr, "Corvane");
  EXPECT_FALSE(ReadEventLogA(log, kForwards, 0, buffer.data(), 0, &read, &needed));
  EXPECT_EQ(needed, one);
  CloseEventLog(log);
}

TEST_F(SimEventLogTest, ShrinkingLogContinuesAfterTheLastRecordRead) {
  for (const char* source : {"A", "B", "C", "D"}) sim::AddEvent(Source(source));
  HANDLE log = OpenEventLogA(nullptr, "Corvane");
  std::vector<uint8_t> buffer(100);
  DWORD read = 0, needed = 0;
  ASSERT_TRUE(ReadEventLogA(log, kForwards, 0, buffer.data(), 100, &read, &needed));
  sim::OnEventLogRead(1, [] { sim::RemoveOldestEvents(3); });
  ASSERT_TRUE(ReadEventLogA(log, kForwards, 0, buffer.data(), 100, &read, &needed));
  EXPECT_STREQ(reinterpret_cast<char*>(buffer.data()) + 56, "D");
  sim::ClearEventLog();
  EXPECT_FALSE(ReadEventLogA(log, kForwards, 0, buffer.data(), 100, &read, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
  DWORD count = 9;
  ASSERT_TRUE(GetNumberOfEventLogRecords(log, &count));
  EXPECT_EQ(count, 0u);
  CloseEventLog(log);
}

TEST_F(SimEventLogTest, BadHandlesFlagsAndServers) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenEventLogA("\\\\OTHER", "Corvane"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  HANDLE log = OpenEventLogA(nullptr, "Corvane");
  DWORD read, needed;
  char buffer[64];
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadEventLogA(log, EVENTLOG_SEQUENTIAL_READ, 0, buffer, 64, &read, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(CloseEventLog(log));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseEventLog(log));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  DWORD count;
  EXPECT_FALSE(GetNumberOfEventLogRecords(log, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
