// The layout table of the Velmora rebuild, built in from data/names.txt.
#pragma once

#include "patchers/common/rebuild.h"

extern const NameTable kVelmoraNameTable;
