// Dialog texts of the uninstall extension. The system's text for an error can
// be longer than the whole dialog buffer, so every piece is cut to the room
// that is left rather than written past the end.
#include "dialogs.h"

#include "code_page.h"

const char kUninstallCaption[] = "Corvane UnInstallation";
const char kContinueQuestion[] = "\nDo you wish to continue Uninstalling?\n";

// Appends at most `room` bytes of piece, whole characters, at text[*length].
static void AppendCut(char* text, size_t* length, const char* piece, size_t room) {
  size_t n = strlen(piece);
  if (n > room) n = WholeCharacters(piece, room);
  memcpy(text + *length, piece, n);
  *length += n;
  text[*length] = '\0';
}

void ComposeDialogText(char* text, const char* firstLine, const char* middle, const char* question) {
  const size_t capacity = DIALOG_TEXT_SIZE - 1;
  size_t length = 0;
  text[0] = '\0';
  size_t questionLength = strlen(question);
  if (questionLength > capacity) questionLength = capacity;
  size_t room = capacity - questionLength;
  AppendCut(text, &length, firstLine, room);
  AppendCut(text, &length, middle, room - length);
  AppendCut(text, &length, question, capacity - length);
}

void ComposeErrorText(char* text, const char* firstLine, DWORD error, const char* question) {
  char* systemText = NULL;
  // A text with inserts ("%1 is not ...") would fail without IGNORE_INSERTS.
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     NULL, error, 0, (LPSTR)&systemText, 0, NULL) == 0) {
    systemText = NULL;
  }
  ComposeDialogText(text, firstLine, systemText ? systemText : "", question);
  if (systemText) LocalFree(systemText);
}

void FormatNamedLine(char* line, const char* format, const char* name) {
  char shortName[DIALOG_TEXT_SIZE];
  // The format loses its two-character %s; the rest must fit with the name.
  size_t room = DIALOG_TEXT_SIZE - 1 - (strlen(format) - 2);
  size_t n = strlen(name);
  if (n > room) n = WholeCharacters(name, room);
  memcpy(shortName, name, n);
  shortName[n] = '\0';
  wsprintfA(line, format, shortName);
}

int ShowDialog(const char* text, const char* caption, UINT style) {
  return MessageBoxA(GetFocus(), text, caption, style);
}

int AskToContinue(const char* text) {
  return ShowDialog(text, kUninstallCaption, MB_YESNO | MB_ICONWARNING) == IDYES;
}
