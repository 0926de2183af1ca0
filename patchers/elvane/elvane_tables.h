// The layout tables of the Elvane rebuild: the file name table and the nine sound offset tables.
#pragma once

#include "patchers/common/rebuild.h"

extern const NameTable kElvaneNameTable;
extern const SoundOffsetTable kElvaneSoundRuns[9];
