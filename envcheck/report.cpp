// The pending report and the problem counters.
//
// The list keeps the layout the checks and the driver rely on (consecutive
// NUL-terminated entries and one more NUL), but remembers where it ends and
// how much room it has, so that an append never walks the list and the block
// grows geometrically: a long report costs linear time.
#include "report.h"

#include "code_page.h"

unsigned WarningCount = 0;
unsigned ErrorCount = 0;

char* PendingReport = NULL;

static char FormatBuffer[1024];
static size_t ReportEnd = 0;       // offset of the NUL that ends the list
static size_t ReportCapacity = 0;  // bytes allocated for the list

static const size_t kFirstCapacity = 2048;

static void ForgetList(void) {
  free(PendingReport);
  PendingReport = NULL;
  ReportEnd = 0;
  ReportCapacity = 0;
}

// Makes room for `needed` bytes; 0 on success, -1 with the list untouched.
static int ReserveReport(size_t needed) {
  if (needed <= ReportCapacity) return 0;
  size_t capacity = ReportCapacity ? ReportCapacity : kFirstCapacity;
  while (capacity < needed) {
    if (capacity > (size_t)-1 / 2) {
      capacity = needed;
      break;
    }
    capacity *= 2;
  }
  char* block = PendingReport ? (char*)realloc(PendingReport, capacity) : (char*)malloc(capacity);
  if (block == NULL) return -1;
  PendingReport = block;
  ReportCapacity = capacity;
  return 0;
}

static void AddFormatted(bool keepLineBreak, const char* format, va_list args) {
  wvsprintfA(FormatBuffer, format, args);

  // An empty entry would end the list early. A text cut at the buffer's end
  // may end in half a character, which would join the next entry's first byte.
  size_t length = strlen(FormatBuffer);
  if (length == sizeof FormatBuffer - 1) {
    length = WholeCharacters(FormatBuffer, keepLineBreak ? length - 1 : length);
    if (keepLineBreak) FormatBuffer[length++] = '\n';
    FormatBuffer[length] = '\0';
  }
  if (length == 0) return;

  // The entry, its terminator and the list's extra NUL.
  if (ReserveReport(ReportEnd + length + 2) != 0) return;
  memcpy(PendingReport + ReportEnd, FormatBuffer, length + 1);
  ReportEnd += length + 1;
  PendingReport[ReportEnd] = '\0';
}

int ReportAdd(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddFormatted(false, format, args);
  va_end(args);
  return 0;
}

int ReportAddLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddFormatted(true, format, args);
  va_end(args);
  return 0;
}

void ReportFlush(void) {
  if (PendingReport == NULL) return;
  for (const char* entry = PendingReport; *entry != '\0'; entry += strlen(entry) + 1) {
    printf("%s", entry);
  }
}

void ReportDropLast(void) {
  if (PendingReport == NULL) return;
  // Entries are never empty: step back from the last terminator to the NUL
  // before the last entry, or to the start of the block.
  size_t start = ReportEnd - 1;
  while (start > 0 && PendingReport[start - 1] != '\0') --start;
  if (start == 0) {
    ForgetList();
    return;
  }
  PendingReport[start] = '\0';
  ReportEnd = start;
}

size_t ReportLength(void) { return ReportEnd; }

void ReportDiscard(void) { ForgetList(); }
