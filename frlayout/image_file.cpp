// A disc image opened for reading by byte ranges, refused before it is opened when it is no regular
// file (a FIFO or a device would block or never end).
#include "frlayout/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// What a file that is no disc image is, for the message; null for a regular file.
const char* specialKind(mode_t mode) {
    if (S_ISREG(mode)) return nullptr;
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

}  // namespace

ImageFile::~ImageFile() {
    if (file_ >= 0) close(file_);
}

bool ImageFile::open(const std::string& path, std::string& error) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        error = path + " cannot be opened for reading: " + strerror(errno);
        return false;
    }
    if (const char* kind = specialKind(status.st_mode)) {
        error = path + " is " + kind + ", not a disc image";
        return false;
    }
    // Opened without waiting, in case the path was swapped for a FIFO since; checked again below.
    file_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file_ < 0) {
        error = path + " cannot be opened for reading: " + strerror(errno);
        return false;
    }
    if (fstat(file_, &status) != 0 || specialKind(status.st_mode)) {
        error = path + " changed while it was opened: it is no regular file now";
        return false;
    }
    size_ = static_cast<uint64_t>(status.st_size);
    return true;
}

bool ImageFile::read(uint64_t offset, void* buffer, size_t count) const {
    if (file_ < 0 || offset > size_ || count > size_ - offset) return false;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const ssize_t got = pread(file_, bytes, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        offset += static_cast<uint64_t>(got);
        count -= static_cast<size_t>(got);
    }
    return true;
}
