// The files of a disc image's file system, read with libcdio: UDF where the image has it, ISO 9660
// otherwise.
#pragma once

#include <cstdint>
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
// says why, when it is a folder or cannot be opened for reading.
bool measureImage(const std::string& path, uint64_t& size, std::string& error);

// Reads the file list of the image at `path`. UDF names keep their case; ISO 9660 names are the
// Rock Ridge or Joliet ones where the image has them, without the version suffix (";1"). False,
// with a sentence in `error` that names the image, when it cannot be opened, holds neither file
// system, a folder cannot be read, or a file reaches past the end of the image.
bool readDiscFiles(const std::string& path, DiscListing& listing, std::string& error);
