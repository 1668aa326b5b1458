// The event log: records in their binary layout, read sequentially forwards
// through handles that each remember their position.
#include "sim_internal.h"

#include <cstring>
#include <deque>
#include <map>

namespace sim {
namespace {

constexpr DWORD kSignature = 0x654c664c;  // "LfLe"
// NT 4.0 answers a size query with far more than the next record needs
// (advapi32/tests/eventlog.c, test_read: broken(read < toread)); the record
// gives no figure, so the simulation answers a block of this size.
constexpr DWORD kNt4ReadBlock = 0x10000;

struct StoredRecord {
  DWORD number;
  std::vector<uint8_t> bytes;
};

struct PendingAction {
  int callsLeft;
  std::function<void()> action;
};

struct EventLogState {
  std::deque<StoredRecord> records;  // oldest first, numbers consecutive
  DWORD nextNumber = 1;
  std::map<uintptr_t, DWORD> readers;  // handle -> number of the next record
  std::vector<PendingAction> actions;
};

EventLogState& Log() {
  static EventLogState state;
  return state;
}

void Append(std::vector<uint8_t>& out, const void* bytes, size_t size) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  out.insert(out.end(), p, p + size);
}

void AppendText(std::vector<uint8_t>& out, const std::string& text) {
  Append(out, text.c_str(), text.size() + 1);
}

void PadToDword(std::vector<uint8_t>& out) {
  while (out.size() % 4) out.push_back(0);
}

DWORD Store(std::vector<uint8_t> bytes) {
  EventLogState& s = Log();
  DWORD number = s.nextNumber++;
  s.records.push_back(StoredRecord{number, std::move(bytes)});
  return number;
}

// Index of the first record numbered `number` or later.
size_t IndexFrom(DWORD number) {
  const EventLogState& s = Log();
  if (s.records.empty() || number <= s.records.front().number) return 0;
  size_t index = number - s.records.front().number;
  return index < s.records.size() ? index : s.records.size();
}

void RunDueActions() {
  // Actions may add further actions; take the due ones out first.
  std::vector<std::function<void()>> due;
  auto& actions = Log().actions;
  for (auto it = actions.begin(); it != actions.end();) {
    if (--it->callsLeft == 0) {
      due.push_back(std::move(it->action));
      it = actions.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& action : due) action();
}

}  // namespace

std::vector<uint8_t> EventRecordBytes(const EventRecord& record, DWORD recordNumber) {
  EVENTLOGRECORD fixed{};
  std::vector<uint8_t> out(sizeof fixed, 0);
  AppendText(out, record.source);
  AppendText(out, record.computer);
  PadToDword(out);
  fixed.UserSidOffset = static_cast<DWORD>(out.size());
  fixed.UserSidLength = static_cast<DWORD>(record.userSid.size());
  Append(out, record.userSid.data(), record.userSid.size());
  fixed.StringOffset = static_cast<DWORD>(out.size());
  for (const std::string& text : record.strings) AppendText(out, text);
  fixed.DataOffset = static_cast<DWORD>(out.size());
  fixed.DataLength = static_cast<DWORD>(record.data.size());
  Append(out, record.data.data(), record.data.size());
  PadToDword(out);
  DWORD length = static_cast<DWORD>(out.size() + sizeof(DWORD));
  Append(out, &length, sizeof length);

  fixed.Length = length;
  fixed.Reserved = kSignature;
  fixed.RecordNumber = recordNumber;
  fixed.TimeGenerated = record.timeGenerated;
  fixed.TimeWritten = record.timeWritten ? record.timeWritten : record.timeGenerated;
  fixed.EventID = record.eventId;
  fixed.EventType = record.eventType;
  fixed.NumStrings = static_cast<WORD>(record.strings.size());
  fixed.EventCategory = record.category;
  std::memcpy(out.data(), &fixed, sizeof fixed);
  return out;
}

DWORD AddEvent(const EventRecord& record) { return Store(EventRecordBytes(record, Log().nextNumber)); }
DWORD AddRawEventRecord(const std::vector<uint8_t>& bytes) { return Store(bytes); }
size_t EventCount() { return Log().records.size(); }
void ClearEventLog() { Log().records.clear(); }

void RemoveOldestEvents(size_t count) {
  auto& records = Log().records;
  records.erase(records.begin(), records.begin() + std::min(count, records.size()));
}

void OnEventLogRead(int nth, std::function<void()> action) {
  Log().actions.push_back(PendingAction{nth, std::move(action)});
}

namespace detail {
void ResetEventLog() { Log() = EventLogState{}; }
}  // namespace detail

}  // namespace sim

