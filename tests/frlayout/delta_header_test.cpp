// The delta header tells a delta that a player's decoder can read from one it cannot, on deltas
// that the delta tool itself writes.
#include "frlayout/delta_header.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/support/scratch_folder.h"
#include "disc_tools.h"
#include "frlayout/delta_making.h"

namespace {

std::vector<unsigned char> randomBytes(size_t count, unsigned seed) {
    std::vector<unsigned char> bytes(count);
    for (unsigned char& byte : bytes) {
        seed = seed * 1103515245 + 12345;
        byte = static_cast<unsigned char>(seed >> 16);
    }
    return bytes;
}

TEST(DeltaHeader, TellsWhatTheDeltaToolWrote) {
    if (!disc_tools::haveTool("xdelta3")) GTEST_SKIP() << "xdelta3 is not installed (bash tools/setup.sh installs it)";
    ScratchFolder folder;
    const std::vector<unsigned char> source = randomBytes(300000, 1);
    std::vector<unsigned char> target(source.begin(), source.begin() + 100000);
    const std::vector<unsigned char> fresh = randomBytes(50000, 2);
    target.insert(target.end(), fresh.begin(), fresh.end());
    target.insert(target.end(), source.end() - 150000, source.end());
    folder.write("source", source);
    folder.write("target", target);

    std::string ours;
    for (size_t i = 0; i < kEncoderOptionCount; ++i) ours += std::string(" ") + kEncoderOptions[i];
    using Secondary = DeltaHeader::Secondary;
    struct Case {
        std::string options;
        Secondary secondary;
        bool applicationHeader;
        bool checksums;
        bool shippable;
    };
    const Case cases[] = {
        {ours, Secondary::Djw, false, true, true},
        // The tool's own default takes LZMA, which the players' Windows decoder lacks.
        {"-e -c -A", Secondary::Lzma, false, true, false},
        {"-e -c -S djw", Secondary::Djw, true, true, true},  // the file names' header is stepped over
        {"-e -c -A -S fgk", Secondary::Fgk, false, true, true},
        {"-e -c -A -S none -n", Secondary::None, false, false, false},
    };
    for (const Case& expected : cases) {
        const std::string delta = folder.file("delta");
        // In parentheses: run() sends the command's own output elsewhere.
        const std::string command = "(xdelta3 " + expected.options + " -s " + disc_tools::quoted(folder.file("source")) + " < " +
                                    disc_tools::quoted(folder.file("target")) + " > " + disc_tools::quoted(delta) + ")";
        ASSERT_TRUE(disc_tools::run(command)) << command;
        std::ifstream file(delta, std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const DeltaHeader header = readDeltaHeader(bytes.data(), bytes.size());
        EXPECT_TRUE(header.valid) << expected.options;
        EXPECT_EQ(header.secondary, expected.secondary) << expected.options;
        EXPECT_EQ(header.applicationHeader, expected.applicationHeader) << expected.options;
        EXPECT_EQ(header.windowChecksums, expected.checksums) << expected.options;
        EXPECT_EQ(deltaHeaderProblem(header).empty(), expected.shippable) << expected.options;
        // A header cut short is no header.
        EXPECT_FALSE(readDeltaHeader(bytes.data(), expected.applicationHeader ? 8 : 5).valid) << expected.options;
    }
    const std::vector<unsigned char> other = {'P', 'K', 3, 4, 0, 0, 0, 0};
    EXPECT_FALSE(readDeltaHeader(other.data(), other.size()).valid);
}

}  // namespace
