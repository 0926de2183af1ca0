// Descriptor-level file access through the C runtime of Windows.
#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>

namespace platform {

int openForReadingRaw(const char* path) {
    return _open(path, _O_RDONLY | _O_BINARY);
}

int createForWritingRaw(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}

void closeDescriptor(int descriptor) {
    if (descriptor >= 0) _close(descriptor);
}

int64_t descriptorLength(int descriptor) {
    return _filelengthi64(descriptor);
}

int64_t seekFromCurrent(int descriptor, int32_t distance) {
    // The 64-bit call, so that positions past 2 GiB are reported truthfully.
    return _lseeki64(descriptor, distance, SEEK_CUR);
}

int64_t readFully(int descriptor, void* buffer, uint32_t size) {
    char* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const int got = _read(descriptor, bytes + done, size - done);
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
        const int put = _write(descriptor, bytes + done, size - done);
        if (put <= 0) return false;
        done += static_cast<uint32_t>(put);
    }
    return true;
}

bool removeFile(const char* path) {
    return remove(path) == 0;
}

bool fileExists(const char* path) {
    struct _stat64 info;
    return _stat64(path, &info) == 0;
}

}  // namespace platform
