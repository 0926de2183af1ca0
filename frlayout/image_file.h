// A disc image opened for reading by byte ranges, refused before it is opened when it is no regular
// file (a FIFO or a device would block or never end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ImageFile {
public:
    ImageFile() = default;
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // False, with a sentence in `error` that names the path, when it is missing, no regular file or
    // cannot be opened for reading.
    bool open(const std::string& path, std::string& error);

    uint64_t size() const { return size_; }
    // Reads `count` bytes at `offset`; false when any of them lies past the end or the read fails.
    bool read(uint64_t offset, void* buffer, size_t count) const;

private:
    int file_ = -1;
    uint64_t size_ = 0;
};
