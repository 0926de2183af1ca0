// The steps of a run that both patchers share, with the French messages they print.
#pragma once

#include <cstdint>

#include "patchers/common/rebuild.h"
#include "patchers/common/release.h"

// What a patcher says when no image of its game is found: one line and two formats, each
// with one %c for "ê".
struct NotFoundMessages {
    const char* line;
    const char* sizes;
    const char* checksums;
};

// Finds the first image of one of the game's releases (see findDiscImage) and says which release
// it is, or that none was found, or that the image cannot be opened. Returns the index of the
// release in `signatures`, or -1 when the run ends here.
int takeDiscImage(const ReleaseSignature* signatures, int signatureCount, const NotFoundMessages& notFound,
                  const char* startDirectory, char* imagePath, char* displayName, FileImageSource& image);

// The two lines of a successful run, naming the French image relative to the start directory.
void printPatchSuccess(const char* outputPath, const char* startDirectory);
// A delta stage that failed, naming the player's image.
void printPatchFailure(const char* imageDisplayName);
// Prints why the rebuild stopped, naming the image or the temporary image concerned.
void printRebuildFailure(RebuildFailure failure, const char* imageDisplayName);
// The derived image names would not fit the patchers' path buffers.
void printPathTooLong(const char* imageDisplayName);

// Creates the temporary image at `temporaryPath`, appends the plan to it from the European image
// and closes it. On failure prints why and removes it (the cannot-create message when it cannot
// even be created). `written` counts the bytes appended, for the progress line.
bool rebuildTemporaryImage(const RebuildPlan& plan, ImageSource& image, const char* imageDisplayName,
                           const char* temporaryPath, uint32_t progressTotal, uint8_t stageDivisor,
                           uint32_t* written);
