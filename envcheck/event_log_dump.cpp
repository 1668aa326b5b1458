// The product's entries of the event log, oldest first. Every record is read
// and checked against its own length before any of its texts is used: a
// damaged record must not lead the dump outside the record. A read may return
// several whole records (NT 4.0 asks for room for many): each is listed.
#include "configuration_checks.h"
#include "report.h"

namespace {

const DWORD kSequentialForwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
const DWORD kInitialBufferSize = 1024;
const char kEventLine[] = "\t%s %s %s - %s\n";
// Shown for a time that ctime cannot convert; as wide as a converted one.
const char kUnknownTime[] = "??? ??? ?? ??:??:?? ????";

// The NUL-terminated text at `offset` of the record, or NULL when it does not
// end inside the record.
const char* RecordText(const BYTE* record, DWORD length, DWORD offset) {
  if (offset >= length) return NULL;
  const void* end = memchr(record + offset, '\0', length - offset);
  return end ? reinterpret_cast<const char*>(record + offset) : NULL;
}

// ctime's text without its line break.
void FormatTime(DWORD seconds, char* text, size_t textSize) {
  time_t when = static_cast<time_t>(seconds);
  const char* converted = ctime(&when);
  if (converted == NULL) converted = kUnknownTime;
  size_t length = 0;
  while (converted[length] != '\0' && converted[length] != '\n' && length < textSize - 1) {
    text[length] = converted[length];
    ++length;
  }
  text[length] = '\0';
}

// The fixed part is copied out: a record after a damaged one may start at any byte.
void AddEventLine(const BYTE* record, DWORD length, const char* sourceName) {
  EVENTLOGRECORD fixed;
  memcpy(&fixed, record, sizeof fixed);
  DWORD sourceOffset = sizeof(EVENTLOGRECORD);
  const char* source = RecordText(record, length, sourceOffset);
  if (source == NULL || strcmp(source, sourceName) != 0) return;
  const char* computer = RecordText(record, length, sourceOffset + strlen(source) + 1);
  const char* message = fixed.NumStrings > 0 ? RecordText(record, length, fixed.StringOffset) : NULL;
  char timeText[32];
  FormatTime(fixed.TimeGenerated, timeText, sizeof timeText);
  ReportAdd(kEventLine, timeText, source, computer ? computer : "", message ? message : "");
}

DWORD StoredDword(const BYTE* at) {
  DWORD value;
  memcpy(&value, at, sizeof value);
  return value;
}

// Lists the whole records of one read, at most `room` of them. The next record
// is looked for only after one that ends in its own length, as every record
// does. Returns the records passed, at least one: a read is never empty.
DWORD ListRecords(const BYTE* buffer, DWORD bytesRead, const char* sourceName, DWORD room) {
  DWORD offset = 0;
  DWORD passed = 0;
  while (passed < room && bytesRead - offset >= sizeof(EVENTLOGRECORD)) {
    DWORD length = StoredDword(buffer + offset);
    if (length < sizeof(EVENTLOGRECORD) || length > bytesRead - offset) break;
    AddEventLine(buffer + offset, length, sourceName);
    ++passed;
    if (StoredDword(buffer + offset + length - sizeof(DWORD)) != length) break;
    offset += length;
  }
  return passed > 0 ? passed : 1;
}

}  // namespace

int DumpEventLog(const char* sourceName) {
  HANDLE log = OpenEventLogA(NULL, sourceName);
  if (log == NULL) return 0;
  DWORD records = 0;
  BYTE* buffer = NULL;
  DWORD bufferSize = kInitialBufferSize;
  if (GetNumberOfEventLogRecords(log, &records)) buffer = static_cast<BYTE*>(malloc(bufferSize));

  for (DWORD listed = 0; buffer != NULL && listed < records;) {
    DWORD bytesRead = 0;
    DWORD needed = 0;
    // The size query fails for want of room and tells the size to read: the
    // next record's, on NT 4.0 room for many; any other failure means the log
    // ended or changed under us.
    if (ReadEventLogA(log, kSequentialForwards, 0, buffer, 0, &bytesRead, &needed) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      break;
    }
    if (needed > bufferSize) {
      BYTE* grown = static_cast<BYTE*>(realloc(buffer, needed));
      if (grown == NULL) break;
      buffer = grown;
      bufferSize = needed;
    }
    if (!ReadEventLogA(log, kSequentialForwards, 0, buffer, needed, &bytesRead, &needed)) break;
    listed += ListRecords(buffer, bytesRead, sourceName, records - listed);
  }

  free(buffer);
  CloseEventLog(log);
  ReportFlush();
  ReportDiscard();
  return 0;
}
