// What a patcher run says to the player, in French, message by message.
#include "patchers/common/messages.h"

#include <cstdio>

#include "patchers/common/console.h"
#include "patchers/common/path_text.h"
#include "platform/platform.h"

namespace {

// "5 199 364 096": groups of three digits apart, as the sizes of the not-found message are written.
void formatByteCount(uint64_t count, char* text) {
    char digits[24];
    const int length = snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(count));
    int at = 0;
    for (int i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0) text[at++] = ' ';
        text[at++] = digits[i];
    }
    text[at] = '\0';
}

}  // namespace

void printNotFound(const NotFoundMessages& notFound) {
    platform::consoleLine(notFound.line);
    platform::consolePrintf(notFound.sizes, kECircumflex);
    platform::consolePrintf(notFound.checksums, kECircumflex);
}

void printCannotOpen(const char* imageDisplayName) {
    platform::consolePrintf("Impossible d'ouvrir le fichier ISO suivant : %s\n", imageDisplayName);
}

void printRecognised(Release release, const char* imageDisplayName) {
    if (release == European) {
        platform::consolePrintf("Version europ%cenne d%ctect%ce : %s\n\n", kEAcute, kEAcute, kEAcute, imageDisplayName);
        return;
    }
    platform::consolePrintf("Version US d%ctect%ce : %s\n\n", kEAcute, kEAcute, imageDisplayName);
}

void printPatching() {
    platform::consoleLine("Patchage du fichier ISO en cours :");
}

void printNotEnoughSpace(const char* folder, uint64_t needed, uint64_t free) {
    char neededText[32];
    char freeText[32];
    formatByteCount(needed, neededText);
    formatByteCount(free, freeText);
    platform::consolePrintf("Pas assez d'espace libre dans le dossier \"%s\".\nIl faut %s octets, il n'y en a que %s.\n",
                            folder, neededText, freeText);
}

void printCannotCreateTemporary() {
    platform::consolePrintf("Impossible de cr%cer le fichier ISO temporaire.\n", kEAcute);
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

void printInterrupted() {
    platform::consolePrintf("\n\nLe patchage a %ct%c interrompu.\n", kEAcute, kEAcute);
}
