// Disc images as recognition and the rebuild see them: a source read by byte ranges, a sink appended to.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/platform.h"

// An image read by byte ranges: the player's image held open once, or bytes in memory in a test.
class ImageSource {
public:
    virtual ~ImageSource() = default;
    // The image's full 64-bit length.
    virtual uint64_t size() const = 0;
    // Reads exactly `count` bytes from `offset` into `buffer`; false when they cannot all be read
    // (the image ending first included).
    virtual bool read(uint64_t offset, unsigned char* buffer, uint32_t count) = 0;
    // Says that these bytes will be read soon; a hint a source may ignore.
    virtual void willRead(uint64_t /*offset*/, uint32_t /*count*/) {}
};

// Where a rebuild appends: the temporary image, or memory in a test.
class ImageSink {
public:
    virtual ~ImageSink() = default;
    // Appends all `count` bytes; false when they cannot all be written.
    virtual bool append(const unsigned char* bytes, uint32_t count) = 0;
};

// A sink that takes no more bytes once `stopped` says so: the temporary image of a run that was
// interrupted. The sink it passes appends to stays its owner's.
class StoppableSink final : public ImageSink {
public:
    StoppableSink(ImageSink& sink, std::function<bool()> stopped) : sink_(sink), stopped_(std::move(stopped)) {}
    bool append(const unsigned char* bytes, uint32_t count) override { return !stopped_() && sink_.append(bytes, count); }

private:
    ImageSink& sink_;
    std::function<bool()> stopped_;
};

// An image file opened once for reading, shared with other readers, and closed with the object.
class FileImageSource final : public ImageSource {
public:
    FileImageSource() = default;
    explicit FileImageSource(const char* path) { open(path); }
    ~FileImageSource() override { close(); }
    FileImageSource(const FileImageSource&) = delete;
    FileImageSource& operator=(const FileImageSource&) = delete;

    // Opens `path` in place of any image held before; the reason when it cannot be opened.
    platform::FileError open(const char* path);
    void close();
    bool isOpen() const { return file_ != platform::kNoFile; }

    uint64_t size() const override { return size_; }
    bool read(uint64_t offset, unsigned char* buffer, uint32_t count) override;
    void willRead(uint64_t offset, uint32_t count) override;

private:
    platform::FileHandle file_ = platform::kNoFile;
    uint64_t size_ = 0;
};

// A file created (or emptied) for the rebuild to append to, closed with the object.
class FileImageSink final : public ImageSink {
public:
    explicit FileImageSink(const char* path);
    ~FileImageSink() override { close(); }
    FileImageSink(const FileImageSink&) = delete;
    FileImageSink& operator=(const FileImageSink&) = delete;

    bool isOpen() const { return file_ != platform::kNoFile; }
    void close();
    bool append(const unsigned char* bytes, uint32_t count) override;

private:
    platform::FileHandle file_ = platform::kNoFile;
};
