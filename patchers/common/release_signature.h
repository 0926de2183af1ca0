// What tells one release of a game apart on disc; each game's values come from its description
// (patchers/GAME/GAME_game.txt).
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
