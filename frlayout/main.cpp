// frlayout: makes a game's layout tables from a US and a European disc, checks them against what is
// published of the two layouts, and writes them to the game's data folder (or compares them with
// the tables built in, or prints the name table of any area); rebuilds a European image as the
// patchers do, and makes and proves a game's delta files.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "frlayout/child_process.h"
#include "frlayout/data_folder.h"
#include "frlayout/delta_making.h"
#include "frlayout/disc_files.h"
#include "frlayout/disc_identity.h"
#include "frlayout/image_rebuild.h"
#include "frlayout/table_text.h"
#include "frlayout/table_making.h"
#include "patchers/common/layout_facts.h"
#include "platform/platform.h"

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;
constexpr int kInterrupted = 130;

const char* const kUsageText =
    "usage: frlayout elvane|velmora US.iso EU.iso [--out FOLDER]\n"
    "           makes the game's layout tables from its two discs and writes them to its data folder\n"
    "           (default: " FRLAYOUT_SOURCE_DIR "/patchers/GAME/data)\n"
    "       frlayout check elvane|velmora US.iso EU.iso\n"
    "           tells whether the tables built into the patcher are those of the two discs\n"
    "       frlayout names US.iso EU.iso --area FIRST:SECTORS --base SECTOR\n"
    "           prints the name table of that US area, with source rows from that European sector\n"
    "       frlayout rebuild elvane|velmora EU.iso OUT.iso\n"
    "           writes the European image rebuilt into the US layout, as the patcher's European run does\n"
    "       frlayout deltas elvane|velmora US.iso EU.iso FRENCH.iso --out DIR [--version TEXT] [--scratch FOLDER]\n"
    "           makes the game's delta files, proves them with the built patcher and writes them to DIR\n"
    "           (--version: in the Elvane delta names, default " FRLAYOUT_VERSION "; --scratch: where the\n"
    "           proof runs, on the file system of the images, default the European image's folder)\n";

int usage(const char* why) {
    fprintf(stderr, "frlayout: %s\n%s", why, kUsageText);
    return kUsage;
}

