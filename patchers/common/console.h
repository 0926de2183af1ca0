// Console conventions of the patchers: accented letters, the progress line, the closing prompt.
#pragma once

// Code page 850 codes of the accented letters, passed to the %c conversions of the messages.
constexpr int kEAcute = 130;      // é
constexpr int kAGrave = 133;      // à
constexpr int kCCedilla = 135;    // ç
constexpr int kECircumflex = 136; // ê
constexpr int kEGrave = 138;      // è
constexpr int kUCircumflex = 150; // û

// Rewrites the progress line in place with the percentage, printed without decimals.
void printProgress(double percent);

// Reads one character from standard input and discards it.
void waitForKey();

// The end of every run: the closing prompt and the key wait.
void closeRun();
