// What the header of a delta file says about the decoders that can read it.
#include "frlayout/delta_header.h"

#include <cstdint>

namespace {

// RFC 3284, with the delta tool's own secondary compressors and window checksum.
const unsigned char kMagic[4] = {0xD6, 0xC3, 0xC4, 0x00};
constexpr unsigned kSecondaryFlag = 0x01;
constexpr unsigned kCodeTableFlag = 0x02;
constexpr unsigned kApplicationHeaderFlag = 0x04;
constexpr unsigned kWindowChecksumFlag = 0x04;
constexpr unsigned char kDjw = 1, kLzma = 2, kFgk = 16;

// A variable-length integer: seven bits a byte, most significant first.
bool readInteger(const unsigned char* bytes, size_t count, size_t& at, uint64_t& value) {
    value = 0;
    for (int used = 0; at < count && used < 10; ++used) {
        const unsigned char byte = bytes[at++];
        value = value << 7 | (byte & 0x7F);
        if (!(byte & 0x80)) return true;
    }
    return false;
}

// Steps over a length-prefixed section.
bool skipSection(const unsigned char* bytes, size_t count, size_t& at) {
    uint64_t length = 0;
    if (!readInteger(bytes, count, at, length) || length > count - at) return false;
    at += static_cast<size_t>(length);
    return true;
}

}  // namespace

DeltaHeader readDeltaHeader(const unsigned char* bytes, size_t count) {
    DeltaHeader header;
    if (count < 5) return header;
    for (int i = 0; i < 4; ++i) {
        if (bytes[i] != kMagic[i]) return header;
    }
    const unsigned indicator = bytes[4];
    size_t at = 5;
    if (indicator & kSecondaryFlag) {
        if (at >= count) return header;
        switch (bytes[at++]) {
        case kDjw: header.secondary = DeltaHeader::Secondary::Djw; break;
        case kLzma: header.secondary = DeltaHeader::Secondary::Lzma; break;
        case kFgk: header.secondary = DeltaHeader::Secondary::Fgk; break;
        default: header.secondary = DeltaHeader::Secondary::Unknown; break;
        }
    }
    if ((indicator & kCodeTableFlag) && !skipSection(bytes, count, at)) return header;
    header.applicationHeader = indicator & kApplicationHeaderFlag;
    if (header.applicationHeader && !skipSection(bytes, count, at)) return header;
    if (at >= count) return header;
    header.windowChecksums = bytes[at] & kWindowChecksumFlag;
    header.valid = true;
    return header;
}

std::string deltaHeaderProblem(const DeltaHeader& header) {
    if (!header.valid) return "it is no delta file the decoder reads (no VCDIFF header)";
    if (header.secondary == DeltaHeader::Secondary::Lzma) {
        return "it is compressed with LZMA, which a decoder built without LZMA (the players' Windows one) cannot read";
    }
    if (header.secondary == DeltaHeader::Secondary::Unknown) return "it is compressed by a coder the decoders do not know";
    if (!header.windowChecksums) return "its windows carry no checksum, so a decoder cannot tell a wrong source";
    return "";
}
