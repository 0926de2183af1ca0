// Kestrin::FileBin: a byte buffer and the path of its file, with file operations and file search.
#pragma once

#include <cstdint>

#include "kestrin/buffer.h"
#include "kestrin/path.h"
#include "kestrin/string.h"
#include "platform/directory_walk.h"
#include "platform/platform.h"

namespace Kestrin {

// The form of the path that a successful search stores (FileBin::findNext, FileBin::choose).
enum PathMode : uint8_t {
    RelativeToStart = 0,    // relative to the start directory; a file there gets its bare name
    Absolute = 1,           // the full path
    RelativeToCurrent = 2,  // relative to the caller's current directory, with ".." where needed;
                            // full when the two share no more than their first component
};

// Most levels a search lists: the start directory and 254 below it.
constexpr int MaxSearchDepth = 255;
// Most characters of the full path of a directory that a search lists.
constexpr size_t SearchPathLimit = 999;
// Largest read: 1 GiB.
constexpr uint64_t ReadLimit = 0x40000000;
// Bytes moved at a time by copy.
constexpr uint32_t CopyChunk = 0xA00000;

// One object is both the bytes of a file held in memory (the Buffer base) and the path of the
// file on disk (the Dir base; relative paths are resolved against the current directory at each
// call). Every file operation opens its file exclusively, works and closes it again: no file stays
// open between calls. Every operation leaves its outcome in Kestrin::LastError: cleared when it
// returns true, the reason when it returns false. A failure leaves the buffer's length as it was
// (a failed read may have overwritten bytes of the block).
class FileBin : public Buffer, public Dir {
public:
    FileBin();
    // Buffer and path; the search state is not copied.
    FileBin(const FileBin& other);
    // Closes the listings of a search still under way.
    ~FileBin() override;

    FileBin& operator=(const FileBin& other);  // buffer and path; search state untouched
    FileBin& operator=(const Buffer& bytes);   // buffer only
    FileBin& operator=(const Dir& path);       // path only
    FileBin& operator+=(const Buffer& bytes);  // appends to the buffer
    FileBin& operator+=(const FileBin& other);
    FileBin& operator+=(const Dir& path);  // Dir::operator+= on the path
    FileBin& operator-=(const int& n);     // Dir::operator-= on the path

    // ---- File operations (kestrin/filebin.cpp) ----
    // Size of the own file; 0 after a failure (OpenFailed).
    uint64_t fileSize();
    // Replaces the buffer by `length` bytes of the own file from `position`; length 0 reads up
    // to the end. ReadPositionTooHigh when the bytes are not all in the file (an empty file
    // cannot be read whole), ReadLengthTooLarge above ReadLimit.
    bool read(uint64_t position, uint64_t length);
    // Appends them to the buffer; the limit applies to the resulting buffer.
    bool readAppend(uint64_t position, uint64_t length);
    // Writes `length` buffer bytes from `offset` (0: up to the end of the buffer) into the target
    // file at `position`; the rest of the file stays. A missing file is created, and its
    // directories when the first open fails. A position past the end extends the file with zeros.
    bool write(uint64_t position, uint32_t offset, uint32_t length);
    bool write(const char* target, uint64_t position, uint32_t offset, uint32_t length);
    bool write(const String& target, uint64_t position, uint32_t offset, uint32_t length);
    bool write(const Dir& target, uint64_t position, uint32_t offset, uint32_t length);
    bool write(const FileBin& target, uint64_t position, uint32_t offset, uint32_t length);
    // As write, the target emptied first.
    bool writeNew(uint64_t position, uint32_t offset, uint32_t length);
    bool writeNew(const char* target, uint64_t position, uint32_t offset, uint32_t length);
    bool writeNew(const String& target, uint64_t position, uint32_t offset, uint32_t length);
    bool writeNew(const Dir& target, uint64_t position, uint32_t offset, uint32_t length);
    bool writeNew(const FileBin& target, uint64_t position, uint32_t offset, uint32_t length);
    // As write, at the current end of the target.
    bool append(uint32_t offset, uint32_t length);
    bool append(const char* target, uint32_t offset, uint32_t length);
    bool append(const String& target, uint32_t offset, uint32_t length);
    bool append(const Dir& target, uint32_t offset, uint32_t length);
    bool append(const FileBin& target, uint32_t offset, uint32_t length);
    // Sets the length of the own file on disk (not of the buffer).
    bool resizeFile(uint32_t size);
    // Copies the own file to the target in CopyChunk pieces through copyBuffer; a target that
    // names a directory receives the own file name. A failed transfer removes the target.
    bool copy(const char* target);
    bool copy(const String& target);
    bool copy(const StringRef& target);
    bool copy(const Dir& target);
    bool copy(const FileBin& target);
    // copy to the own path followed by ".bak".
    bool backup();
    // Creates every directory of the own path.
    void createDirs();
    // Appends zero bytes up to a multiple of `multiple` (a multiple of 0 changes nothing).
    void padTo(uint32_t multiple);
    // `value` rounded up to a multiple of `multiple`, in 32-bit arithmetic (0 gives value).
    static uint32_t roundUp(uint32_t value, uint32_t multiple);

