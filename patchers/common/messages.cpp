// What a patcher run says to the player, in French, message by message.
#include "patchers/common/messages.h"

#include <cstdio>
#include <cstring>

#include "patchers/common/console_conventions.h"
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

void printNotFound(const char* line, const ReleaseSignature* signatures) {
    platform::consoleLine(line);
    char sizes[2][32];
    formatByteCount(signatures[US].imageSize, sizes[US]);
    formatByteCount(signatures[European].imageSize, sizes[European]);
    char text[128];
    snprintf(text, sizeof text, "%s octets pour la version US.\n%s octets pour la version EU.\n\n", sizes[US], sizes[European]);
    platform::consolePrintf("La taille du fichier doit %ctre la suivante :\n", kECircumflex);
    platform::consoleWriteCp850(text, strlen(text));
    platform::consolePrintf("Le CRC32 doit %ctre le suivant :\n%08X pour la version US.\n%08X pour la version EU.\n", kECircumflex,
                            static_cast<unsigned>(signatures[US].crc32), static_cast<unsigned>(signatures[European].crc32));
}

void printStartedInsideArchive(const char* folder) {
    platform::consolePrintf("\nLe programme a %ct%c lanc%c depuis l'int%crieur d'une archive (\"%s\").\n"
                            "Extrayez d'abord toute l'archive (clic droit sur le fichier, %c Extraire tout %c), "
                            "puis lancez le programme depuis le dossier extrait.\n",
                            kEAcute, kEAcute, kEAcute, kEAcute, folder, kLeftQuote, kRightQuote);
}

void printOtherFormats(const char* const* names, const OtherFormat* kinds, int count) {
    platform::consolePrintf("\nAucune image .iso n'a %ct%c trouv%ce, mais ces fichiers peuvent contenir votre jeu :\n", kEAcute,
                            kEAcute, kEAcute);
    for (int i = 0; i < count; ++i) {
        switch (kinds[i]) {
        case OtherFormat::Archive:
            platform::consolePrintf("- \"%s\" est une archive : extrayez-en l'image .iso dans ce dossier.\n", names[i]);
            break;
        case OtherFormat::CompressedImage:
            platform::consolePrintf("- \"%s\" est une image compress%ce : reconvertissez-la en .iso avec l'outil qui l'a "
                                    "faite.\n",
                                    names[i], kEAcute);
            break;
        case OtherFormat::OtherImage:
        case OtherFormat::None:
            platform::consolePrintf("- \"%s\" est une image d'un autre format, qui n'est pas accept%ce : refaites une "
                                    "copie .iso de votre disque.\n",
                                    names[i], kEAcute);
            break;
        }
    }
    platform::consolePrintf("Voyez la partie 3 de LISEZMOI.txt.\n");
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
    platform::consolePrintf("Pas assez d'espace libre sur le disque qui contient le dossier \"%s\".\n"
                            "Il faut %s octets libres, il n'y en a que %s.\n"
                            "Lib%crez de la place sur ce disque, ou d%cplacez tout le dossier du programme sur un "
                            "autre disque, puis relancez le patcheur.\n",
                            folder, neededText, freeText, kEAcute, kEAcute);
}

void printDecoderMissing(const char* decoderName, const char* folder) {
    platform::consolePrintf("Impossible de trouver le programme %s.\n"
                            "Placez-le dans le dossier \"%s\", puis relancez le patcheur.\n",
                            decoderName, folder);
}

