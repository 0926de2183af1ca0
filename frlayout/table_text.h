// The layout tables as the data folders hold them, in the text that cmake/embed_tables.py reads.
#pragma once

#include <string>
#include <vector>

#include "frlayout/layout_derivation.h"

// Whether `name` can stand in a data file: printable ASCII without quotes or backslashes, not
// starting with a space (the name is the rest of its row).
bool writableName(const std::string& name);

// The name table file: the comment lines of `heading`, then the [destination] rows "SECTOR SECTORS
// NAME" and the [source] rows "SECTOR NAME". False, with one problem per name, when a name cannot
// be written.
bool nameTableText(const NameRows& rows, const std::vector<std::string>& heading, std::string& text,
                   std::vector<std::string>& problems);

// A sound table file: the comment lines of `heading`, one offset per row, then "end N".
std::string soundTableText(const SoundRows& rows, const std::vector<std::string>& heading);