namespace detail = sim::detail;
using sim::HandleKind;

extern "C" {

HANDLE WINAPI OpenEventLogA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
  DWORD error;
  if (detail::ShouldFail("OpenEventLogA", &error)) {
    SetLastError(error);
    return nullptr;
  }
  if (lpUNCServerName && *lpUNCServerName) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);  // no other machine is reachable
    return nullptr;
  }
  if (!lpSourceName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  uintptr_t handle = detail::NewHandle(HandleKind::EventLog);
  sim::Log().readers[handle] = 0;  // from the oldest record
  return reinterpret_cast<HANDLE>(handle);
}

BOOL WINAPI CloseEventLog(HANDLE hEventLog) {
  DWORD error;
  if (detail::ShouldFail("CloseEventLog", &error)) {
    SetLastError(error);
    return FALSE;
  }
  auto value = reinterpret_cast<uintptr_t>(hEventLog);
  if (!detail::ReleaseHandle(HandleKind::EventLog, value)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  sim::Log().readers.erase(value);
  return TRUE;
}

BOOL WINAPI GetNumberOfEventLogRecords(HANDLE hEventLog, PDWORD NumberOfRecords) {
  DWORD error;
  if (detail::ShouldFail("GetNumberOfEventLogRecords", &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (!detail::IsOpen(HandleKind::EventLog, reinterpret_cast<uintptr_t>(hEventLog))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!NumberOfRecords) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *NumberOfRecords = static_cast<DWORD>(sim::Log().records.size());
  return TRUE;
}

// Sequential forward reads only: as many whole records as fit, at least one
// (MSDN, ReadEventLog). The size a read that fits nothing asks for is the
// next record's, on NT 4.0 a block of many.
BOOL WINAPI ReadEventLogA(HANDLE hEventLog, DWORD dwReadFlags, DWORD dwRecordOffset, LPVOID lpBuffer,
                          DWORD nNumberOfBytesToRead, DWORD* pnBytesRead,
                          DWORD* pnMinNumberOfBytesNeeded) {
  DWORD error;
  bool failing = detail::ShouldFail("ReadEventLogA", &error);
  sim::RunDueActions();
  if (failing) {
    SetLastError(error);
    return FALSE;
  }
  auto value = reinterpret_cast<uintptr_t>(hEventLog);
  if (!detail::IsOpen(HandleKind::EventLog, value)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!pnBytesRead || !pnMinNumberOfBytesNeeded ||
      dwReadFlags != (EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pnBytesRead = 0;
  *pnMinNumberOfBytesNeeded = 0;
  sim::EventLogState& s = sim::Log();
  DWORD& position = s.readers[value];
  size_t index = sim::IndexFrom(position);
  if (index >= s.records.size()) {
    SetLastError(ERROR_HANDLE_EOF);
    return FALSE;
  }
  const std::vector<uint8_t>& first = s.records[index].bytes;
  if (first.size() > nNumberOfBytesToRead || !lpBuffer) {
    DWORD needed = static_cast<DWORD>(first.size());
    if (detail::MajorVersion() == 4 && needed < sim::kNt4ReadBlock) needed = sim::kNt4ReadBlock;
    *pnMinNumberOfBytesNeeded = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* out = static_cast<uint8_t*>(lpBuffer);
  DWORD used = 0;
  while (index < s.records.size() && s.records[index].bytes.size() <= nNumberOfBytesToRead - used) {
    const std::vector<uint8_t>& bytes = s.records[index].bytes;
    if (!bytes.empty()) std::memcpy(out + used, bytes.data(), bytes.size());  // raw records may be empty
    used += static_cast<DWORD>(bytes.size());
    position = s.records[index].number + 1;
    ++index;
  }
  *pnBytesRead = used;
  return TRUE;
}

}  // extern "C"
