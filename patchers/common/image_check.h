// After a failed delta stage: the player's image read for its CRC32, and what that tells the player.
#pragma once

#include <cstdint>
#include <functional>

#include "patchers/common/image_access.h"
#include "patchers/common/release_signature.h"

enum class ImageCheck { Published, OtherDump, Unreadable, Interrupted };

// Reads the player's image for its CRC32 on the progress line, then prints it beside `published`,
// the CRC32 of `release`, and what the player should do about it (find that dump, or keep the image
// and look at `deltaName` and the decoder). `interrupted` is asked after each piece read; once it
// holds, the reading stops and nothing more is said.
ImageCheck checkImageCrc32(ImageSource& image, const char* imageDisplayName, Release release, uint32_t published,
                           const char* deltaName, const std::function<bool()>& interrupted);
