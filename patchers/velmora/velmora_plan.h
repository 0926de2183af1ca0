// The rebuild of a European Velmora image into the US layout.
#pragma once

#include "patchers/common/rebuild.h"

extern const RebuildPlan VelmoraRebuildPlan;
