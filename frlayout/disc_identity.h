// Which release of which game a disc image is, and the CRC32 of the whole image.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "frlayout/titles.h"

struct ImageIdentity {
    const Title* title;
    Release release;
};

// Recognises the image at `path` by the boot path at its place in either release of either game,
// then by the release's size and marker. False, with a sentence in `error` that names the image,
// when it cannot be read, is truncated, or is no release of either game.
bool identifyImage(const std::string& path, ImageIdentity& identity, std::string& error);

// "US", "European".
const char* releaseName(Release release);

// The CRC32 of the whole image at `path`, read front to back; `progress` hears the share read so
// far (0 to 1) now and then. False, with `error`, when it cannot be read to its end.
bool imageCrc32(const std::string& path, uint32_t& crc, std::string& error, const std::function<void(double)>& progress);
