// Control API of the Win32 simulation: tests arrange a machine with it and
// inspect what the product did. Each area of the simulation adds its own
// sim_<area>.h; this header gathers them.
#pragma once

#include "win32_api.h"
#include "sim_files.h"
#include "sim_version.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sim {

// A fresh machine: every area back to its defaults, every counter zero.
void Reset();
// A simulated restart of Windows: volatile registry keys vanish and each area
// carries out what was left for the next start. Open handles stay counted.
void Reboot();

// ---- Fault injection -------------------------------------------------------
// Makes `api` (the Win32 or C runtime name, e.g. "RegOpenKeyExA", "malloc")
// fail with `error` on its nth use from now (1 = the next one), for `times`
// consecutive uses. The call fails the way the real one does (its own return
// value) and leaves `error` as its error code.
void FailCall(const std::string& api, DWORD error, int nth = 1, int times = 1);
// Calls whose failure shows only in their result: inet_ntoa and
// GetCommandLineA return NULL, inet_addr INADDR_NONE.
// IcmpSendEcho given an ICMP error status (IP_DEST_HOST_UNREACHABLE,
// IP_TTL_EXPIRED_TRANSIT, ...) returns one reply carrying that status, as a
// router's error message arrives; any other error makes it return 0.

// Runs `action` (a change to the machine through this control API) just
// before the nth use of `api` from now goes ahead: the machine changing
// between two calls of the product. An empty `api` counts every call of
// whatever kind: another process acting at any point of a run.
void BeforeCall(const std::string& api, int nth, std::function<void()> action);
// How many times `api` was called since the last Reset.
int CallCount(const std::string& api);
// Every api called since the last Reset, with its count.
std::map<std::string, int> CallCounts();

// ---- Accounting --------------------------------------------------------------
// Library: the references LoadLibraryA handed out and FreeLibrary has not
// given back.
enum class HandleKind { Key, Find, ScManager, Service, File, EventLog, Token, Icmp, Socket, Library };
// Handles of a kind, or of every kind, that are open right now.
int OpenHandles(HandleKind kind);
int OpenHandles();
// Heap blocks (malloc/calloc/realloc and LocalAlloc) not yet released.
int HeapBlocks();
size_t HeapBytes();

// ---- Virtual clock -----------------------------------------------------------
// Milliseconds that SleepEx has let pass since the last Reset.
uint64_t ElapsedMs();
// The local time GetLocalTime reports (default Monday, December 7, 2026 10:30:15).
void SetLocalTime(const SYSTEMTIME& time);

// ---- Process -----------------------------------------------------------------
void SetCommandLine(const std::string& commandLine);
// A variable of the process environment (names without regard to case); an
// empty value removes it. After Reset: SystemDrive C:, SystemRoot and windir
// C:\WINNT.
void SetEnvironmentVariable(const std::string& name, const std::string& value);
// Modules GetModuleHandleA finds. The host (GetModuleHandleA(NULL)) and
// "CVNUNIST.dll" exist after Reset and both carry the message catalog.
HMODULE HostModule();
HMODULE AddModule(const std::string& name, bool hasCatalog);
void SetModuleCatalog(HMODULE module, bool hasCatalog);
// What FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM) gives for a code; an empty
// text makes the code unknown.
void SetSystemMessage(DWORD code, const std::string& text);

// exit() inside product code throws this; tests catch it.
struct ProcessExit {
  int code;
};

// The process ended from outside (a power cut, Task Manager) at a call of
// the product: thrown out of that call; tests catch it and call EndProcess.
struct ProcessKilled {};
// Ends the process at the nth use of `api` from now: just before it goes
// ahead, or right after it (at the next call of any kind; a run that makes
// none after it ends as it would have).
void KillAtCall(const std::string& api, int nth, bool afterIt);
// Ends the process now when a kill waits for the next call: where the host
// itself goes on after a call of the product.
void KillIfDue();
// What Windows does when a process ends: every handle it held closed (its
// share locks released), its heap gone. Scripted faults and actions stay
// for the next process; a kill still waiting is dropped.
void EndProcess();

// ---- Standard output -----------------------------------------------------------
// What was printed to the console (standard output not redirected).
const std::string& ConsoleText();
void ClearConsole();
// True once the product has fclose()d its redirected standard output.
bool StdoutClosed();

// ---- Dialogs -------------------------------------------------------------------
struct Dialog {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};
// Answers MessageBoxA gives, in order. With none left a dialog fails
// (returns 0, error ERROR_INVALID_WINDOW_HANDLE), as without a desktop.
void QueueAnswer(int answer);
const std::vector<Dialog>& Dialogs();
// The process error mode SetErrorMode last set (0 after Reset). A file call
// on a drive without a disk (sim::SetDrive: volumeError ERROR_NOT_READY)
// shows the system's critical-error box, owner NULL, style
// MB_SYSTEMMODAL, unless the mode holds SEM_FAILCRITICALERRORS; the box is
// recorded with the dialogs and answered Cancel: the call fails with
// ERROR_NOT_READY.
UINT ErrorMode();
// The window GetFocus returns.
HWND FocusWindow();

}  // namespace sim

#include "sim_services.h"
#include "sim_privileges.h"
#include "sim_sysinfo.h"
#include "sim_eventlog.h"
#include "sim_registry.h"
#include "sim_net.h"
#include "sim_codepage.h"
#include "sim_modules.h"
#include "sim_security.h"
