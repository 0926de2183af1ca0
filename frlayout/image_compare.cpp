// Holding bytes as they come (from the decoder's output, or a file) against a file on disk.
#include "frlayout/image_compare.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kBlock = 16 * 1024 * 1024;

// Reads up to `count` bytes; fewer only at the end of the file.
size_t readFully(int file, char* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t got = read(file, bytes + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

}  // namespace

StreamComparison::~StreamComparison() {
    if (file_ >= 0) close(file_);
}

bool StreamComparison::open(const std::string& path, std::string& error) {
    path_ = path;
    file_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (file_ < 0 || fstat(file_, &info) != 0) {
        error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    size_ = static_cast<uint64_t>(info.st_size);
    posix_fadvise(file_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

void StreamComparison::take(const char* bytes, size_t count) {
    if (!differs_) {
        if (expected_.size() < count) expected_.resize(count);
        // Past the file's end there is nothing to compare: the lengths tell that.
        const size_t got = readFully(file_, expected_.data(), count);
        if (memcmp(bytes, expected_.data(), got) != 0) {
            size_t at = 0;
            while (bytes[at] == expected_[at]) ++at;
            differs_ = true;
            firstDifference_ = compared_ + at;
        }
    }
    compared_ += count;
}

std::string StreamComparison::difference() const {
    if (differs_) return "differs from " + path_ + " from byte " + std::to_string(firstDifference_) + " on";
    if (compared_ < size_) return "ends at byte " + std::to_string(compared_) + ", short of the " + std::to_string(size_) + " bytes of " + path_;
    if (compared_ > size_) return "is " + std::to_string(compared_) + " bytes long, longer than the " + std::to_string(size_) + " bytes of " + path_;
    return "";
}

std::string compareFiles(const std::string& path, const std::string& expectedPath,
                         const std::function<bool(double share)>& progress, bool& stopped) {
    stopped = false;
    StreamComparison comparison;
    std::string error;
    if (!comparison.open(expectedPath, error)) return error;
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return "cannot be read: " + std::string(strerror(errno));
    posix_fadvise(file, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<char> block(kBlock);
    for (;;) {
        const size_t got = readFully(file, block.data(), block.size());
        if (got == 0) break;
        comparison.take(block.data(), got);
        if (progress && !progress(comparison.fileSize() ? static_cast<double>(comparison.compared()) / comparison.fileSize() : 1)) {
            stopped = true;
            break;
        }
    }
    close(file);
    if (stopped) return "the comparison was stopped";
    return comparison.equal() ? "" : comparison.difference();
}
