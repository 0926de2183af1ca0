// One delta stage: the outside decoder started in the background and its output followed.
#pragma once

#include <cstdint>

struct DeltaStage {
    const char* commandFormat;      // "start /b xdelta.exe ..." with one "%s" per argument
    const char* arguments[3];
    int argumentCount;
    const char* outputPath;         // the file the decoder writes
    uint64_t expectedSize;          // the output's size when the stage has succeeded
    double shownDivisor;            // progress shown = percent / divisor + offset
    double shownOffset;
};

// Removes any old output, starts the decoder, waits for its output to appear (500 tries, 10 ms
// apart) and follows its growth, printing the progress line. Returns true when the output has
// reached exactly the expected size, false when it never appeared or stopped growing for 500 polls
// in a row, or when an old output could not be removed (the decoder is then not started).
bool runDeltaStage(const DeltaStage& stage);

// Removes a file that the decoder may still hold open (Windows refuses the removal until it lets
// go), trying again for a few seconds; false when the file is still there.
bool removeWhenReleased(const char* path);
