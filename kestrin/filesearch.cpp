// Kestrin::FileBin's resumable walk of a directory tree, and the numbered choice of a file.
#include <cstdio>
#include <cstring>
#include <string>

#include "kestrin/console.h"
#include "kestrin/error.h"
#include "kestrin/filebin.h"
#include "platform/library_path.h"
#include "platform/platform.h"

namespace Kestrin {
namespace {

// Characters of the current directory's text, terminator included.
constexpr size_t kDirectoryTextSize = 1000;

// The current directory as a full library path; false when it does not fit in `size` characters.
bool currentLibraryDirectory(char* buffer, size_t size) {
    char system[4096];
    if (!platform::getCurrentDirectory(system, sizeof system)) return false;
    const std::string path = platform::libraryPath(system);
    if (path.size() + 1 > size) return false;
    memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

bool enterLibraryDirectory(const char* path) {
    return platform::setCurrentDirectory(platform::systemPath(path).c_str());
}

// The directory named by a full path from the system, kept a directory even when its own name
// holds a dot ("C:\jeux\v1.2" is a directory, not the file "v1.2").
Dir directoryPath(const char* text) {
    String path(text);
    const uint32_t length = path.getLength();
    if (length == 0 || path.getText()[length - 1] != '\\') path += "\\";
    return Dir(path);
}

// Reads what is left of the line on standard input, so that a rejected answer is asked again
// only once.
void discardLine() {
    for (int c = getchar(); c != '\n' && c != EOF; c = getchar()) {
    }
}

}  // namespace

void FileBin::resetSearch() {
    findWalk.restart(platform::systemPath(searchRoot.getPath().getText()));
    searchDir = searchRoot;
}

void FileBin::storeFoundPath(const char* name, PathMode mode, const Dir& caller) {
    Dir path(searchDir);
    if (mode == RelativeToStart) {
        path.removeComponents(0, searchRoot.getComponentCount());
    } else if (mode == RelativeToCurrent && path.getComponents(0, 1) == caller.getComponents(0, 1)) {
        uint32_t shared = 1;
        while (shared < caller.getComponentCount() && path.getComponents(shared, 1) == caller.getComponents(shared, 1)) {
            ++shared;
        }
        if (shared > 1) {
            const uint32_t count = path.getComponentCount();
            path = path.getComponents(shared, count > shared ? count - shared : 0);
            // "..\" rather than "..": a path made of ".." alone would read as a file name.
            for (uint32_t level = shared; level < caller.getComponentCount(); ++level) path.insertPath("..\\", 0);
        }
    }
    path.setFileName(name);  // a name without a dot leaves only the directory
    Dir::operator=(path);
}

bool FileBin::findNext(const char* extension, PathMode mode, const char* startDir) {
    char callerText[kDirectoryTextSize];
    if (!currentLibraryDirectory(callerText, sizeof callerText)) {
        clearError();  // a directory too deep to name: nothing can be found from it
        return false;
    }
    const Dir caller = directoryPath(callerText);
    Dir start = caller;
    if (startDir) {
        char startText[kDirectoryTextSize];
        const bool entered = enterLibraryDirectory(startDir) && currentLibraryDirectory(startText, sizeof startText);
        enterLibraryDirectory(callerText);
        if (!entered) {
            setFileError(FileError::DirNotFound, Dir(startDir));
            return false;
        }
        start = directoryPath(startText);
    }
    if (searchRoot.getComponentCount() == 0 || searchRoot != start) {
        searchRoot = start;
        resetSearch();
    }
    clearError();
    while (findWalk.next(extension ? extension : "*", platform::ExtensionRule::AfterLastInnerDot)) {
        // A folder whose name the library's paths cannot hold (a backslash in it) is no place to
        // name a file from.
        const Dir folder = directoryPath(platform::libraryPath(findWalk.folder().c_str()).c_str());
        if (folder.getComponentCount() != searchRoot.getComponentCount() + static_cast<uint32_t>(findWalk.depth())) continue;
        searchDir = folder;
        storeFoundPath(findWalk.name(), mode, caller);
        return true;
    }
    searchDir = searchRoot;
    return false;
}

bool FileBin::choose(const char* extension, PathMode mode, const char* startDir) {
    const Dir kept(static_cast<const Dir&>(*this));
    unsigned long listed = 0;
    while (findNext(extension, mode, startDir)) {
        ++listed;
        printRaw(String(listed) + " - " + getPath() + "\n");
    }
    if (LastError.code != NoError) {  // the start directory cannot be entered: its error stands
        Dir::operator=(kept);
        return false;
    }

    long chosen = 0;
    for (;;) {
        printRaw("\nWhat is the file to open ?\nEnter number (0 : none): ");
        fflush(stdout);
        const int answered = scanf("%ld", &chosen);
        if (answered == EOF) {  // no answer can come any more: as if none was chosen
            chosen = 0;
            break;
        }
        if (answered != 1) {
            discardLine();
            continue;
        }
        if (static_cast<unsigned long>(chosen) <= listed) break;
    }
    if (chosen == 0) {
        Dir::operator=(kept);
        getchar();  // the end of the answer's line
        LastError.code = Cancelled;
        return false;
    }

    printRaw("\n");
    for (long found = 0; found < chosen; ++found) {
        if (!findNext(extension, mode, startDir)) break;
    }
    resetSearch();
    return read(0, 0);
}

}  // namespace Kestrin
