// After a failed delta stage: the player's image read for its CRC32, and what that tells the player.
#include "patchers/common/image_check.h"

#include "patchers/common/console_conventions.h"
#include "patchers/common/decoder.h"
#include "patchers/common/image_crc.h"
#include "patchers/common/messages.h"

ImageCheck checkImageCrc32(ImageSource& image, const char* imageDisplayName, Release release, uint32_t published,
                           const char* deltaName, const std::function<bool()>& interrupted) {
    printCheckingImage(imageDisplayName);
    ProgressLine line;
    uint32_t crc = 0;
    const bool read = imageCrc32(image, crc, [&](double share) {
        line.show(share * 100);
        return !interrupted();
    });
    if (interrupted()) return ImageCheck::Interrupted;
    if (!read) {
        printCannotRead(imageDisplayName);
        return ImageCheck::Unreadable;
    }
    printImageVerdict(release, crc, published, deltaName, kDecoderName);
    return crc == published ? ImageCheck::Published : ImageCheck::OtherDump;
}
