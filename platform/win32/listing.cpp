// Directory listing and the current directory through the Windows file-system calls.
#include "platform/platform.h"

#include <windows.h>

#include <cstring>

namespace platform {
namespace {

void fill(const WIN32_FIND_DATAA& found, DirEntry& entry) {
    strncpy(entry.name, found.cFileName, sizeof entry.name - 1);
    entry.name[sizeof entry.name - 1] = '\0';
    entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.identity = 0;  // Windows listings give no identity; junction loops end at the depth limit
}

}  // namespace

Listing openListing(DirEntry& first) {
    WIN32_FIND_DATAA found;
    const HANDLE listing = FindFirstFileA("*", &found);
    if (listing == INVALID_HANDLE_VALUE) return kNoListing;
    fill(found, first);
    return reinterpret_cast<Listing>(listing);
}

bool nextEntry(Listing listing, DirEntry& entry) {
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(reinterpret_cast<HANDLE>(listing), &found)) return false;
    fill(found, entry);
    return true;
}

void closeListing(Listing listing) {
    if (listing != kNoListing) FindClose(reinterpret_cast<HANDLE>(listing));
}

uint64_t currentDirectoryIdentity() {
    return 0;
}

bool getCurrentDirectory(char* buffer, size_t size) {
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
    return length != 0 && length < size;
}

bool setCurrentDirectory(const char* path) {
    return SetCurrentDirectoryA(path) != 0;
}

}  // namespace platform
