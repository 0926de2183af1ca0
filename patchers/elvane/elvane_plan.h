// The rebuild of a European Elvane image into the US layout.
#pragma once

#include "patchers/common/rebuild.h"

extern const RebuildPlan ElvaneRebuildPlan;
