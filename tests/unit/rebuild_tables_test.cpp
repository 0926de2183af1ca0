// copyByNameTable and copySoundRun on small hand-made source images: what lands in the target.
#include "patchers/common/rebuild.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/memory_image.h"

namespace {

// A sector whose every byte names it, so that a misplaced sector shows which one it is. The byte
// values stay away from the header marks (no word of such a sector is 24, 16 or 48000).
Bytes sector(unsigned index) {
    return Bytes(kSectorSize, static_cast<unsigned char>(0x40 + index % 0x80));
}

Bytes zeroSectors(unsigned count) {
    return Bytes(size_t{count} * kSectorSize, 0);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// `count` consecutive sectors of the source, starting at sector `first`.
Bytes sectors(unsigned first, unsigned count) {
    Bytes out;
    for (unsigned i = 0; i < count; ++i) {
        const Bytes one = sector(first + i);
        out.insert(out.end(), one.begin(), one.end());
    }
    return out;
}

void putWord(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// A source image of `count` named sectors, with the four header words written at the sectors given.
struct Header {
    unsigned sector;
    uint32_t words[4];
};
constexpr uint32_t kTag = 0x64685353;  // "SShd"
const uint32_t kFullHeader[4] = {kTag, 24, 16, 48000};

Bytes sourceImage(unsigned count, std::initializer_list<Header> headers) {
    Bytes image = sectors(0, count);
    for (const Header& header : headers) {
        for (int w = 0; w < 4; ++w) putWord(image, size_t{header.sector} * kSectorSize + 4 * w, header.words[w]);
    }
    return image;
}

Header streamAt(unsigned sectorIndex) {
    return {sectorIndex, {kFullHeader[0], kFullHeader[1], kFullHeader[2], kFullHeader[3]}};
}

// The bytes of `image` from sector `first` on, `count` sectors long.
Bytes slice(const Bytes& image, unsigned first, unsigned count) {
    return Bytes(image.begin() + size_t{first} * kSectorSize, image.begin() + size_t{first + count} * kSectorSize);
}

// One rebuild from `source` in memory as the European image into a sink in memory.
class Rebuild {
public:
    explicit Rebuild(const Bytes& source) : source_(source) {}

    // What the target holds.
    const Bytes& target() {
        EXPECT_EQ(target_.bytes.size(), context.written) << "`written` disagrees with the target";
        return target_.bytes;
    }

private:
    MemorySource source_;
    MemorySink target_;

public:
    RebuildContext context{source_, target_, 1000000, 2};
};

// ---- copyByNameTable --------------------------------------------------------------------------

TEST(CopyByNameTable, FillsGapsWithZerosAndTakesEachFileFromItsSourceSector) {
    const Bytes source = sectors(0, 20);
    const NameTableEntry destination[] = {{"b.bin", 3, 2}, {"a.bin", 5, 1}, {"c.bin", 8, 3}, {"", 0, 0}};
    const NameTableEntry sources[] = {{"a.bin", 1, 0}, {"c.bin", 4, 0}, {"b.bin", 9, 0}, {"", 0, 0}};
    Rebuild rebuild(source);
    // base sector 2: a.bin at sector 3, c.bin at 6, b.bin at 11
    ASSERT_EQ(copyByNameTable(2, NameTable{destination, sources}, rebuild.context), 1);
    EXPECT_EQ(rebuild.target(), concat({zeroSectors(3), sectors(11, 2), sectors(3, 1), zeroSectors(2), sectors(6, 3)}));
}

// The scattered reads are announced before they are made, each as it will be read; a file the
// source lacks is not announced.
TEST(CopyByNameTable, AnnouncesEachReadBeforeMakingIt) {
    const NameTableEntry destination[] = {{"b.bin", 3, 2}, {"x.bin", 5, 1}, {"c.bin", 8, 3}, {"", 0, 0}};
    const NameTableEntry sources[] = {{"c.bin", 4, 0}, {"b.bin", 9, 0}, {"", 0, 0}};
    MemorySource source(sectors(0, 20));
    MemorySink target;
    RebuildContext context{source, target, 1000000, 2};
    ASSERT_EQ(copyByNameTable(2, NameTable{destination, sources}, context), 1);
    using Access = MemorySource::Access;
    const std::vector<Access> expected = {
        {'A', 11 * kSectorSize, 2 * kSectorSize}, {'A', 6 * kSectorSize, 3 * kSectorSize},
        {'R', 11 * kSectorSize, 2 * kSectorSize}, {'R', 6 * kSectorSize, 3 * kSectorSize}};
    EXPECT_EQ(source.accesses, expected);
}

TEST(CopyByNameTable, LengthComesFromTheDestinationWhateverTheSourceHolds) {
    // In the source a.bin is one sector long and b.bin follows it; the destination wants three.
    const NameTableEntry destination[] = {{"a.bin", 0, 3}, {"", 0, 0}};
    const NameTableEntry sources[] = {{"a.bin", 4, 0}, {"b.bin", 5, 0}, {"", 0, 0}};
    Rebuild rebuild(sectors(0, 10));
    ASSERT_EQ(copyByNameTable(0, NameTable{destination, sources}, rebuild.context), 1);
    EXPECT_EQ(rebuild.target(), sectors(4, 3));
}

TEST(CopyByNameTable, NamesMatchWholeAndWithTheirCaseOrGiveZeros) {
    struct Case {
        const char* what;
        const char* wanted;
        Bytes expected;
    };
    // Source rows, in this order: the twins that a loose comparison would take first, then the
    // exact names.
    const NameTableEntry sources[] = {{"data.bin", 1, 0},     {"Data.bin.old", 2, 0}, {"Data", 3, 0},
                                      {"Data.bin", 4, 0},     {"x.bin", 5, 0},        {"", 0, 0}};
    const Case cases[] = {
        {"exact name after a case twin and prefix twins", "Data.bin", sectors(4, 2)},
        {"only a lower-case twin exists", "X.BIN", zeroSectors(2)},
        {"name absent", "missing.bin", zeroSectors(2)},
        {"a longer source name is not a match", "Data.bin.o", zeroSectors(2)},
    };
    for (const Case& c : cases) {
        const NameTableEntry destination[] = {{c.wanted, 0, 2}, {"", 0, 0}};
        Rebuild rebuild(sectors(0, 8));
        ASSERT_EQ(copyByNameTable(0, NameTable{destination, sources}, rebuild.context), 1) << c.what;
        EXPECT_EQ(rebuild.target(), c.expected) << c.what;
    }
}

TEST(CopyByNameTable, EmptyDestinationListAppendsNothing) {
    const NameTableEntry end[] = {{"", 0, 0}};
    const NameTableEntry sources[] = {{"a.bin", 0, 0}, {"", 0, 0}};
    Rebuild rebuild(sectors(0, 2));
    ASSERT_EQ(copyByNameTable(0, NameTable{end, sources}, rebuild.context), 1);
    EXPECT_TRUE(rebuild.target().empty());
}

TEST(CopyByNameTable, FileBeyondTheSourceEndStopsTheRebuildRatherThanWritingLess) {
    const NameTableEntry destination[] = {{"a.bin", 0, 1}, {"b.bin", 1, 4}, {"", 0, 0}};
    const NameTableEntry sources[] = {{"a.bin", 0, 0}, {"b.bin", 3, 0}, {"", 0, 0}};
    Rebuild rebuild(sectors(0, 5));  // b.bin would need sectors 3 to 6
    EXPECT_EQ(copyByNameTable(0, NameTable{destination, sources}, rebuild.context), 0);
    EXPECT_EQ(rebuild.context.failure, RebuildFailure::ReadSource);
    EXPECT_EQ(rebuild.target(), sectors(0, 1));
}

TEST(CopyByNameTable, OverlappingRowsStopTheRebuildInsteadOfWritingGigabytesOfZeros) {
    const NameTableEntry destination[] = {{"a.bin", 0, 3}, {"b.bin", 2, 1}, {"", 0, 0}};
    const NameTableEntry sources[] = {{"a.bin", 0, 0}, {"b.bin", 3, 0}, {"", 0, 0}};
    Rebuild rebuild(sectors(0, 5));
    EXPECT_EQ(copyByNameTable(0, NameTable{destination, sources}, rebuild.context), 0);
    EXPECT_EQ(rebuild.context.failure, RebuildFailure::BadStep);
    EXPECT_EQ(rebuild.target(), sectors(0, 3));
}

// ---- copySoundRun -----------------------------------------------------------------------------

TEST(SoundStreamHeader, AnyOneOfTheFourMarksStartsAStream) {
    struct Case {
        uint32_t words[4];
        bool header;
    };
    const Case cases[] = {
        {{kTag, 24, 16, 48000}, true},   {{kTag, 0, 0, 0}, true},       {{0, 24, 0, 0}, true},
        {{0, 0, 16, 0}, true},           {{0, 0, 0, 48000}, true},      {{0, 0, 0, 0}, false},
        {{0x53536864, 0, 0, 0}, false},  {{kTag + 1, 23, 17, 47999}, false},
        {{24, 16, 48000, 0}, false},     {{0, 0x18000000, 0x10000000, 0x80BB0000}, false},
    };
    for (const Case& c : cases) {
        Bytes bytes(16);
        for (int w = 0; w < 4; ++w) putWord(bytes, 4 * w, c.words[w]);
        EXPECT_EQ(isSoundStreamHeader(bytes.data()), c.header)
            << std::hex << c.words[0] << " " << c.words[1] << " " << c.words[2] << " " << c.words[3];
    }
}

TEST(CopySoundRun, SlotsShorterAndLongerThanTheirStreams) {
    // Streams at sectors 0 (3 long), 3 (2 long) and 5; the US slots are 2, 3 and 1 sectors: the
    // first drops its last sector, the second takes the third stream's header sector with it.
    const Bytes image = sourceImage(8, {streamAt(0), streamAt(3), streamAt(5)});
    const int32_t offsets[] = {0, 2 * 2048, 5 * 2048};
    Rebuild rebuild(image);
    ASSERT_EQ(copySoundRun(0, 8 * 2048, SoundOffsetTable{offsets, 3, 6 * 2048}, rebuild.context), 1);
    EXPECT_EQ(rebuild.target(), concat({slice(image, 0, 2), slice(image, 3, 3), slice(image, 5, 1)}));
}

TEST(CopySoundRun, NextHeaderFiveSectorsOnSkipsExactlyThoseSectors) {
    const Bytes image = sourceImage(12, {streamAt(2), streamAt(7)});
    const int32_t offsets[] = {0, 2048};
    Rebuild rebuild(image);
    // The run starts at sector 2 of the image; its next stream starts five sectors on, at sector 7.
    ASSERT_EQ(copySoundRun(2 * 2048, 10 * 2048, SoundOffsetTable{offsets, 2, 3 * 2048}, rebuild.context), 1);
    EXPECT_EQ(rebuild.target(), concat({slice(image, 2, 1), slice(image, 7, 2)}));
}

TEST(CopySoundRun, OneMarkSufficesAndAMarkInsideAStreamStartsTheNextOne) {
    struct Case {
        const char* what;
        Header mark;          // written at sector 2 of a run whose streams start at 0 and 4
        unsigned secondStart; // where the rebuild takes the second stream from
    };
    const Case cases[] = {
        {"tag only", {2, {kTag, 1, 2, 3}}, 2},
        {"header size only", {2, {1, 24, 2, 3}}, 2},
        {"codec only", {2, {1, 2, 16, 3}}, 2},
        {"rate only", {2, {1, 2, 3, 48000}}, 2},
        {"near misses", {2, {kTag ^ 0x01000000, 25, 15, 48001}}, 4},
    };
    for (const Case& c : cases) {
        const Bytes image = sourceImage(6, {streamAt(0), c.mark, streamAt(4)});
        const int32_t offsets[] = {0, 2048};
        Rebuild rebuild(image);
        ASSERT_EQ(copySoundRun(0, 6 * 2048, SoundOffsetTable{offsets, 2, 3 * 2048}, rebuild.context), 1) << c.what;
        EXPECT_EQ(rebuild.target(), concat({slice(image, 0, 1), slice(image, c.secondStart, 2)})) << c.what;
    }
}

TEST(CopySoundRun, NoEntriesAppendNothing) {
    const int32_t offsets[] = {0};
    Rebuild rebuild(sourceImage(2, {streamAt(0)}));
    ASSERT_EQ(copySoundRun(0, 2 * 2048, SoundOffsetTable{offsets, 0, 0}, rebuild.context), 1);
    EXPECT_TRUE(rebuild.target().empty());
}

TEST(CopySoundRun, NothingIsLookedForAfterTheLastStream) {
    // No header follows the last stream; its slot runs to the end of the run read.
    const Bytes image = sourceImage(4, {streamAt(0), streamAt(1)});
    const int32_t offsets[] = {0, 2048};
    Rebuild rebuild(image);
    ASSERT_EQ(copySoundRun(0, 4 * 2048, SoundOffsetTable{offsets, 2, 4 * 2048}, rebuild.context), 1);
    EXPECT_EQ(rebuild.target(), concat({slice(image, 0, 1), slice(image, 1, 3)}));
}

TEST(CopySoundRun, RunCutByTheEndOfTheImageStillServesSlotsInsideIt) {
    const Bytes image = sourceImage(3, {streamAt(0), streamAt(2)});
    const int32_t offsets[] = {0, 2048};
    Rebuild rebuild(image);
    ASSERT_EQ(copySoundRun(0, 50 * 2048, SoundOffsetTable{offsets, 2, 2 * 2048}, rebuild.context), 1);
    EXPECT_EQ(rebuild.target(), concat({slice(image, 0, 1), slice(image, 2, 1)}));
}

TEST(CopySoundRun, ScanOrSlotPastTheRunStopsInsideItAndFails) {
    struct Case {
        const char* what;
        Bytes image;
        uint32_t length;           // bytes of the run read
        std::vector<int32_t> offsets;
        uint32_t end;
        size_t appended;           // bytes written before the failure
    };
    const Bytes twoStreams = sourceImage(4, {streamAt(0), streamAt(2)});
    // A header in a sector cut short by the end of the run must not be read past its end.
    Bytes cutHeader = sourceImage(2, {streamAt(0)});
    cutHeader.resize(2048 + 12);
    putWord(cutHeader, 2048 + 4, 24);
    const Case cases[] = {
        {"no header after the first of three streams", sourceImage(4, {streamAt(0)}), 4 * 2048, {0, 2048, 2 * 2048}, 3 * 2048, 2048},
        {"header in the last 12 bytes only", cutHeader, 2048 + 12, {0, 2048}, 2 * 2048, 2048},
        {"last slot past the run", twoStreams, 4 * 2048, {0, 2048}, 4 * 2048, 2048},
        {"first slot past the run", twoStreams, 4 * 2048, {0}, 5 * 2048, 0},
        {"slot past a run cut by the end of the image", twoStreams, 9 * 2048, {0, 2048}, 6 * 2048, 2048},
        {"offsets that go backwards", twoStreams, 4 * 2048, {0, 2048, 1024}, 3 * 2048, 2048},
    };
    for (const Case& c : cases) {
        Rebuild rebuild(c.image);
        const SoundOffsetTable table{c.offsets.data(), static_cast<uint32_t>(c.offsets.size()), c.end};
        EXPECT_EQ(copySoundRun(0, c.length, table, rebuild.context), 0) << c.what;
        EXPECT_EQ(rebuild.context.failure, RebuildFailure::BadStep) << c.what;
        const Bytes target = rebuild.target();
        EXPECT_EQ(target.size(), c.appended) << c.what;
        EXPECT_TRUE(std::equal(target.begin(), target.end(), c.image.begin())) << c.what;
    }
}

}  // namespace
