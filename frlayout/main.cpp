// frlayout: makes a game's layout tables from a US and a European disc, checks them against what is
// published of the two layouts, and writes them to the game's data folder (or compares them with
// the tables built in, or prints the name table of any area).
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "frlayout/data_folder.h"
#include "frlayout/disc_files.h"
#include "frlayout/disc_identity.h"
#include "frlayout/table_text.h"
#include "frlayout/title_tables.h"
#include "patchers/common/layout_facts.h"

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: frlayout elvane|velmora US.iso EU.iso [--out FOLDER]\n"
    "           makes the game's layout tables from its two discs and writes them to its data folder\n"
    "           (default: " FRLAYOUT_SOURCE_DIR "/patchers/GAME/data)\n"
    "       frlayout check elvane|velmora US.iso EU.iso\n"
    "           tells whether the tables built into the patcher are those of the two discs\n"
    "       frlayout names US.iso EU.iso --area FIRST:SECTORS --base SECTOR\n"
    "           prints the name table of that US area, with source rows from that European sector\n";

int usage(const char* why) {
    fprintf(stderr, "frlayout: %s\n%s", why, kUsageText);
    return kUsage;
}

void tell(const char* heading, const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    fprintf(stderr, "%s\n", heading);
    for (const std::string& line : lines) fprintf(stderr, "  - %s\n", line.c_str());
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Both images recognised, of the game asked for, the US one first.
bool identifyPair(const Title& title, const std::string& usPath, const std::string& europeanPath) {
    ImageIdentity identities[2];
    const std::string paths[2] = {usPath, europeanPath};
    bool recognised = true;
    for (int i = 0; i < 2; ++i) {
        std::string error;
        if (!identifyImage(paths[i], identities[i], error)) {
            fprintf(stderr, "frlayout: %s\n", error.c_str());
            recognised = false;
        }
    }
    if (!recognised) return false;
    for (int i = 0; i < 2; ++i) {
        if (identities[i].title != &title) {
            fprintf(stderr, "frlayout: %s is a %s image; frlayout %s takes %s images\n", paths[i].c_str(),
                    identities[i].title->displayName, title.name, title.displayName);
            return false;
        }
    }
    if (identities[0].release == European && identities[1].release == US) {
        fprintf(stderr, "frlayout: the images are swapped: %s is the European image and %s the US one; give the US image first\n",
                usPath.c_str(), europeanPath.c_str());
        return false;
    }
    if (identities[0].release == identities[1].release) {
        fprintf(stderr, "frlayout: %s and %s are both %s images; give a US image, then a European one\n", usPath.c_str(),
                europeanPath.c_str(), releaseName(identities[0].release));
        return false;
    }
    return true;
}

bool readListing(const std::string& path, const char* role, DiscListing& listing) {
    std::string error;
    if (!readDiscFiles(path, listing, error)) {
        fprintf(stderr, "frlayout: %s\n", error.c_str());
        return false;
    }
    printf("%s image %s: %s file system, %zu files\n", role, path.c_str(), fileSystemName(listing.kind), listing.files.size());
    return true;
}

// The CRC32 of the image, with a warning when it is not the published one; false when unreadable.
bool checkCrc32(const Title& title, Release release, const std::string& path, uint32_t& crc, std::vector<std::string>& warnings) {
    std::string error;
    // The progress line is rewritten in place, so only a terminal gets it.
    const bool terminal = isatty(fileno(stderr));
    int shown = -1;
    const bool read = imageCrc32(path, crc, error, [&](double share) {
        const int percent = static_cast<int>(share * 100);
        if (!terminal || percent == shown) return;
        shown = percent;
        fprintf(stderr, "Reading %s for its CRC32: %d %%\r", path.c_str(), percent);
    });
    if (terminal) fprintf(stderr, "\n");
    if (!read) {
        fprintf(stderr, "frlayout: %s\n", error.c_str());
        return false;
    }
    const uint32_t published = title.releases[release].crc32;
    printf("CRC32 of %s: %08" PRIX32 "%s\n", path.c_str(), crc, crc == published ? ", the published one" : "");
    if (crc != published) {
        warnings.push_back(formatText("the CRC32 of %s is %08" PRIX32 ", not %08" PRIX32 ", the published one of the %s %s disc: "
                                      "this disc is another revision, and tables made from it fit only deltas made for it",
                                      path.c_str(), crc, published, releaseName(release), title.displayName));
    }
    return true;
}

// After a refused reading of a recognised image: a dump whose CRC32 is not the published one is
// probably damaged, and the maintainer should dump the disc again rather than look for a fault here.
void tellDamagedDump(const Title& title, Release release, const std::string& path) {
    uint32_t crc = 0;
    std::vector<std::string> unused;
    if (!checkCrc32(title, release, path, crc, unused)) return;
    const uint32_t published = title.releases[release].crc32;
    if (crc != published) {
        fprintf(stderr, "frlayout: the CRC32 of %s is %08" PRIX32 ", not %08" PRIX32 ", the published one of the %s %s disc: "
                "this dump is probably damaged; dump the disc again\n",
                path.c_str(), crc, published, releaseName(release), title.displayName);
        return;
    }
    fprintf(stderr, "frlayout: %s is the published %s %s dump (CRC32 %08" PRIX32 "), yet its file system cannot be read as "
            "said above\n", path.c_str(), releaseName(release), title.displayName, crc);
}

int runTitle(const Title& title, const std::string& usPath, const std::string& europeanPath, const std::string* outFolder) {
    if (!identifyPair(title, usPath, europeanPath)) return kRefused;
    DiscListing us, european;
    if (!readListing(usPath, "US", us)) {
        tellDamagedDump(title, US, usPath);
        return kRefused;
    }
    if (!readListing(europeanPath, "European", european)) {
        tellDamagedDump(title, European, europeanPath);
        return kRefused;
    }

    Findings findings;
    const TitleTables tables = deriveTitleTables(title, usPath, us, europeanPath, european, findings, [](const std::string& what) {
        printf("Deriving the %s\n", what.c_str());
        fflush(stdout);
    });
    printf("\n");
    const std::vector<std::string> facts = findings.problems.empty() ? brokenFacts(title, tables) : std::vector<std::string>{};
    std::vector<std::string> warnings;
    uint32_t crcs[2] = {};
    if (!checkCrc32(title, US, usPath, crcs[0], warnings) || !checkCrc32(title, European, europeanPath, crcs[1], warnings)) {
        return kRefused;
    }
    tell("Notes:", findings.notes);
    tell("WARNING:", warnings);
    tell("The tables break their model:", findings.problems);
    tell("The tables break published facts of the two layouts:", facts);
    if (!findings.problems.empty() || !facts.empty()) {
        fprintf(stderr, "frlayout: nothing was written\n");
        return kRefused;
    }

    if (!outFolder) {
        const std::vector<std::string> differences = differencesFromBuiltIn(title, tables);
        if (differences.empty()) {
            printf("The %s tables built into the patcher are those of these two discs.\n", title.displayName);
            return kDone;
        }
        tell("The tables built into the patcher are NOT those of these two discs:", differences);
        return kRefused;
    }
    const std::vector<std::string> heading = {
        formatText("Made by frlayout from the file systems of the US image %s (CRC32 %08" PRIX32 ")", baseName(usPath).c_str(), crcs[0]),
        formatText("and the European image %s (CRC32 %08" PRIX32 ").", baseName(europeanPath).c_str(), crcs[1]),
    };
    std::vector<DataFile> files;
    std::vector<std::string> problems;
    std::string error;
    if (!titleDataFiles(title, tables, heading, files, problems)) {
        tell("The tables cannot be written:", problems);
        fprintf(stderr, "frlayout: nothing was written\n");
        return kRefused;
    }
    if (!replaceDataFiles(*outFolder, files, error)) {
        fprintf(stderr, "frlayout: %s; nothing was written\n", error.c_str());
        return kRefused;
    }
    printf("Wrote %zu files to %s:\n", files.size(), outFolder->c_str());
    printf("  %s: %zu destination rows, %zu source rows\n", title.namesFile, tables.names.destination.size(),
           tables.names.source.size());
    for (size_t run = 0; run < tables.sounds.size(); ++run) {
        printf("  %s: %zu streams, proved by a rebuild\n", files[run + 1].name.c_str(), tables.sounds[run].offsets.size());
    }
    printf("Every published fact of the two layouts holds%s.\n", warnings.empty() ? "" : " (but see the WARNING above)");
    printf("Next: build again, run the tests, then patch a European image with frpatch_%s.\n", title.name);
    return kDone;
}

bool parseNumber(const char* text, uint32_t& value) {
    if (!*text || strspn(text, "0123456789") != strlen(text)) return false;
    errno = 0;
    const unsigned long long parsed = strtoull(text, nullptr, 10);
    if (errno || parsed > UINT32_MAX) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

int runNames(int argc, char** argv) {
    std::vector<std::string> images;
    NameArea area{0, 0, 0, true};
    bool haveArea = false, haveBase = false;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--area" || argument == "--base") && i + 1 == argc) return usage((argument + " needs a value").c_str());
        if (argument == "--area") {
            const std::string value = argv[++i];
            const size_t colon = value.find(':');
            if (colon == std::string::npos || !parseNumber(value.substr(0, colon).c_str(), area.firstSector) ||
                !parseNumber(value.substr(colon + 1).c_str(), area.sectors)) {
                return usage("--area takes FIRST:SECTORS, two decimal sector numbers");
            }
            haveArea = true;
        } else if (argument == "--base") {
            if (!parseNumber(argv[++i], area.baseSector)) return usage("--base takes a decimal sector number");
            haveBase = true;
        } else if (argument.rfind("--", 0) == 0) {
            return usage(("unknown option " + argument).c_str());
        } else {
            images.push_back(argument);
        }
    }
    if (images.size() != 2 || !haveArea || !haveBase) return usage("names takes two images, --area and --base");
    DiscListing us, european;
    std::string error;
    for (const auto& [path, listing] : {std::pair{images[0], &us}, std::pair{images[1], &european}}) {
        if (!readDiscFiles(path, *listing, error)) {
            fprintf(stderr, "frlayout: %s\n", error.c_str());
            ImageIdentity identity;
            if (identifyImage(path, identity, error)) tellDamagedDump(*identity.title, identity.release, path);
            return kRefused;
        }
    }
    Findings findings;
    const NameRows rows = deriveNameRows(us.files, european.files, area, findings);
    std::string text;
    const std::vector<std::string> heading = {
        formatText("Name table made by frlayout from %s and %s:", baseName(images[0]).c_str(), baseName(images[1]).c_str()),
        formatText("the US area of %" PRIu32 " sectors from sector %" PRIu32 ", source rows from European sector %" PRIu32 ".",
                   area.sectors, area.firstSector, area.baseSector),
    };
    nameTableText(rows, heading, text, findings.problems);
    tell("Notes:", findings.notes);
    if (!findings.problems.empty()) {
        tell("The table breaks its model:", findings.problems);
        return kRefused;
    }
    fputs(text.c_str(), stdout);
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage("no command");
    const std::string command = argv[1];
    if (command == "names") return runNames(argc, argv);
    const bool checking = command == "check";
    const int first = checking ? 2 : 1;
    const Title* title = argc > first ? findTitle(argv[first]) : nullptr;
    if (!title) return usage(("unknown game or command " + std::string(argc > first ? argv[first] : command)).c_str());
    std::vector<std::string> images;
    std::string outFolder = std::string(FRLAYOUT_SOURCE_DIR) + "/" + title->dataFolder;
    for (int i = first + 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--out" && !checking) {
            if (i + 1 == argc) return usage("--out needs a folder");
            outFolder = argv[++i];
        } else if (argument.rfind("--", 0) == 0) {
            return usage(("unknown option " + argument).c_str());
        } else {
            images.push_back(argument);
        }
    }
    if (images.size() != 2) return usage("give two images: the US one, then the European one");
    return runTitle(*title, images[0], images[1], checking ? nullptr : &outFolder);
}
