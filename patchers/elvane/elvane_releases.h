// The two releases of Elvane: what recognises each image, and what a run does with it.
#pragma once

#include <cstdint>

#include "patchers/common/patch_run.h"
#include "patchers/common/release.h"

// Indexed by Release: US first, then European.
extern const ReleaseSignature kElvaneReleases[2];
// The French image has the size of the US one; it also stands for 100 % of the European rebuild.
constexpr uint32_t kElvaneFrenchImageSize = 2599682048u;

// The game as frpatch_elvane runs it.
extern const Game kElvane;
