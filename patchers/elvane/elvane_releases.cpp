// The two releases of Elvane: what recognises each image, and what a run does with it.
#include "patchers/elvane/elvane_releases.h"

#include "patchers/elvane/elvane_plan.h"

namespace {

// One delta stage, from the delta file found for the release: 0 to 100 % for a US image, 50 to
// 100 % after the European rebuild.
const StagePlan kUsStages[] = {{nullptr, "_patched.iso", kElvaneFrenchImageSize, 1.0, 0.0}};
const StagePlan kEuropeanStages[] = {{nullptr, "_patched.iso", kElvaneFrenchImageSize, 2.0, 50.0}};

const ReleasePlan kPlans[2] = {
    {nullptr, 0, 1, "EV1_Patch_US-FR_", "Unable to find the US->FR xdelta patch file.", kUsStages, 1},
    {&ElvaneRebuildPlan, kElvaneFrenchImageSize, 2, "EV1_Patch_EU-FR_", "Unable to find the EU->FR xdelta patch file.",
     kEuropeanStages, 1},
};

}  // namespace

const Game kElvane = {
    "\n**** Patcheur pour mettre Elvane en Fran%cais ****\n\n\n",
    kElvaneReleases,
    kPlans,
    2,
    "Impossible de trouver le fichier ISO d'Elvane.\n",
    "_temp.iso",
};
