// The file lists that libcdio's own readers (libudf, libiso9660) give of an image whose structures
// were checked first: the listing frlayout uses, once it equals the checked reading.
#pragma once

#include <string>
#include <vector>

#include "frlayout/disc_files.h"
#include "frlayout/tree_reading.h"

// Each is false, with `why`, when the library cannot open the tree or one of its folders, cannot
// decode an entry, or meets a folder a second time. An empty file's sector is 0.
bool libudfFiles(const std::string& path, std::vector<DiscFile>& files, std::string& why);
// The ISO 9660 tree that gives the image's `names`: libiso9660 opened for the Rock Ridge names of
// its primary tree, for its Joliet tree, or for its plain names, which lose their version (";1").
// False too when a folder found by its path is not the one its entry points to.
bool libiso9660Files(const std::string& path, TreeNames names, std::vector<DiscFile>& files, std::string& why);
