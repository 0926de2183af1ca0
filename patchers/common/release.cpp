// Recognising a game's disc image among the images below the start directory.
#include "patchers/common/release.h"

#include <cstring>

#include "patchers/common/file_search.h"
#include "patchers/common/image_access.h"
#include "patchers/common/path_text.h"

namespace {

bool matches(int* slot, const char* path, const ReleaseSignature& signature) {
    const uint32_t bootPathLength = static_cast<uint32_t>(strlen(signature.bootPath)) + 1;
    if (!imageBytesEqual(slot, path, signature.bootPathOffset, signature.bootPath, bootPathLength)) return false;
    if (signature.markerLength == 0) return true;
    return imageBytesEqual(slot, path, signature.markerOffset, signature.marker, signature.markerLength);
}

}  // namespace

ImageSearch findDiscImage(const ReleaseSignature* signatures, int signatureCount, const char* startDirectory,
                          char* imagePath, char* displayName, int& release) {
    while (findNextFile(imagePath, "iso")) {
        makeDisplayName(imagePath, startDirectory, displayName);
        int slot = kClosedSlot;
        openForReading(&slot, imagePath);
        if (slot < 0) return ImageSearch::CannotOpen;
        // The full length counts: a 6.8 GiB file must not pass for a 2.6 GB image.
        const int64_t length = slotLength(&slot);
        for (int candidate = 0; candidate < signatureCount; ++candidate) {
            if (length != static_cast<int64_t>(signatures[candidate].imageSize)) continue;
            if (!matches(&slot, imagePath, signatures[candidate])) break;
            release = candidate;
            return ImageSearch::Found;
        }
        closeSlot(&slot);
    }
    return ImageSearch::NotFound;
}