void printFolderWriteProtected(const char* folder) {
    // The program searches from its own folder: it moves with the image and the patch files.
    platform::consolePrintf("Le dossier \"%s\" est prot%cg%c en %ccriture.\n"
                            "Copiez le programme, le fichier ISO et les fichiers du patch dans un dossier o%c vous "
                            "pouvez %ccrire (par exemple C:\\Jeux sous Windows), puis lancez le programme depuis ce "
                            "dossier.\n",
                            folder, kEAcute, kEAcute, kEAcute, kUGrave, kEAcute);
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

void printCheckingImage(const char* imageDisplayName) {
    platform::consolePrintf("\nV%crification du CRC32 du fichier \"%s\" :\n", kEAcute, imageDisplayName);
}

void printImageVerdict(Release release, uint32_t crc, uint32_t published, const char* deltaName,
                       const char* decoderName) {
    const char* version = release == European ? "EU" : "US";
    platform::consolePrintf("\nCRC32 du fichier : %08X\nCRC32 attendu pour la version %s : %08X\n",
                            static_cast<unsigned>(crc), version, static_cast<unsigned>(published));
    if (crc != published) {
        platform::consolePrintf("Votre fichier ISO n'est pas la copie attendue : "
                                "le patch a besoin de l'ISO de la version %s dont le CRC32 est %08X.\n"
                                "Refaites une copie exacte de votre disque, jusqu'%c obtenir ce CRC32 : "
                                "voir \"Les images accept%ces\" dans LISEZMOI.txt.\n",
                                version, static_cast<unsigned>(published), kAGrave, kEAcute);
        return;
    }
    platform::consolePrintf("Votre fichier ISO est le bon : gardez-le. "
                            "V%crifiez plut%ct le fichier du patch \"%s\" et le programme %s.\n",
                            kEAcute, kOCircumflex, deltaName, decoderName);
}

void printCannotRead(const char* imageDisplayName) {
    platform::consolePrintf("\n\nImpossible de lire le fichier ISO suivant : %s\n"
                            "V%crifiez que le disque qui le contient est bien branch%c et sans erreurs, "
                            "puis relancez le patcheur.\n",
                            imageDisplayName, kEAcute, kEAcute);
}

void printPathTooLong(const char* imageDisplayName) {
    platform::consolePrintf("Le chemin du fichier ISO est trop long : %s\n"
                            "D%cplacez le dossier du programme plus pr%cs de la racine du disque (par exemple "
                            "C:\\Jeux sous Windows), ou raccourcissez les noms des dossiers, puis relancez le "
                            "patcheur.\n",
                            imageDisplayName, kEAcute, kEGrave);
}

void printRebuildFailure(RebuildFailure failure, const char* imageDisplayName) {
    switch (failure) {
    case RebuildFailure::WriteTarget:
        platform::consolePrintf("\n\nImpossible d'%ccrire le fichier ISO temporaire : le disque est peut-%ctre plein.\n"
                                "Lib%crez de la place sur le disque de votre fichier ISO, ou d%cplacez tout le "
                                "dossier du programme sur un autre disque, puis relancez le patcheur.\n",
                                kEAcute, kECircumflex, kEAcute, kEAcute);
        return;
    case RebuildFailure::Allocation:
        platform::consolePrintf("\n\nM%cmoire insuffisante pour reconstruire le fichier ISO.\n"
                                "Fermez les autres programmes, puis relancez le patcheur.\n",
                                kEAcute);
        return;
    case RebuildFailure::BadStep:
        // A step that does not fit: another copy of the disc, or tables that are wrong for it.
        platform::consolePrintf("\n\nLa reconstruction du fichier ISO a %cchou%c : les tables de ce programme ne "
                                "correspondent pas %c votre fichier ISO.\n"
                                "V%crifiez son CRC32 (voir \"Les images accept%ces\" dans LISEZMOI.txt) ; "
                                "s'il est le bon, pr%cvenez l'%cquipe de traduction.\n",
                                kEAcute, kEAcute, kAGrave, kEAcute, kEAcute, kEAcute, kEAcute);
        return;
    case RebuildFailure::ReadSource:
    case RebuildFailure::None:
        printCannotRead(imageDisplayName);
        return;
    }
}

void printInterrupted() {
    platform::consolePrintf("\n\nLe patchage a %ct%c interrompu.\n"
                            "Votre fichier ISO n'a pas %ct%c modifi%c et les fichiers que le patchage avait "
                            "commenc%cs ont %ct%c effac%cs. Pour recommencer, relancez le patcheur.\n",
                            kEAcute, kEAcute, kEAcute, kEAcute, kEAcute, kEAcute, kEAcute, kEAcute, kEAcute);
}
