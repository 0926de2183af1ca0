// The UDF file system of a disc image, read and checked descriptor by descriptor (the ECMA-167
// structures as UDF 1.02 lays them out) before any library is trusted with it.
#pragma once

#include "frlayout/image_file.h"
#include "frlayout/tree_reading.h"

// Absent when the image announces no UDF volume. Refused, with the reason, when a descriptor is
// damaged (tag, checksum, CRC, lengths that overrun their block), an entry lies outside the image,
// the folders loop, or a file is in pieces or keeps its data inside its entry.
TreeReading readUdfTree(const ImageFile& image);
