// What the checked readers of a disc's two file systems share: how a reading ends, the bounds of a
// walk through the folders, and the names they give.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "frlayout/disc_files.h"

enum class TreeStatus { Absent, Read, Refused };

// Which names a tree gives: UDF's, or of ISO 9660 the Rock Ridge, Joliet or plain ones.
enum class TreeNames { Udf, RockRidge, Joliet, Plain };

struct TreeReading {
    TreeStatus status = TreeStatus::Absent;
    TreeNames names = TreeNames::Plain;
    std::vector<DiscFile> files;  // every file below the root: what a library's reading must equal
    uint64_t declaredBytes = 0;   // where the volume ends, as its descriptors say; 0 when unknown
    std::string why;              // when refused: a sentence about the image, "its UDF folder a/b ..."
};

// No folder of a mastered disc lies this deep; a walk that gets there has met damage.
constexpr size_t kDeepestFolder = 64;
// The largest folder read in one piece: far above what a disc's folders hold.
constexpr uint32_t kLargestFolder = 16u << 20;

// The folders from the root down to the one being read, each by its place on the disc, and every
// folder met so far: a folder met twice on one path is a loop, and met twice anywhere it would make
// the walk grow without bound.
class FolderTrail {
public:
    // False, with `why`, when the folder at `place` closes a loop, was met before, or lies too deep.
    bool enter(uint64_t place, const std::string& path, const char* system, std::string& why);
    void leave() { trail_.pop_back(); }

private:
    std::vector<std::pair<uint64_t, std::string>> trail_;
    std::set<uint64_t> met_;
};

// The UTF-8 form of one character.
void appendUtf8(std::string& text, uint32_t character);

// Whether a name read from a disc can be a path component: not empty, ".", "..", no '/' or NUL.
bool usableName(const std::string& name);

// A plain ISO 9660 name without its version: "NAME.EXT;1" is "NAME.EXT", and "NAME.;1" is "NAME".
std::string withoutVersion(std::string name);

// "UDF", "Rock Ridge", "Joliet" or "ISO 9660".
const char* namesName(TreeNames names);
