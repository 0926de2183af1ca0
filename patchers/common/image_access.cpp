// Descriptor-level access to disc images: open, create, and read a byte range into a new buffer.
#include "patchers/common/image_access.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

// The seek call takes a signed 32-bit distance while image offsets reach 4 GiB: the position is
// reached in steps of at most 1 GiB from the start of the file.
constexpr uint32_t kSeekStep = 0x40000000;

bool seekFromStart(int descriptor, uint32_t offset) {
    uint32_t remaining = offset;
    while (remaining > kSeekStep) {
        if (platform::seekFromCurrent(descriptor, static_cast<int32_t>(kSeekStep)) < 0) return false;
        remaining -= kSeekStep;
    }
    return platform::seekFromCurrent(descriptor, static_cast<int32_t>(remaining)) == static_cast<int64_t>(offset);
}

}  // namespace

void openForReading(int* slot, const char* path) {
    *slot = platform::openForReadingRaw(path);
}

void createForWriting(int* slot, const char* path) {
    *slot = platform::createForWritingRaw(path);
}

void closeSlot(int* slot) {
    platform::closeDescriptor(*slot);
    *slot = kClosedSlot;
}

int64_t slotLength(const int* slot) {
    return *slot < 0 ? -1 : platform::descriptorLength(*slot);
}

int readImageRange(int* slot, const char* path, unsigned char** bufferSlot, uint32_t* length, uint32_t size,
                   uint32_t offset, ImageReadFailure* why) {
    ImageReadFailure ignored;
    ImageReadFailure& failure = why ? *why : ignored;
    failure = ImageReadFailure::None;
    *bufferSlot = nullptr;
    *length = 0;
    if (*slot < 0) openForReading(slot, path);
    if (*slot < 0) {
        failure = ImageReadFailure::Open;
        return 0;
    }
    const int64_t fileLength = platform::descriptorLength(*slot);
    if (fileLength >= 0 && static_cast<int64_t>(offset) + size > fileLength) {
        size = fileLength > offset ? static_cast<uint32_t>(fileLength - offset) : 0;
    }
    unsigned char* buffer = fileLength < 0 ? nullptr : static_cast<unsigned char*>(malloc(size ? size : 1));
    if (fileLength < 0) {
        failure = ImageReadFailure::Read;
    } else if (!buffer) {
        failure = ImageReadFailure::Allocation;
    } else if (!seekFromStart(*slot, offset) || platform::readFully(*slot, buffer, size) != static_cast<int64_t>(size)) {
        failure = ImageReadFailure::Read;
    }
    closeSlot(slot);
    if (failure != ImageReadFailure::None) {
        free(buffer);
        return 0;
    }
    *bufferSlot = buffer;
    *length = size;
    return 1;
}

bool imageBytesEqual(int* slot, const char* path, uint32_t offset, const void* expected, uint32_t count) {
    unsigned char* buffer = nullptr;
    uint32_t length = 0;
    const bool equal = readImageRange(slot, path, &buffer, &length, count, offset) && length == count &&
                       memcmp(buffer, expected, count) == 0;
    free(buffer);
    return equal;
}
