// Message boxes of the uninstall extension: texts built in bounded buffers,
// owned by the window that has the focus.
#pragma once

#include "platform.h"

// Every dialog text is built in a buffer of this many characters.
#define DIALOG_TEXT_SIZE MAX_PATH

extern const char kUninstallCaption[];
// Ends the dialogs that splice in the system's text for an error.
extern const char kContinueQuestion[];

// text (DIALOG_TEXT_SIZE characters) = firstLine + middle + question. When the
// whole would not fit, middle is cut first, then firstLine, so that the
// question the user answers always survives.
void ComposeDialogText(char* text, const char* firstLine, const char* middle, const char* question);
// The same with the system's text for `error` (FormatMessageA) as middle;
// nothing goes in between when the system has no text for it.
void ComposeErrorText(char* text, const char* firstLine, DWORD error, const char* question);
// line (DIALOG_TEXT_SIZE characters) = format with its one %s replaced by
// name; a name too long for the buffer is shortened.
void FormatNamedLine(char* line, const char* format, const char* name);

// MessageBoxA owned by GetFocus(); returns the button pressed.
int ShowDialog(const char* text, const char* caption, UINT style);
// A warning with Yes and No under the uninstall caption; 1 on Yes.
int AskToContinue(const char* text);
