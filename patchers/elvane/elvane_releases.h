// The two releases of Elvane: what recognises each image, and what a run does with it.
#pragma once

#include <cstdint>

#include "patchers/common/patch_run.h"
#include "patchers/common/recognition.h"
#include "patchers/elvane/elvane_game.h"  // kElvaneReleases, kElvaneFrenchImageSize

// The game as frpatch_elvane runs it.
extern const Game kElvane;
