// The small text operations that the patchers apply to paths held in fixed-size buffers.
#pragma once

#include <cstddef>

// Text buffers of the patchers: 254 characters of path and the terminator.
constexpr size_t kPathBufferSize = 255;

// Removes the first n characters and the separator after them; 0 (unchanged) when n is not less
// than the length.
int dropPrefix(char* text, unsigned n);
// Cuts the last n characters; 0 (unchanged) when n is not less than the length.
int cutSuffix(char* text, unsigned n);
// Cuts the path at its n-th separator from the end; 0 (unchanged) when it holds fewer than n
// (the first character is never taken as that separator); n <= 0 changes nothing and gives 1.
int cutLastComponents(char* path, int n);
// Keeps what follows the last '/' or '\' (searched from the second character on).
void keepFileName(char* path);

// The name of `path` relative to `startDirectory` for messages: `sub/deeper/game.iso` for a file
// below the start, the bare name for a file in it.
void makeDisplayName(const char* path, const char* startDirectory, char* displayName);

// Writes `path` less its last four characters (the dot and extension) followed by `suffix` into
// `derived` (kPathBufferSize characters); false when the result would not fit.
bool deriveImagePath(const char* path, const char* suffix, char* derived);
