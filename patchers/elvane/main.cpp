// frpatch_elvane: turns a US or European disc image of Elvane into its French version.
#include <cstring>

#include "patchers/common/console.h"
#include "patchers/common/delta_stage.h"
#include "patchers/common/file_search.h"
#include "patchers/common/image_access.h"
#include "patchers/common/path_text.h"
#include "patchers/common/rebuild.h"
#include "patchers/common/patch_steps.h"
#include "patchers/common/release.h"
#include "patchers/elvane/elvane_plan.h"
#include "patchers/elvane/elvane_releases.h"
#include "platform/platform.h"

namespace {

const char* const kDeltaPrefixes[] = {"EV1_Patch_US-FR_", "EV1_Patch_EU-FR_"};
constexpr size_t kDeltaPrefixLength = 16;

const char kCommandFormat[] = "start /b xdelta.exe -d -fs \"%s\" \"%s\" \"%s\"";

// What one run works with; every path is a patcher text buffer.
struct ElvaneRun {
    char startDirectory[kPathBufferSize] = "";
    char imagePath[kPathBufferSize] = "";
    char displayName[kPathBufferSize] = "";
    char patchPath[kPathBufferSize] = "";
    char temporaryPath[kPathBufferSize] = "";
    char outputPath[kPathBufferSize] = "";
    FileImageSource image;
    Release release = US;
    uint32_t written = 0;
};

const NotFoundMessages kNotFound = {
    "Impossible de trouver le fichier ISO d'Elvane.\n",
    "La taille du fichier doit %ctre la suivante :\n2 599 682 048 octets pour la version US.\n"
    "2 669 969 408 octets pour la version EU.\n\n",
    "Le CRC32 doit %ctre le suivant :\n5B0C3A71 pour la version US.\nC24E9D06 pour la version EU.\n",
};

bool findImage(ElvaneRun& run) {
    const int release = takeDiscImage(kElvaneReleases, 2, kNotFound, run.startDirectory, run.imagePath, run.displayName, run.image);
    if (release < 0) return false;
    run.release = static_cast<Release>(release);
    // The next walk, for the delta file, starts from the start directory again.
    char rest[kPathBufferSize];
    while (findNextFile(rest, "iso")) {
    }
    return true;
}

// Finds the delta file of the release; the walk is left in its directory, which stays current.
bool findDelta(ElvaneRun& run) {
    while (findNextFile(run.patchPath, "xdelta")) {
        keepFileName(run.patchPath);
        if (strncmp(run.patchPath, kDeltaPrefixes[run.release], kDeltaPrefixLength) == 0) return true;
    }
    platform::consoleLine(run.release == US ? "Unable to find the US->FR xdelta patch file."
                                            : "Unable to find the EU->FR xdelta patch file.");
    return false;
}

bool derivePaths(ElvaneRun& run) {
    if (deriveImagePath(run.imagePath, "_temp.iso", run.temporaryPath) &&
        deriveImagePath(run.imagePath, "_patched.iso", run.outputPath)) {
        return true;
    }
    printPathTooLong(run.displayName);
    return false;
}

void applyDelta(ElvaneRun& run) {
    const bool european = run.release == European;
    const DeltaStage stage = {kCommandFormat,
                              {european ? run.temporaryPath : run.imagePath, run.patchPath, run.outputPath},
                              3,
                              run.outputPath,
                              kElvaneFrenchImageSize,
                              european ? 2.0 : 1.0,
                              european ? 50.0 : 0.0};
    const bool patched = runDeltaStage(stage);
    if (patched) {
        printPatchSuccess(run.outputPath, run.startDirectory);
    } else {
        printPatchFailure(run.displayName);
    }
    if (european) removeWhenReleased(run.temporaryPath);
    if (!patched) removeWhenReleased(run.outputPath);
}

void patch(ElvaneRun& run) {
    // A start directory too long for the path buffers holds no image the patcher could name.
    if (!platform::getCurrentDirectory(run.startDirectory, sizeof run.startDirectory)) {
        platform::consoleLine(kNotFound.line);
        return;
    }
    if (!findImage(run) || !findDelta(run) || !derivePaths(run)) return;
    platform::consoleLine("Patchage du fichier ISO en cours :");
    if (run.release == European && !rebuildTemporaryImage(ElvaneRebuildPlan, run.image, run.displayName,
                                                          run.temporaryPath, kElvaneFrenchImageSize, 2, &run.written)) {
        return;
    }
    applyDelta(run);
}

}  // namespace

int main() {
    platform::consolePrintf("\n**** Patcheur pour mettre Elvane en Fran%cais ****\n\n\n", kCCedilla);
    ElvaneRun run;
    patch(run);
    closeRun();
    return 0;
}
