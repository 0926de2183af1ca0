// The library's path dialect on Windows: the system's own paths.
#include "platform/library_path.h"


namespace platform {

std::string systemPath(const char* libraryPath) {
    return libraryPath ? libraryPath : "";
}

std::string libraryPath(const char* systemPath) {
    return systemPath;
}

}  // namespace platform
