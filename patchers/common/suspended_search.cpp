// The patchers' suspended search: the walk below the start directory, resumed at each call, with
// the directory of the file it found current.
#include "patchers/common/suspended_search.h"

#include <cstring>
#include <string>

#include "patchers/common/path_text.h"
#include "platform/directory_walk.h"
#include "platform/platform.h"

namespace {

// One walk per process, suspended between calls.
platform::DirectoryWalk walk(kMaxSearchLevels, kSearchDirectorySize - 1);
bool walking = false;  // a walk is under way: the next call resumes it

}  // namespace

int findNextFile(char* path, const char* extension) {
    if (!walking) {
        char start[kSearchDirectorySize];
        if (!platform::getCurrentDirectory(start, sizeof start)) return 0;
        walk.restart(start);
        walking = true;
    }
    while (walk.next(extension, platform::ExtensionRule::AfterLastDot)) {
        const std::string found = platform::joinPath(walk.folder(), walk.name());
        // A path too long to hand on, or a folder that cannot be made current as the patchers
        // expect of a found file's, is passed over.
        if (found.size() >= kPathBufferSize || !platform::setCurrentDirectory(walk.folder().c_str())) continue;
        strcpy(path, found.c_str());
        return 1;
    }
    walking = false;
    platform::setCurrentDirectory(walk.root().c_str());
    return 0;
}
