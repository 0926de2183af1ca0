// The files of a disc image's file system as libcdio reads them: UDF where the image has it, ISO
// 9660 otherwise; its structures checked first, both trees of a bridge held against each other,
// and libcdio's reading held against the checked one, in a child process that a crash or a hang
// on a damaged image cannot take the program down with.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One file of a disc image.
struct DiscFile {
    std::string name;  // its path from the root, with '/' between folders: "res/Map/m012.map.lzr"
    uint32_t sector;   // where its data starts, in sectors from the start of the image
    uint64_t size;     // its length in bytes; an empty file's sector means nothing
};

enum class FileSystemKind { Udf, Iso9660 };

struct DiscListing {
    FileSystemKind kind;
    uint64_t imageSize;           // bytes
    std::vector<DiscFile> files;  // every file below the root, in no particular order
};

const char* fileSystemName(FileSystemKind kind);

// The length of the file at `path` in bytes; false, with a sentence in `error` that names it and
// says why, when it is no regular file (a folder, a FIFO, a device) or cannot be opened for reading.
bool measureImage(const std::string& path, uint64_t& size, std::string& error);

// Reads the file list of the image at `path` with libudf, or libiso9660 where it has no UDF. UDF
// names keep their case; ISO 9660 names are the Rock Ridge ones, else the Joliet ones, else the
// plain ones without their version (";1"). False, with a sentence in `error` that names the image,
// when it cannot be opened, holds neither file system, or is damaged: a structure that does not
// hold, a folder loop, an entry or a file outside the image, a volume longer than the image, a file
// in pieces, a name given twice, two trees of a bridge that place a file differently, or a library
// reading that differs from the checked one in a name, a place or a length.
// The reading runs in a child process: a crash or a hang there is told as a damaged file system.
bool readDiscFiles(const std::string& path, DiscListing& listing, std::string& error);

// The same reading in this process, telling `stage` what it does; what the child process runs.
bool listDiscFiles(const std::string& path, DiscListing& listing, std::string& error,
                   const std::function<void(const std::string&)>& stage);