    // ---- File search (kestrin/filesearch.cpp) ----
    // Sets the path to the next file, below the start directory (startDir, full or relative, or
    // the current directory when null), whose extension equals `extension` in any case ("*" takes
    // every file); depth first, in the system's listing order, resuming where the last call
    // stopped. False when the walk is exhausted (the next call starts over), or with DirNotFound
    // when startDir cannot be entered. The current directory is the caller's again on return;
    // the buffer is untouched. Directories that cannot be entered or listed, that lie deeper than
    // MaxSearchDepth levels, or that are already open on the walk (a link loop) are skipped.
    bool findNext(const char* extension, PathMode mode, const char* startDir);
    // Lists every matching file with a number, asks for one on the console and reads the chosen
    // file whole into the buffer. False with Cancelled when the user answers 0 (or standard input
    // ends), the path then as it was; false with the read's error when the read fails.
    bool choose(const char* extension, PathMode mode, const char* startDir);

private:
    enum class WriteMode { InPlace, Emptied, AtEnd };
    bool writeTo(const char* target, WriteMode mode, uint64_t position, uint32_t offset, uint32_t length);
    bool copyFile(const char* target);
    bool readInto(uint64_t position, uint64_t length, bool appending);

    // Search state: the walk (the open listing of each level, with the loop guard), the full start
    // directory and the directory of the file found last, as library paths.
    void resetSearch();
    void storeFoundPath(const char* name, PathMode mode, const Dir& caller);

    platform::DirectoryWalk findWalk;
    Dir searchRoot;
    Dir searchDir;
};

// Comparison of paths (Dir equality) between a FileBin and a Dir.
bool operator==(const FileBin& a, const Dir& b);
bool operator==(const Dir& a, const FileBin& b);
bool operator!=(const FileBin& a, const Dir& b);
bool operator!=(const Dir& a, const FileBin& b);
// Comparison of buffer contents (Buffer equality) between FileBins, or a FileBin and a Buffer.
bool operator==(const FileBin& a, const FileBin& b);
bool operator==(const FileBin& a, const Buffer& b);
bool operator==(const Buffer& a, const FileBin& b);
bool operator!=(const FileBin& a, const FileBin& b);
bool operator!=(const FileBin& a, const Buffer& b);
bool operator!=(const Buffer& a, const FileBin& b);
// The left contents followed by the right ones.
Buffer operator+(const FileBin& a, const FileBin& b);
Buffer operator+(const FileBin& a, const Buffer& b);
Buffer operator+(const Buffer& a, const FileBin& b);

// Creates every directory along `path` (less its file name), one level after the other; a level
// that exists or cannot be made is passed over.
void createDirectories(const Dir& path);

// The one chunk buffer of every copy: raised to CopyChunk bytes on the first copy, never shrunk.
extern Buffer copyBuffer;

}  // namespace Kestrin
