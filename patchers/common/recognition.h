// Recognising a game's disc image among the images below the start directory.
#pragma once

#include <cstdint>

#include "patchers/common/image_access.h"
#include "patchers/common/release_signature.h"

// Which of `signatures` the image is: its full 64-bit size, its boot path with the terminating zero
// byte, and its marker where the signature has one must all match. The index, or -1 for none.
int recogniseRelease(ImageSource& image, const ReleaseSignature* signatures, int signatureCount);

enum class ImageSearch { NotFound, CannotOpen, Found };

// Walks the tree for ".iso" files and takes the first that recogniseRelease places; a pipe or a
// device so named is passed over. Writes its full
// path to `imagePath` and its name relative to `startDirectory` to `displayName` (both
// kPathBufferSize characters); the image stays open in `image`, and `release` receives the index of
// its signature. The walk is left suspended at the image taken, with its directory current.
// CannotOpen: the first image that could not be opened ends the search (the display name names it).
ImageSearch findDiscImage(const ReleaseSignature* signatures, int signatureCount, const char* startDirectory,
                          char* imagePath, char* displayName, FileImageSource& image, int& release);
