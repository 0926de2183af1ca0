// The small text operations that the patchers apply to paths held in fixed-size buffers.
#include "patchers/common/path_text.h"

#include <cstring>

#include "platform/platform.h"

int dropPrefix(char* text, unsigned n) {
    const size_t length = strlen(text);
    if (n >= length) return 0;
    memmove(text, text + n + 1, length - n);  // the rest and its terminator
    return 1;
}

int cutSuffix(char* text, unsigned n) {
    const size_t length = strlen(text);
    if (n >= length) return 0;
    text[length - n] = '\0';
    return 1;
}

int cutLastComponents(char* path, int n) {
    if (n <= 0) return 1;
    int seen = 0;
    for (size_t i = strlen(path); i-- > 1;) {
        if (path[i] != platform::kPathSeparator) continue;
        if (++seen == n) {
            path[i] = '\0';
            return 1;
        }
    }
    return 0;
}

void keepFileName(char* path) {
    size_t last = 0;
    bool found = false;
    for (size_t i = 1; path[i]; ++i) {
        if (path[i] == '/' || path[i] == '\\') {
            last = i;
            found = true;
        }
    }
    if (found) dropPrefix(path, static_cast<unsigned>(last));
}

void makeDisplayName(const char* path, const char* startDirectory, char* displayName) {
    strncpy(displayName, path, kPathBufferSize - 1);
    displayName[kPathBufferSize - 1] = '\0';
    size_t prefix = strlen(startDirectory);
    // A start at the root of a drive (or at "/") already ends in its separator.
    if (prefix > 0 && startDirectory[prefix - 1] == platform::kPathSeparator) --prefix;
    dropPrefix(displayName, static_cast<unsigned>(prefix));
}

bool deriveImagePath(const char* path, const char* suffix, char* derived) {
    const size_t length = strlen(path);
    if (length <= 4) return false;
    const size_t kept = length - 4;
    if (kept + strlen(suffix) >= kPathBufferSize) return false;
    memcpy(derived, path, kept);
    strcpy(derived + kept, suffix);
    return true;
}
