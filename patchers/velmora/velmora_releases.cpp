// The two releases of Velmora: what recognises each image, and what a run does with it.
#include "patchers/velmora/velmora_releases.h"

#include "patchers/velmora/velmora_plan.h"

namespace {

// The pre-patch stage turns the rebuilt image into the exact US image.
constexpr uint64_t kUsImageSize = kVelmoraReleases[US].imageSize;

// The delta files lie beside the image. A US image is translated at once (0 to 100 %); a European
// one is pre-patched (33 to 66 %) and then translated (67 to 100 %).
const StagePlan kUsStages[] = {{"VL1_Patch_v1.xdelta", "_patched.iso", kVelmoraFrenchImageSize, 1.0, 0.0}};
const StagePlan kEuropeanStages[] = {
    {"VL1_Prepatch.xdelta", "_prepatched.iso", kUsImageSize, 3.0, 33.0},
    {"VL1_Patch_v1.xdelta", "_patched.iso", kVelmoraFrenchImageSize, 3.0, 67.0},
};

const ReleasePlan kPlans[2] = {
    {nullptr, 0, 1, nullptr, nullptr, kUsStages, 1},
    {&VelmoraRebuildPlan, kVelmoraFrenchImageSize, 3, nullptr, nullptr, kEuropeanStages, 2},
};

}  // namespace

const Game kVelmora = {
    "\n**** Patcheur pour mettre Velmora en Fran%cais ****\n\n\n",
    kVelmoraReleases,
    kPlans,
    2,
    "Impossible de trouver le fichier ISO de Velmora.\n",
    "_temp.iso",
};
