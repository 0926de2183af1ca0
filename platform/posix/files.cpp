// Files on POSIX systems: descriptors, advisory locks for Windows-like sharing, library paths.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

FileError errorOf(int code) {
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return FileError::Missing;
    case EWOULDBLOCK:
    case EBUSY:
    case ETXTBSY:
        return FileError::Busy;
    case EACCES:
    case EPERM:
    case EROFS:
        return FileError::Denied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:  // a file-size limit refuses the write as a full disk would
        return FileError::NoSpace;
    case EISDIR:
    case ENXIO:  // a pipe with no reader, a device without its hardware
        return FileError::NotAFile;
    case EEXIST:
        return FileError::Exists;
    default:
        return FileError::Other;
    }
}

int descriptorOf(FileHandle file) {
    return static_cast<int>(file);
}

FileError failOpen(int descriptor, FileError error, FileHandle& file) {
    close(descriptor);
    file = kNoFile;
    return error;
}

}  // namespace

FileError openFile(const char* path, FileAccess access, FileCreation creation, FileSharing sharing, bool sequential,
                   FileHandle& file) {
    file = kNoFile;
    // Never O_TRUNC here: a file held by another opener must not be emptied before the lock says
    // so. O_NONBLOCK: opening a pipe or a device must not wait; regular files ignore the flag.
    int flags = O_CLOEXEC | O_NONBLOCK | (access == FileAccess::Read ? O_RDONLY : O_WRONLY);
    if (creation != FileCreation::OpenExisting) flags |= O_CREAT;
    if (creation == FileCreation::New) flags |= O_EXCL;
    int descriptor;
    do {
        descriptor = open(path, flags, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return errorOf(errno);
    struct stat info;
    if (fstat(descriptor, &info) != 0) return failOpen(descriptor, errorOf(errno), file);
    if (!S_ISREG(info.st_mode)) return failOpen(descriptor, FileError::NotAFile, file);
    const int lock = access == FileAccess::Read && sharing == FileSharing::Shared ? LOCK_SH : LOCK_EX;
    if (flock(descriptor, lock | LOCK_NB) != 0 && sharing == FileSharing::Exclusive) {
        return failOpen(descriptor, FileError::Busy, file);
    }
    // A file already empty is left alone: ext4 takes any truncation to zero for a file rewritten in
    // place and writes the whole file out when it is closed (auto_da_alloc), which would hold up
    // the close of a new temporary image for seconds.
    if (creation == FileCreation::Truncate && (fstat(descriptor, &info) != 0 || info.st_size != 0) &&
        ftruncate(descriptor, 0) != 0) {
        return failOpen(descriptor, errorOf(errno), file);
    }
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    if (sequential) posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    file = static_cast<FileHandle>(descriptor);
    return FileError::None;
}

void closeFile(FileHandle& file) {
    if (file != kNoFile) close(descriptorOf(file));  // the lock goes with the descriptor
    file = kNoFile;
}

bool fileSize(FileHandle file, uint64_t& size) {
    struct stat info;
    if (fstat(descriptorOf(file), &info) != 0) return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool seekFile(FileHandle file, uint64_t position) {
    if (position > static_cast<uint64_t>(INT64_MAX)) return false;
    return lseek(descriptorOf(file), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool seekFileEnd(FileHandle file) {
    return lseek(descriptorOf(file), 0, SEEK_END) >= 0;
}

void adviseWillRead(FileHandle file, uint64_t offset, uint64_t length) {
    posix_fadvise(descriptorOf(file), static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

FileError readFile(FileHandle file, void* buffer, uint32_t size) {
    char* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t got = read(descriptorOf(file), bytes + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errorOf(errno);
        if (got == 0) return FileError::Other;  // the file ends first
        done += static_cast<uint32_t>(got);
    }
    return FileError::None;
}

FileError writeFile(FileHandle file, const void* buffer, uint32_t size) {
    const char* bytes = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t put = write(descriptorOf(file), bytes + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return errorOf(errno);
        if (put == 0) return FileError::Other;
        done += static_cast<uint32_t>(put);
    }
    return FileError::None;
}

bool setFileEnd(FileHandle file) {
    const off_t position = lseek(descriptorOf(file), 0, SEEK_CUR);
    return position >= 0 && ftruncate(descriptorOf(file), position) == 0;
}

FileError removeFile(const char* path) {
    return unlink(path) == 0 ? FileError::None : errorOf(errno);
}

bool makeDirectory(const char* path) {
    return mkdir(path, 0777) == 0;
}

bool freeSpace(const char* folder, uint64_t& bytes) {
    struct statvfs volume;
    if (statvfs(folder, &volume) != 0) return false;
    bytes = static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
    return true;
}

}  // namespace platform
