// The two releases of Velmora: what recognises each image, and what a run does with it.
#include "patchers/velmora/velmora_releases.h"

#include "patchers/velmora/velmora_plan.h"

namespace {

// The pre-patch stage turns the rebuilt image into the exact US image.
constexpr uint32_t kUsImageSize = 2801958912u;

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

const ReleaseSignature kVelmoraReleases[2] = {
    {kUsImageSize, 10523560, "cdrom0:\\SLUS_604.18;1", 0, nullptr, 0, 0x7E2A91C5u},
    {3006791680u, 10569152, "cdrom0:\\SLES_609.51;1", 0, nullptr, 0, 0x93D60B4Fu},
};

const Game kVelmora = {
    "\n**** Patcheur pour mettre Velmora en Fran%cais ****\n\n\n",
    kVelmoraReleases,
    kPlans,
    2,
    {
        "Impossible de trouver le fichier ISO de Velmora.\n",
        "La taille du fichier doit %ctre la suivante :\n2 801 958 912 octets pour la version US.\n"
        "3 006 791 680 octets pour la version EU.\n\n",
        "Le CRC32 doit %ctre le suivant :\n7E2A91C5 pour la version US.\n93D60B4F pour la version EU.\n",
    },
    "_temp.iso",
};
