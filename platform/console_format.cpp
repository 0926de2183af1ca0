// The programs' console: printf-style messages in code page 850 with names from the file system.
#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

bool isLengthModifier(char c) {
    return c == 'h' || c == 'l' || c == 'L' || c == 'z' || c == 'j' || c == 't' || c == 'q';
}

// Formats one conversion `conversionText` (such as "%0.f" or "%lu") with the next argument.
void writeConversion(const char* conversionText, char conversion, bool isLong, bool isLongLong, va_list& args) {
    char text[512];
    int length = 0;
    switch (conversion) {
    case 'c': {
        const char letter = static_cast<char>(va_arg(args, int));
        consoleWriteCp850(&letter, 1);
        return;
    }
    case 's': {
        const char* value = va_arg(args, const char*);
        if (strcmp(conversionText, "%s") == 0) {
            consoleWriteName(value ? value : "(null)", value ? strlen(value) : 6);
            return;
        }
        length = snprintf(text, sizeof text, conversionText, value);
        break;
    }
    case 'd': case 'i':
        if (isLongLong) length = snprintf(text, sizeof text, conversionText, va_arg(args, long long));
        else if (isLong) length = snprintf(text, sizeof text, conversionText, va_arg(args, long));
        else length = snprintf(text, sizeof text, conversionText, va_arg(args, int));
        break;
    case 'u': case 'x': case 'X': case 'o':
        if (isLongLong) length = snprintf(text, sizeof text, conversionText, va_arg(args, unsigned long long));
        else if (isLong) length = snprintf(text, sizeof text, conversionText, va_arg(args, unsigned long));
        else length = snprintf(text, sizeof text, conversionText, va_arg(args, unsigned));
        break;
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G':
        length = snprintf(text, sizeof text, conversionText, va_arg(args, double));
        break;
    case 'p':
        length = snprintf(text, sizeof text, conversionText, va_arg(args, void*));
        break;
    default:
        consoleWriteRaw(conversionText, strlen(conversionText));
        return;
    }
    if (length > 0) consoleWriteRaw(text, static_cast<size_t>(length) < sizeof text ? length : sizeof text - 1);
}

}  // namespace

void consolePrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* literal = format;
    const char* at = format;
    while (*at) {
        if (*at != '%') {
            ++at;
            continue;
        }
        consoleWriteCp850(literal, static_cast<size_t>(at - literal));
        if (at[1] == '%') {
            fputc('%', stdout);
            at += 2;
            literal = at;
            continue;
        }
        // A conversion: flags, width, precision and length, then its letter.
        const char* end = at + 1;
        while (*end && strchr("-+ #0123456789.*", *end)) ++end;
        int longs = 0;
        while (*end && isLengthModifier(*end)) {
            if (*end == 'l' || *end == 'q' || *end == 'j' || *end == 'z' || *end == 't') ++longs;
            ++end;
        }
        if (!*end) break;
        char conversionText[64];
        const size_t specLength = static_cast<size_t>(end - at + 1);
        if (specLength >= sizeof conversionText) break;
        memcpy(conversionText, at, specLength);
        conversionText[specLength] = '\0';
        writeConversion(conversionText, *end, longs == 1, longs >= 2, args);
        at = end + 1;
        literal = at;
    }
    consoleWriteCp850(literal, static_cast<size_t>(at - literal));
    va_end(args);
    fflush(stdout);
}

void consoleLine(const char* text) {
    consoleWriteCp850(text, strlen(text));
    fputc('\n', stdout);
    fflush(stdout);
}

int readConsoleChar() {
    fflush(stdout);
    return getchar();
}

}  // namespace platform
