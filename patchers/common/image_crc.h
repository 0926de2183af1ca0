// The CRC32 of a whole disc image.
#pragma once

#include <cstdint>
#include <functional>

#include "patchers/common/image_access.h"

// The CRC32 (zlib's) of all of `image`, read front to back; `progress` hears the share read so far
// (0 to 1) after each piece and stops the reading by returning false. False when the image cannot
// be read to its end or `progress` stopped it.
bool imageCrc32(ImageSource& image, uint32_t& crc, const std::function<bool(double share)>& progress);
