// The two releases of Velmora: what recognises each image, and what a run does with it.
#pragma once

#include <cstdint>

#include "patchers/common/patch_run.h"
#include "patchers/common/release.h"

// Indexed by Release: US first, then European.
extern const ReleaseSignature kVelmoraReleases[2];
// The French image is larger than the US one; it also stands for 100 % of the European rebuild.
constexpr uint32_t kVelmoraFrenchImageSize = 2802745344u;

// The game as frpatch_velmora runs it.
extern const Game kVelmora;
