// The file lists that libcdio's own readers (libudf, libiso9660) give of an image whose structures
// were checked first; held against the checked reading, they catch a misread in either.
#pragma once

#include <string>
#include <vector>

#include "frlayout/disc_files.h"

// False, with `why`, when the library cannot open the tree or one of its folders. Names are the
// library's (plain ISO 9660 names with their version); only the extents are meant to be compared.
bool libudfFiles(const std::string& path, std::vector<DiscFile>& files, std::string& why);
bool libiso9660Files(const std::string& path, std::vector<DiscFile>& files, std::string& why);
