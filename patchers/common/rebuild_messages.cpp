// The French message that ends a rebuild which could not go on.
#include "patchers/common/rebuild_messages.h"

#include "patchers/common/console.h"
#include "platform/platform.h"

void printRebuildFailure(RebuildFailure failure, const char* imageDisplayName) {
    switch (failure) {
    case RebuildFailure::WriteTarget:
        platform::consolePrintf("\n\nImpossible d'%ccrire le fichier ISO temporaire : le disque est peut-%ctre plein.\n",
                                kEAcute, kECircumflex);
        return;
    case RebuildFailure::Allocation:
        platform::consolePrintf("\n\nM%cmoire insuffisante pour reconstruire le fichier ISO.\n", kEAcute);
        return;
    case RebuildFailure::OpenSource:
        platform::consolePrintf("\n\nImpossible d'ouvrir le fichier ISO suivant : %s\n", imageDisplayName);
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
