// The patchers' suspended search: the walk below the start directory, resumed at each call.
#pragma once

// Finds the next file below the current directory whose extension, lower-cased, equals
// `extension` ("*" takes every file). Writes its full path (at most 254 characters) to `path`,
// makes the file's directory current and returns 1; the next call goes on from there. Returns 0
// when the walk is exhausted: the start directory is then current again and the next call starts
// a new walk. Depth-first, in the system's listing order (platform::DirectoryWalk). Directories
// that cannot be listed or made current, that lie deeper than 255 levels, whose path or a file's
// path would not fit, or that are already open on the current walk (a link loop) are skipped.
int findNextFile(char* path, const char* extension);

// Maximum number of listing levels: the start directory and 255 below it.
constexpr int kMaxSearchLevels = 256;
// Characters of the walk's current-directory text, terminator included.
constexpr int kSearchDirectorySize = 1000;
