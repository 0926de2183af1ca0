// Recognising which release of a game a disc image is.
#include "patchers/common/recognition.h"

#include <cstring>
#include <vector>

namespace {

bool bytesAt(ImageSource& image, uint32_t offset, const void* expected, uint32_t count) {
    std::vector<unsigned char> found(count);
    return image.read(offset, found.data(), count) && memcmp(found.data(), expected, count) == 0;
}

}  // namespace

int recogniseRelease(ImageSource& image, const ReleaseSignature* signatures, int signatureCount) {
    for (int candidate = 0; candidate < signatureCount; ++candidate) {
        const ReleaseSignature& signature = signatures[candidate];
        // The full length counts: a 6.8 GiB file must not pass for a 2.6 GB image.
        if (image.size() != signature.imageSize) continue;
        const uint32_t bootPathLength = static_cast<uint32_t>(strlen(signature.bootPath)) + 1;
        if (!bytesAt(image, signature.bootPathOffset, signature.bootPath, bootPathLength)) return -1;
        if (signature.markerLength && !bytesAt(image, signature.markerOffset, signature.marker, signature.markerLength)) {
            return -1;
        }
        return candidate;
    }
    return -1;
}