void tell(const char* heading, const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    fprintf(stderr, "%s\n", heading);
    for (const std::string& line : lines) fprintf(stderr, "  - %s\n", line.c_str());
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
    const uint32_t published = title.game->signatures[release].crc32;
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
    const uint32_t published = title.game->signatures[release].crc32;
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
    FileImageSource usImage(usPath.c_str()), europeanImage(europeanPath.c_str());
    const TitleTables tables = deriveTitleTables(title, usImage, us, europeanImage, european, findings, [](const std::string& what) {
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


// The progress of a long step, rewritten in place; only a terminal gets it.
class TerminalProgress final : public DeltaProgress {
public:
    TerminalProgress() : terminal_(isatty(fileno(stderr))) {}
    ~TerminalProgress() override { endLine(); }
    void step(const std::string& what) override {
        endLine();
        printf("%s\n", what.c_str());
        fflush(stdout);
    }
    void share(double done) override {
        const int percent = static_cast<int>(done * 100);
        if (!terminal_ || percent == shown_) return;
        shown_ = percent;
        fprintf(stderr, "  %d %%\r", percent);
    }

private:
    void endLine() {
        if (terminal_ && shown_ >= 0) fprintf(stderr, "\n");
        shown_ = -1;
    }
    bool terminal_;
    int shown_ = -1;
};

// The European image of `title`, recognised; false after saying why not.
bool isEuropeanImage(const Title& title, const std::string& path) {
    ImageIdentity identity{};
    std::string error;
    if (!identifyImage(path, identity, error)) {
        fprintf(stderr, "frlayout: %s\n", error.c_str());
        return false;
    }
    if (identity.title != &title || identity.release != European) {
        fprintf(stderr, "frlayout: %s is the %s image of %s; frlayout rebuild %s takes the European image of %s\n", path.c_str(),
                releaseName(identity.release), identity.title->displayName, title.name, title.displayName);
        return false;
    }
    return true;
}

int runRebuild(int argc, char** argv) {
    if (argc != 5) return usage("rebuild takes a game, the European image and the file to write");
    const Title* title = findTitle(argv[2]);
    if (!title) return usage(("unknown game " + std::string(argv[2])).c_str());
    const std::string european = argv[3], out = argv[4];
    if (!isEuropeanImage(*title, european)) return kRefused;
    TerminalProgress progress;
    progress.step("Rebuilding " + european + " into the US layout of " + title->displayName);
    platform::catchInterruptions();
    std::string error;
    const bool rebuilt = rebuildEuropeanImage(*title, european, out, [&](double percent) { progress.share(percent / 100); }, error);
    const bool interrupted = platform::interrupted();
    platform::releaseInterruptions();
    progress.step(rebuilt ? "Wrote " + out + ": " + std::to_string(rebuiltSize(*title->plan)) +
                                " bytes, the temporary image of a European run of frpatch_" + title->name
                          : "frlayout: " + error + "; nothing was written");
    if (rebuilt) return kDone;
    return interrupted ? kInterrupted : kRefused;
}

// A version that can stand in a file name on every system: letters, digits, '.', '_' and '-'.
bool isVersionText(const std::string& text) {
    return !text.empty() && text.size() <= 40 &&
           text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") == std::string::npos;
}

void printDeltaReport(const DeltaRequest& request, const DeltaReport& report) {
    tell("Notes:", report.notes);
    tell("WARNING:", report.warnings);
    printf("\nDelta files of %s in %s:\n", request.title->displayName, request.outFolder.c_str());
    for (const MadeDelta& made : report.deltas) {
        printf("  %-32s %10s  from %s to %s\n", made.job.name.c_str(), sizeText(made.bytes).c_str(), deltaImageName(made.job.from),
               deltaImageName(made.job.to));
    }
    printf("Made with %s", baseName(request.decoder).c_str());
    for (size_t i = 0; i < kEncoderOptionCount; ++i) printf(" %s", kEncoderOptions[i]);
    printf(": no LZMA, window checksums on.\nTime of each step:\n");
    for (const StepTime& step : report.steps) printf("  %7.1f s  %s\n", step.seconds, step.what.c_str());
    printf("Proof:\n");
    for (const std::string& line : report.proof) printf("  %s\n", line.c_str());
}

int runDeltas(int argc, char** argv) {
    const Title* title = argc > 2 ? findTitle(argv[2]) : nullptr;
    if (!title) return usage(argc > 2 ? ("unknown game " + std::string(argv[2])).c_str() : "deltas takes a game");
    DeltaRequest request;
    request.title = title;
    request.version = FRLAYOUT_VERSION;
    bool versionGiven = false;
    std::vector<std::string> images;
    for (int i = 3; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--out" || argument == "--version" || argument == "--scratch") && i + 1 == argc) {
            return usage((argument + " needs a value").c_str());
        }
        if (argument == "--out") {
            request.outFolder = argv[++i];
        } else if (argument == "--version") {
            request.version = argv[++i];
            versionGiven = true;
        } else if (argument == "--scratch") {
            request.scratchParent = argv[++i];
        } else if (argument.rfind("--", 0) == 0) {
            return usage(("unknown option " + argument).c_str());
        } else {
            images.push_back(argument);
        }
    }
    if (images.size() != 3) return usage("give three images: the US one, the European one and the French one");
    if (request.outFolder.empty()) return usage("deltas needs --out DIR, the folder of the delta files");
    if (!isVersionText(request.version)) return usage("--version takes up to 40 letters, digits, '.', '_' or '-'");
    const bool versioned = title->game->releases[US].deltaPrefix != nullptr;
    if (versionGiven && !versioned) {
        return usage((std::string("the delta files of ") + title->displayName + " have fixed names: leave --version out").c_str());
    }
    request.usImage = images[0];
    request.europeanImage = images[1];
    request.frenchImage = images[2];
    if (request.scratchParent.empty()) request.scratchParent = folderOf(request.europeanImage);
    request.decoder = findOnSearchPath("xdelta3");
    if (request.decoder.empty()) {
        fprintf(stderr, "frlayout: xdelta3 is not on the search path: install Debian's xdelta3 (bash tools/setup.sh does)\n");
        return kRefused;
    }
    request.programFolder = ownFolder();

    DeltaReport report;
    bool made = false;
    {
        TerminalProgress progress;
        made = makeDeltas(request, progress, report);
    }
    if (!made) {
        tell("WARNING:", report.warnings);
        if (report.error == "interrupted") {
            fprintf(stderr, "frlayout: interrupted; %s is as it was, and the scratch files are removed\n", request.outFolder.c_str());
            return kInterrupted;
        }
        fprintf(stderr, "frlayout: %s\nNothing was written: %s is as it was.\n", report.error.c_str(), request.outFolder.c_str());
        return kRefused;
    }
    printDeltaReport(request, report);
    printf("Next: bash tools/package.sh --with-delta %s\n", request.outFolder.c_str());
    return kDone;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage("no command");
    const std::string command = argv[1];
    if (command == "names") return runNames(argc, argv);
    if (command == "rebuild") return runRebuild(argc, argv);
    if (command == "deltas") return runDeltas(argc, argv);
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
