// One delta stage: the outside decoder started in the background and its output followed.
#include "patchers/common/delta_stage.h"

#include <cstdio>
#include <cstring>

#include "patchers/common/console.h"
#include "platform/platform.h"

namespace {

constexpr unsigned kPollMilliseconds = 10;
constexpr int kOpenAttempts = 500;
constexpr int kStallPolls = 500;
constexpr int kRemoveAttempts = 50;
constexpr unsigned kRemoveRetryMilliseconds = 100;

// The output's descriptor once it has appeared, or -1 when it never did.
int waitForOutput(const char* outputPath) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        platform::sleepMilliseconds(kPollMilliseconds);
        const int output = platform::openForReadingRaw(outputPath);
        if (output >= 0) return output;
    }
    return -1;
}

// Follows the output until it reaches the expected size (true) or stalls (false).
bool followOutput(const DeltaStage& stage, int output) {
    int64_t lastSize = -1;  // the first reading always counts as a change
    int stalls = 0;
    char lastShown[32] = "";
    for (;;) {
        const int64_t size = platform::descriptorLength(output);
        if (size == lastSize) {
            platform::sleepMilliseconds(kPollMilliseconds);
            if (++stalls >= kStallPolls) return false;
            continue;
        }
        lastSize = size;
        stalls = 0;
        const double percent = static_cast<double>(static_cast<long double>(size) / stage.expectedSize * 100);
        // The decoder grows its output in many small writes: the line is rewritten only when the
        // whole percentage it shows changes.
        const double shown = percent / stage.shownDivisor + stage.shownOffset;
        char text[32];
        snprintf(text, sizeof text, "%0.f", shown);
        if (strcmp(text, lastShown) != 0) printProgress(shown);
        strcpy(lastShown, text);
        if (size == static_cast<int64_t>(stage.expectedSize)) return true;
    }
}

}  // namespace

bool runDeltaStage(const DeltaStage& stage) {
    // An old output that stays (held open by another program, or not a file at all) would be
    // measured in place of the decoder's and, at its full size, pass for success: the stage fails.
    if (!removeWhenReleased(stage.outputPath)) return false;
    platform::runInBackground(stage.commandFormat, stage.arguments, stage.argumentCount);
    const int output = waitForOutput(stage.outputPath);
    const bool done = output >= 0 && followOutput(stage, output);
    platform::closeDescriptor(output);
    return done;
}

bool removeWhenReleased(const char* path) {
    for (int attempt = 0; attempt < kRemoveAttempts; ++attempt) {
        if (platform::removeFile(path) || !platform::fileExists(path)) return true;
        platform::sleepMilliseconds(kRemoveRetryMilliseconds);
    }
    return false;
}
