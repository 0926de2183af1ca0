// The library's path dialect (Kestrin::FileBin and its search): Windows-style paths on every system.
#pragma once

#include <string>

// The library names files with Windows-style paths: backslash separators, a drive as the first
// component of a full path ("C:\jeux\image.iso"). On Windows these are the system's paths as they
// are. On POSIX they are turned into the system's: backslashes become slashes, and a first
// component "Z:" stands for the root, as Wine names it ("Z:\home\x" is "/home/x"); a path without
// it is relative to the current directory. Paths handed in by a user in the system's own spelling
// ("/home/x", "sub/dir") pass unchanged. The library then works through the calls of platform.h.
namespace platform {

// The drive component under which POSIX full paths appear in library paths.
constexpr const char* kLibraryRootDrive = "Z:";

// The system's spelling of a library path.
std::string systemPath(const char* libraryPath);
// The library's spelling of a full system path ("/home/x" is "Z:\home\x", "/" is "Z:\").
std::string libraryPath(const char* systemPath);

}  // namespace platform
