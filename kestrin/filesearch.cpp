// Kestrin::FileBin's resumable walk of a directory tree, and the numbered choice of a file.
#include <cstdio>
#include <cstring>
#include <string>

#include "kestrin/console.h"
#include "kestrin/error.h"
#include "kestrin/filebin.h"
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

bool isDotEntry(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

char lowerLetter(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// "*" takes every file; otherwise the text after the last dot (a leading dot does not count)
// must equal the extension, A to Z taken as a to z on both sides.
bool matchesExtension(const char* name, const char* extension) {
    if (strcmp(extension, "*") == 0) return true;
    const char* dot = strrchr(name, '.');
    if (!dot || dot == name) return false;
    const char* wanted = extension;
    for (const char* at = dot + 1; *at; ++at, ++wanted) {
        if (lowerLetter(*at) != lowerLetter(*wanted)) return false;
    }
    return *wanted == '\0';
}

// Reads what is left of the line on standard input, so that a rejected answer is asked again
// only once.
void discardLine() {
    for (int c = getchar(); c != '\n' && c != EOF; c = getchar()) {
    }
}

}  // namespace

void FileBin::resetSearch() {
    for (int level = 0; level < MaxSearchDepth; ++level) {
        platform::closeListing(findHandles[level]);
        findHandles[level] = platform::kNoListing;
        findIdentities[level] = 0;
    }
    findDepth = 0;
    searchDir = searchRoot;
}

// The next entry of the walk, going back up as listings run out. False when the start
// directory's listing is exhausted or cannot be opened (the walk is then a fresh one), or when
// the walk cannot go on because a directory it was in has gone.
bool FileBin::nextEntry(platform::DirEntry& entry) {
    for (;;) {
        platform::Listing& listing = findHandles[findDepth];
        if (listing == platform::kNoListing) {
            listing = platform::openListing(entry);
            if (listing != platform::kNoListing) {
                findIdentities[findDepth] = platform::currentDirectoryIdentity();
                return true;
            }
            // The start directory is tried again by the next call; a subdirectory that could
            // be entered but not listed is passed over.
            if (findDepth == 0) return false;
        } else if (platform::nextEntry(listing, entry)) {
            return true;
        } else {
            platform::closeListing(listing);
            listing = platform::kNoListing;
            if (findDepth == 0) return false;
        }
        --findDepth;
        searchDir--;
        if (!enterLibraryDirectory(searchDir.getPath().getText())) {
            resetSearch();
            return false;
        }
    }
}

// Enters the subdirectory `entry` of the directory being listed. False, with the walk still in
// the parent, for a directory that must not or cannot be entered: below the last level of the
// table, already open on this walk (a link back to a directory above), with a name that a path
// cannot hold, or that cannot be made current.
bool FileBin::enterDirectory(const platform::DirEntry& entry) {
    if (findDepth + 1 >= MaxSearchDepth) return false;
    for (int level = 0; level <= findDepth; ++level) {
        if (entry.identity != 0 && findIdentities[level] == entry.identity) return false;
    }
    if (strchr(entry.name, '\\') || strchr(entry.name, '/')) return false;
    // The trailing backslash keeps a name with a dot a directory.
    String component(entry.name);
    component += "\\";
    Dir child(searchDir);
    child += component;
    if (child.getComponentCount() != searchDir.getComponentCount() + 1) return false;
    if (!enterLibraryDirectory(child.getPath().getText())) return false;
    ++findDepth;
    searchDir = child;
    findHandles[findDepth] = platform::kNoListing;
    findIdentities[findDepth] = entry.identity;
    return true;
}

void FileBin::storeFoundPath(const platform::DirEntry& entry, PathMode mode, const Dir& caller) {
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
    path.setFileName(entry.name);  // a name without a dot leaves only the directory
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
        if (!enterLibraryDirectory(startDir) ||
            !currentLibraryDirectory(startText, sizeof startText)) {
            enterLibraryDirectory(callerText);
            setFileError(FileError::DirNotFound, Dir(startDir));
            return false;
        }
        start = directoryPath(startText);
    }
    if (searchRoot.getComponentCount() == 0 || searchRoot != start) {
        searchRoot = start;
        resetSearch();
    }

    bool found = false;
    if (enterLibraryDirectory(searchDir.getPath().getText())) {
        platform::DirEntry entry;
        while (nextEntry(entry)) {
            if (isDotEntry(entry.name)) continue;
            if (entry.isDirectory) {
                enterDirectory(entry);
                continue;
            }
            if (!matchesExtension(entry.name, extension ? extension : "*")) continue;
            storeFoundPath(entry, mode, caller);
            found = true;
            break;
        }
    } else {
        resetSearch();  // the directory the walk stopped in has gone: start over next time
    }
    enterLibraryDirectory(callerText);
    clearError();
    return found;
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
