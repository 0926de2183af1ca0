// Recognising a game's disc image among the images below the start directory.
#pragma once

#include <cstdint>

// Each game has two releases, listed in this order in its release table.
enum Release { US, European };

// What tells one release of a game apart: its size, its boot path and, for some, a marker; with
// the published CRC32 of its whole image.
struct ReleaseSignature {
    uint64_t imageSize;
    uint32_t bootPathOffset;
    const char* bootPath;            // compared with its terminating zero byte
    uint32_t markerOffset;           // used when markerLength is not 0
    const unsigned char* marker;
    uint32_t markerLength;
    uint32_t crc32;
};

enum class ImageSearch { NotFound, CannotOpen, Found };

// Walks the tree for ".iso" files and takes the first whose size, boot path and marker match one
// of `signatures`. Writes its full path to `imagePath` and its name relative to `startDirectory`
// to `displayName` (both kPathBufferSize characters). The walk is left suspended at the image
// taken, with its directory current; `release` receives the index of the signature it matched.
// CannotOpen: the first image that could not be opened ends
// the search (the display name names it).
ImageSearch findDiscImage(const ReleaseSignature* signatures, int signatureCount, const char* startDirectory,
                          char* imagePath, char* displayName, int& release);
