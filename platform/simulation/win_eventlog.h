// Event log: opening a log, counting and reading its records.
#pragma once

#include "win_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define EVENTLOG_SEQUENTIAL_READ 0x0001
#define EVENTLOG_SEEK_READ 0x0002
#define EVENTLOG_FORWARDS_READ 0x0004
#define EVENTLOG_BACKWARDS_READ 0x0008

#define EVENTLOG_SUCCESS 0x0000
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004
#define EVENTLOG_AUDIT_SUCCESS 0x0008
#define EVENTLOG_AUDIT_FAILURE 0x0010

#define RPC_S_SERVER_UNAVAILABLE 1722L

// The fixed part of a record. It is followed by the source name, the computer
// name, the user SID at UserSidOffset, the insertion strings at StringOffset,
// the data at DataOffset, padding to a DWORD boundary and Length once more.
typedef struct _EVENTLOGRECORD {
  DWORD Length;
  DWORD Reserved;  // 0x654c664c, "LfLe"
  DWORD RecordNumber;
  DWORD TimeGenerated;
  DWORD TimeWritten;
  DWORD EventID;
  WORD EventType;
  WORD NumStrings;
  WORD EventCategory;
  WORD ReservedFlags;
  DWORD ClosingRecordNumber;
  DWORD StringOffset;
  DWORD UserSidLength;
  DWORD UserSidOffset;
  DWORD DataLength;
  DWORD DataOffset;
} EVENTLOGRECORD, *PEVENTLOGRECORD;

HANDLE WINAPI OpenEventLogA(LPCSTR lpUNCServerName, LPCSTR lpSourceName);
BOOL WINAPI CloseEventLog(HANDLE hEventLog);
BOOL WINAPI GetNumberOfEventLogRecords(HANDLE hEventLog, PDWORD NumberOfRecords);
BOOL WINAPI ReadEventLogA(HANDLE hEventLog, DWORD dwReadFlags, DWORD dwRecordOffset, LPVOID lpBuffer,
                          DWORD nNumberOfBytesToRead, DWORD* pnBytesRead,
                          DWORD* pnMinNumberOfBytesNeeded);

#ifdef __cplusplus
}
#endif
