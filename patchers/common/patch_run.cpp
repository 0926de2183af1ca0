// One patcher run, the same for both games: each game is data, and the run does the rest.
#include "patchers/common/patch_run.h"

#include <cstring>

#include "patchers/common/console.h"
#include "patchers/common/delta_stage.h"
#include "patchers/common/file_search.h"
#include "platform/platform.h"

namespace {

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
    bool rebuild();
    bool runStages();
    // Removes an artefact; one that stays (Windows: still held) is tried again at the end.
    void remove(int artefact) { made_[artefact] = !removeWhenReleased(artefacts_.paths[artefact]); }
    void clearArtefacts() {
        for (int artefact = 0; artefact < artefacts_.count; ++artefact) {
            if (made_[artefact] && !kept_[artefact]) remove(artefact);
        }
    }

    const Game& game_;
    const ReleasePlan* release_ = nullptr;
    char startDirectory_[kPathBufferSize] = "";
    char imagePath_[kPathBufferSize] = "";
    char displayName_[kPathBufferSize] = "";
    char deltaName_[kPathBufferSize] = "";   // the found delta file, when the release has a prefix
    char deltaFolder_[kPathBufferSize] = ""; // where the decoder runs
    FileImageSource image_;
    Artefacts artefacts_;
    bool made_[1 + kMostStages] = {};        // may exist: the run created it or started its writer
    bool kept_[1 + kMostStages] = {};
    bool interrupted_ = false;               // a step stopped because the run was interrupted
};

void PatchRun::patch() {
    // A start directory too long for the path buffers holds no image the patcher could name.
    if (!platform::getCurrentDirectory(startDirectory_, sizeof startDirectory_)) {
        printNotFound(game_.notFound);
        return;
    }
    if (!findImage() || !findDelta()) return;
    printPatching();
    if (!deriveArtefacts(game_, *release_, imagePath_, artefacts_)) {
        printPathTooLong(displayName_);
        return;
    }
    if (!enoughSpace()) return;
    // From the first byte written on, an interruption ends the run through its cleanup.
    platform::catchInterruptions();
    if (!rebuild()) return;
    runStages();
}

bool PatchRun::findImage() {
    int release = -1;
    switch (findDiscImage(game_.signatures, game_.releaseCount, startDirectory_, imagePath_, displayName_, image_,
                          release)) {
    case ImageSearch::NotFound:
        printNotFound(game_.notFound);
        return false;
    case ImageSearch::CannotOpen:
        printCannotOpen(displayName_);
        return false;
    case ImageSearch::Found:
        break;
    }
    release_ = &game_.releases[release];
    printRecognised(static_cast<Release>(release), displayName_);
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

// The European image is rebuilt in the US layout first; nothing of it is left on failure.
bool PatchRun::rebuild() {
    if (!release_->rebuild) return true;
    TemporaryImage temporary(artefacts_.paths[0]);
    if (!temporary.isOpen()) {
        printCannotCreateTemporary();
        return false;
    }
    made_[0] = true;
    RebuildContext context{image_, temporary, release_->rebuildProgressTotal, release_->rebuildStageDivisor};
    if (runRebuildPlan(*release_->rebuild, context)) return true;
    interrupted_ = platform::interrupted();
    if (!interrupted_) printRebuildFailure(context.failure, displayName_);
    return false;
}

bool PatchRun::runStages() {
    image_.close();  // the decoder reads it on its own
    const int firstOutput = release_->rebuild ? 1 : 0;
    for (int stage = 0; stage < release_->stageCount; ++stage) {
        const StagePlan& plan = release_->stages[stage];
        const int output = firstOutput + stage;
        const int source = output - 1;  // -1: the player's image
        // A found delta file's name is quoted, as it may hold spaces; the fixed names are written bare.
        const DeltaStage delta = {deltaFolder_,
                                  source < 0 ? imagePath_ : artefacts_.paths[source],
                                  {plan.deltaName ? plan.deltaName : deltaName_, !plan.deltaName},
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
            return false;
        }
        if (source >= 0) remove(source);
    }
    const int french = artefacts_.count - 1;
    kept_[french] = true;
    printPatchSuccess(artefacts_.paths[french], startDirectory_);
    return true;
}

}  // namespace

bool deriveArtefacts(const Game& game, const ReleasePlan& release, const char* imagePath, Artefacts& artefacts) {
    artefacts.count = 0;
    if (release.stageCount < 1 || release.stageCount > kMostStages) return false;
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
