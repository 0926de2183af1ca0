// One patcher run, the same for both games: each game is data, and the run does the rest.
#include "patchers/common/patch_run.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "patchers/common/console_conventions.h"
#include "patchers/common/decoder.h"
#include "patchers/common/image_check.h"
#include "patchers/common/recognition.h"
#include "patchers/common/run_system.h"
#include "platform/directory_walk.h"

namespace {

// The probe that tries the image's folder: shorter than every output's suffix, so it always fits
// where they do.
constexpr char kProbeSuffix[] = "_probe.tmp";

// Files that may hold the game in another form, and what each is: said after the not-found message.
struct OtherFormatExtension {
    const char* extension;
    OtherFormat kind;
};
const OtherFormatExtension kOtherFormats[] = {
    {"7z", OtherFormat::Archive},          {"rar", OtherFormat::Archive},         {"zip", OtherFormat::Archive},
    {"gz", OtherFormat::Archive},          {"chd", OtherFormat::CompressedImage}, {"cso", OtherFormat::CompressedImage},
    {"zso", OtherFormat::CompressedImage}, {"ecm", OtherFormat::CompressedImage}, {"bin", OtherFormat::OtherImage},
    {"mdf", OtherFormat::OtherImage},      {"nrg", OtherFormat::OtherImage},      {"img", OtherFormat::OtherImage},
};
constexpr int kMostOtherFormatsNamed = 3;

OtherFormat otherFormatOf(const char* name) {
    for (const OtherFormatExtension& format : kOtherFormats) {
        if (platform::matchesExtension(name, format.extension, platform::ExtensionRule::AfterLastDot)) return format.kind;
    }
    return OtherFormat::None;
}

// Whether a folder is one that an archive viewer makes for a program run from inside an archive:
// named as the archive ("Temp1_frpatch.zip" is Windows' own), or as 7-Zip's and WinRAR's copies.
bool isArchiveCopy(const char* folder) {
    static const char* const kArchiveEnds[] = {"zip", "7z", "rar"};
    for (const char* end : kArchiveEnds) {
        if (platform::matchesExtension(folder, end, platform::ExtensionRule::AfterLastInnerDot)) return true;
    }
    return strncmp(folder, "7zO", 3) == 0 || strncmp(folder, "Rar$EX", 6) == 0;
}

// The folder of a full path, without its last separator unless it is a root ("/", "D:\").
void folderOf(const char* path, char* folder) {
    strcpy(folder, path);
    char* last = strrchr(folder, platform::kPathSeparator);
    if (!last) return;
    const bool root = last == folder || (last == folder + 2 && folder[1] == ':');
    last[root ? 1 : 0] = '\0';
}

// What one run works with, from the image search to the end, and the one list of files it made.
class PatchRun {
public:
    PatchRun(const Game& game, RunSystem& system) : game_(game), system_(system) {}
    PatchRun(const PatchRun&) = delete;
    PatchRun& operator=(const PatchRun&) = delete;

    // The run up to, not including, the closing prompt; every file it made and does not keep is
    // gone when this returns, an interruption included, and the player's image is closed.
    void run() {
        patch();
        image_.reset();
        clearArtefacts();
        if (interrupted_) printInterrupted();
        system_.releaseInterruptions();
    }

private:
    void patch();
    bool findImage();
    bool findDelta();
    bool enoughSpace();
    bool decoderFound();
    bool folderWritable();
    bool rebuild();
    bool runStages();
    void checkImage(const char* deltaName);
    void adviseAfterNotFound();
    // Removes an artefact; one that stays (Windows: still held) is tried again at the end.
    void remove(int artefact) { made_[artefact] = !system_.removeFile(artefacts_.paths[artefact]); }
    void clearArtefacts() {
        for (int artefact = 0; artefact < artefacts_.count; ++artefact) {
            if (made_[artefact] && !kept_[artefact]) remove(artefact);
        }
    }

