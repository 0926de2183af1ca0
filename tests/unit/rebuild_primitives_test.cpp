// The append primitives of a rebuild, on images in memory: range copies, zeros, failures and plans.
#include "patchers/common/rebuild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tests/support/memory_image.h"

namespace {

std::vector<unsigned char> stamp(uint32_t offset, size_t length) {
    std::vector<unsigned char> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>((offset >> ((i % 4) * 8)) + i * 7);
    return bytes;
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
