// A small real service for the uninstall tests under Wine. It runs until it is
// asked to stop, then stops at once. Each start appends its process id to the
// file named by its first argument, so a scenario can end it by id when a
// test leaves it running (Wine does not notice a killed service process).
#include <windows.h>

#include <stdio.h>

namespace {

SERVICE_STATUS_HANDLE statusHandle;
SERVICE_STATUS status;
HANDLE stopRequested;
char pidFile[MAX_PATH];

void Report(DWORD state) {
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWin32ExitCode = NO_ERROR;
  status.dwCheckPoint = state == SERVICE_STOP_PENDING ? 1 : 0;
  status.dwWaitHint = state == SERVICE_STOP_PENDING ? 2000 : 0;
  SetServiceStatus(statusHandle, &status);
}

void WINAPI Handler(DWORD control) {
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(stopRequested);
  } else {
    SetServiceStatus(statusHandle, &status);
  }
}

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
  statusHandle = RegisterServiceCtrlHandlerA(argc > 0 ? argv[0] : "CVNSvc", Handler);
  if (!statusHandle) return;
  Report(SERVICE_RUNNING);
  WaitForSingleObject(stopRequested, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    lstrcpynA(pidFile, argv[1], sizeof pidFile);
    FILE* file = fopen(pidFile, "a");
    if (file) {
      fprintf(file, "%lu\n", GetCurrentProcessId());
      fclose(file);
    }
  }
  stopRequested = CreateEventA(NULL, TRUE, FALSE, NULL);
  char name[] = "CVNSvc";
  SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {NULL, NULL}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
