// The CRC32 of a whole disc image, and what it tells a player whose delta stage failed.
#pragma once

#include <cstdint>
#include <functional>

#include "patchers/common/image_access.h"
#include "patchers/common/release.h"

// The CRC32 (zlib's) of all of `image`, read front to back; `progress` hears the share read so far
// (0 to 1) after each piece and stops the reading by returning false. False when the image cannot
// be read to its end or `progress` stopped it.
bool imageCrc32(ImageSource& image, uint32_t& crc, const std::function<bool(double share)>& progress);

enum class ImageCheck { Published, OtherDump, Unreadable, Interrupted };

// After a failed delta stage: reads the player's image for its CRC32 on the progress line, then
// prints it beside `published`, the CRC32 of `release`, and what the player should do about it
// (find that dump, or keep the image and look at `deltaName` and the decoder). An interruption of
// the run stops the reading, and nothing more is said.
ImageCheck checkImageCrc32(ImageSource& image, const char* imageDisplayName, Release release, uint32_t published,
                           const char* deltaName);
