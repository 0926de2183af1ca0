// The steps of a run that both patchers share, with the French messages they print.
#include "patchers/common/patch_steps.h"

#include "patchers/common/console.h"
#include "patchers/common/delta_stage.h"
#include "patchers/common/image_access.h"
#include "patchers/common/path_text.h"
#include "platform/platform.h"

namespace {

// "Version US détectée" or "Version européenne détectée", with the image's display name.
void printRecognised(bool european, const char* imageDisplayName) {
    if (european) {
        platform::consolePrintf("Version europ%cenne d%ctect%ce : %s\n\n", kEAcute, kEAcute, kEAcute, imageDisplayName);
        return;
    }
    platform::consolePrintf("Version US d%ctect%ce : %s\n\n", kEAcute, kEAcute, imageDisplayName);
}

}  // namespace

int takeDiscImage(const ReleaseSignature* signatures, int signatureCount, const NotFoundMessages& notFound,
                  const char* startDirectory, char* imagePath, char* displayName, FileImageSource& image) {
    int release = -1;
    switch (findDiscImage(signatures, signatureCount, startDirectory, imagePath, displayName, image, release)) {
    case ImageSearch::NotFound:
        platform::consoleLine(notFound.line);
        platform::consolePrintf(notFound.sizes, kECircumflex);
        platform::consolePrintf(notFound.checksums, kECircumflex);
        return -1;
    case ImageSearch::CannotOpen:
        platform::consolePrintf("Impossible d'ouvrir le fichier ISO suivant : %s\n", displayName);
        return -1;
    case ImageSearch::Found:
        break;
    }
    // The first signature is the US release's, the second the European one's.
    printRecognised(release == 1, displayName);
    return release;
}

void printPatchSuccess(const char* outputPath, const char* startDirectory) {
    char outputName[kPathBufferSize];
    makeDisplayName(outputPath, startDirectory, outputName);
    platform::consolePrintf("\n\nLe patch a %ct%c appliqu%c avec succ%cs !\n", kEAcute, kEAcute, kEAcute, kEGrave);
    platform::consolePrintf("Le fichier du jeu en fran%cais est \"%s\".\n", kCCedilla, outputName);
}

void printPatchFailure(const char* imageDisplayName) {
    platform::consolePrintf(
        "\n\nLe patchage a %cchou%c d%c %c un probl%cme de CRC32. Le fichier \"%s\" n'est pas correct.\n", kEAcute,
        kEAcute, kUCircumflex, kAGrave, kEGrave, imageDisplayName);
}

void printPathTooLong(const char* imageDisplayName) {
    platform::consolePrintf("Le chemin du fichier ISO est trop long : %s\n", imageDisplayName);
}

void printRebuildFailure(RebuildFailure failure, const char* imageDisplayName) {
    switch (failure) {
    case RebuildFailure::WriteTarget:
        platform::consolePrintf("\n\nImpossible d'%ccrire le fichier ISO temporaire : le disque est peut-%ctre plein.\n",
                                kEAcute, kECircumflex);
        return;
    case RebuildFailure::Allocation:
        platform::consolePrintf("\n\nM%cmoire insuffisante pour reconstruire le fichier ISO.\n", kEAcute);
        return;
    case RebuildFailure::BadStep:
        platform::consolePrintf("\n\nLa reconstruction du fichier ISO a %cchou%c : ses tables ne correspondent pas.\n",
                                kEAcute, kEAcute);
        return;
    case RebuildFailure::ReadSource:
    case RebuildFailure::None:
        platform::consolePrintf("\n\nImpossible de lire le fichier ISO suivant : %s\n", imageDisplayName);
        return;
    }
}

bool rebuildTemporaryImage(const RebuildPlan& plan, ImageSource& image, const char* imageDisplayName,
                           const char* temporaryPath, uint32_t progressTotal, uint8_t stageDivisor,
                           uint32_t* written) {
    FileImageSink temporary(temporaryPath);
    if (!temporary.isOpen()) {
        platform::consolePrintf("Impossible de cr%cer le fichier ISO temporaire.\n", kEAcute);
        return false;
    }
    RebuildContext context{image, temporary, progressTotal, stageDivisor};
    const bool rebuilt = runRebuildPlan(plan, context);
    *written = context.written;
    temporary.close();
    if (rebuilt) return true;
    printRebuildFailure(context.failure, imageDisplayName);
    removeWhenReleased(temporaryPath);
    return false;
}
