// Reading ranges of images up to 4 GiB, and the range and zero appends of a rebuild.
#include "patchers/common/image_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "patchers/common/rebuild.h"
#include "kestrin/error.h"
#include "kestrin/filebin.h"
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
    const std::string image = folder.file("big.iso");
    const std::vector<uint32_t> offsets = {0, 0x3FFFFFF0, 0x40000000, 0x7FFFFFF0, 0x80000000, 0xC0000000, 0xFFFFFFE0};
    makeSparse(image, 0x100000000ull, offsets);
    for (uint32_t offset : offsets) {
        int slot = kClosedSlot;
        unsigned char* buffer = nullptr;
        uint32_t length = 0;
        ASSERT_EQ(readImageRange(&slot, image.c_str(), &buffer, &length, 16, offset), 1) << offset;
        EXPECT_EQ(slot, kClosedSlot);
        EXPECT_EQ(length, 16u);
        EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 16), stamp(offset, 16)) << std::hex << offset;
        free(buffer);
    }
}

TEST(ImageAccess, AReadPastTheEndIsCutAndAnOpenSlotIsUsedAndClosed) {
    ScratchFolder folder;
    folder.write("small.iso", stamp(0, 100));
    int slot = kClosedSlot;
    openForReading(&slot, folder.file("small.iso").c_str());
    ASSERT_GE(slot, 0);
    unsigned char* buffer = nullptr;
    uint32_t length = 0;
    // The path is wrong on purpose: the open descriptor is the one read.
    ASSERT_EQ(readImageRange(&slot, "missing.iso", &buffer, &length, 50, 90), 1);
    EXPECT_EQ(slot, kClosedSlot);
    EXPECT_EQ(length, 10u);
    const auto whole = stamp(0, 100);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 10), std::vector<unsigned char>(whole.begin() + 90, whole.end()));
    free(buffer);

    ImageReadFailure why = ImageReadFailure::None;
    EXPECT_EQ(readImageRange(&slot, "missing.iso", &buffer, &length, 4, 0, &why), 0);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(why, ImageReadFailure::Open);
}

