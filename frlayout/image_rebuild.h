// The temporary image of a European patcher run, written to a file of the maintainer's choosing.
#pragma once

#include <string>

#include "frlayout/titles.h"

// Rebuilds the European image at `europeanPath` into the US layout with the title's plan, through
// the patchers' own primitives, into `outPath`. The image is written under a temporary name
// beside `outPath` and renamed once whole, so `outPath` is either the whole image or as it was;
// nothing is left behind a failure or an interruption (platform::interrupted()). The caller has
// recognised the image. False, with a sentence in `error`, when the image cannot be written.
bool rebuildEuropeanImage(const Title& title, const std::string& europeanPath, const std::string& outPath,
                          const RebuildProgress& progress, std::string& error);

// The bytes free for this account on the file system that holds `folder`; false when unknown.
bool freeBytes(const std::string& folder, uint64_t& bytes);

// "2.42 GiB", "513 KiB": a byte count for people.
std::string sizeText(uint64_t bytes);
