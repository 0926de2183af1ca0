// The code page 850 console of the programs, shown on a UTF-8 terminal.
#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

// UTF-8 spelling of the code page 850 letters 128 to 255.
const char* const kCp850Utf8[128] = {
    "\xc3\x87", "\xc3\xbc", "\xc3\xa9", "\xc3\xa2", "\xc3\xa4", "\xc3\xa0", "\xc3\xa5", "\xc3\xa7",
    "\xc3\xaa", "\xc3\xab", "\xc3\xa8", "\xc3\xaf", "\xc3\xae", "\xc3\xac", "\xc3\x84", "\xc3\x85",
    "\xc3\x89", "\xc3\xa6", "\xc3\x86", "\xc3\xb4", "\xc3\xb6", "\xc3\xb2", "\xc3\xbb", "\xc3\xb9",
    "\xc3\xbf", "\xc3\x96", "\xc3\x9c", "\xc3\xb8", "\xc2\xa3", "\xc3\x98", "\xc3\x97", "\xc6\x92",
    "\xc3\xa1", "\xc3\xad", "\xc3\xb3", "\xc3\xba", "\xc3\xb1", "\xc3\x91", "\xc2\xaa", "\xc2\xba",
    "\xc2\xbf", "\xc2\xae", "\xc2\xac", "\xc2\xbd", "\xc2\xbc", "\xc2\xa1", "\xc2\xab", "\xc2\xbb",
    "\xe2\x96\x91", "\xe2\x96\x92", "\xe2\x96\x93", "\xe2\x94\x82", "\xe2\x94\xa4", "\xc3\x81", "\xc3\x82", "\xc3\x80",
    "\xc2\xa9", "\xe2\x95\xa3", "\xe2\x95\x91", "\xe2\x95\x97", "\xe2\x95\x9d", "\xc2\xa2", "\xc2\xa5", "\xe2\x94\x90",
    "\xe2\x94\x94", "\xe2\x94\xb4", "\xe2\x94\xac", "\xe2\x94\x9c", "\xe2\x94\x80", "\xe2\x94\xbc", "\xc3\xa3", "\xc3\x83",
    "\xe2\x95\x9a", "\xe2\x95\x94", "\xe2\x95\xa9", "\xe2\x95\xa6", "\xe2\x95\xa0", "\xe2\x95\x90", "\xe2\x95\xac", "\xc2\xa4",
    "\xc3\xb0", "\xc3\x90", "\xc3\x8a", "\xc3\x8b", "\xc3\x88", "\xc4\xb1", "\xc3\x8d", "\xc3\x8e",
    "\xc3\x8f", "\xe2\x94\x98", "\xe2\x94\x8c", "\xe2\x96\x88", "\xe2\x96\x84", "\xc2\xa6", "\xc3\x8c", "\xe2\x96\x80",
    "\xc3\x93", "\xc3\x9f", "\xc3\x94", "\xc3\x92", "\xc3\xb5", "\xc3\x95", "\xc2\xb5", "\xc3\xbe",
    "\xc3\x9e", "\xc3\x9a", "\xc3\x9b", "\xc3\x99", "\xc3\xbd", "\xc3\x9d", "\xc2\xaf", "\xc2\xb4",
    "\xc2\xad", "\xc2\xb1", "\xe2\x80\x97", "\xc2\xbe", "\xc2\xb6", "\xc2\xa7", "\xc3\xb7", "\xc2\xb8",
    "\xc2\xb0", "\xc2\xa8", "\xc2\xb7", "\xc2\xb9", "\xc2\xb3", "\xc2\xb2", "\xe2\x96\xa0", "\xc2\xa0",
};

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
            consoleWriteRaw(value ? value : "(null)", value ? strlen(value) : 6);
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

void consoleWriteCp850(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 128) {
            fputc(byte, stdout);
            continue;
        }
        fputs(kCp850Utf8[byte - 128], stdout);
    }
}

void consoleWriteRaw(const char* text, size_t length) {
    fwrite(text, 1, length, stdout);
}

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
