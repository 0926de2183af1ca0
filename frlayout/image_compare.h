// Holding bytes as they come (from the decoder's output, or a file) against a file on disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Compares a stream, piece by piece, with the file it must equal.
class StreamComparison {
public:
    StreamComparison() = default;
    ~StreamComparison();
    StreamComparison(const StreamComparison&) = delete;
    StreamComparison& operator=(const StreamComparison&) = delete;

    // The file to hold the stream against; false, with `error`, when it cannot be read.
    bool open(const std::string& path, std::string& error);
    // The next bytes of the stream.
    void take(const char* bytes, size_t count);
    uint64_t compared() const { return compared_; }
    uint64_t fileSize() const { return size_; }
    // Once the stream has ended: whether it held exactly the file's bytes.
    bool equal() const { return !differs_ && compared_ == size_; }
    // Once the stream has ended: where it first differs from the file, for a message that starts
    // with what the stream is ("differs from FRENCH.iso from byte 4096 on").
    std::string difference() const;

private:
    int file_ = -1;
    std::string path_;
    uint64_t size_ = 0;
    uint64_t compared_ = 0;
    bool differs_ = false;
    uint64_t firstDifference_ = 0;
    std::vector<char> expected_;  // the file's bytes beside the stream's
};

// Compares the file at `path` whole with the one at `expectedPath`; `progress` hears the share
// compared (0 to 1) now and then, and ends the comparison early when it returns false. Empty when
// they are equal, otherwise how the first differs ("differs from X from byte N on").
std::string compareFiles(const std::string& path, const std::string& expectedPath,
                         const std::function<bool(double share)>& progress, bool& stopped);
