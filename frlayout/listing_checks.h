// Checks between file lists: two readings of the same files must place them alike, and a list
// names each file once.
#pragma once

#include <string>
#include <vector>

#include "frlayout/disc_files.h"

// Empty when every non-empty file of each list has a file of the same extent (first sector and
// length) in the other; else a sentence naming the files, `first` and `second` saying whose they
// are ("UDF", "ISO 9660").
std::string extentDisagreement(const std::vector<DiscFile>& a, const char* first, const std::vector<DiscFile>& b,
                               const char* second);

// The names that stand more than once in `files`, at most a handful, in name order.
std::vector<std::string> repeatedNames(const std::vector<DiscFile>& files);
