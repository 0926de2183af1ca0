// The ISO 9660 file system of a disc image, read and checked record by record, with the names as
// the disc writes them: Rock Ridge where the tree has them, else Joliet's, else the plain ones.
#pragma once

#include "frlayout/image_file.h"
#include "frlayout/tree_reading.h"

// Absent when the image holds no ISO 9660 volume descriptor. Refused, with the reason, when a
// record is damaged, a folder or file lies outside the image, the folders loop, or a file is in
// more than one extent. Plain names lose their version (";1"); Rock Ridge and Joliet names are kept
// as written; TreeReading::names says which it gives. Without `names` (the other tree of a
// UDF bridge, read only to hold its extents against the UDF ones), only the primary tree is read,
// with its plain names and no Rock Ridge entry.
TreeReading readIsoTree(const ImageFile& image, bool names);
