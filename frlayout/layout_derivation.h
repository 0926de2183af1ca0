// The rows of a rebuild's layout tables, worked out from the file lists and the bytes of a US and a
// European image at places the caller gives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frlayout/disc_files.h"
#include "patchers/common/image_access.h"

// A row of a name table: destination rows count sectors from the start of the area and carry a
// length; source rows count from the base sector and carry none (0).
struct NameRow {
    std::string name;
    int32_t sector;
    int32_t sectors;
};

struct NameRows {
    std::vector<NameRow> destination;  // US disc order
    std::vector<NameRow> source;       // European disc order
};

// What a derivation found. A problem breaks the model of the tables, so nothing may be written
// from them; a note is worth a maintainer's look but changes nothing.
struct Findings {
    std::vector<std::string> problems;
    std::vector<std::string> notes;
};

// The part of the two images that a name table rebuilds.
struct NameArea {
    uint32_t firstSector;  // where the area starts in the US image
    uint32_t sectors;      // its length
    uint32_t baseSector;   // the sector of the European image that source rows count from
    // Whether European files that no US file names, lying between the named ones, get source rows
    // of their own (they are never copied; a layout's published source list holds them or not).
    bool keepUnnamedFiles;
};

// Destination rows: every non-empty US file whose extent lies in the area, in disc order. Source
// rows: the European files of the same names in European disc order (with the unnamed files
// between them, if the area keeps them). Problems: a file that straddles an end of the area,
// overlapping files, a destination name that the European image lacks or holds empty, a source
// file before the base sector. Notes: the stretches of the area that no file covers, the unnamed
// European files, the files whose length differs between the images.
NameRows deriveNameRows(const std::vector<DiscFile>& us, const std::vector<DiscFile>& european, const NameArea& area,
                        Findings& findings);

// Where a sound run of the rebuild lies in each image, in bytes.
struct SoundRunPlace {
    uint32_t usOffset;
    uint32_t usLength;  // the run's end offset in the table
    uint32_t europeanOffset;
    uint32_t europeanLength;
};

struct SoundRows {
    std::vector<int32_t> offsets;  // where each stream starts in the US run
    uint32_t end;                  // the run's length in the US image
};

// The stream starts of a US run, found by the rebuild's own scan: the run's first sector, which
// must begin with a stream header, and every later sector that begins with one. `label` ("S3")
// names the run in the findings.
SoundRows deriveSoundRows(const unsigned char* usRun, uint32_t usLength, const std::string& label, Findings& findings);

// The European run must begin with a stream header and hold, by the same scan, as many streams as
// the US run; where the counts differ the first stream whose header sector differs is named.
void crossCheckSoundRun(const unsigned char* usRun, uint32_t usLength, const unsigned char* europeanRun,
                        uint32_t europeanLength, const SoundRows& rows, const std::string& label, Findings& findings);

// Rebuilds the run from the European image at `europeanPath` with the rebuild's own copySoundRun
// and the derived rows, and checks that the result is as long as the US run with a stream header
// at every offset.
void proveSoundRun(ImageSource& european, const SoundRunPlace& place, const SoundRows& rows, const std::string& label,
                   Findings& findings);
