// The one interface between the programs and the operating system; win32/ and posix/ implement it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Separator of path components as the system writes them.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// ---- Directory listing -------------------------------------------------------------------------

// One entry of a listing. `identity` tells two folders apart (on POSIX the device and inode, on
// Windows the volume's serial number and the file index); it is 0 where the system cannot tell,
// and 0 never equals another identity.
struct DirEntry {
    char name[260];
    bool isDirectory;
    uint64_t identity;
};

using Listing = intptr_t;
constexpr Listing kNoListing = -1;

// Lists the folder at `folder` (a path) in the system's order, "." and ".." included. Fills
// `first` and returns the listing, or kNoListing when the folder cannot be listed.
Listing openListing(const char* folder, DirEntry& first);
// Fetches the next entry; false when the listing is exhausted.
bool nextEntry(Listing listing, DirEntry& entry);
void closeListing(Listing listing);

// Identity of the folder at `folder` (see DirEntry::identity).
uint64_t folderIdentity(const char* folder);

// ---- Current directory -------------------------------------------------------------------------

// Writes the current directory, as a full path, to `buffer`; false when it does not fit.
bool getCurrentDirectory(char* buffer, size_t size);
bool setCurrentDirectory(const char* path);

// ---- Files -------------------------------------------------------------------------------------
//
// One model for every file the programs open: a handle, and one error model for what can fail.

// Why a file operation failed; None when it did not.
enum class FileError {
    None,
    Missing,    // no such file, or a folder on its path is missing
    Busy,       // held by another program (Windows sharing, or a lock on POSIX)
    Denied,     // the account may not, or the volume is read-only
    NoSpace,    // the volume is full (or the file may grow no further)
    NotAFile,   // a folder, a pipe or a device: nothing a program reads as a disc image
    Exists,     // a new file was asked for and one of that name is there
    Other,
};

using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

enum class FileAccess { Read, Write };
enum class FileCreation {
    OpenExisting,  // the open fails when the file is missing
    OpenOrCreate,  // contents kept; created empty when missing
    Truncate,      // emptied; created empty when missing
    New,           // created empty; the open fails when the file exists
};
enum class FileSharing {
    // Other programs may open the file too. On POSIX the open takes an advisory lock where it can
    // (shared for reading, exclusive for writing), so that Exclusive opens elsewhere fail meanwhile,
    // as Windows sharing makes them fail.
    Shared,
    // No other opener while it is open, and an open that meets a file held elsewhere fails (Busy):
    // on Windows by the sharing mode, on POSIX by an exclusive flock taken without waiting. A
    // Truncate open empties the file only once it holds it.
    Exclusive,
};

// Opens a regular file; anything else fails with NotAFile, and never waits (a pipe named like an
// image does not hang the open). `sequential` asks for read-ahead suited to a front-to-back pass.
// Binary: no byte is translated. On failure `file` is kNoFile.
FileError openFile(const char* path, FileAccess access, FileCreation creation, FileSharing sharing, bool sequential,
                   FileHandle& file);
// Closes the file, if one is open, and sets `file` to kNoFile.
void closeFile(FileHandle& file);
// The file's 64-bit size; false on failure.
bool fileSize(FileHandle file, uint64_t& size);
// Moves the position to `position` bytes from the start (past the end is allowed).
bool seekFile(FileHandle file, uint64_t position);
bool seekFileEnd(FileHandle file);
// Says that `length` bytes from `offset` will be read soon, so that the system may start reading
// them meanwhile; only a hint (Windows takes none for a range, and it does nothing there).
void adviseWillRead(FileHandle file, uint64_t offset, uint64_t length);
// Reads exactly `size` bytes; a file that ends first is a failure (Other).
FileError readFile(FileHandle file, void* buffer, uint32_t size);
// Writes all `size` bytes.
FileError writeFile(FileHandle file, const void* buffer, uint32_t size);
// Makes the current position the end of the file, shortening or lengthening it.
bool setFileEnd(FileHandle file);
// Removes a file (never a folder). Missing when there was none; Busy or Denied while another
// program holds it on Windows.
FileError removeFile(const char* path);
// Creates one folder; false when it exists already or cannot be made.
bool makeDirectory(const char* path);
// The bytes this account may still write on the volume that holds `folder`; false when unknown.
bool freeSpace(const char* folder, uint64_t& bytes);

// ---- Processes and time ------------------------------------------------------------------------

// One word of a background program's command line. On Windows a quoted word is written between
// double quotes; on POSIX every word reaches the program as it is, since no shell is involved.
struct ProgramArgument {
    const char* text;
    bool quoted;
};

// A program the run started and can follow; kNoProcess when it cannot.
using Process = intptr_t;
constexpr Process kNoProcess = 0;

// The path that startInBackground runs for `program` with `folder` current, or empty when there is
// none: on Windows the file `program` in `folder`, else in a folder of the search path, where the
// command processor's "start" looks for it; on POSIX an executable `program` in `folder` (run as
// "./program"), else one on the search path. A folder's name is never split, whatever it holds.
std::string findProgram(const char* program, const char* folder);
// Starts `program` in the background, with `folder` current, and returns at once; kNoProcess
// without starting anything when findProgram finds none. On Windows the command processor runs
// "start /b PROGRAM" and the arguments in `folder`, and the process it started is then looked up by
// its name; on POSIX the program is run directly. Its standard input is not the console's.
Process startInBackground(const char* program, const ProgramArgument* arguments, int argumentCount, const char* folder);
// Whether the process has ended; one that has is released and `process` becomes kNoProcess. A
// process that cannot be followed counts as ended.
bool processEnded(Process& process);
// Asks the process to end (POSIX: SIGTERM; on Windows it has had its Ctrl-Break already when the
// run was interrupted), gives it `graceMilliseconds` to do so, ends it outright if it has not
// (SIGKILL, TerminateProcess), and releases it; `process` becomes kNoProcess.
void stopProcess(Process& process, unsigned graceMilliseconds);
void sleepMilliseconds(unsigned milliseconds);

// ---- Interruption ------------------------------------------------------------------------------

enum class Interruption {
    None,
    FromConsole,  // Ctrl-C or Ctrl-Break (SIGINT): the player is at the console
    Ended,        // the console was closed or the session ends (SIGHUP), or the program was told to end (SIGTERM)
};

// From now on an interruption no longer ends the program at once: it is only noted (the POSIX
// signal handlers set a flag and nothing else), and the run, which looks at interruption() between
// its steps, removes what it wrote and ends. A signal ignored when the program started stays
// ignored. On Windows a first Ctrl-C is passed on to the console's programs as a Ctrl-Break, the
// one console event that a decoder started by "start /b" does not ignore.
void catchInterruptions();
// What interrupted the run since catchInterruptions(); None when nothing did.
Interruption interruption();
inline bool interrupted() {
    return interruption() != Interruption::None;
}
// Interruptions end the program at once again: nothing is left to clean up. On Windows a console
// being closed has waited for this call (a few seconds at most) before the system ends the program.
void releaseInterruptions();

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
