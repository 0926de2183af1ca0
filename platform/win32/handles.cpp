// Library files and directories through the Windows file calls; library paths are system paths.
#include "platform/platform.h"

#include <direct.h>
#include <windows.h>

#include <cstdio>

namespace platform {
namespace {

HANDLE handleOf(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

}  // namespace

FileHandle openLibraryFile(const char* libraryPath, FileAccess access, FileCreation creation, bool sequential) {
    const DWORD desired = access == FileAccess::Read ? GENERIC_READ : GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if (creation == FileCreation::OpenOrCreate) disposition = OPEN_ALWAYS;
    if (creation == FileCreation::Truncate) disposition = CREATE_ALWAYS;
    const DWORD attributes = FILE_ATTRIBUTE_NORMAL | (sequential ? FILE_FLAG_SEQUENTIAL_SCAN : 0);
    // Share mode 0: no other opener while the file is open, and no open of a file held elsewhere.
    const HANDLE file = CreateFileA(libraryPath, desired, 0, nullptr, disposition, attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kNoFile;
    return reinterpret_cast<FileHandle>(file);
}

void closeLibraryFile(FileHandle file) {
    if (file != kNoFile) CloseHandle(handleOf(file));
}

bool libraryFileSize(FileHandle file, uint64_t& size) {
    DWORD high = 0;
    const DWORD low = GetFileSize(handleOf(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    size = static_cast<uint64_t>(high) << 32 | low;
    return true;
}

bool seekLibraryFile(FileHandle file, uint64_t position) {
    LONG high = static_cast<LONG>(position >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(handleOf(file), static_cast<LONG>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool seekLibraryFileEnd(FileHandle file) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(handleOf(file), 0, &high, FILE_END);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool readLibraryFile(FileHandle file, void* buffer, uint32_t size) {
    char* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(handleOf(file), bytes + done, size - done, &got, nullptr) || got == 0) return false;
        done += got;
    }
    return true;
}

bool writeLibraryFile(FileHandle file, const void* buffer, uint32_t size) {
    const char* bytes = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        DWORD put = 0;
        if (!WriteFile(handleOf(file), bytes + done, size - done, &put, nullptr) || put == 0) return false;
        done += put;
    }
    return true;
}

bool setLibraryFileEnd(FileHandle file) {
    return SetEndOfFile(handleOf(file)) != 0;
}

bool removeLibraryFile(const char* libraryPath) {
    return remove(libraryPath) == 0;
}

bool makeLibraryDirectory(const char* libraryPath) {
    return _mkdir(libraryPath) == 0;
}

bool getCurrentLibraryDirectory(char* buffer, size_t size) {
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
    return length != 0 && length < size;
}

bool setCurrentLibraryDirectory(const char* libraryPath) {
    return SetCurrentDirectoryA(libraryPath) != 0;
}

}  // namespace platform
