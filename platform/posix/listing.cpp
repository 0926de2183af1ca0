// Directory listing and the current directory on POSIX systems.
#include "platform/platform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace platform {
namespace {

uint64_t identityOf(const struct stat& info) {
    // Device and inode folded into one value; 0 is kept for "unknown".
    const uint64_t folded = (static_cast<uint64_t>(info.st_dev) << 40) ^ static_cast<uint64_t>(info.st_ino);
    return folded ? folded : 1;
}

bool fill(DIR* directory, DirEntry& entry) {
    const struct dirent* found = readdir(directory);
    if (!found) return false;
    size_t length = strlen(found->d_name);
    if (length >= sizeof entry.name) length = sizeof entry.name - 1;  // cut; such a name never matches
    memcpy(entry.name, found->d_name, length);
    entry.name[length] = '\0';
    entry.isDirectory = false;
    entry.identity = 0;
    // A symbolic link to a directory counts as a directory, as a junction does on Windows.
    struct stat info;
    if (fstatat(dirfd(directory), found->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode)) {
        entry.isDirectory = true;
        entry.identity = identityOf(info);
    }
    return true;
}

}  // namespace

Listing openListing(const char* folder, DirEntry& first) {
    DIR* directory = opendir(folder);
    if (!directory) return kNoListing;
    if (!fill(directory, first)) {
        closedir(directory);
        return kNoListing;
    }
    return reinterpret_cast<Listing>(directory);
}

bool nextEntry(Listing listing, DirEntry& entry) {
    return fill(reinterpret_cast<DIR*>(listing), entry);
}

void closeListing(Listing listing) {
    if (listing != kNoListing) closedir(reinterpret_cast<DIR*>(listing));
}

uint64_t folderIdentity(const char* folder) {
    struct stat info;
    if (stat(folder, &info) != 0) return 0;
    return identityOf(info);
}

bool getCurrentDirectory(char* buffer, size_t size) {
    return getcwd(buffer, size) != nullptr;
}

bool setCurrentDirectory(const char* path) {
    return chdir(path) == 0;
}

}  // namespace platform
