// Console conventions of the patchers: accented letters, the progress line, the closing prompt.
#include "patchers/common/console.h"

#include "platform/platform.h"

void printProgress(double percent) {
    platform::consolePrintf("Progression : %0.f %%\r", percent);
}

void waitForKey() {
    platform::readConsoleChar();
}

void closeRun() {
    platform::consolePrintf("\nAppuyez sur n'importe quelle touche pour quitter le programme.");
    waitForKey();
}
