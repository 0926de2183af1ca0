// Reading ranges of images up to 4 GiB, and the range and zero appends of a rebuild.
#include "patchers/common/image_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "patchers/common/rebuild.h"
#include "kestrin/error.h"
#include "kestrin/filebin.h"
#include "memory_image.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> stamp(uint32_t offset, size_t length) {
    std::vector<unsigned char> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>((offset >> ((i % 4) * 8)) + i * 7);
    return bytes;
}

// A sparse file of `size` bytes with stamps of 16 bytes at each offset.
void makeSparse(const std::string& path, uint64_t size, const std::vector<uint32_t>& offsets) {
    { std::ofstream create(path, std::ios::binary); }
    fs::resize_file(path, size);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    for (uint32_t offset : offsets) {
        const auto bytes = stamp(offset, 16);
        file.seekp(offset);
        file.write(reinterpret_cast<const char*>(bytes.data()), 16);
    }
}

TEST(ImageAccess, ReadsLandExactlyAtEveryOffsetUpTo4GiB) {
    ScratchFolder folder;
    const std::string path = folder.file("big.iso");
    const std::vector<uint32_t> offsets = {0, 0x3FFFFFF0, 0x40000000, 0x7FFFFFF0, 0x80000000, 0xC0000000, 0xFFFFFFE0};
    makeSparse(path, 0x100000000ull, offsets);
    FileImageSource image(path.c_str());
    ASSERT_TRUE(image.isOpen());
    EXPECT_EQ(image.size(), 0x100000000ull);
    // Backwards as well as forwards: each read starts where it says, whatever came before.
    for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) {
        unsigned char bytes[16];
        ASSERT_TRUE(image.read(*offset, bytes, 16)) << *offset;
        EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 16), stamp(*offset, 16)) << std::hex << *offset;
    }
}

TEST(ImageAccess, AReadPastTheEndFailsAndAMissingImageCannotBeOpened) {
    ScratchFolder folder;
    folder.write("small.iso", stamp(0, 100));
    FileImageSource image(folder.file("small.iso").c_str());
    ASSERT_TRUE(image.isOpen());
    unsigned char bytes[50];
    EXPECT_FALSE(image.read(90, bytes, 50));
    ASSERT_TRUE(image.read(90, bytes, 10));
    const auto whole = stamp(0, 100);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 10), std::vector<unsigned char>(whole.begin() + 90, whole.end()));
    EXPECT_EQ(image.open(folder.file("missing.iso").c_str()), platform::FileError::Missing);
    EXPECT_FALSE(image.isOpen());
}

// The temporary image: a file left by an earlier run is emptied first, and an append longer than
// the system is handed at once lands whole and in order.
TEST(ImageAccess, ASinkEmptiesAnOldFileAndKeepsLongAppendsWhole) {
    ScratchFolder folder;
    folder.write("game_temp.iso", std::vector<unsigned char>(800000, 0x5A));  // longer than what follows
    std::vector<unsigned char> first(700000);  // no two pieces of it alike
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<unsigned char>(i * 131 + (i >> 12));
    const auto second = stamp(2, 3);
    {
        FileImageSink sink(folder.file("game_temp.iso").c_str());
        ASSERT_TRUE(sink.isOpen());
        ASSERT_TRUE(sink.append(first.data(), static_cast<uint32_t>(first.size())));
        ASSERT_TRUE(sink.append(second.data(), static_cast<uint32_t>(second.size())));
    }
    auto expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(folder.read("game_temp.iso"), expected);
}

// One rebuild from a source in memory into a sink in memory.
struct Rebuild {
    explicit Rebuild(const Bytes& bytes, size_t limit = SIZE_MAX) : source(bytes), target(limit) {
        context.progress = [this](double percent) { shown.push_back(percent); };
    }
    MemorySource source;
    MemorySink target;
    RebuildContext context{source, target, 1000, 2};
    std::vector<double> shown;  // what the progress reports said, in order
};

TEST(RebuildPrimitives, RangeCopiesAreExactAcrossChunkBoundaries) {
    const uint32_t chunk = kCopyChunk;
    Bytes source(2 * chunk + 5000);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<unsigned char>(i * 131 + (i >> 16));
    for (uint32_t length : {0u, 1u, chunk - 1, chunk, chunk + 1, 2 * chunk + 1}) {
        Rebuild rebuild(source);
        rebuild.context.progressTotal = length ? length : 1;
        ASSERT_EQ(copyImageRange(3000, length, rebuild.context), 1) << length;
        EXPECT_EQ(rebuild.context.written, length);
        EXPECT_EQ(rebuild.target.bytes, Bytes(source.begin() + 3000, source.begin() + 3000 + length));
        // One read, one append and one progress report per chunk, ending at half the run when the
        // rebuild is the first of two stages.
        const int chunks = static_cast<int>((length + chunk - 1) / chunk);
        EXPECT_EQ(rebuild.source.reads, chunks) << length;
        EXPECT_EQ(rebuild.target.appends, chunks) << length;
        EXPECT_EQ(rebuild.shown.size(), static_cast<size_t>(chunks)) << length;
        if (length) {
            EXPECT_EQ(rebuild.shown.back(), 50.0);
        }
    }
}

