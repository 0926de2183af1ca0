// Recognising which release of a game a disc image is.
#pragma once

#include "patchers/common/image_access.h"
#include "patchers/common/release_signature.h"

// Which of `signatures` the image is: its full 64-bit size, its boot path with the terminating zero
// byte, and its marker where the signature has one must all match. The index, or -1 for none.
int recogniseRelease(ImageSource& image, const ReleaseSignature* signatures, int signatureCount);
