// The temporary image of a European patcher run, written to a file of the maintainer's choosing; and the
// path and size texts of frlayout's messages.
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

// The folder of a path ("." for a bare name, "/" for a file at the root), and its last component.
std::string folderOf(const std::string& path);
std::string baseName(const std::string& path);

// "2.42 GiB", "513 KiB": a byte count for people.
std::string sizeText(uint64_t bytes);