TEST(RebuildPrimitives, ZerosAreAppendedWhole) {
    Rebuild rebuild(Bytes(4096, 0xEE));
    ASSERT_EQ(copyImageRange(0, 3, rebuild.context), 1);
    ASSERT_EQ(writeZeros(21002240, rebuild.context), 1);
    // Zeros after a longer copy: the bytes it read are not what the zeros are made of.
    ASSERT_EQ(copyImageRange(0, 4096, rebuild.context), 1);
    ASSERT_EQ(writeZeros(2048, rebuild.context), 1);
    const Bytes& result = rebuild.target.bytes;
    ASSERT_EQ(result.size(), 21002243u + 4096 + 2048);
    EXPECT_EQ(rebuild.target.appends, 4);
    EXPECT_EQ(Bytes(result.begin(), result.begin() + 3), Bytes(3, 0xEE));
    EXPECT_EQ(std::count(result.begin() + 3, result.begin() + 21002243, 0), 21002240);
    EXPECT_EQ(std::count(result.end() - 2048, result.end(), 0), 2048);
}

TEST(RebuildPrimitives, FailuresStopTheRebuildAndSayWhy) {
    {
        Rebuild shortSource(stamp(0, 4096));
        EXPECT_EQ(copyImageRange(4000, 200, shortSource.context), 0);  // the source ends 96 bytes in
        EXPECT_EQ(shortSource.context.failure, RebuildFailure::ReadSource);
        EXPECT_EQ(shortSource.context.written, 0u);
    }
    {
        Rebuild full(stamp(0, 4096), 2047);  // a target that takes no more than 2047 bytes
        EXPECT_EQ(writeZeros(2048, full.context), 0);
        EXPECT_EQ(full.context.failure, RebuildFailure::WriteTarget);
        EXPECT_EQ(copyImageRange(0, 2048, full.context), 0);
        EXPECT_EQ(full.context.failure, RebuildFailure::WriteTarget);
        EXPECT_EQ(full.context.written, 0u);
    }
}

TEST(RebuildPrimitives, APlanStopsAtAStepWhoseLengthDisagrees) {
    const NameTableEntry destination[] = {{"a", 1, 1}, {"", 0, 0}};
    const NameTableEntry source[] = {{"a", 0, 0}, {"", 0, 0}};
    const NameTable names = {destination, source};
    const RebuildStep steps[] = {
        {StepKind::Zeros, 0, 0, 2048, nullptr, nullptr},
        {StepKind::Copy, 0, 0, 2048, nullptr, nullptr},
        {StepKind::NameTable, 0, 0, 2048, &names, nullptr},  // the table writes 4096 bytes
        {StepKind::Zeros, 0, 0, 2048, nullptr, nullptr},
    };
    Rebuild rebuild(stamp(0, 4096));
    EXPECT_EQ(runRebuildPlan({steps, 4}, rebuild.context), 0);
    EXPECT_EQ(rebuild.context.failure, RebuildFailure::BadStep);
    EXPECT_EQ(rebuild.context.written, 8192u);
    EXPECT_EQ(rebuiltSize({steps, 4}), 8192u);
}

}  // namespace

namespace {

// An image that a patcher holds open is not one the mode toggler may take for itself.
TEST(ImageAccess, AnImageHeldByAPatcherCannotBeTakenForWriting) {
    ScratchFolder folder;
    folder.write("fr.iso", stamp(0, 64));
    const std::string path = folder.file("fr.iso");
    Kestrin::FileBin image;
    image = Kestrin::Dir("fr.iso");  // the scratch folder is current
    image.resize(4);
    const auto refused = [&](const char* what) {
        EXPECT_FALSE(image.write(0, 0, 4)) << what;
        EXPECT_EQ(Kestrin::LastError.code, static_cast<uint32_t>(Kestrin::FileError::OpenFailed)) << what;
    };
    {
        FileImageSource reading(path.c_str());
        ASSERT_TRUE(reading.isOpen());
        refused("held for reading");
    }
    {
        FileImageSink writing(path.c_str());
        ASSERT_TRUE(writing.isOpen());
        refused("held for writing");
    }
    EXPECT_TRUE(image.write(0, 0, 4)) << "free again";
}

}  // namespace
