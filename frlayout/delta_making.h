// Making a game's delta files from the team's US, European and French images, and proving them
// with the game's own patcher before they are written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frlayout/titles.h"

struct DeltaRequest {
    const Title* title = nullptr;
    std::string usImage, europeanImage, frenchImage;
    std::string outFolder;      // written whole, and only once the deltas are proved
    std::string version;        // in the names of the delta files that a patcher finds by prefix
    std::string scratchParent;  // the scratch folder is made in it, on the file system of the images
    std::string decoder;        // the delta tool: it makes the deltas, and decodes them in the proof
    std::string programFolder;  // where the built patchers are
};

// The images between which a delta is made.
enum class DeltaImage { Us, RebuiltEuropean, French };

struct DeltaJob {
    std::string name;  // as the patcher looks for it
    DeltaImage from;
    DeltaImage to;
};

// The delta files that the game's patcher decodes, in the order its runs first need them, each
// with the images it lies between: a release's first stage decodes from the player's image or, for
// a rebuilt release, from the rebuilt image; a stage before the last makes the US image, the last
// one the French image. A delta that two stages share is made once.
std::vector<DeltaJob> deltaJobs(const Game& game, const std::string& version);

// "the US image", "the rebuilt European image", "the French image".
const char* deltaImageName(DeltaImage image);

// The options with which the delta tool makes every delta. DJW, not LZMA, as secondary compressor:
// the players' Windows decoder is built without LZMA. Window checksums stay on (no -n), so that a
// decoder fed the wrong source stops instead of writing a wrong image. No application header: the
// delta does not carry the maintainer's file names. A source window of 2 GiB, the tool's largest,
// finds the data of files that moved across most of an image; the decoder does not need it (it
// reads the source through its own 64 MiB window), only the encoder, which takes about 3 GiB.
extern const char* const kEncoderOptions[];
extern const size_t kEncoderOptionCount;

// Whether a file of the old delta folder is one that the game's patcher could take for one of its
// own deltas (an older version's, say): such files are not carried into the new folder.
bool isDeltaOfGame(const Game& game, const std::string& fileName);

struct MadeDelta {
    DeltaJob job;
    uint64_t bytes;
};

struct StepTime {
    std::string what;
    double seconds;
};

struct DeltaReport {
    std::vector<MadeDelta> deltas;
    std::vector<StepTime> steps;
    std::vector<std::string> notes;     // what was found of the images, a line each
    std::vector<std::string> warnings;  // images whose CRC32 is not the published one
    std::vector<std::string> proof;     // each release's patcher run that gave the French image
    std::string error;                  // why nothing was written; empty on success
};

// Hears where the work is: each step as it starts, then the share of it done (0 to 1).
class DeltaProgress {
public:
    virtual ~DeltaProgress() = default;
    virtual void step(const std::string& what) = 0;
    virtual void share(double done) = 0;
};

// Checks the three images (each the release it must be, the French one of the French size, the
// CRC32s against the published ones), rebuilds the European image in a scratch folder, makes every
// delta of the game and decodes each back to its target, then runs the built patcher on a hard link
// of each release's image with the new deltas and requires the French image byte for byte. Only
// then is the output folder replaced, whole, keeping its other files (the other game's deltas, the
// decoders) but no older delta of this game. The images are never changed, and the scratch folder
// is removed on every path, an interruption included. False, with `report.error`, when anything
// failed or was refused: the output folder is then as it was.
bool makeDeltas(const DeltaRequest& request, DeltaProgress& progress, DeltaReport& report);