struct Rebuild {
    explicit Rebuild(const ScratchFolder& folder, const std::string& source)
        : sourcePath(folder.file(source)), targetPath(folder.file("target.iso")) {
        createForWriting(&target, targetPath.c_str());
        context = {&sourceSlot, sourcePath.c_str(), &buffer, 1000, target, &written, 2, RebuildFailure::None};
    }
    ~Rebuild() { closeSlot(&target); }
    std::vector<unsigned char> result() {
        closeSlot(&target);
        std::ifstream in(targetPath, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }

    std::string sourcePath, targetPath;
    int sourceSlot = kClosedSlot;
    int target = kClosedSlot;
    unsigned char* buffer = nullptr;
    uint32_t written = 0;
    RebuildContext context;
};

TEST(RebuildPrimitives, RangeCopiesAreExactAcrossChunkBoundaries) {
    ScratchFolder folder;
    const uint32_t chunk = kCopyChunk;
    std::vector<unsigned char> source(2 * chunk + 5000);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<unsigned char>(i * 131 + (i >> 16));
    folder.write("source.iso", source);
    for (uint32_t length : {0u, 1u, chunk - 1, chunk, chunk + 1, 2 * chunk + 1}) {
        Rebuild rebuild(folder, "source.iso");
        rebuild.context.progressTotal = length ? length : 1;
        testing::internal::CaptureStdout();
        ASSERT_EQ(copyImageRange(3000, length, rebuild.context), 1) << length;
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(rebuild.written, length);
        EXPECT_EQ(rebuild.result(), std::vector<unsigned char>(source.begin() + 3000, source.begin() + 3000 + length));
        EXPECT_EQ(rebuild.buffer, nullptr);
        EXPECT_EQ(rebuild.sourceSlot, kClosedSlot);
        // One progress line per chunk, ending at half the run when the rebuild is the first of two stages.
        const size_t chunks = (length + chunk - 1) / chunk;
        size_t lines = 0;
        for (size_t at = printed.find("Progression"); at != std::string::npos; at = printed.find("Progression", at + 1)) ++lines;
        EXPECT_EQ(lines, chunks) << length;
        if (length) {
            EXPECT_EQ(printed.substr(printed.size() - 19), "Progression : 50 %\r");
        }
    }
}

TEST(RebuildPrimitives, ZerosAreAppendedWhole) {
    ScratchFolder folder;
    folder.write("source.iso", {1, 2, 3});
    Rebuild rebuild(folder, "source.iso");
    testing::internal::CaptureStdout();
    ASSERT_EQ(copyImageRange(0, 3, rebuild.context), 1);
    ASSERT_EQ(writeZeros(21002240, rebuild.context), 1);
    testing::internal::GetCapturedStdout();
    const auto result = rebuild.result();
    ASSERT_EQ(result.size(), 21002243u);
    EXPECT_EQ(std::vector<unsigned char>(result.begin(), result.begin() + 3), (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_EQ(std::count(result.begin() + 3, result.end(), 0), 21002240);
}

TEST(RebuildPrimitives, FailuresStopTheRebuildAndSayWhy) {
    ScratchFolder folder;
    folder.write("source.iso", stamp(0, 4096));
    {
        Rebuild missing(folder, "no-such.iso");
        EXPECT_EQ(copyImageRange(0, 10, missing.context), 0);
        EXPECT_EQ(missing.context.failure, RebuildFailure::OpenSource);
        EXPECT_EQ(missing.written, 0u);
    }
    {
        Rebuild shortSource(folder, "source.iso");
        testing::internal::CaptureStdout();
        EXPECT_EQ(copyImageRange(4000, 200, shortSource.context), 0);  // the source ends 96 bytes in
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(shortSource.context.failure, RebuildFailure::ReadSource);
        EXPECT_EQ(shortSource.written, 0u);
        EXPECT_EQ(shortSource.buffer, nullptr);
    }
    {
        Rebuild unwritable(folder, "source.iso");
        closeSlot(&unwritable.target);
        openForReading(&unwritable.target, unwritable.sourcePath.c_str());  // a target that refuses writes
        unwritable.context.target = unwritable.target;
        EXPECT_EQ(writeZeros(2048, unwritable.context), 0);
        EXPECT_EQ(unwritable.context.failure, RebuildFailure::WriteTarget);
        EXPECT_EQ(copyImageRange(0, 100, unwritable.context), 0);
        EXPECT_EQ(unwritable.context.failure, RebuildFailure::WriteTarget);
        EXPECT_EQ(unwritable.written, 0u);
        EXPECT_EQ(unwritable.buffer, nullptr);
    }
}

TEST(RebuildPrimitives, APlanStopsAtAStepWhoseLengthDisagrees) {
    ScratchFolder folder;
    folder.write("source.iso", stamp(0, 4096));
    const NameTableEntry destination[] = {{"a", 1, 1}, {"", 0, 0}};
    const NameTableEntry source[] = {{"a", 0, 0}, {"", 0, 0}};
    const NameTable names = {destination, source};
    const RebuildStep steps[] = {
        {StepKind::Zeros, 0, 0, 2048, nullptr, nullptr},
        {StepKind::Copy, 0, 0, 2048, nullptr, nullptr},
        {StepKind::NameTable, 0, 0, 2048, &names, nullptr},  // the table writes 4096 bytes
        {StepKind::Zeros, 0, 0, 2048, nullptr, nullptr},
    };
    Rebuild rebuild(folder, "source.iso");
    testing::internal::CaptureStdout();
    EXPECT_EQ(runRebuildPlan({steps, 4}, rebuild.context), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(rebuild.context.failure, RebuildFailure::BadStep);
    EXPECT_EQ(rebuild.written, 8192u);
}

}  // namespace

namespace {

// An image that a patcher holds open is not one the mode toggler may take for itself.
TEST(ImageAccess, AnImageHeldByAPatcherCannotBeTakenForWriting) {
    ScratchFolder folder;
    folder.write("fr.iso", stamp(0, 64));
    for (bool writing : {false, true}) {
        int slot = kClosedSlot;
        if (writing) {
            createForWriting(&slot, folder.file("fr.iso").c_str());
        } else {
            openForReading(&slot, folder.file("fr.iso").c_str());
        }
        ASSERT_GE(slot, 0);
        Kestrin::FileBin image;
        image = Kestrin::Dir("fr.iso");  // the scratch folder is current
        image.resize(4);
        EXPECT_FALSE(image.write(0, 0, 4)) << (writing ? "held for writing" : "held for reading");
        EXPECT_EQ(Kestrin::LastError.code, static_cast<uint32_t>(Kestrin::FileError::OpenFailed));
        closeSlot(&slot);
        EXPECT_TRUE(image.write(0, 0, 4)) << "free again";
    }
}

}  // namespace
