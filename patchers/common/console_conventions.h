// Console conventions of the patchers: accented letters, the progress line, the closing prompt.
#pragma once

// Code page 850 codes of the accented letters, passed to the %c conversions of the messages.
constexpr int kEAcute = 130;      // é
constexpr int kAGrave = 133;      // à
constexpr int kCCedilla = 135;    // ç
constexpr int kECircumflex = 136; // ê
constexpr int kEGrave = 138;      // è
constexpr int kOCircumflex = 147; // ô
constexpr int kUCircumflex = 150; // û
constexpr int kUGrave = 151;      // ù
constexpr int kLeftQuote = 174;   // «
constexpr int kRightQuote = 175;  // »

// Rewrites the progress line in place with the percentage, printed without decimals.
void printProgress(double percent);

// A progress line that follows many small steps: rewritten only when the whole percentage it
// shows changes.
class ProgressLine {
public:
    void show(double percent);

private:
    char shown_[32] = "";
};

// Reads one character from standard input and discards it.
void waitForKey();

// The closing prompt that ends every run, before its key wait.
void printClosingPrompt();
