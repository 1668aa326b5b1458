/* Entry point of cvncheck.exe. The program needs from start-up only what
   msvcrt.dll hands every console program (its argument vector, the console
   kind of error reporting) and nothing of the MinGW start-up code (thread
   storage, constructors, pseudo relocations, signal and floating-point set-up),
   so it starts here and calls main directly. exit flushes and closes the
   streams, the report file among them. */
#include <stdlib.h>
#include <windows.h>

/* msvcrt.dll's own start-up exports (not in the public headers). */
typedef struct {
  int newMode;
} CvnStartupInfo;
int __cdecl __getmainargs(int* argc, char*** argv, char*** env, int expandWildcards,
                          CvnStartupInfo* info);
void __cdecl __set_app_type(int type);

enum { CONSOLE_APP = 1, NO_WILDCARD_EXPANSION = 0, STARTUP_FAILURE = 255 };

int main(int argc, char** argv);

/* gcc calls __main first thing in main, for the constructors MinGW's start-up
   code would run; the program has none. */
void __main(void) {}

void CvnConsoleEntry(void) {
  int argc;
  char** argv;
  char** env;
  CvnStartupInfo info = {0};

  __set_app_type(CONSOLE_APP);
  if (__getmainargs(&argc, &argv, &env, NO_WILDCARD_EXPANSION, &info) < 0) ExitProcess(STARTUP_FAILURE);
  exit(main(argc, argv));
}
