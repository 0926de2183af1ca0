// The French messages that both patchers print at the same moments of a run.
#pragma once

#include <cstdint>

#include "patchers/common/rebuild.h"

// "Version US détectée" or "Version européenne détectée", with the image's display name.
void printRecognised(bool european, const char* imageDisplayName);
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
bool rebuildTemporaryImage(const RebuildPlan& plan, const char* imagePath, const char* imageDisplayName,
                           const char* temporaryPath, uint32_t progressTotal, uint8_t stageDivisor,
                           uint32_t* written);
