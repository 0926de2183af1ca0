// Disc images as recognition and the rebuild see them: a source read by byte ranges, a sink appended to.
#include "patchers/common/image_access.h"

#include "platform/platform.h"

namespace {

// The seek call takes a signed 32-bit distance while image offsets reach 4 GiB: the position is
// moved in steps of at most 1 GiB.
constexpr int64_t kSeekStep = 0x40000000;

}  // namespace

bool FileImageSource::open(const char* path) {
    close();
    descriptor_ = platform::openForReadingRaw(path);
    if (descriptor_ < 0) return false;
    const int64_t length = platform::descriptorLength(descriptor_);
    if (length < 0) {
        close();
        return false;
    }
    size_ = static_cast<uint64_t>(length);
    return true;
}

void FileImageSource::close() {
    platform::closeDescriptor(descriptor_);
    descriptor_ = -1;
    size_ = 0;
}

bool FileImageSource::read(uint64_t offset, unsigned char* buffer, uint32_t count) {
    if (descriptor_ < 0 || offset > size_ || count > size_ - offset) return false;
    const int64_t position = platform::seekFromCurrent(descriptor_, 0);
    if (position < 0) return false;
    int64_t distance = static_cast<int64_t>(offset) - position;
    while (distance != 0) {
        const int64_t step = distance > kSeekStep ? kSeekStep : distance < -kSeekStep ? -kSeekStep : distance;
        if (platform::seekFromCurrent(descriptor_, static_cast<int32_t>(step)) < 0) return false;
        distance -= step;
    }
    return platform::readFully(descriptor_, buffer, count) == static_cast<int64_t>(count);
}

FileImageSink::FileImageSink(const char* path) : descriptor_(platform::createForWritingRaw(path)) {}

void FileImageSink::close() {
    platform::closeDescriptor(descriptor_);
    descriptor_ = -1;
}

bool FileImageSink::append(const unsigned char* bytes, uint32_t count) {
    return descriptor_ >= 0 && platform::writeFully(descriptor_, bytes, count);
}
