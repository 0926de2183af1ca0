// The library's path dialect on POSIX: "Z:\" stands for the root, slashes for backslashes.
#include "platform/library_path.h"

#include <cstring>

namespace platform {

std::string systemPath(const char* libraryPath) {
    std::string path = libraryPath ? libraryPath : "";
    const size_t driveLength = strlen(kLibraryRootDrive);
    if (path.compare(0, driveLength, kLibraryRootDrive) == 0 &&
        (path.size() == driveLength || path[driveLength] == '\\' || path[driveLength] == '/')) {
        path.replace(0, driveLength, "");
        if (path.empty()) path = "/";
    }
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

std::string libraryPath(const char* systemPath) {
    std::string path = kLibraryRootDrive;
    path += systemPath[0] == '/' && systemPath[1] == '\0' ? "\\" : systemPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

}  // namespace platform
