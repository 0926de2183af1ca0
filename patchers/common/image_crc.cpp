// The CRC32 of a whole disc image.
#include "patchers/common/image_crc.h"

#include <zlib.h>

#include <vector>

namespace {

constexpr uint32_t kPieceSize = 8u << 20;

}  // namespace

bool imageCrc32(ImageSource& image, uint32_t& crc, const std::function<bool(double share)>& progress) {
    const uint64_t size = image.size();
    std::vector<unsigned char> piece(kPieceSize);
    uLong value = crc32(0, Z_NULL, 0);
    for (uint64_t done = 0; done < size;) {
        const uint32_t count = size - done < kPieceSize ? static_cast<uint32_t>(size - done) : kPieceSize;
        if (!image.read(done, piece.data(), count)) return false;
        value = crc32(value, piece.data(), count);
        done += count;
        if (!progress(static_cast<double>(done) / static_cast<double>(size))) return false;
    }
    crc = static_cast<uint32_t>(value);
    return true;
}
