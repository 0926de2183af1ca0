// The two releases of Velmora: what recognises each image, and what a run does with it.
#pragma once

#include <cstdint>

#include "patchers/common/patch_run.h"
#include "patchers/common/recognition.h"
#include "patchers/velmora/velmora_game.h"  // kVelmoraReleases, kVelmoraFrenchImageSize

// The game as frpatch_velmora runs it.
extern const Game kVelmora;
