// The layout tables of the Elvane rebuild. Empty until the tables built from data files land:
// with them a European rebuild stops at step 49, whose length then disagrees.
#include "patchers/elvane/elvane_tables.h"

namespace {
const NameTableEntry kEnd[] = {{"", 0, 0}};
const int32_t kNoOffsets[] = {0};
}  // namespace

const NameTable kElvaneNameTable = {kEnd, kEnd};
const SoundOffsetTable kElvaneSoundRuns[9] = {
    {kNoOffsets, 0, 0}, {kNoOffsets, 0, 0}, {kNoOffsets, 0, 0}, {kNoOffsets, 0, 0}, {kNoOffsets, 0, 0},
    {kNoOffsets, 0, 0}, {kNoOffsets, 0, 0}, {kNoOffsets, 0, 0}, {kNoOffsets, 0, 0},
};
