// The code page 850 console of the Windows programs: bytes go out as they are.
#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>

namespace platform {

void consolePrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

void consoleLine(const char* text) {
    puts(text);
    fflush(stdout);
}

void consoleWriteCp850(const char* text, size_t length) {
    fwrite(text, 1, length, stdout);
}

void consoleWriteRaw(const char* text, size_t length) {
    fwrite(text, 1, length, stdout);
}

int readConsoleChar() {
    fflush(stdout);
    return getchar();
}

}  // namespace platform
