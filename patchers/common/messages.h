// What a patcher run says to the player, in French, message by message.
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

void printNotFound(const NotFoundMessages& notFound);
void printCannotOpen(const char* imageDisplayName);
// "Version US détectée" or "Version européenne détectée", with the image's display name.
void printRecognised(Release release, const char* imageDisplayName);
// The line that opens the writing part of a run.
void printPatching();
// The derived image names would not fit the patchers' path buffers.
void printPathTooLong(const char* imageDisplayName);
// The volume of `folder` has `free` bytes where the run needs `needed`.
void printNotEnoughSpace(const char* folder, uint64_t needed, uint64_t free);
void printCannotCreateTemporary();
// Why the rebuild stopped, naming the image concerned.
void printRebuildFailure(RebuildFailure failure, const char* imageDisplayName);
// The two lines of a successful run, naming the French image relative to the start directory.
void printPatchSuccess(const char* outputPath, const char* startDirectory);
// A delta stage that failed, naming the player's image.
void printPatchFailure(const char* imageDisplayName);
// The run was interrupted, and what it had written is gone.
void printInterrupted();
