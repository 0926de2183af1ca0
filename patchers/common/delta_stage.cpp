// One delta stage: the outside decoder started in the background and its output followed.
#include "patchers/common/delta_stage.h"

#include "patchers/common/console_conventions.h"
#include "patchers/common/decoder.h"
#include "platform/platform.h"

namespace {

constexpr unsigned kPollMilliseconds = 10;
constexpr int kOpenAttempts = 500;
constexpr int kStallPolls = 500;
constexpr int kRemoveAttempts = 50;
constexpr unsigned kRemoveRetryMilliseconds = 100;
// A decoder that has written its whole output ends at once; one that does not is stopped.
constexpr int kEndPolls = 500;

// Opens the output once it has appeared; false when it never did or the run was interrupted.
bool waitForOutput(const char* outputPath, platform::FileHandle& output) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        platform::sleepMilliseconds(kPollMilliseconds);
        if (platform::interrupted()) return false;
        if (platform::openFile(outputPath, platform::FileAccess::Read, platform::FileCreation::OpenExisting,
                               platform::FileSharing::Shared, false, output) == platform::FileError::None) {
            return true;
        }
    }
    return false;
}

// Follows the output until it reaches the expected size (true), stalls or the run is interrupted.
bool followOutput(const DeltaStage& stage, platform::FileHandle output) {
    int64_t lastSize = -1;  // the first reading always counts as a change
    int stalls = 0;
    // The decoder grows its output in many small writes.
    ProgressLine progress;
    while (!platform::interrupted()) {
        uint64_t length = 0;
        const int64_t size = platform::fileSize(output, length) ? static_cast<int64_t>(length) : -1;
        if (size == lastSize) {
            platform::sleepMilliseconds(kPollMilliseconds);
            if (++stalls >= kStallPolls) return false;
            continue;
        }
        lastSize = size;
        stalls = 0;
        const double percent = static_cast<double>(static_cast<long double>(size) / stage.expectedSize * 100);
        progress.show(percent / stage.shownDivisor + stage.shownOffset);
        if (size == static_cast<int64_t>(stage.expectedSize)) return true;
    }
    return false;
}

// Gives a decoder that has written its output time to end on its own; one that does not is stopped.
void awaitDecoder(platform::Process& decoder) {
    for (int poll = 0; poll < kEndPolls && !platform::processEnded(decoder); ++poll) {
        platform::sleepMilliseconds(kPollMilliseconds);
    }
    platform::stopProcess(decoder, kDecoderStopGraceMilliseconds);
}

}  // namespace

StageOutcome runDeltaStage(const DeltaStage& stage) {
    // An old output that stays (held open by another program, or not a file at all) would be
    // measured in place of the decoder's and, at its full size, pass for success: the stage fails.
    if (!removeWhenReleased(stage.output)) return StageOutcome::Failed;
    const platform::ProgramArgument arguments[] = {
        {"-d", false}, {"-fs", false}, {stage.source, true}, stage.delta, {stage.output, true}};
    platform::Process decoder = platform::startInBackground(kDecoderName, arguments, 5, stage.folder);
    platform::FileHandle output = platform::kNoFile;
    const bool done = waitForOutput(stage.output, output) && followOutput(stage, output);
    platform::closeFile(output);
    if (done) {
        awaitDecoder(decoder);
        return StageOutcome::Done;
    }
    // Stopped before it writes on, into an output that the run is about to remove.
    platform::stopProcess(decoder, kDecoderStopGraceMilliseconds);
    return platform::interrupted() ? StageOutcome::Interrupted : StageOutcome::Failed;
}

bool removeWhenReleased(const char* path) {
    for (int attempt = 0; attempt < kRemoveAttempts; ++attempt) {
        const platform::FileError error = platform::removeFile(path);
        if (error == platform::FileError::None || error == platform::FileError::Missing) return true;
        // Only a file that another program holds may come free by waiting.
        if (error != platform::FileError::Busy && error != platform::FileError::Denied) return false;
        platform::sleepMilliseconds(kRemoveRetryMilliseconds);
    }
    return false;
}
