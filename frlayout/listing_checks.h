// Checks between file lists: two readings of the same files must place them alike, a library's
// reading must be the checked one, and a list names each file once.
#pragma once

#include <string>
#include <vector>

#include "frlayout/disc_files.h"

// Empty when every non-empty file of each list has a file of the same extent (first sector and
// length) in the other; else a sentence naming the files, `first` and `second` saying whose they
// are ("UDF", "ISO 9660").
std::string extentDisagreement(const std::vector<DiscFile>& a, const char* first, const std::vector<DiscFile>& b,
                               const char* second);

// Empty when `read`, a library's listing, holds the files of `checked` and no other, each by the
// same name, first sector and length; else a sentence naming the files and what each reader says
// of them, `library` naming the library ("libudf") and `names` the kind of names ("Rock Ridge").
std::string libraryDisagreement(const std::vector<DiscFile>& read, const char* library, const char* names,
                                const std::vector<DiscFile>& checked);

// The names that stand more than once in `files`, at most a handful, in name order.
std::vector<std::string> repeatedNames(const std::vector<DiscFile>& files);
