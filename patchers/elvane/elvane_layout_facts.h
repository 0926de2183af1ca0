// What is published of the two Elvane disc layouts, checked on any name table and sound tables.
#pragma once

#include <string>
#include <vector>

#include "patchers/common/rebuild.h"

// The sound runs of the rebuild, S1 to S9.
constexpr size_t kElvaneSoundRunCount = 9;

// Every published fact of the Elvane layouts that the tables break, one line of text each (empty
// when they hold them all). `sounds` holds kElvaneSoundRunCount tables. The places the tables are
// checked against (the name area's length and base, the runs' lengths) are the rebuild plan's.
std::vector<std::string> brokenElvaneLayoutFacts(const NameTable& names, const SoundOffsetTable* sounds);
