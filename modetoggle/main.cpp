// modetoggle: switches the French Velmora disc image between 480p and 480i video output.
#include <cstdint>
#include <cstring>

#include "kestrin/console.h"
#include "kestrin/error.h"
#include "kestrin/filebin.h"
#include "kestrin/string.h"
#include "patchers/velmora/velmora_game.h"
#include "platform/platform.h"

namespace {

// The French image: its size, and the boot path of its game executable at the place the US image
// has it, as the game's description gives them.
constexpr uint64_t kImageSize = kVelmoraFrenchImageSize;
constexpr uint64_t kBootPathOffset = kVelmoraReleases[US].bootPathOffset;
const char* const kBootPath = kVelmoraReleases[US].bootPath;
const uint32_t kBootPathLength = static_cast<uint32_t>(strlen(kBootPath)) + 1;  // with its zero byte

// The four instruction words of the game executable that choose the video output, little-endian
// in the image. 480i is the game's own setting: each `sll rN, rN, 16` keeps the mode the game
// asked for; the 480p words load fixed values instead (lui a1 0x0000, a2 0x0050, a3 0x0001,
// t1 0x0010). Site 1 alone tells which set is in place.
struct PatchSite {
    uint64_t offset;
    uint32_t mode480i;
    uint32_t mode480p;
};
const PatchSite kPatchSites[] = {
    {0x40BC4C, 0x00052C00, 0x3C050000},
    {0x40BC54, 0x00063400, 0x3C060050},
    {0x40BC5C, 0x00073C00, 0x3C070001},
    {0x40BF1C, 0x00094C00, 0x3C090010},
};

// The dialogue, in Latin-1 as the console translation expects it.
const char kBanner[] = "\n**** Patcheur pour mettre Velmora en 480p ****\n\n\n";
const char kNotFound[] = "Impossible de trouver le fichier ISO FR de Velmora.\n";
const char kSuccess[] = "\nLe fichier iso a \xE9t\xE9 modifi\xE9 avec succ\xE8s\n\n";
const char kCurrentMode[] = "Mode actuel : ";
const char k480p[] = "480p";
const char k480i[] = "480i (par d\xE9" "faut)";
const char kClosing[] = "\n\nAppuyez sur n'importe quelle touche pour quitter le programme.";

void waitForKey() {
    platform::readConsoleChar();
}

enum class Search { Found, NotFound, Stopped };

// Walks the .iso files below the current directory until one has the size and boot path of the
// French image. Candidates that do not are passed over without a word.
Search findImage(Kestrin::FileBin& iso) {
    for (;;) {
        if (!iso.findNext("iso", Kestrin::RelativeToStart, nullptr)) return Search::NotFound;
        if (iso.fileSize() != kImageSize) {
            if (!Kestrin::checkError()) return Search::Stopped;
            continue;
        }
        iso.read(kBootPathOffset, kBootPathLength);
        if (!Kestrin::checkError()) return Search::Stopped;
        if (iso.getString(0, 0) == kBootPath) return Search::Found;
    }
}

// Writes one set of words, site by site; false once a write has failed (its message is out).
bool writeWords(Kestrin::FileBin& iso, bool to480p) {
    for (const PatchSite& site : kPatchSites) {
        iso.setU32(to480p ? site.mode480p : site.mode480i, 0);
        iso.write(site.offset, 0, 4);
        if (!Kestrin::checkError()) return false;
    }
    return true;
}

}  // namespace

int main() {
    Kestrin::FileBin iso;
    Kestrin::print(kBanner);

    const Search search = findImage(iso);
    if (search == Search::NotFound) {
        Kestrin::print(kNotFound);
        waitForKey();
        return 0;
    }
    if (search == Search::Stopped) return 0;
    Kestrin::print(Kestrin::emptyString + "ISO FR d\xE9tect\xE9 : " + iso.getFileName().getPath() + "\n");

    iso.read(kPatchSites[0].offset, 4);
    if (!Kestrin::checkError()) return 0;
    const bool to480p = iso.getU32(0) == kPatchSites[0].mode480i;
    if (!writeWords(iso, to480p)) return 0;

    Kestrin::print(kSuccess);
    Kestrin::print(kCurrentMode);
    Kestrin::print(to480p ? k480p : k480i);
    Kestrin::print(kClosing);
    waitForKey();
    return 0;
}
