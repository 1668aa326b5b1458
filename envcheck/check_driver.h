// The driver's section table and the runs over it. The exported entry points
// use the default tables; tests run the same code over tables of their own.
#pragma once

#include "platform.h"

// When the driver prints a section's pending report.
enum SectionPrint {
  PRINT_AT_LEVEL,     // the check's severity is at least the report level
  PRINT_ABOVE_LEVEL,  // the severity is above the report level
  PRINTS_ITSELF       // the check prints its own output
};

// A section's check, called with the report level; returns a severity.
typedef int (*SectionCheck)(int level);

struct ReportSection {
  UINT heading;  // catalog id added before the check, 0 for none
  SectionCheck check;
  SectionPrint print;
  BOOL levelZeroOnly;  // runs only when everything is reported
  BOOL eventLogsOnly;  // runs only with "-eventlogs"
};

struct SectionTable {
  const ReportSection* sections;
  int count;
};

// The sections of the full report, in their order.
extern const SectionTable DefaultSections;

// The installation type the port section is given: the product's Type
// value, 0 when it cannot be read as a DWORD.
DWORD ReadInstallType(void);

// RunEnvironmentCheck over `table`.
int RunEnvironmentCheckWith(const SectionTable* table, int argc, char** argv);

// The checks of the pre-installation validation; a null one is not built and
// is skipped.
struct ValidationChecks {
  int (*osVersion)(int level);
  int (*network)(int level);
  unsigned (*pingHost)(const char* hostName, int quiet);
  int (*compatibility)(void);
};

extern const ValidationChecks DefaultValidationChecks;

// ValidateEnvironment with the given checks.
int ValidateEnvironmentWith(const ValidationChecks* checks, unsigned flags, int level,
                            const char* outputFile, char* targets, const char* moduleName);
