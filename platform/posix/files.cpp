// Descriptor-level file access on POSIX systems.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

int openForReadingRaw(const char* path) {
    return open(path, O_RDONLY | O_CLOEXEC);
}

int createForWritingRaw(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0700);
}

void closeDescriptor(int descriptor) {
    if (descriptor >= 0) close(descriptor);
}

int64_t descriptorLength(int descriptor) {
    struct stat info;
    if (fstat(descriptor, &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

int64_t seekFromCurrent(int descriptor, int32_t distance) {
    const off_t position = lseek(descriptor, static_cast<off_t>(distance), SEEK_CUR);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

int64_t readFully(int descriptor, void* buffer, uint32_t size) {
    char* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t got = read(descriptor, bytes + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<uint32_t>(got);
    }
    return done;
}

bool writeFully(int descriptor, const void* buffer, uint32_t size) {
    const char* bytes = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t put = write(descriptor, bytes + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<uint32_t>(put);
    }
    return true;
}

bool removeFile(const char* path) {
    return remove(path) == 0;
}

bool fileExists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0;
}

}  // namespace platform
