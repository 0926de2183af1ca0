// Library files and directories on POSIX systems: exclusive opens by flock, library paths.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace platform {
namespace {

// The system's spelling of a library path: "Z:" first is the root, backslashes are slashes.
std::string systemPath(const char* libraryPath) {
    std::string path = libraryPath ? libraryPath : "";
    const size_t driveLength = strlen(kLibraryRootDrive);
    if (path.compare(0, driveLength, kLibraryRootDrive) == 0 &&
        (path.size() == driveLength || path[driveLength] == '\\' || path[driveLength] == '/')) {
        path.replace(0, driveLength, "");
        if (path.empty()) path = "/";
    }
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

int descriptorOf(FileHandle file) {
    return static_cast<int>(file);
}

}  // namespace

FileHandle openLibraryFile(const char* libraryPath, FileAccess access, FileCreation creation, bool sequential) {
    int flags = O_CLOEXEC | (access == FileAccess::Read ? O_RDONLY : O_WRONLY);
    // Never O_TRUNC here: a file held by another opener must not be emptied before the lock says so.
    if (creation != FileCreation::OpenExisting) flags |= O_CREAT;
    const std::string path = systemPath(libraryPath);
    int descriptor;
    do {
        descriptor = open(path.c_str(), flags, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return kNoFile;
    struct stat info;
    if (fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode) || flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        close(descriptor);
        return kNoFile;
    }
    if (creation == FileCreation::Truncate && ftruncate(descriptor, 0) != 0) {
        close(descriptor);
        return kNoFile;
    }
    if (sequential) posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    return static_cast<FileHandle>(descriptor);
}

void closeLibraryFile(FileHandle file) {
    if (file != kNoFile) close(descriptorOf(file));  // the lock goes with the descriptor
}

bool libraryFileSize(FileHandle file, uint64_t& size) {
    struct stat info;
    if (fstat(descriptorOf(file), &info) != 0) return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool seekLibraryFile(FileHandle file, uint64_t position) {
    if (position > static_cast<uint64_t>(INT64_MAX)) return false;
    return lseek(descriptorOf(file), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool seekLibraryFileEnd(FileHandle file) {
    return lseek(descriptorOf(file), 0, SEEK_END) >= 0;
}

bool readLibraryFile(FileHandle file, void* buffer, uint32_t size) {
    char* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t got = read(descriptorOf(file), bytes + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<uint32_t>(got);
    }
    return true;
}

bool writeLibraryFile(FileHandle file, const void* buffer, uint32_t size) {
    const char* bytes = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t put = write(descriptorOf(file), bytes + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<uint32_t>(put);
    }
    return true;
}

bool setLibraryFileEnd(FileHandle file) {
    const off_t position = lseek(descriptorOf(file), 0, SEEK_CUR);
    return position >= 0 && ftruncate(descriptorOf(file), position) == 0;
}

bool removeLibraryFile(const char* libraryPath) {
    return remove(systemPath(libraryPath).c_str()) == 0;
}

bool makeLibraryDirectory(const char* libraryPath) {
    return mkdir(systemPath(libraryPath).c_str(), 0777) == 0;
}

bool getCurrentLibraryDirectory(char* buffer, size_t size) {
    char system[4096];
    if (!getcwd(system, sizeof system) || system[0] != '/') return false;
    // "/home/x" is "Z:\home\x"; the root alone is "Z:\".
    std::string library = kLibraryRootDrive;
    library += system[1] ? system : "/";
    for (char& c : library) {
        if (c == '/') c = '\\';
    }
    if (library.size() + 1 > size) return false;
    memcpy(buffer, library.c_str(), library.size() + 1);
    return true;
}

bool setCurrentLibraryDirectory(const char* libraryPath) {
    const std::string path = systemPath(libraryPath);
    return !path.empty() && chdir(path.c_str()) == 0;
}

}  // namespace platform
