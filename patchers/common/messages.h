// What a patcher run says to the player, in French, message by message.
#pragma once

#include <cstdint>

#include "patchers/common/rebuild.h"
#include "patchers/common/release_signature.h"

// What a patcher says when no image of its game is found: the game's own line, then the size and
// the CRC32 of each of its releases, US first.
void printNotFound(const char* line, const ReleaseSignature* signatures);

// What a file found instead of an image is, for the hint that follows the not-found message.
enum class OtherFormat { None, Archive, CompressedImage, OtherImage };
// After the not-found message: the program was started inside `folder`, an archive viewer's copy.
void printStartedInsideArchive(const char* folder);
// After the not-found message: files that may hold the game in another format, by their display
// name, and what to do with each kind.
void printOtherFormats(const char* const* names, const OtherFormat* kinds, int count);
void printCannotOpen(const char* imageDisplayName);
// "Version US détectée" or "Version européenne détectée", with the image's display name.
void printRecognised(Release release, const char* imageDisplayName);
// The line that opens the writing part of a run.
void printPatching();
// The derived image names would not fit the patchers' path buffers.
void printPathTooLong(const char* imageDisplayName);
// The volume of `folder` has `free` bytes where the run needs `needed`.
void printNotEnoughSpace(const char* folder, uint64_t needed, uint64_t free);
// The decoder is not where the delta stage looks for it: which program, and the folder to put it in.
void printDecoderMissing(const char* decoderName, const char* folder);
// The image's folder, where every output goes, does not accept a new file.
void printFolderWriteProtected(const char* folder);
void printCannotCreateTemporary();
// Why the rebuild stopped, naming the image concerned.
void printRebuildFailure(RebuildFailure failure, const char* imageDisplayName);
// The two lines of a successful run, naming the French image relative to the start directory.
void printPatchSuccess(const char* outputPath, const char* startDirectory);
// A delta stage that failed, naming the player's image.
void printPatchFailure(const char* imageDisplayName);
// Opens the pass that reads the player's image for its CRC32 after a failed stage.
void printCheckingImage(const char* imageDisplayName);
// The image's CRC32 beside the published one of its release, and what the player should do: find
// the right dump, or, the image being right, look at the stage's delta file and the decoder.
void printImageVerdict(Release release, uint32_t crc, uint32_t published, const char* deltaName,
                       const char* decoderName);
// The image cannot be read (to its end).
void printCannotRead(const char* imageDisplayName);
// The run was interrupted, and what it had written is gone.
void printInterrupted();
