// Entry point of CVNUNIST.dll. The library keeps no state that needs setting
// up or tearing down (no constructors, no thread storage, no exceptions), so
// it does without the C runtime's start-up code and only reports success; the
// C runtime it calls is msvcrt.dll, which starts itself.
#include <windows.h>

extern "C" BOOL WINAPI CvnDllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return TRUE;
}
