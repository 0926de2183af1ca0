// The one walk of a directory tree, under the patchers' image search and the library's file search.
#include "platform/directory_walk.h"

#include <cstring>

namespace platform {
namespace {

char lowerLetter(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool matchesExtension(const char* name, const char* extension, ExtensionRule rule) {
    if (strcmp(extension, "*") == 0) return true;
    const char* dot = strrchr(name, '.');
    if (!dot || (rule == ExtensionRule::AfterLastInnerDot && dot == name)) return false;
    const char* wanted = extension;
    for (const char* at = dot + 1; *at; ++at, ++wanted) {
        const char expected = rule == ExtensionRule::AfterLastInnerDot ? lowerLetter(*wanted) : *wanted;
        if (lowerLetter(*at) != expected) return false;
    }
    return *wanted == '\0';
}

std::string joinPath(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == kPathSeparator) return folder + name;
    return folder + kPathSeparator + name;
}

DirectoryWalk::DirectoryWalk(int levels, size_t pathLimit) : levelLimit_(levels), pathLimit_(pathLimit) {}

DirectoryWalk::~DirectoryWalk() {
    closeAll();
}

void DirectoryWalk::closeAll() {
    for (Level& level : levels_) closeListing(level.listing);
    levels_.clear();
    firstPending_ = false;
}

void DirectoryWalk::restart(const std::string& root) {
    closeAll();
    root_ = root;
}

bool DirectoryWalk::next(const char* extension, ExtensionRule rule) {
    while (nextEntry()) {
        if (strcmp(entry_.name, ".") == 0 || strcmp(entry_.name, "..") == 0) continue;
        if (entry_.isDirectory) {
            enter(entry_);
            continue;
        }
        if (matchesExtension(entry_.name, extension, rule)) return true;
    }
    return false;
}

// The next entry of the deepest open folder, going back up as listings run out; false when the
// root's listing is over or cannot be opened (the walk then starts again at the next call).
bool DirectoryWalk::nextEntry() {
    if (firstPending_) {  // a listing just opened: its first entry is still to be tested
        firstPending_ = false;
        return true;
    }
    if (levels_.empty()) {
        const Listing listing = openListing(root_.c_str(), entry_);
        if (listing == kNoListing) return false;
        levels_.push_back({root_, listing, folderIdentity(root_.c_str())});
        return true;
    }
    for (;;) {
        if (platform::nextEntry(levels_.back().listing, entry_)) return true;
        closeListing(levels_.back().listing);
        levels_.pop_back();
        if (levels_.empty()) return false;
    }
}

// Opens the listing of a subfolder; a folder that must not or cannot be listed is passed over.
void DirectoryWalk::enter(const DirEntry& entry) {
    if (static_cast<int>(levels_.size()) >= levelLimit_) return;
    for (const Level& level : levels_) {
        if (entry.identity != 0 && level.identity == entry.identity) return;
    }
    const std::string path = joinPath(levels_.back().path, entry.name);
    if (path.size() > pathLimit_) return;
    const uint64_t identity = entry.identity;
    DirEntry first;
    const Listing listing = openListing(path.c_str(), first);
    if (listing == kNoListing) return;
    levels_.push_back({path, listing, identity});
    entry_ = first;
    firstPending_ = true;
}

}  // namespace platform
