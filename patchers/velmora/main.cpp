// frpatch_velmora: turns a US or European disc image of Velmora into its French version.
#include "patchers/common/console.h"
#include "patchers/common/delta_stage.h"
#include "patchers/common/image_access.h"
#include "patchers/common/path_text.h"
#include "patchers/common/rebuild.h"
#include "patchers/common/patch_steps.h"
#include "patchers/common/release.h"
#include "patchers/velmora/velmora_plan.h"
#include "patchers/velmora/velmora_releases.h"
#include "platform/platform.h"

namespace {

// The pre-patch stage turns the temporary image into the exact US image.
const uint32_t kUsImageSize = static_cast<uint32_t>(kVelmoraReleases[US].imageSize);

// The delta files are named bare: the current directory is the image's, where the search left it.
const char kPrePatchFormat[] = "start /b xdelta.exe -d -fs \"%s\" VL1_Prepatch.xdelta \"%s\"";
const char kTranslationFormat[] = "start /b xdelta.exe -d -fs \"%s\" VL1_Patch_v1.xdelta \"%s\"";

// What one run works with; every path is a patcher text buffer. Of the three images that a
// European run writes, the temporary one lives until the pre-patch stage ends, the pre-patched one
// until the final stage ends, and the French one stays only when that stage succeeded.
struct VelmoraRun {
    char startDirectory[kPathBufferSize] = "";
    char imagePath[kPathBufferSize] = "";
    char displayName[kPathBufferSize] = "";
    char temporaryPath[kPathBufferSize] = "";
    char prePatchedPath[kPathBufferSize] = "";
    char outputPath[kPathBufferSize] = "";
    const char* deltaSource = nullptr;  // the image, the temporary image, then the pre-patched image
    FileImageSource image;
    Release release = US;
    bool afterPrePatch = false;
    uint32_t written = 0;
};

const NotFoundMessages kNotFound = {
    "Impossible de trouver le fichier ISO de Velmora.\n",
    "La taille du fichier doit %ctre la suivante :\n2 801 958 912 octets pour la version US.\n"
    "3 006 791 680 octets pour la version EU.\n\n",
    "Le CRC32 doit %ctre le suivant :\n7E2A91C5 pour la version US.\n93D60B4F pour la version EU.\n",
};

// Takes the first recognised image; its directory stays current for the delta stages.
bool findImage(VelmoraRun& run) {
    const int release = takeDiscImage(kVelmoraReleases, 2, kNotFound, run.startDirectory, run.imagePath, run.displayName, run.image);
    if (release < 0) return false;
    run.release = static_cast<Release>(release);
    platform::consoleLine("Patchage du fichier ISO en cours :");
    run.deltaSource = run.imagePath;
    return true;
}

bool derivePaths(VelmoraRun& run) {
    if (deriveImagePath(run.imagePath, "_temp.iso", run.temporaryPath) &&
        deriveImagePath(run.imagePath, "_prepatched.iso", run.prePatchedPath) &&
        deriveImagePath(run.imagePath, "_patched.iso", run.outputPath)) {
        return true;
    }
    printPathTooLong(run.displayName);
    return false;
}

// Turns the temporary image into the exact US image (33 to 66 %). Whatever the outcome the
// temporary image goes. After a failure the decoder is not started again: a second, unwatched
// decoder would write a pre-patched image after we have removed it.
bool prePatch(VelmoraRun& run) {
    const DeltaStage stage = {kPrePatchFormat,     {run.temporaryPath, run.prePatchedPath}, 2, run.prePatchedPath,
                              kUsImageSize,        3.0,                                      33.0};
    const bool done = runDeltaStage(stage);
    if (!done) printPatchFailure(run.displayName);
    removeWhenReleased(run.temporaryPath);
    if (!done) {
        removeWhenReleased(run.prePatchedPath);
        return false;
    }
    run.deltaSource = run.prePatchedPath;
    run.afterPrePatch = true;
    return true;
}

// Writes the French image: 0 to 100 % for a US image, 67 to 100 % after the pre-patch.
void translate(VelmoraRun& run) {
    const DeltaStage stage = {kTranslationFormat,
                              {run.deltaSource, run.outputPath},
                              2,
                              run.outputPath,
                              kVelmoraFrenchImageSize,
                              run.afterPrePatch ? 3.0 : 1.0,
                              run.afterPrePatch ? 67.0 : 0.0};
    const bool patched = runDeltaStage(stage);
    if (patched) {
        printPatchSuccess(run.outputPath, run.startDirectory);
    } else {
        printPatchFailure(run.displayName);
    }
    if (run.afterPrePatch) {
        removeWhenReleased(run.prePatchedPath);
        // A pre-patch decoder slow to let go (Windows refuses to remove a file still open) may have
        // kept the temporary image past its removal; it has long ended by now.
        removeWhenReleased(run.temporaryPath);
    }
    if (!patched) removeWhenReleased(run.outputPath);
}

void patch(VelmoraRun& run) {
    // A start directory too long for the path buffers holds no image the patcher could name.
    if (!platform::getCurrentDirectory(run.startDirectory, sizeof run.startDirectory)) {
        platform::consoleLine(kNotFound.line);
        return;
    }
    if (!findImage(run) || !derivePaths(run)) return;
    // The European image is rebuilt in the US layout first (0 to 33 %); nothing of it is left on failure.
    if (run.release == European &&
        !(rebuildTemporaryImage(VelmoraRebuildPlan, run.image, run.displayName, run.temporaryPath,
                                kVelmoraFrenchImageSize, 3, &run.written) &&
          prePatch(run))) {
        return;
    }
    translate(run);
}

}  // namespace

int main() {
    platform::consolePrintf("\n**** Patcheur pour mettre Velmora en Fran%cais ****\n\n\n", kCCedilla);
    VelmoraRun run;
    patch(run);
    closeRun();
    return 0;
}
