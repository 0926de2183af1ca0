// One patcher run, the same for both games: each game is data, and the run does the rest.
#include "patchers/common/patch_run.h"

#include <cstring>

#include "patchers/common/console.h"
#include "patchers/common/delta_stage.h"
#include "patchers/common/file_search.h"
#include "patchers/common/image_crc.h"
#include "platform/platform.h"

namespace {

// The probe that tries the image's folder: shorter than every output's suffix, so it always fits
// where they do.
constexpr char kProbeSuffix[] = "_probe.tmp";

// The temporary image, which takes no more bytes once the run is interrupted.
class TemporaryImage final : public ImageSink {
public:
    explicit TemporaryImage(const char* path) : file_(path) {}
    bool isOpen() const { return file_.isOpen(); }
    bool append(const unsigned char* bytes, uint32_t count) override {
        return !platform::interrupted() && file_.append(bytes, count);
    }

private:
    FileImageSink file_;
};

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
    explicit PatchRun(const Game& game) : game_(game) {}
    PatchRun(const PatchRun&) = delete;
    PatchRun& operator=(const PatchRun&) = delete;

    // The run up to, not including, the closing prompt; every file it made and does not keep is
    // gone when this returns, an interruption included.
    void run() {
        patch();
        clearArtefacts();
        if (interrupted_) printInterrupted();
        platform::releaseInterruptions();
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
    // Removes an artefact; one that stays (Windows: still held) is tried again at the end.
    void remove(int artefact) { made_[artefact] = !removeWhenReleased(artefacts_.paths[artefact]); }
    void clearArtefacts() {
        for (int artefact = 0; artefact < artefacts_.count; ++artefact) {
            if (made_[artefact] && !kept_[artefact]) remove(artefact);
        }
    }

    const Game& game_;
    Release releaseKind_ = US;
    const ReleasePlan* release_ = nullptr;
    char startDirectory_[kPathBufferSize] = "";
    char imagePath_[kPathBufferSize] = "";
    char displayName_[kPathBufferSize] = "";
    char deltaName_[kPathBufferSize] = "";   // the found delta file, when the release has a prefix
    char deltaFolder_[kPathBufferSize] = ""; // where the decoder runs
    FileImageSource image_;
    Artefacts artefacts_;
    bool made_[Artefacts::kMost] = {};       // may exist: the run created it or started its writer
    bool kept_[Artefacts::kMost] = {};
    bool interrupted_ = false;               // a step stopped because the run was interrupted
};

void PatchRun::patch() {
    // A start directory too long for the path buffers holds no image the patcher could name.
    if (!platform::getCurrentDirectory(startDirectory_, sizeof startDirectory_)) {
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
    platform::catchInterruptions();
    if (!folderWritable() || !rebuild()) return;
    runStages();
}

bool PatchRun::findImage() {
    int release = -1;
    switch (findDiscImage(game_.signatures, game_.releaseCount, startDirectory_, imagePath_, displayName_, image_,
                          release)) {
    case ImageSearch::NotFound:
        printNotFound(game_.notFoundLine, game_.signatures);
        return false;
    case ImageSearch::CannotOpen:
        printCannotOpen(displayName_);
        return false;
    case ImageSearch::Found:
        break;
    }
    releaseKind_ = static_cast<Release>(release);
    release_ = &game_.releases[release];
    printRecognised(releaseKind_, displayName_);
    return true;
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
    while (findNextFile(rest, "iso")) {
    }
    const size_t prefixLength = strlen(release_->deltaPrefix);
    char deltaPath[kPathBufferSize];
    while (findNextFile(deltaPath, "xdelta")) {
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
// failing late as a CRC32 problem. When the system cannot tell, the run goes on.
bool PatchRun::enoughSpace() {
    char folder[kPathBufferSize];
    folderOf(imagePath_, folder);
    const uint64_t needed = bytesNeeded(*release_);
    uint64_t free = 0;
    if (!platform::freeSpace(folder, free) || free >= needed) return true;
    printNotEnoughSpace(folder, needed, free);
    return false;
}

// Without the decoder every stage must fail, a European one after minutes of rebuilding: it is
// named before anything is written, looked for as the stage will look for it.
bool PatchRun::decoderFound() {
    if (platform::decoderPresent(deltaFolder_)) return true;
    printDecoderMissing(platform::kDecoderName, deltaFolder_);
    return false;
}

// Every output goes beside the image: a folder that refuses a new file is named at once, rather than
// failing late as a CRC32 problem. The probe is only ever a file of the run's own making: a file of
// that name already there is the player's, left as it is, and the folder is then left to the stage.
bool PatchRun::folderWritable() {
    platform::FileHandle probe = platform::kNoFile;
    const platform::FileError error =
        platform::openFile(artefacts_.paths[Artefacts::kProbe], platform::FileAccess::Write,
                           platform::FileCreation::New, platform::FileSharing::Exclusive, false, probe);
    if (error == platform::FileError::Exists) return true;
    if (error != platform::FileError::None) {
        char folder[kPathBufferSize];
        folderOf(imagePath_, folder);
        printFolderWriteProtected(folder);
        return false;
    }
    made_[Artefacts::kProbe] = true;
    platform::closeFile(probe);
    remove(Artefacts::kProbe);
    return true;
}

// The European image is rebuilt in the US layout first; nothing of it is left on failure.
bool PatchRun::rebuild() {
    if (!release_->rebuild) return true;
    TemporaryImage temporary(artefacts_.paths[Artefacts::kTemporary]);
    if (!temporary.isOpen()) {
        printCannotCreateTemporary();
        return false;
    }
    made_[Artefacts::kTemporary] = true;
    RebuildContext context{image_, temporary, release_->rebuildProgressTotal, release_->rebuildStageDivisor};
    context.progress = printProgress;
    if (runRebuildPlan(*release_->rebuild, context)) return true;
    interrupted_ = platform::interrupted();
    if (!interrupted_) printRebuildFailure(context.failure, displayName_);
    return false;
}

bool PatchRun::runStages() {
    image_.close();  // the decoder reads it on its own
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
        const StageOutcome outcome = platform::interrupted() ? StageOutcome::Interrupted : runDeltaStage(delta);
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
    if (image_.open(imagePath_) != platform::FileError::None) {
        printCannotRead(displayName_);
        return;
    }
    const uint32_t published = game_.signatures[releaseKind_].crc32;
    if (checkImageCrc32(image_, displayName_, releaseKind_, published, deltaName) == ImageCheck::Interrupted) {
        interrupted_ = true;
    }
    image_.close();
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

uint64_t bytesNeeded(const ReleasePlan& release) {
    uint64_t source = release.rebuild ? rebuiltSize(*release.rebuild) : 0;  // 0: the player's image
    uint64_t most = source;
    for (int stage = 0; stage < release.stageCount; ++stage) {
        const uint64_t output = release.stages[stage].expectedSize;
        if (source + output > most) most = source + output;
        source = output;
    }
    return most;
}

int runPatcher(const Game& game) {
    platform::consolePrintf(game.banner, kCCedilla);
    PatchRun run(game);
    run.run();
    // A console that was closed, or a program told to end, has no one to answer the prompt.
    if (platform::interruption() != platform::Interruption::Ended) closeRun();
    return 0;
}
