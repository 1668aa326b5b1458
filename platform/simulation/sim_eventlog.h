// Test control of the simulated event log: one log on this machine (the
// application log) that every OpenEventLogA of the local machine opens, as
// Windows does for a source that names no log of its own. A read returns
// every whole record that fits; with sim::SetOsVersion at 4.x the size a read
// that fits nothing asks for is a block of many records, as NT 4.0's is.
#pragma once

#include "win32_api.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

struct EventRecord {
  std::string source;
  std::string computer = "CVNHOST";
  DWORD timeGenerated = 0;  // seconds since 1970-01-01 UTC
  DWORD timeWritten = 0;
  DWORD eventId = 0;
  WORD eventType = EVENTLOG_INFORMATION_TYPE;
  WORD category = 0;
  std::vector<std::string> strings;
  std::vector<uint8_t> userSid;
  std::vector<uint8_t> data;
};

// The record's bytes exactly as ReadEventLogA returns them.
std::vector<uint8_t> EventRecordBytes(const EventRecord& record, DWORD recordNumber);
// Appends a record as the newest one; returns its record number.
DWORD AddEvent(const EventRecord& record);
// Appends bytes that ReadEventLogA hands out verbatim as one record of that
// size (for records that lie about their own layout).
DWORD AddRawEventRecord(const std::vector<uint8_t>& bytes);
// Records held now.
size_t EventCount();
// Drops every record, or the oldest `count`, as a cleared or wrapping log.
void ClearEventLog();
void RemoveOldestEvents(size_t count);
// Runs `action` at the start of the nth ReadEventLogA call from now (1 = the
// next one), before that call looks at the log.
void OnEventLogRead(int nth, std::function<void()> action);

}  // namespace sim
