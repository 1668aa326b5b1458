// Message boxes answered from a script, every dialog recorded, and the
// system's own critical-error box the process error mode lets through.
#include "sim_internal.h"

#include <cstdio>
#include <deque>

namespace sim {
namespace {

struct DialogState {
  std::deque<int> answers;
  std::vector<Dialog> shown;
  UINT errorMode = 0;
};

DialogState& Dialogs_() {
  static DialogState state;
  return state;
}

constexpr uintptr_t kFocusWindow = 0x00C0FFEE;

// STATUS_NO_MEDIA_IN_DEVICE's text in the system's message table,
// "{No Disk}\r\nThere is no disk in the drive.\r\nPlease insert a disk into
// drive %hs.": the title in braces heads the box, the insert is the device.
constexpr char kNoDiskCaption[] = "No Disk";
constexpr char kNoDiskText[] = "There is no disk in the drive.\r\nPlease insert a disk into drive %s.";

const char* DeviceName(UINT driveType) {
  return driveType == DRIVE_CDROM ? "\\Device\\CdRom0" : "\\Device\\Floppy0";
}

}  // namespace

void ResetDialogs() { Dialogs_() = DialogState{}; }
void QueueAnswer(int answer) { Dialogs_().answers.push_back(answer); }
const std::vector<Dialog>& Dialogs() { return Dialogs_().shown; }
HWND FocusWindow() { return reinterpret_cast<HWND>(kFocusWindow); }
UINT ErrorMode() { return Dialogs_().errorMode; }

void detail::ShowNoDiskBox(UINT driveType) {
  if (Dialogs_().errorMode & SEM_FAILCRITICALERRORS) return;
  char text[sizeof kNoDiskText + 32];
  std::snprintf(text, sizeof text, kNoDiskText, DeviceName(driveType));
  Dialogs_().shown.push_back(
      Dialog{nullptr, text, kNoDiskCaption, MB_SYSTEMMODAL | MB_ICONERROR | MB_CANCELTRYCONTINUE});
}

}  // namespace sim

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  sim::DialogState& s = sim::Dialogs_();
  s.shown.push_back(sim::Dialog{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "", uType});
  DWORD error;
  if (sim::detail::ShouldFail("MessageBoxA", &error) || s.answers.empty()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  int answer = s.answers.front();
  s.answers.pop_front();
  return answer;
}

HWND WINAPI GetFocus(void) { return sim::FocusWindow(); }

UINT WINAPI SetErrorMode(UINT uMode) {
  DWORD error;
  sim::detail::ShouldFail("SetErrorMode", &error);  // counted; it cannot fail
  UINT previous = sim::Dialogs_().errorMode;
  sim::Dialogs_().errorMode = uMode;
  return previous;
}

}  // extern "C"