    const Game& game_;
    RunSystem& system_;
    Release releaseKind_ = US;
    const ReleasePlan* release_ = nullptr;
    char startDirectory_[kPathBufferSize] = "";
    char imagePath_[kPathBufferSize] = "";
    char displayName_[kPathBufferSize] = "";
    char deltaName_[kPathBufferSize] = "";   // the found delta file, when the release has a prefix
    char deltaFolder_[kPathBufferSize] = ""; // where the decoder runs
    std::unique_ptr<ImageSource> image_;     // the player's image, while the run reads it
    Artefacts artefacts_;
    bool made_[Artefacts::kMost] = {};       // may exist: the run created it or started its writer
    bool kept_[Artefacts::kMost] = {};
    bool interrupted_ = false;               // a step stopped because the run was interrupted
};

void PatchRun::patch() {
    // A start directory too long for the path buffers holds no image the patcher could name.
    if (!system_.currentDirectory(startDirectory_, sizeof startDirectory_)) {
        printNotFound(game_.notFoundLine, game_.signatures);
        return;
    }
    if (!findImage() || !findDelta()) return;
    printPatching();
    if (!deriveArtefacts(game_, *release_, imagePath_, artefacts_)) {
        printPathTooLong(displayName_);
        return;
    }
    if (!enoughSpace() || !decoderFound()) return;
    // From the first file written on, an interruption ends the run through its cleanup.
    system_.catchInterruptions();
    if (!folderWritable() || !rebuild()) return;
    runStages();
}

// Walks the tree for ".iso" files and takes the first that recogniseRelease places; a pipe or a
// device so named is passed over. The walk is left suspended at the image taken, with its directory
// current; the first image that cannot be opened ends the search.
bool PatchRun::findImage() {
    while (system_.nextFile(imagePath_, "iso")) {
        makeDisplayName(imagePath_, startDirectory_, displayName_);
        platform::FileError error = platform::FileError::None;
        image_ = system_.openImage(imagePath_, error);
        // A pipe or a device named like an image is no image: passed over like a folder.
        if (error == platform::FileError::NotAFile) continue;
        if (!image_) {
            printCannotOpen(displayName_);
            return false;
        }
        const int release = recogniseRelease(*image_, game_.signatures, game_.releaseCount);
        if (release < 0) {
            image_.reset();
            continue;
        }
        releaseKind_ = static_cast<Release>(release);
        release_ = &game_.releases[release];
        printRecognised(releaseKind_, displayName_);
        return true;
    }
    printNotFound(game_.notFoundLine, game_.signatures);
    adviseAfterNotFound();
    return false;
}

// What players most often meet when their image is not found: a program started from inside an
// archive, whose viewer copied it alone into a folder of its own; or the game kept in another form.
void PatchRun::adviseAfterNotFound() {
    char folders[kPathBufferSize];
    strcpy(folders, startDirectory_);
    const char* archive = nullptr;
    for (char* name = strtok(folders, "/\\"); name; name = strtok(nullptr, "/\\")) {
        if (isArchiveCopy(name)) archive = name;
    }
    if (archive) printStartedInsideArchive(archive);

    char path[kPathBufferSize];
    char names[kMostOtherFormatsNamed][kPathBufferSize];
    const char* shown[kMostOtherFormatsNamed];
    OtherFormat kinds[kMostOtherFormatsNamed];
    int count = 0;
    // The walk is run to its end, which leaves the start directory current again.
    while (system_.nextFile(path, "*")) {
        const char* name = strrchr(path, platform::kPathSeparator);
        const OtherFormat kind = otherFormatOf(name ? name + 1 : path);
        if (kind == OtherFormat::None || count == kMostOtherFormatsNamed) continue;
        makeDisplayName(path, startDirectory_, names[count]);
        shown[count] = names[count];
        kinds[count++] = kind;
    }
    if (count > 0) printOtherFormats(shown, kinds, count);
}

// The release's delta file, searched below the start by its prefix; a release without a prefix
// has its delta files beside the image.
bool PatchRun::findDelta() {
    if (!release_->deltaPrefix) {
        folderOf(imagePath_, deltaFolder_);
        return true;
    }
    // The delta walk starts from the start directory again: the image walk is run to its end.
    char rest[kPathBufferSize];
    while (system_.nextFile(rest, "iso")) {
    }
    const size_t prefixLength = strlen(release_->deltaPrefix);
    char deltaPath[kPathBufferSize];
    while (system_.nextFile(deltaPath, "xdelta")) {
        strcpy(deltaName_, deltaPath);
        keepFileName(deltaName_);
        if (strncmp(deltaName_, release_->deltaPrefix, prefixLength) != 0) continue;
        folderOf(deltaPath, deltaFolder_);
        return true;
    }
    platform::consoleLine(release_->noDeltaLine);
    return false;
}

// A volume too small for what the run writes is named before the first byte is written, rather than
// failing late as a CRC32 problem; the files of an earlier run that this one replaces count as room.
// When the system cannot tell, the run goes on.
bool PatchRun::enoughSpace() {
    char folder[kPathBufferSize];
    folderOf(imagePath_, folder);
    std::vector<uint64_t> oldBytes(static_cast<size_t>(artefacts_.count), 0);
    for (int artefact = Artefacts::kProbe + 1; artefact < artefacts_.count; ++artefact) {
        if (!system_.fileSize(artefacts_.paths[artefact], oldBytes[artefact])) oldBytes[artefact] = 0;
    }
    const uint64_t needed = bytesNeeded(*release_, oldBytes);
    uint64_t free = 0;
    if (!system_.freeSpace(folder, free) || free >= needed) return true;
    printNotEnoughSpace(folder, needed, free);
    return false;
}

// Without the decoder every stage must fail, a European one after minutes of rebuilding: it is
// named before anything is written, looked for as the stage will look for it.
bool PatchRun::decoderFound() {
    if (system_.decoderPresent(deltaFolder_)) return true;
    printDecoderMissing(kDecoderName, deltaFolder_);
    return false;
}

// Every output goes beside the image: a folder that refuses a new file is named at once, rather than
// failing late as a CRC32 problem. The probe is only ever a file of the run's own making: a file of
// that name already there is the player's, left as it is, and the folder is then left to the stage.
bool PatchRun::folderWritable() {
    const platform::FileError error = system_.createNewFile(artefacts_.paths[Artefacts::kProbe]);
    if (error == platform::FileError::Exists) return true;
    if (error != platform::FileError::None) {
        char folder[kPathBufferSize];
        folderOf(imagePath_, folder);
        printFolderWriteProtected(folder);
        return false;
    }
    made_[Artefacts::kProbe] = true;
    remove(Artefacts::kProbe);
    return true;
}

// The European image is rebuilt in the US layout first; nothing of it is left on failure.
bool PatchRun::rebuild() {
    if (!release_->rebuild) return true;
    std::unique_ptr<ImageSink> file = system_.createImage(artefacts_.paths[Artefacts::kTemporary]);
    if (!file) {
        printCannotCreateTemporary();
        return false;
    }
    made_[Artefacts::kTemporary] = true;
    // The temporary image takes no more bytes once the run is interrupted.
    StoppableSink temporary(*file, [this] { return system_.interrupted(); });
    RebuildContext context{*image_, temporary, release_->rebuildProgressTotal, release_->rebuildStageDivisor};
    context.progress = printProgress;
    if (runRebuildPlan(*release_->rebuild, context)) return true;
    interrupted_ = system_.interrupted();
    if (!interrupted_) printRebuildFailure(context.failure, displayName_);
    return false;
}

bool PatchRun::runStages() {
    image_.reset();  // the decoder reads it on its own
    const int firstOutput = Artefacts::kProbe + 1 + (release_->rebuild ? 1 : 0);
    for (int stage = 0; stage < release_->stageCount; ++stage) {
        const StagePlan& plan = release_->stages[stage];
        const int output = firstOutput + stage;
        const bool fromImage = stage == 0 && !release_->rebuild;  // else from the artefact before
        const int source = output - 1;
        const char* deltaName = plan.deltaName ? plan.deltaName : deltaName_;
        // A found delta file's name is quoted, as it may hold spaces; the fixed names are written bare.
        const DeltaStage delta = {deltaFolder_,
                                  fromImage ? imagePath_ : artefacts_.paths[source],
                                  {deltaName, !plan.deltaName},
                                  artefacts_.paths[output],
                                  plan.expectedSize,
                                  plan.shownDivisor,
                                  plan.shownOffset};
        made_[output] = true;
        const StageOutcome outcome = system_.interrupted() ? StageOutcome::Interrupted : system_.runStage(delta);
        if (outcome == StageOutcome::Interrupted) {
            interrupted_ = true;
            return false;
        }
        if (outcome == StageOutcome::Failed) {
            printPatchFailure(displayName_);
            checkImage(deltaName);
            return false;
        }
        if (!fromImage) remove(source);
    }
    const int french = artefacts_.count - 1;
    kept_[french] = true;
    printPatchSuccess(artefacts_.paths[french], startDirectory_);
    return true;
}

// A failed stage says the image is not correct, whatever the cause: its CRC32 tells the player
// whether it is another dump, or the right image and the patch files are to blame.
void PatchRun::checkImage(const char* deltaName) {
    platform::FileError error = platform::FileError::None;
    image_ = system_.openImage(imagePath_, error);
    if (!image_) {
        printCannotRead(displayName_);
        return;
    }
    const uint32_t published = game_.signatures[releaseKind_].crc32;
    const ImageCheck check = checkImageCrc32(*image_, displayName_, releaseKind_, published, deltaName,
                                             [this] { return system_.interrupted(); });
    if (check == ImageCheck::Interrupted) interrupted_ = true;
    image_.reset();
}

}  // namespace

