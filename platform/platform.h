// The one interface between the programs and the operating system; win32/ and posix/ implement it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Separator of path components as the system writes them.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// ---- Directory listing -------------------------------------------------------------------------

// One entry of a listing. `identity` tells two directories apart where the system can (device and
// inode on POSIX); it is 0 where it cannot, and 0 never equals another identity.
struct DirEntry {
    char name[260];
    bool isDirectory;
    uint64_t identity;
};

using Listing = intptr_t;
constexpr Listing kNoListing = -1;

// Lists the current directory in the system's order, "." and ".." included. Fills `first` and
// returns the listing, or kNoListing when the directory cannot be listed.
Listing openListing(DirEntry& first);
// Fetches the next entry; false when the listing is exhausted.
bool nextEntry(Listing listing, DirEntry& entry);
void closeListing(Listing listing);

// Identity of the current directory (see DirEntry::identity).
uint64_t currentDirectoryIdentity();

// ---- Current directory -------------------------------------------------------------------------

// Writes the current directory, as a full path, to `buffer`; false when it does not fit.
bool getCurrentDirectory(char* buffer, size_t size);
bool setCurrentDirectory(const char* path);

// ---- Image access: low-level descriptors -------------------------------------------------------

// Opens read-only in binary mode; -1 on failure.
int openForReadingRaw(const char* path);
// Creates or truncates, write-only, binary, permission bits 0700; -1 on failure.
int createForWritingRaw(const char* path);
void closeDescriptor(int descriptor);
// Full 64-bit length of the open file; -1 on failure.
int64_t descriptorLength(int descriptor);
// Moves the position by a signed distance from the current one; the new position or -1.
int64_t seekFromCurrent(int descriptor, int32_t distance);
// Reads exactly `size` bytes unless the file ends first; the count read, or -1 on failure.
int64_t readFully(int descriptor, void* buffer, uint32_t size);
// Writes all `size` bytes; false on any failure (a full disk included).
bool writeFully(int descriptor, const void* buffer, uint32_t size);
// Removes a file; false when it could not be removed (missing, or held open on Windows).
bool removeFile(const char* path);
bool fileExists(const char* path);

// ---- Processes and time ------------------------------------------------------------------------

// Hands a command line of the form `start /b PROGRAM ARGUMENTS` to the command processor. The
// line is the format with each "%s" replaced by the next of `arguments`. On POSIX no shell is
// involved: the format alone is split into words and the arguments are substituted inside them,
// so no argument is ever read as a command; "xdelta.exe" stands for ./xdelta3 or xdelta3 on the
// search path. Returns at once, without waiting for the program.
void runInBackground(const char* format, const char* const* arguments, int argumentCount);
void sleepMilliseconds(unsigned milliseconds);

// ---- Console -----------------------------------------------------------------------------------

// printf whose text and %c arguments are code page 850 letters (on POSIX shown as UTF-8), while
// every %s argument is a name from the file system, shown through consoleWriteName. The console
// is flushed afterwards.
void consolePrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// puts: the text and a newline.
void consoleLine(const char* text);
// Bytes in code page 850, shown as the letters they stand for.
void consoleWriteCp850(const char* text, size_t length);
// Bytes shown as they are (English messages).
void consoleWriteRaw(const char* text, size_t length);
// A file or folder name as the file calls give it: on Windows converted from the ANSI code page to
// the console's (a letter the console lacks shows as '?'); on POSIX shown as it is (UTF-8).
void consoleWriteName(const char* text, size_t length);
// Reads one character from standard input; EOF when it is closed.
int readConsoleChar();

}  // namespace platform

// ================================================================================================
// Library files and directories (Kestrin::FileBin and its search).
//
// The library names files with Windows-style paths: backslash separators, a drive as the first
// component of a full path ("C:\jeux\image.iso"). On Windows these are the system's paths as they
// are. On POSIX the functions below turn them into the system's: backslashes become slashes, and
// a first component "Z:" stands for the root, as Wine names it ("Z:\home\x" is "/home/x"); a path
// without it is relative to the current directory. Paths handed in by a user in the system's own
// spelling ("/home/x", "sub/dir") pass unchanged.
// ================================================================================================
namespace platform {

// The drive component under which POSIX full paths appear in library paths.
constexpr const char* kLibraryRootDrive = "Z:";

// An open library file; kNoFile when none.
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

enum class FileAccess { Read, Write };
enum class FileCreation {
    OpenExisting,  // the open fails when the file is missing
    OpenOrCreate,  // contents kept; created empty when missing
    Truncate,      // emptied; created empty when missing
};

// Opens a file exclusively: while it is open no other opener may have it, and an open that meets
// a file held elsewhere fails. On Windows through the sharing mode of CreateFileA (none); on POSIX
// through an exclusive flock taken, without waiting, by every open of this function (a file held
// by another open, in this process or in another program that takes flock locks, cannot be
// locked), and a Truncate open empties the file only once it holds the lock. `sequential` asks the
// system for read-ahead suited to a front-to-back pass. kNoFile on failure.
FileHandle openLibraryFile(const char* libraryPath, FileAccess access, FileCreation creation, bool sequential);
void closeLibraryFile(FileHandle file);
// The file's 64-bit size; false on failure.
bool libraryFileSize(FileHandle file, uint64_t& size);
// Moves the file position to `position` bytes from the start (past the end is allowed).
bool seekLibraryFile(FileHandle file, uint64_t position);
bool seekLibraryFileEnd(FileHandle file);
// Reads exactly `size` bytes; false on failure or when the file ends first.
bool readLibraryFile(FileHandle file, void* buffer, uint32_t size);
// Writes all `size` bytes; false on any failure.
bool writeLibraryFile(FileHandle file, const void* buffer, uint32_t size);
// Makes the current position the end of the file, shortening or lengthening it.
bool setLibraryFileEnd(FileHandle file);
// Removes a file; false when it could not be removed.
bool removeLibraryFile(const char* libraryPath);
// Creates one directory; false when it exists already or cannot be made.
bool makeLibraryDirectory(const char* libraryPath);

// The current directory as a full library path (without a trailing separator, except at a root);
// false when it does not fit in `size` characters with the terminator.
bool getCurrentLibraryDirectory(char* buffer, size_t size);
bool setCurrentLibraryDirectory(const char* libraryPath);

}  // namespace platform
