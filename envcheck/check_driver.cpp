// The full environment report: options, header, the sections in their order,
// and the summary whose counters give the result.
#include "check_driver.h"
#include "checks.h"
#include "entry_points.h"
#include "readers.h"
#include "report.h"
#include "version.h"

enum {
  MSG_ARGUMENT_NOT_KNOWN = 50004,
  MSG_HEADER_TITLE = 50012,
  MSG_HEADER_TIME = 50013,
  MSG_NO_PROBLEMS = 50039,
  MSG_NO_SERIOUS_PROBLEMS = 50040,
  MSG_SERIOUS_PROBLEMS = 50041,
  MSG_POTENTIAL_PROBLEMS = 50042,
  MSG_HEADING_SYSTEM = 51001,
  MSG_HEADING_DRIVES = 51002,
  MSG_HEADING_CONFIGURATION = 51003,
  MSG_HEADING_NETWORK = 51004,
  MSG_HEADING_PORTS = 51005,
  MSG_HEADING_EVENT_LOG = 51006,
  MSG_HEADING_COMPATIBILITY = 51009
};

// The usage text, line by line.
static const UINT kUsageMessages[] = {50005, 50006, 50005, 50007, 50008, 50009, 50010, 50011};

static const char kOptionWarnings[] = "-warnings";
static const char kOptionErrors[] = "-errors";
static const char kOptionEventLogs[] = "-eventlogs";
static const char kOptionOut[] = "-out";
static const char kOptionHelp[] = "-?";
static const char kOptionHelpSlash[] = "/?";

static const char kEventSource[] = "Corvane";
static const char kInstallTypeValue[] = PRODUCT_KEY "\\Type";
static const int kDateTimeSize = 256;

DWORD ReadInstallType(void) {
  DWORD type;
  if (ReadRegistryDword(HKEY_LOCAL_MACHINE, kInstallTypeValue, &type) != 0) return 0;
  return type;
}

// Sections whose check takes other arguments than the report level.
static int CompatibilitySection(int level) { return CheckProductCompatibility(); }
static int ConfigurationRegistrySection(int level) {
  DumpConfigurationRegistry();
  return SEV_INFORMATION;
}
static int PortAssignmentsSection(int level) {
  return CheckPortAssignments(ReadInstallType(), level);
}
static int BinaryVersionsSection(int level) {
  ListBinaryVersions(WindowsDirectory);
  return SEV_INFORMATION;
}
static int EventLogSection(int level) { return DumpEventLog(kEventSource); }

// The full report in its order.
static const ReportSection kSections[] = {
    {MSG_HEADING_SYSTEM, CheckOsVersion, PRINT_AT_LEVEL, FALSE, FALSE},
    {0, CheckSystemInfo, PRINT_AT_LEVEL, FALSE, FALSE},
    {MSG_HEADING_DRIVES, CheckDrives, PRINT_AT_LEVEL, FALSE, FALSE},
    {MSG_HEADING_COMPATIBILITY, CompatibilitySection, PRINT_ABOVE_LEVEL, FALSE, FALSE},
    {MSG_HEADING_CONFIGURATION, ConfigurationRegistrySection, PRINTS_ITSELF, TRUE, FALSE},
    {0, CheckConfiguredPaths, PRINT_AT_LEVEL, FALSE, FALSE},
    {MSG_HEADING_NETWORK, CheckNetworkConnectivity, PRINT_AT_LEVEL, FALSE, FALSE},
    {MSG_HEADING_PORTS, PortAssignmentsSection, PRINT_AT_LEVEL, FALSE, FALSE},
    {0, BinaryVersionsSection, PRINTS_ITSELF, TRUE, FALSE},
    {MSG_HEADING_EVENT_LOG, EventLogSection, PRINTS_ITSELF, FALSE, TRUE},
};

const SectionTable DefaultSections = {kSections, sizeof kSections / sizeof kSections[0]};

struct RunOptions {
  int level;
  BOOL eventLogs;
  BOOL toFile;
  char outputFile[MAX_PATH];
};

// Options are compared without regard to case.
static BOOL IsOption(const char* argument, const char* option) {
  for (; *option != '\0'; ++argument, ++option) {
    if (tolower((unsigned char)*argument) != *option) return FALSE;
  }
  return *argument == '\0';
}

static void PrintUsage(void) {
  for (size_t i = 0; i < sizeof kUsageMessages / sizeof kUsageMessages[0]; ++i) {
    printf("%s", LoadMessage(kUsageMessages[i]));
  }
  exit(0);
}

