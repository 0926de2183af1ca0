// One delta stage: the outside decoder started in the background and its output followed.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct DeltaStage {
    const char* folder;                // where the decoder runs: the delta file's folder
    const char* source;                // what the decoder reads, a full path
    platform::ProgramArgument delta;   // the delta file, named in `folder`
    const char* output;                // what the decoder writes, a full path
    uint64_t expectedSize;             // the output's size when the stage has succeeded
    double shownDivisor;               // progress shown = percent / divisor + offset
    double shownOffset;
};

enum class StageOutcome { Done, Failed, Interrupted };

// Removes any old output, starts the decoder ("-d -fs SOURCE DELTA OUTPUT", the paths quoted), waits
// for its output to appear (500 tries, 10 ms apart) and follows its growth, printing the progress
// line. Done when the output has reached exactly the expected size; Failed when it never appeared
// or stopped growing for 500 polls in a row, or when an old output could not be removed (the decoder
// is then not started); Interrupted as soon as the run is. The decoder is over when this returns:
// after success it is given a few seconds to end on its own, otherwise it is stopped at once.
StageOutcome runDeltaStage(const DeltaStage& stage);

// Removes a file that the decoder may still hold open (Windows refuses the removal until it lets
// go), trying again for a few seconds; false when the file is still there.
bool removeWhenReleased(const char* path);
