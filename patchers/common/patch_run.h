// One patcher run, the same for both games: each game is data, and the run does the rest.
#pragma once

#include <cstdint>
#include <vector>

#include "patchers/common/messages.h"
#include "patchers/common/path_text.h"
#include "patchers/common/rebuild.h"
#include "patchers/common/recognition.h"

// One delta stage of a release. The decoder turns the stage's source into its output, next to the
// image: the first stage reads the temporary image (or the player's image when the release is not
// rebuilt), each later stage the output of the stage before it. A stage's source that the run made
// goes once the stage has succeeded.
struct StagePlan {
    const char* deltaName;     // the delta file beside the image; nullptr: the release's delta file, found by its prefix
    const char* outputSuffix;  // replaces the image's extension: "_prepatched.iso", "_patched.iso"
    uint64_t expectedSize;     // the output's size when the stage has succeeded
    double shownDivisor;       // progress shown = percent / divisor + offset
    double shownOffset;
};

// What a run does with one release of the game. The last stage writes the French image.
struct ReleasePlan {
    const RebuildPlan* rebuild;      // into the temporary image first; nullptr: not rebuilt
    uint32_t rebuildProgressTotal;   // the byte count that stands for 100 % of the rebuild
    uint8_t rebuildStageDivisor;     // the rebuild shows 0 to 100 / divisor % of the run
    const char* deltaPrefix;         // the delta file is searched below the start by this name prefix
    const char* noDeltaLine;         // said when no delta file has the prefix
    const StagePlan* stages;
    int stageCount;                  // at most kMostStages
};

constexpr int kMostStages = 3;

struct Game {
    const char* banner;                   // one %c for "ç"
    const ReleaseSignature* signatures;   // US first, then European
    const ReleasePlan* releases;          // in the same order
    int releaseCount;
    const char* notFoundLine;             // "Impossible de trouver le fichier ISO ..."
    const char* temporarySuffix;          // of the rebuilt image: "_temp.iso"
};

class RunSystem;

// Runs the patcher for `game` as a player started it, in the current directory, up to and
// including the closing prompt. Returns the exit status: 0, whatever happened.
int runPatcher(const Game& game);
// The same run, against `system` (the platform layer, or a fake in a test).
int runPatcher(const Game& game, RunSystem& system);

// The files that a run of `release` writes next to the image, in the order it makes them: the probe
// that tries the folder before anything else is written, the temporary image when the release is
// rebuilt, then the output of each stage. Only these names are derived from the image's path, so a
// long path is refused only for a name the release uses.
struct Artefacts {
    static constexpr int kProbe = 0;
    static constexpr int kTemporary = 1;  // when the release is rebuilt
    static constexpr int kMost = 2 + kMostStages;
    char paths[kMost][kPathBufferSize];
    int count = 0;
};
// False when a name would not fit the patchers' path buffers.
bool deriveArtefacts(const Game& game, const ReleasePlan& release, const char* imagePath, Artefacts& artefacts);

// The most bytes that a run of `release` adds to its volume at one time: a stage's output beside
// its source when the run made that source (the temporary image beside the French image, say),
// less what the files of the same names held before the run, which it empties or removes before
// it writes them anew. `oldBytes` holds their sizes in the order of deriveArtefacts, the probe
// first (0 for a file that is not there); empty when there are none.
uint64_t bytesNeeded(const ReleasePlan& release, const std::vector<uint64_t>& oldBytes = {});
