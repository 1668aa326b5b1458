// Message boxes answered from a script, every dialog recorded.
#include "sim_internal.h"

#include <deque>

namespace sim {
namespace {

struct DialogState {
  std::deque<int> answers;
  std::vector<Dialog> shown;
};

DialogState& Dialogs_() {
  static DialogState state;
  return state;
}

constexpr uintptr_t kFocusWindow = 0x00C0FFEE;

}  // namespace

void ResetDialogs() { Dialogs_() = DialogState{}; }
void QueueAnswer(int answer) { Dialogs_().answers.push_back(answer); }
const std::vector<Dialog>& Dialogs() { return Dialogs_().shown; }
HWND FocusWindow() { return reinterpret_cast<HWND>(kFocusWindow); }

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

}  // extern "C"
