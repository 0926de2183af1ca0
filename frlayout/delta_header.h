// What the header of a delta file says about the decoders that can read it.
#pragma once

#include <cstddef>
#include <string>

// The file header and the first window indicator of a VCDIFF delta, as the delta tool writes them.
struct DeltaHeader {
    enum class Secondary { None, Djw, Fgk, Lzma, Unknown };

    bool valid = false;              // the VCDIFF magic, and a header that ends inside the bytes
    Secondary secondary = Secondary::None;
    bool applicationHeader = false;  // the file names of the encoder's command line
    bool windowChecksums = false;    // the first window carries its Adler-32 checksum
};

// Reads the header from the first bytes of a delta file (a few hundred suffice).
DeltaHeader readDeltaHeader(const unsigned char* bytes, size_t count);

// What keeps a delta with this header from being shipped: LZMA, which a decoder built without it
// cannot read, or windows without checksums; empty when nothing does.
std::string deltaHeaderProblem(const DeltaHeader& header);
