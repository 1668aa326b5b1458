// Characters of the system's ANSI code page. On Japanese, Chinese and Korean
// systems a character may take two bytes, and its second byte may be a
// backslash, a colon or a letter: paths and texts are read and cut a whole
// character at a time. Both subsystems use these.
#pragma once

#include "platform.h"

// How many bytes of text[0..room) hold whole characters when text goes on
// past room: a first byte in the last place, whose second byte lies beyond,
// is left out. text holds no NUL before room.
size_t WholeCharacters(const char* text, size_t room);
// The last character of text (its first byte); text itself when empty.
const char* LastCharacter(const char* text);
// A first byte alone at the end: whatever is appended would become its
// second byte and change the character, and so the name.
int EndsInLeadByte(const char* text);
// The last backslash that is a character of its own, or NULL.
const char* LastBackslash(const char* text);
// Names alike but for letter case, as the registry and host names compare.
// Only characters of one byte are letters: the second byte of a character of
// two bytes compares exactly.
int SameName(const char* a, const char* b);
// UTF-16 units of a wide name, up to its NUL: the names the walks keep.
size_t WideLength(const WCHAR* text);
