// The two releases of Elvane: what recognises each image, and what a run does with it.
#include "patchers/elvane/elvane_releases.h"

#include "patchers/elvane/elvane_plan.h"

namespace {

const unsigned char kUsMarker[] = {0x82, 0x62, 0x82, 0x81};

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

const ReleaseSignature kElvaneReleases[2] = {
    {2599682048u, 13093328, "cdrom0:\\SLUS_603.27;1", 14500752, kUsMarker, sizeof kUsMarker, 0x5B0C3A71u},
    {2669969408u, 12693144, "cdrom0:\\SLES_608.92;1", 0, nullptr, 0, 0xC24E9D06u},
};

const Game kElvane = {
    "\n**** Patcheur pour mettre Elvane en Fran%cais ****\n\n\n",
    kElvaneReleases,
    kPlans,
    2,
    {
        "Impossible de trouver le fichier ISO d'Elvane.\n",
        "La taille du fichier doit %ctre la suivante :\n2 599 682 048 octets pour la version US.\n"
        "2 669 969 408 octets pour la version EU.\n\n",
        "Le CRC32 doit %ctre le suivant :\n5B0C3A71 pour la version US.\nC24E9D06 pour la version EU.\n",
    },
    "_temp.iso",
};
