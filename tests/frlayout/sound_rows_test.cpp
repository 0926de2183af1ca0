// Sound offset tables derived from a US run and checked against a European run whose streams lie
// re-spaced: the rebuild through copySoundRun puts every header back at its US offset, and each
// disagreement names its run and stream.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/scratch_folder.h"
#include "tests/support/table_copy.h"
#include "disc_tools.h"
#include "frlayout/layout_derivation.h"
#include "patchers/common/image_access.h"
#include "patchers/common/rebuild.h"

namespace {

constexpr size_t kSector = 2048;

std::string word(uint32_t value) {
    return std::string{static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                       static_cast<char>(value >> 24)};
}

// A stream of `sectors` sectors whose bytes are its own. Its header carries all four marks, or
// only one of them (the rebuild's scan takes any one).
std::string stream(unsigned index, unsigned sectors) {
    static const uint32_t kHeaders[][4] = {
        {0x64685353, 24, 16, 48000}, {0x64685353, 40, 17, 44100}, {0x64685354, 24, 17, 44100}, {0x64685354, 40, 16, 44100}};
    const uint32_t* header = kHeaders[index % 4];
    std::string bytes = word(header[0]) + word(header[1]) + word(header[2]) + word(header[3]);
    bytes += disc_tools::contents("stream " + std::to_string(index), sectors * kSector - bytes.size());
    return bytes;
}

struct Stream {
    unsigned id;  // which stream: its bytes
    unsigned sectors;
    unsigned usPadding;        // zero sectors after it in the US run
    unsigned europeanPadding;  // and in the European run: at least as many, so slots take zeros only
};
const std::vector<Stream> kStreams = {{0, 3, 0, 1}, {1, 1, 2, 2}, {2, 5, 1, 4}, {3, 2, 0, 0}, {4, 4, 3, 3}, {5, 1, 1, 2}};

std::string run(const std::vector<Stream>& streams, bool european, std::vector<int32_t>* offsets = nullptr) {
    std::string bytes;
    for (size_t j = 0; j < streams.size(); ++j) {
        if (offsets) offsets->push_back(static_cast<int32_t>(bytes.size()));
        bytes += stream(streams[j].id, streams[j].sectors);
        bytes += std::string((european ? streams[j].europeanPadding : streams[j].usPadding) * kSector, '\0');
    }
    return bytes;
}

const unsigned char* bytesOf(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// The European image: the run between sectors of other data.
const std::string kBefore = disc_tools::contents("before", 5 * kSector);

std::string writeEuropeanImage(const ScratchFolder& scratch, const std::string& europeanRun) {
    const std::string path = scratch.file("eu.iso");
    std::ofstream(path, std::ios::binary) << kBefore << europeanRun << disc_tools::contents("after", 3 * kSector);
    return path;
}


TEST(SoundRows, ReSpacedStreamsComeBackAtTheirUsOffsets) {
    ScratchFolder scratch;
    std::vector<int32_t> usOffsets;
    const std::string us = run(kStreams, false, &usOffsets);
    const std::string european = run(kStreams, true);
    const std::string image = writeEuropeanImage(scratch, european);
    const SoundRunPlace place{0, static_cast<uint32_t>(us.size()), static_cast<uint32_t>(kBefore.size()),
                              static_cast<uint32_t>(european.size())};

    Findings findings;
    const SoundRows rows = deriveSoundRows(bytesOf(us), place.usLength, "S2", findings);
    EXPECT_EQ(rows.offsets, usOffsets);
    EXPECT_EQ(rows.end, us.size());
    crossCheckSoundRun(bytesOf(us), place.usLength, bytesOf(european), place.europeanLength, rows, "S2", findings);
    FileImageSource europeanImage(image.c_str());
    proveSoundRun(europeanImage, place, rows, "S2", findings);
    EXPECT_EQ(findings.problems, std::vector<std::string>{});

    // Rebuilt with the derived table, the European run is the US run.
    FileImageSink target(scratch.file("rebuilt.bin").c_str());
    RebuildContext context{europeanImage, target, place.usLength, 1};
    const SoundOffsetTable table{rows.offsets.data(), static_cast<uint32_t>(rows.offsets.size()), rows.end};
    ASSERT_EQ(copySoundRun(place.europeanOffset, place.europeanLength, table, context), 1);
    target.close();
    const std::vector<unsigned char> rebuilt = scratch.read("rebuilt.bin");
    EXPECT_TRUE(std::string(rebuilt.begin(), rebuilt.end()) == us) << "the rebuilt run differs from the US run";
}

TEST(SoundRows, EachDisagreementNamesItsRunAndStream) {
    std::vector<Stream> extra = kStreams;
    extra.insert(extra.begin() + 3, Stream{9, 2, 0, 0});
    std::vector<Stream> fewer = kStreams;
    fewer.pop_back();
    const std::string us = run(kStreams, false);
    const std::string european = run(kStreams, true);
    const std::string zeroSector(kSector, '\0');
    struct Case {
        const char* breakage;
        std::string us, european;
        const char* told;
    };
    const Case cases[] = {
        {"a stream more in the European run", us, run(extra, true),
         "S2: the US run holds 6 streams, the European run 7; the first whose header sector differs is stream 3"},
        {"a stream less in the European run", us, run(fewer, true),
         "S2: the US run holds 6 streams, the European run 5; the first 5 stream headers agree"},
        {"a US run that starts between streams", zeroSector + us, european, "S2: the US run does not begin with a stream header"},
        {"a European run that starts between streams", us, zeroSector + european,
         "S2: the European run does not begin with a stream header"},
        // The last slot is two sectors long; the European run ends one sector into its stream.
        {"a European run too short for the last slot", us, european.substr(0, european.size() - 2 * kSector),
         "S2: the rebuild stops at stream 5"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        const std::string image = writeEuropeanImage(scratch, c.european);
        const SoundRunPlace place{0, static_cast<uint32_t>(c.us.size()), static_cast<uint32_t>(kBefore.size()),
                                  static_cast<uint32_t>(c.european.size())};
        Findings findings;
        const SoundRows rows = deriveSoundRows(bytesOf(c.us), place.usLength, "S2", findings);
        if (findings.problems.empty()) {
            crossCheckSoundRun(bytesOf(c.us), place.usLength, bytesOf(c.european), place.europeanLength, rows, "S2", findings);
        }
        FileImageSource europeanImage(image.c_str());
        if (findings.problems.empty()) proveSoundRun(europeanImage, place, rows, "S2", findings);
        EXPECT_TRUE(tells(findings.problems, c.told)) << c.breakage;
    }
}

}  // namespace
