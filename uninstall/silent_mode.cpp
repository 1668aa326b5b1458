// Unattended mode comes from the uninstaller's command line.
#include "uninstall_steps.h"

// The arguments start at the first blank after the program name; a quoted
// program name may itself contain blanks.
static const char* SkipProgramName(const char* line) {
  if (line[0] == '"') {
    const char* closing = strchr(line + 1, '"');
    if (closing) line = closing + 1;
  }
  return strchr(line, ' ');
}

int IsSilentMode(void) {
  const char* line = GetCommandLineA();
  if (line == NULL) return 0;
  const char* p = SkipProgramName(line);
  if (p == NULL) return 0;
  size_t remaining = strlen(p);
  int inQuotes = 0;
  // "-a" must be followed by a blank and at least one more character.
  for (; remaining >= 4; ++p, --remaining) {
    if (*p == '"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes && p[0] == '-' && tolower((unsigned char)p[1]) == 'a' && p[2] == ' ') {
      return 1;
    }
  }
  return 0;
}
