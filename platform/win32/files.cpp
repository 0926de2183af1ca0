// Files through the Windows file calls; library paths are the system's paths as they are.
#include "platform/platform.h"

#include <windows.h>

namespace platform {
namespace {

FileError errorOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return FileError::Missing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileError::Busy;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return FileError::Denied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileError::NoSpace;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FileError::Exists;
    default:
        return FileError::Other;
    }
}

HANDLE handleOf(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

}  // namespace

FileError openFile(const char* path, FileAccess access, FileCreation creation, FileSharing sharing, bool sequential,
                   FileHandle& file) {
    file = kNoFile;
    const DWORD desired = access == FileAccess::Read ? GENERIC_READ : GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if (creation == FileCreation::OpenOrCreate) disposition = OPEN_ALWAYS;
    if (creation == FileCreation::Truncate) disposition = CREATE_ALWAYS;
    if (creation == FileCreation::New) disposition = CREATE_NEW;
    const DWORD shared = sharing == FileSharing::Shared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    const DWORD attributes = FILE_ATTRIBUTE_NORMAL | (sequential ? FILE_FLAG_SEQUENTIAL_SCAN : 0);
    const HANDLE opened = CreateFileA(path, desired, shared, nullptr, disposition, attributes, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return errorOf(GetLastError());
    // A pipe or a device opens too (under Wine a POSIX pipe does); none of them is a disc image.
    if (GetFileType(opened) != FILE_TYPE_DISK) {
        CloseHandle(opened);
        return FileError::NotAFile;
    }
    file = reinterpret_cast<FileHandle>(opened);
    return FileError::None;
}

void closeFile(FileHandle& file) {
    if (file != kNoFile) CloseHandle(handleOf(file));
    file = kNoFile;
}

bool fileSize(FileHandle file, uint64_t& size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(handleOf(file), &length)) return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool seekFile(FileHandle file, uint64_t position) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    return position <= static_cast<uint64_t>(INT64_MAX) && SetFilePointerEx(handleOf(file), distance, nullptr, FILE_BEGIN);
}

bool seekFileEnd(FileHandle file) {
    LARGE_INTEGER none;
    none.QuadPart = 0;
    return SetFilePointerEx(handleOf(file), none, nullptr, FILE_END) != 0;
}

void adviseWillRead(FileHandle, uint64_t, uint64_t) {}

FileError readFile(FileHandle file, void* buffer, uint32_t size) {
    char* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(handleOf(file), bytes + done, size - done, &got, nullptr)) return errorOf(GetLastError());
        if (got == 0) return FileError::Other;  // the file ends first
        done += got;
    }
    return FileError::None;
}

FileError writeFile(FileHandle file, const void* buffer, uint32_t size) {
    const char* bytes = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        DWORD put = 0;
        if (!WriteFile(handleOf(file), bytes + done, size - done, &put, nullptr)) return errorOf(GetLastError());
        if (put == 0) return FileError::Other;
        done += put;
    }
    return FileError::None;
}

bool setFileEnd(FileHandle file) {
    return SetEndOfFile(handleOf(file)) != 0;
}

FileError removeFile(const char* path) {
    return DeleteFileA(path) ? FileError::None : errorOf(GetLastError());
}

bool makeDirectory(const char* path) {
    return CreateDirectoryA(path, nullptr) != 0;
}

bool freeSpace(const char* folder, uint64_t& bytes) {
    // The call wants a folder that ends in its separator.
    std::string path = folder;
    if (path.empty() || path.back() != '\\') path += '\\';
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}

}  // namespace platform
