// The one walk of a directory tree, under the patchers' image search and the library's file search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

// How a file's name is held against a wanted extension ("*" matches every file).
enum class ExtensionRule {
    // The text after the last dot, A to Z taken as a to z, equals the extension, which is given in
    // lower case; ".iso" has the extension "iso".
    AfterLastDot,
    // The same, but a dot in first place does not count (".iso" has none), and the extension's own
    // case does not count either.
    AfterLastInnerDot,
};

bool matchesExtension(const char* name, const char* extension, ExtensionRule rule);

// A walk of the tree below a root folder, suspended between the files it returns: depth first, each
// folder's entries in the order the system lists them, a subfolder walked completely where it is
// met. Folders are listed by their full path, so the walk never depends on the current directory.
// Passed over: a folder that is already open on the walk (a link back to it; the system's identity
// of a folder tells), one below the level limit, one whose full path would be longer than the path
// limit, and one that cannot be listed. Its listings are closed with it.
class DirectoryWalk {
public:
    // `levels`: the root and levels - 1 folders below it; `pathLimit`: the most characters of a
    // folder's full path.
    DirectoryWalk(int levels, size_t pathLimit);
    ~DirectoryWalk();
    DirectoryWalk(const DirectoryWalk&) = delete;
    DirectoryWalk& operator=(const DirectoryWalk&) = delete;

    // Starts a new walk at `root`, a folder's full path; the next call to next() lists it.
    void restart(const std::string& root);
    // The next file whose name matches; false when the walk is over (a root that cannot be listed
    // included), after which the next call starts it again from the root.
    bool next(const char* extension, ExtensionRule rule);

    bool started() const { return !root_.empty(); }
    const std::string& root() const { return root_; }
    // The folder of the file found last (its full path) and the file's name.
    const std::string& folder() const { return levels_.empty() ? root_ : levels_.back().path; }
    const char* name() const { return entry_.name; }
    // 0 when the file found last lies in the root.
    int depth() const { return levels_.empty() ? 0 : static_cast<int>(levels_.size()) - 1; }

private:
    struct Level {
        std::string path;
        Listing listing;
        uint64_t identity;
    };
    bool nextEntry();
    void enter(const DirEntry& entry);
    void closeAll();

    int levelLimit_;
    size_t pathLimit_;
    std::string root_;
    std::vector<Level> levels_;  // the root first; empty between walks
    DirEntry entry_{};
    bool firstPending_ = false;  // entry_ is the first of a listing just opened
};

// `folder` and `name` joined by the system's separator (none added after a root's own).
std::string joinPath(const std::string& folder, const char* name);

}  // namespace platform
