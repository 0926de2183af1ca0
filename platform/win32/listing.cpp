// Directory listing and the current directory through the Windows file-system calls.
#include "platform/platform.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace platform {
namespace {

// What tells a folder apart from every other: the serial number of its volume and its file index,
// which a junction or a link back to it shares with it.
uint64_t identityOf(const std::string& path) {
    const HANDLE folder = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(folder, &information) != 0;
    CloseHandle(folder);
    if (!known) return 0;
    const uint64_t index = static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
    const uint64_t identity = index ^ (static_cast<uint64_t>(information.dwVolumeSerialNumber) * 0x9E3779B97F4A7C15ull);
    return identity ? identity : 1;
}

struct WindowsListing {
    HANDLE handle;
    std::string folder;  // with its separator, for the identity of each subfolder
};

void fill(const WIN32_FIND_DATAA& found, const std::string& folder, DirEntry& entry) {
    strncpy(entry.name, found.cFileName, sizeof entry.name - 1);
    entry.name[sizeof entry.name - 1] = '\0';
    entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool dots = strcmp(entry.name, ".") == 0 || strcmp(entry.name, "..") == 0;
    entry.identity = entry.isDirectory && !dots ? identityOf(folder + found.cFileName) : 0;
}

}  // namespace

Listing openListing(const char* folder, DirEntry& first) {
    std::string base = folder;
    if (base.empty() || base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA found;
    const HANDLE handle = FindFirstFileA((base + "*").c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE) return kNoListing;
    auto* listing = new WindowsListing{handle, base};
    fill(found, listing->folder, first);
    return reinterpret_cast<Listing>(listing);
}

bool nextEntry(Listing listing, DirEntry& entry) {
    auto* open = reinterpret_cast<WindowsListing*>(listing);
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(open->handle, &found)) return false;
    fill(found, open->folder, entry);
    return true;
}

void closeListing(Listing listing) {
    if (listing == kNoListing) return;
    auto* open = reinterpret_cast<WindowsListing*>(listing);
    FindClose(open->handle);
    delete open;
}

uint64_t folderIdentity(const char* folder) {
    return identityOf(folder);
}

bool getCurrentDirectory(char* buffer, size_t size) {
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
    return length != 0 && length < size;
}

bool setCurrentDirectory(const char* path) {
    return SetCurrentDirectoryA(path) != 0;
}

}  // namespace platform
