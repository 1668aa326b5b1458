// The report engine shared by every check: the message catalog, the pending
// report, the problem counters, severities and report levels.
#pragma once

#include "platform.h"

// Severity a check returns (SEVERITY_ERROR is taken by the Windows headers).
enum { SEV_INFORMATION = 0, SEV_WARNING = 1, SEV_ERROR = 2 };
// Report level: 0 everything, 1 warnings and errors, 2 errors only.
enum { REPORT_ALL = 0, REPORT_WARNINGS = 1, REPORT_ERRORS = 2 };

// Module whose string table holds the catalog; null until an entry point sets
// it, then the host executable is taken on first use.
extern HMODULE MessageModule;

// Text of catalog message `id`, or "***BAD STRING ID***". Points into one
// process-wide buffer that the next call overwrites.
const char* LoadMessage(UINT id);

// Problem counters: zero when the library loads, never reset.
extern unsigned WarningCount;
extern unsigned ErrorCount;

// The pending report: entries collected by a check, printed or discarded by
// the driver. Consecutive NUL-terminated entries and one more NUL, or NULL
// when there is none; only the functions below change it.
extern char* PendingReport;
// Formats with wsprintf rules (cut at 1024 characters) and appends the result
// as one entry; always 0. An empty result, or a list that cannot grow, adds
// nothing and keeps every entry already held.
int ReportAdd(const char* format, ...);
// The same for a line that ends in a line break: when the text is cut, the
// cut keeps the break, so that the line does not run into the next.
int ReportAddLine(const char* format, ...);
// Prints every entry in order to standard output; the entries stay.
void ReportFlush(void);
// Takes back the newest entry; nothing happens when there is none.
void ReportDropLast(void);
// The bytes the entries take; 0 when there is no list. Tells a caller whether
// an entry was really added.
size_t ReportLength(void);
// Frees every entry.
void ReportDiscard(void);
