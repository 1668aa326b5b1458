// Service removal: stop, wait until stopped, delete. Also the exported
// stop-and-wait that setup uses before it replaces the product's files.
#include "service_removal.h"

#include "dialogs.h"
#include "hooks.h"

// Stop polling: a status query every 5 s, twelve at most.
static const DWORD kStopPollMs = 5000;
static const int kStopPollQueries = 12;

// Stop failures after which the service is deleted without asking.
static const struct {
  DWORD error;
  int onlyWhenDependentsTolerated;
} kHarmlessStopErrors[] = {
    {ERROR_INVALID_SERVICE_CONTROL, 0},
    {ERROR_SERVICE_NOT_ACTIVE, 0},
    {ERROR_DEPENDENT_SERVICES_RUNNING, 1},
};

static int IsHarmlessStopError(DWORD error, int tolerateDependents) {
  for (size_t i = 0; i < sizeof kHarmlessStopErrors / sizeof kHarmlessStopErrors[0]; ++i) {
    if (kHarmlessStopErrors[i].error == error &&
        (!kHarmlessStopErrors[i].onlyWhenDependentsTolerated || tolerateDependents))
      return 1;
  }
  return 0;
}

enum { WAIT_STOPPED = 0, WAIT_QUERY_FAILED = 1, WAIT_TIMED_OUT = 2 };

// Polls a service that was asked to stop. After the last query still shows
// it running, one more interval passes before giving up: 65 s at most.
static int WaitForServiceStop(SC_HANDLE service) {
  SERVICE_STATUS status;
  for (int query = 0; query < kStopPollQueries; ++query) {
    SleepEx(kStopPollMs, FALSE);
    if (!QueryServiceStatus(service, &status)) return WAIT_QUERY_FAILED;
    if (status.dwCurrentState == SERVICE_STOPPED) return WAIT_STOPPED;
  }
  SleepEx(kStopPollMs, FALSE);
  return WAIT_TIMED_OUT;
}

// Asks (unless silent) with a first line naming the service, the system's text
// for error, and the question; 1 to go on.
static int ContinueAfterError(const char* format, const char* serviceName, DWORD error, int silent) {
  if (silent) return 1;
  char line[DIALOG_TEXT_SIZE];
  char text[DIALOG_TEXT_SIZE];
  FormatNamedLine(line, format, serviceName);
  ComposeErrorText(text, line, error, kContinueQuestion);
  return AskToContinue(text);
}

// The same without a system text: the question follows the first line.
static int ContinueAfterFailure(const char* format, const char* serviceName, int silent) {
  if (silent) return 1;
  char line[DIALOG_TEXT_SIZE];
  char text[DIALOG_TEXT_SIZE];
  FormatNamedLine(line, format, serviceName);
  ComposeDialogText(text, line, "", kContinueQuestion);
  return AskToContinue(text);
}

// Stops the opened service (step 2 and 3): 1 to go on to the deletion, 0 to
// abort.
static int StopForRemoval(SC_HANDLE service, const char* serviceName, int tolerateDependents,
                          int silent) {
  SERVICE_STATUS status;
  if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    DWORD error = GetLastError();
    if (IsHarmlessStopError(error, tolerateDependents)) return 1;
    return ContinueAfterError("Error attempting to stop %s service\n\n", serviceName, error, silent);
  }
  if (status.dwCurrentState == SERVICE_STOPPED) return 1;
  switch (WaitForServiceStop(service)) {
    case WAIT_QUERY_FAILED:
      return ContinueAfterFailure("Error attempting to get status for service %s", serviceName,
                                  silent);
    case WAIT_TIMED_OUT:
      return ContinueAfterFailure("Error attempting to stop service %s", serviceName, silent);
  }
  return 1;
}

int RemoveService(const char* serviceName, SC_HANDLE scm, int tolerateDependents, int silent) {
  SC_HANDLE service = OpenServiceA(scm, serviceName, SERVICE_ALL_ACCESS);
  if (service == NULL) {
    DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) return 0;
    return ContinueAfterError("Error Opening %s service\n\n", serviceName, error, silent) ? 0 : -1;
  }
  int result = 0;
  if (!StopForRemoval(service, serviceName, tolerateDependents, silent)) {
    result = -1;
  } else if (!DeleteService(service)) {
    DWORD error = GetLastError();
    if (!ContinueAfterError("Error attemping to delete %s service\n\n", serviceName, error, silent))
      result = -1;
  }
  CloseServiceHandle(service);
  return result;
}

int inEnsureServiceNotRunning(const char* serviceName) {
  SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (scm == NULL) return -1;
  int result = 0;
  SC_HANDLE service = OpenServiceA(scm, serviceName, SERVICE_ALL_ACCESS);
  if (service == NULL) {
    DWORD error = GetLastError();
    result = error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : (int)error;
  } else {
    SERVICE_STATUS status;
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
      DWORD error = GetLastError();
      result = error == ERROR_SERVICE_NOT_ACTIVE ? 0 : (int)error;
    } else if (status.dwCurrentState != SERVICE_STOPPED) {
      result = WaitForServiceStop(service) == WAIT_STOPPED ? 0 : -1;
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(scm);
  return result;
}