bool deriveArtefacts(const Game& game, const ReleasePlan& release, const char* imagePath, Artefacts& artefacts) {
    artefacts.count = 0;
    if (release.stageCount < 1 || release.stageCount > kMostStages) return false;
    if (!deriveImagePath(imagePath, kProbeSuffix, artefacts.paths[artefacts.count++])) return false;
    if (release.rebuild && !deriveImagePath(imagePath, game.temporarySuffix, artefacts.paths[artefacts.count++])) {
        return false;
    }
    for (int stage = 0; stage < release.stageCount; ++stage) {
        if (!deriveImagePath(imagePath, release.stages[stage].outputSuffix, artefacts.paths[artefacts.count++])) {
            return false;
        }
    }
    return true;
}

uint64_t bytesNeeded(const ReleasePlan& release, const std::vector<uint64_t>& oldBytes) {
    // The artefacts' sizes as the run goes, in the order of deriveArtefacts; what the run adds to
    // the volume at a moment is their sum less the sum of the sizes they had before it.
    const int count = 1 + (release.rebuild ? 1 : 0) + release.stageCount;
    std::vector<uint64_t> before(static_cast<size_t>(count), 0);
    for (size_t i = 0; i < before.size() && i < oldBytes.size(); ++i) before[i] = oldBytes[i];
    std::vector<uint64_t> now = before;
    uint64_t beforeTotal = 0;
    for (uint64_t bytes : before) beforeTotal += bytes;
    uint64_t most = 0;
    const auto measure = [&] {
        uint64_t total = 0;
        for (uint64_t bytes : now) total += bytes;
        if (total > beforeTotal) most = std::max(most, total - beforeTotal);
    };
    int artefact = Artefacts::kProbe + 1;
    if (release.rebuild) {
        now[static_cast<size_t>(artefact++)] = rebuiltSize(*release.rebuild);  // emptied, then written
        measure();
    }
    for (int stage = 0; stage < release.stageCount; ++stage, ++artefact) {
        now[static_cast<size_t>(artefact)] = release.stages[stage].expectedSize;  // the old output goes first
        measure();
        // The stage's source goes once it has succeeded, when the run made it.
        if (artefact > Artefacts::kProbe + 1) now[static_cast<size_t>(artefact - 1)] = 0;
    }
    return most;
}

int runPatcher(const Game& game, RunSystem& system) {
    platform::consolePrintf(game.banner, kCCedilla);
    PatchRun run(game, system);
    run.run();
    // A console that was closed, or a program told to end, has no one to answer the prompt.
    if (system.interruption() != platform::Interruption::Ended) {
        printClosingPrompt();
        system.waitForKey();
    }
    return 0;
}

int runPatcher(const Game& game) {
    const std::unique_ptr<RunSystem> system = makePlatformRunSystem();
    return runPatcher(game, *system);
}
