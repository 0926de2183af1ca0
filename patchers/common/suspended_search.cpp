// The resumable walk of the directory tree below the start directory.
#include "patchers/common/file_search.h"

#include <cstdint>
#include <cstring>

#include "patchers/common/path_text.h"
#include "platform/platform.h"

namespace {

// One walk per process, suspended between calls. The walk keeps its own text of the directory it
// is in, so that returning to a parent never depends on how the system names a linked directory.
struct FileSearchState {
    int depth = 0;
    platform::Listing listings[kMaxSearchLevels];
    uint64_t identities[kMaxSearchLevels];
    char directory[kSearchDirectorySize];

    FileSearchState() {
        for (platform::Listing& listing : listings) listing = platform::kNoListing;
        directory[0] = '\0';
    }
};

FileSearchState state;

bool hasExtension(const char* name, const char* extension) {
    if (strcmp(extension, "*") == 0) return true;
    const char* dot = strrchr(name, '.');
    if (!dot) return false;
    const char* wanted = extension;
    for (const char* at = dot + 1; *at; ++at, ++wanted) {
        char letter = *at;
        if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
        if (letter != *wanted) return false;
    }
    return *wanted == '\0';
}

// Appends a separator (unless the text already ends in one, as a drive root does) and `name`
// to `text` of `size` characters; false, unchanged, when the result would not fit.
bool appendComponent(char* text, size_t size, const char* name) {
    const size_t length = strlen(text);
    const bool needsSeparator = length == 0 || text[length - 1] != platform::kPathSeparator;
    const size_t total = length + (needsSeparator ? 1 : 0) + strlen(name);
    if (total >= size) return false;
    if (needsSeparator) text[length] = platform::kPathSeparator;
    strcpy(text + length + (needsSeparator ? 1 : 0), name);
    return true;
}

// Cuts the walk's directory text to its parent; the root keeps its separator.
void cutToParent(char* directory) {
    if (!cutLastComponents(directory, 1)) {
        if (directory[0] == platform::kPathSeparator) directory[1] = '\0';
        return;
    }
    if (!strchr(directory, platform::kPathSeparator)) appendComponent(directory, kSearchDirectorySize, "");
}

bool isOpenOnThisWalk(uint64_t identity) {
    if (identity == 0) return false;
    for (int level = 0; level <= state.depth; ++level) {
        if (state.identities[level] == identity) return true;
    }
    return false;
}

// Descends into the directory `entry` of the current one; false when it is skipped.
bool enterDirectory(const platform::DirEntry& entry) {
    if (state.depth + 1 >= kMaxSearchLevels) return false;
    if (isOpenOnThisWalk(entry.identity)) return false;
    char child[kSearchDirectorySize];
    strcpy(child, state.directory);
    if (!appendComponent(child, sizeof child, entry.name)) return false;
    if (!platform::setCurrentDirectory(child)) return false;
    strcpy(state.directory, child);
    ++state.depth;
    state.listings[state.depth] = platform::kNoListing;
    state.identities[state.depth] = entry.identity;
    return true;
}

void leaveDirectory() {
    state.listings[state.depth] = platform::kNoListing;
    --state.depth;
    cutToParent(state.directory);
    platform::setCurrentDirectory(state.directory);
}

// Fetches the next entry of the current level, going up a level when one is exhausted or cannot
// be listed; false when the walk is over.
bool nextEntryOfWalk(platform::DirEntry& entry) {
    for (;;) {
        platform::Listing& listing = state.listings[state.depth];
        if (listing == platform::kNoListing) {
            if (state.depth == 0) {
                if (!platform::getCurrentDirectory(state.directory, sizeof state.directory)) return false;
                state.identities[0] = platform::currentDirectoryIdentity();
            }
            listing = platform::openListing(entry);
            if (listing != platform::kNoListing) return true;
        } else {
            if (platform::nextEntry(listing, entry)) return true;
            platform::closeListing(listing);
            listing = platform::kNoListing;
        }
        if (state.depth == 0) return false;
        leaveDirectory();
    }
}

}  // namespace

int findNextFile(char* path, const char* extension) {
    platform::DirEntry entry;
    while (nextEntryOfWalk(entry)) {
        if (strcmp(entry.name, ".") == 0 || strcmp(entry.name, "..") == 0) continue;
        if (entry.isDirectory) {
            enterDirectory(entry);
            continue;
        }
        if (!hasExtension(entry.name, extension)) continue;
        char found[kSearchDirectorySize];
        strcpy(found, state.directory);
        if (!appendComponent(found, kPathBufferSize, entry.name)) continue;  // too long to hand on
        strcpy(path, found);
        return 1;
    }
    return 0;
}
