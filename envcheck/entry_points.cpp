// Setup's ways into the environment check: the full report into a file, and
// the short pre-installation validation.
#include "check_driver.h"
#include "checks.h"
#include "entry_points.h"
#include "error_mode.h"
#include "report.h"

enum {
  MSG_TARGETS_UNREACHABLE = 53016,
  MSG_TARGET_PING_PROBLEM = 53017,
  MSG_TARGET_RECOMMENDATION = 55006
};

static const unsigned kExamineTargets = 0x1;  // flags bit: ping the target servers
static const size_t kTargetNameSize = 128;
static const char kTargetSeparator = ' ';
static const int kQuietPing = 1;

// The checks not built yet are null and skipped.
const ValidationChecks DefaultValidationChecks = {
    CheckOsVersion,
    CheckNetworkConnectivity,
    PingHost,
    CheckProductCompatibility,
};

static void UseMessageModule(const char* moduleName) {
  if (moduleName != NULL) MessageModule = GetModuleHandleA(moduleName);
}

static int Worse(int a, int b) { return a > b ? a : b; }

int zrHealthLog(const char* outputFile, const char* moduleName) {
  UseMessageModule(moduleName);
  char program[] = "zrHealthLog";
  char out[] = "-out";
  char* argv[] = {program, out, (char*)outputFile};
  UINT callerMode = FailCriticalErrors();
  RunEnvironmentCheck(3, argv);
  RestoreErrorMode(callerMode);
  return 0;
}

// Pings every blank-terminated name of `targets`, cutting each out in place;
// a name with no blank after it is not examined. The highest ping result.
static int ExamineTargets(unsigned (*pingHost)(const char*, int), char* targets) {
  int worst = SEV_INFORMATION;
  BOOL anyFailed = FALSE;
  ReportAdd("%s", LoadMessage(MSG_TARGETS_UNREACHABLE));
  char* name = targets;
  char* blank;
  while ((blank = strchr(name, kTargetSeparator)) != NULL) {
    *blank = '\0';
    ReportAdd("%s", LoadMessage(MSG_TARGET_PING_PROBLEM));
    // A name too long for a host name cannot be pinged: a failed target.
    // The ping is quiet at every level, so a target that answers leaves no
    // lines of its own and the take-back below removes its problem line.
    int result = SEV_WARNING;
    if (strlen(name) < kTargetNameSize) {
      char host[kTargetNameSize];
      strcpy(host, name);
      result = (int)pingHost(host, kQuietPing);
    }
    if (result == 0) {
      ReportDropLast();
    } else {
      anyFailed = TRUE;
    }
    worst = Worse(worst, result);
    name = blank + 1;
  }
  if (anyFailed) {
    ReportAdd("%s", LoadMessage(MSG_TARGET_RECOMMENDATION));
  } else {
    ReportDropLast();
  }
  return worst;
}

int ValidateEnvironmentWith(const ValidationChecks* checks, unsigned flags, int level,
                            const char* outputFile, char* targets, const char* moduleName) {
  UseMessageModule(moduleName);
  if (outputFile == NULL || freopen(outputFile, "w", stdout) == NULL) return -1;
  ReportDiscard();
  int result = SEV_INFORMATION;
  if (checks->osVersion != NULL) result = Worse(result, checks->osVersion(level));
  if (checks->network != NULL) result = Worse(result, checks->network(level));
  if ((flags & kExamineTargets) && targets != NULL && checks->pingHost != NULL) {
    result = Worse(result, ExamineTargets(checks->pingHost, targets));
  }
  if (checks->compatibility != NULL) result = Worse(result, checks->compatibility());
  ReportFlush();
  ReportDiscard();
  fclose(stdout);
  return result;
}

int ValidateEnvironment(unsigned flags, int level, const char* outputFile, char* targets,
                        const char* moduleName) {
  UINT callerMode = FailCriticalErrors();
  int result = ValidateEnvironmentWith(&DefaultValidationChecks, flags, level, outputFile, targets,
                                       moduleName);
  RestoreErrorMode(callerMode);
  return result;
}