// 0, or -1 when "-out" has no file name or one too long for a path. Ends the
// process after the usage text for "-?" and for an option not known.
static int ParseOptions(int argc, char** argv, RunOptions* options) {
  options->level = REPORT_ALL;
  options->eventLogs = FALSE;
  options->toFile = FALSE;
  options->outputFile[0] = '\0';
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (IsOption(argument, kOptionWarnings)) {
      options->level = REPORT_WARNINGS;
    } else if (IsOption(argument, kOptionErrors)) {
      options->level = REPORT_ERRORS;
    } else if (IsOption(argument, kOptionEventLogs)) {
      options->eventLogs = TRUE;
    } else if (IsOption(argument, kOptionOut)) {
      if (i + 1 >= argc || argv[i + 1] == NULL) return -1;
      const char* name = argv[++i];
      if (strlen(name) >= MAX_PATH) return -1;
      strcpy(options->outputFile, name);
      options->toFile = TRUE;
    } else if (IsOption(argument, kOptionHelp) || IsOption(argument, kOptionHelpSlash)) {
      PrintUsage();
    } else {
      printf(LoadMessage(MSG_ARGUMENT_NOT_KNOWN), argument);
      PrintUsage();
    }
  }
  return 0;
}

typedef int(WINAPI* FormatCall)(LCID, DWORD, const SYSTEMTIME*, LPCSTR, LPSTR, int);

// The date or time in the system's ANSI code page, as every other text of
// the report, whatever the user's locale's page; asked again without the
// flag where the system does not know it. Empty when it cannot be formatted.
static void FormatNow(FormatCall call, DWORD flags, const SYSTEMTIME* now, char* text) {
  if (call(LOCALE_USER_DEFAULT, flags | LOCALE_USE_CP_ACP, now, NULL, text, kDateTimeSize) != 0) return;
  if (GetLastError() == ERROR_INVALID_FLAGS &&
      call(LOCALE_USER_DEFAULT, flags, now, NULL, text, kDateTimeSize) != 0)
    return;
  text[0] = '\0';
}

static void PrintHeader(void) {
  // Empty rather than undefined when the system cannot format them.
  char dateText[kDateTimeSize] = "";
  char timeText[kDateTimeSize] = "";
  // One reading of the clock for both, so that a run at midnight never shows
  // one day's date with the next day's time.
  SYSTEMTIME now;
  printf("%s", LoadMessage(MSG_HEADER_TITLE));
  // %ls: a wide string under every printf family (msvcrt's and MinGW's).
  wprintf(L"%ls - ", CVN_VERSION_TEXT_WIDE);
  GetLocalTime(&now);
  FormatNow(GetDateFormatA, DATE_LONGDATE, &now, dateText);
  FormatNow(GetTimeFormatA, 0, &now, timeText);
  printf(LoadMessage(MSG_HEADER_TIME), dateText, timeText);
}

static void RunSections(const SectionTable* table, int level, BOOL eventLogs) {
  for (int i = 0; i < table->count; ++i) {
    const ReportSection* section = &table->sections[i];
    if (section->levelZeroOnly && level != REPORT_ALL) continue;
    if (section->eventLogsOnly && !eventLogs) continue;
    if (section->heading != 0) ReportAdd("%s", LoadMessage(section->heading));
    int severity = section->check(level);
    if ((section->print == PRINT_AT_LEVEL && severity >= level) ||
        (section->print == PRINT_ABOVE_LEVEL && severity > level)) {
      ReportFlush();
    }
    ReportDiscard();
  }
}

// The closing lines from the counters; the run's result.
static int PrintSummary(void) {
  if (WarningCount == 0 && ErrorCount == 0) {
    printf("%s", LoadMessage(MSG_NO_PROBLEMS));
    return SEV_INFORMATION;
  }
  int result = SEV_INFORMATION;
  if (ErrorCount > 0) {
    printf(LoadMessage(MSG_SERIOUS_PROBLEMS), (int)ErrorCount);
    result = SEV_ERROR;
  } else {
    printf("%s", LoadMessage(MSG_NO_SERIOUS_PROBLEMS));
  }
  if (WarningCount > 0) {
    printf(LoadMessage(MSG_POTENTIAL_PROBLEMS), (int)WarningCount);
    if (result == SEV_INFORMATION) result = SEV_WARNING;
  }
  return result;
}

int RunEnvironmentCheckWith(const SectionTable* table, int argc, char** argv) {
  RunOptions options;
  if (ParseOptions(argc, argv, &options) != 0) return -1;
  if (options.toFile && freopen(options.outputFile, "w", stdout) == NULL) return -1;
  PrintHeader();
  RunSections(table, options.level, options.eventLogs);
  int result = PrintSummary();
  if (options.toFile) fclose(stdout);
  return result;
}

int RunEnvironmentCheck(int argc, char** argv) {
  return RunEnvironmentCheckWith(&DefaultSections, argc, argv);
}
