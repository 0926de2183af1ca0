// Console conventions of the patchers: accented letters, the progress line, the closing prompt.
#include "patchers/common/console_conventions.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

void printProgress(double percent) {
    platform::consolePrintf("Progression : %0.f %%\r", percent);
}

void ProgressLine::show(double percent) {
    char text[sizeof shown_];
    snprintf(text, sizeof text, "%0.f", percent);
    if (strcmp(text, shown_) == 0) return;
    strcpy(shown_, text);
    printProgress(percent);
}

void waitForKey() {
    platform::readConsoleChar();
}

void printClosingPrompt() {
    platform::consolePrintf("\nAppuyez sur n'importe quelle touche pour quitter le programme.");
}
