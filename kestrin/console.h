// Kestrin::print and Kestrin::printRaw: the library's console output, with the code-page table.
#pragma once

#include "kestrin/string.h"

namespace Kestrin {

// Latin-1 character to send -> its code page 850 code. Entries 0 to 127 are the identity; of 128
// to 255 only the 46 accented letters and signs the dialogue needs have a code, all others are 0.
extern const unsigned char consoleCharTable[256];

// The program's own dialogue, stored in Latin-1: text of pure ASCII goes out as it is; otherwise
// every character is translated through consoleCharTable, and the output ends before the first
// character whose entry is 0. The caller's text is never modified. No line feed is added.
void print(const char* text);
void print(const String& text);
void print(const StringRef& text);

// The bytes as they are (English messages, file names, the file list).
void printRaw(const char* text);
void printRaw(const String& text);
void printRaw(const StringRef& text);

}  // namespace Kestrin
