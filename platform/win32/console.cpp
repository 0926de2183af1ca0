// The code page 850 console of the Windows programs: messages go out as they are, names converted.
#include "platform/platform.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace platform {

void consoleWriteCp850(const char* text, size_t length) {
    fwrite(text, 1, length, stdout);
}

void consoleWriteRaw(const char* text, size_t length) {
    fwrite(text, 1, length, stdout);
}

// The file calls hand names over in the ANSI code page (1252 on a French system), while the
// console shows its own code page (850): "é" is 0xE9 in the one and 0x82 in the other.
void consoleWriteName(const char* text, size_t length) {
    if (length == 0) return;
    UINT console = GetConsoleOutputCP();
    if (console == 0) console = GetOEMCP();  // no console: output redirected to a file or pipe
    const int size = static_cast<int>(length);
    const int wide = MultiByteToWideChar(CP_ACP, 0, text, size, nullptr, 0);
    std::vector<WCHAR> unicode(wide > 0 ? wide : 0);
    if (wide <= 0 || MultiByteToWideChar(CP_ACP, 0, text, size, unicode.data(), wide) != wide) {
        consoleWriteRaw(text, length);
        return;
    }
    // A letter the console lacks shows as '?', never as a look-alike and never dropped. UTF-8 and
    // a few other code pages take neither the flag nor a default character.
    const bool strict = console != CP_UTF8 && console != CP_UTF7;
    const DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : 0;
    const char* fallback = strict ? "?" : nullptr;
    const int bytes = WideCharToMultiByte(console, flags, unicode.data(), wide, nullptr, 0, fallback, nullptr);
    std::vector<char> shown(bytes > 0 ? bytes : 0);
    if (bytes <= 0 ||
        WideCharToMultiByte(console, flags, unicode.data(), wide, shown.data(), bytes, fallback, nullptr) != bytes) {
        consoleWriteRaw(text, length);
        return;
    }
    fwrite(shown.data(), 1, shown.size(), stdout);
}

}  // namespace platform
