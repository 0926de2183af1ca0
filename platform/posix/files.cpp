// Descriptor-level file access on POSIX systems.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

// Windows lets no program take an image for itself while we hold it open; here an advisory lock
// tells the library's exclusive opens (the mode toggler's) the same. A lock held elsewhere does not
// keep us from reading, as Windows read sharing would not.
int openForReadingRaw(const char* path) {
    const int descriptor = open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor >= 0) flock(descriptor, LOCK_SH | LOCK_NB);
    return descriptor;
}

int createForWritingRaw(const char* path) {
    const int descriptor = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0700);
    if (descriptor >= 0) flock(descriptor, LOCK_EX | LOCK_NB);
    return descriptor;
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
