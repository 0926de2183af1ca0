// The Elvane rebuild plan and whatever layout tables are built in hold every known fact of the
// two disc layouts; real tables that replace the stand-ins must pass these unchanged.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/table_copy.h"
#include "patchers/elvane/elvane_layout_facts.h"
#include "patchers/elvane/elvane_plan.h"
#include "patchers/elvane/elvane_tables.h"

namespace {

constexpr uint64_t kUsImageSize = 2599682048u;

const RebuildStep& step(size_t number) {
    return ElvaneRebuildPlan.steps[number - 1];
}

// A copy of the built-in tables that a test may break.
struct Tables : NameTableCopy {
    std::vector<std::vector<int32_t>> offsets;
    std::vector<uint32_t> ends;

    Tables() : NameTableCopy(kElvaneNameTable) {
        for (const SoundOffsetTable& run : kElvaneSoundRuns) {
            offsets.push_back(soundOffsets(run));
            ends.push_back(run.end);
        }
    }
    std::vector<std::string> brokenFacts() const {
        std::vector<NameTableEntry> lists[2];
        std::vector<SoundOffsetTable> runs;
        for (size_t run = 0; run < offsets.size(); ++run) {
            runs.push_back({offsets[run].data(), static_cast<uint32_t>(offsets[run].size()), ends[run]});
        }
        return brokenElvaneLayoutFacts(table(lists), runs.data());
    }
};

TEST(ElvaneLayoutFacts, TheBuiltInTablesHoldEveryPublishedFact) {
    EXPECT_EQ(brokenElvaneLayoutFacts(kElvaneNameTable, kElvaneSoundRuns), std::vector<std::string>{});
}

TEST(ElvaneLayoutFacts, EachBrokenFactIsTold) {
    struct Case {
        const char* breakage;
        std::function<void(Tables&)> change;
        const char* told;
    };
    const Case cases[] = {
        {"a destination row dropped", [](Tables& t) { t.destination.pop_back(); }, "the destination list holds 1593 rows"},
        {"a row moved onto the one before",
         [](Tables& t) { t.row(t.destination, "modules/ezbgm.irx").sector -= 1; }, "destination files do not overlap"},
        {"a gap widened", [](Tables& t) { t.destination.back().sector += 1; }, "are not the four published ones"},
        {"a name that differs in case",
         [](Tables& t) { t.row(t.source, "fpack/RI07.fp").name = t.name("fpack/ri07.fp"); },
         "every destination name has a source row: fpack/RI07.fp has none"},
        {"a name twice", [](Tables& t) { t.source[5].name = t.source[4].name; }, "source names are unique"},
        {"source rows out of disc order", [](Tables& t) { std::swap(t.source[10].sector, t.source[11].sector); },
         "source rows follow the European disc order"},
        {"an example row moved", [](Tables& t) { t.row(t.source, "modules/ezbgm.irx").sector += 1; },
         "source row modules/ezbgm.irx is at sector 80246, not 80245"},
        {"a source row past the read limit", [](Tables& t) { t.row(t.source, "modules/ezbgm.irx").sector = 1400000; },
         "every read of the name table ends inside the European image: modules/ezbgm.irx"},
        {"an S4 stream lost", [](Tables& t) { t.offsets[3].pop_back(); }, "S4 holds 399 offsets, not 400"},
        {"an S1 offset moved", [](Tables& t) { t.offsets[0][2] += 2048; }, "S1 does not begin 0, 40960, 157696"},
        {"an S5 offset off the sector grid", [](Tables& t) { t.offsets[4][7] += 1; }, "sound offsets are multiples of 2048: S5 entry 7"},
        {"S7 offsets out of order", [](Tables& t) { std::swap(t.offsets[6][3], t.offsets[6][4]); }, "sound offsets rise"},
        {"S9 streams packed closer than a sector",
         [](Tables& t) {
             for (size_t j = 0; j < t.offsets[8].size(); ++j) t.offsets[8][j] = static_cast<int32_t>(j);
         },
         "every slot fits in the bytes the rebuild reads: S9 entry 147"},
        {"the end of S9 moved", [](Tables& t) { t.ends[8] += 2048; }, "S9 ends at 13834240, but rebuild step 58 writes"},
    };
    for (const Case& c : cases) {
        Tables tables;
        c.change(tables);
        EXPECT_TRUE(tells(tables.brokenFacts(), c.told)) << c.breakage;
    }
}

TEST(ElvaneRebuildPlan, StepsBeginAtTheirUsTargetOffsetsAndFillTheUsImage) {
    const uint32_t usTargets[68] = {
        0x0,        0xB0000,    0xBF000,    0xCE000,    0xDD000,    0xE3000,    0xE9000,    0xED800,
        0xFB800,    0xFE000,    0xFE800,    0xDE4000,   0xE05800,   0xE43800,   0xE4C800,   0xE4E800,
        0xE59800,   0xE70000,   0xE72000,   0xE78800,   0xE7A800,   0xE80000,   0xE82800,   0xE86000,
        0xE95000,   0xE9B000,   0xEA0800,   0xEA4800,   0x124D000,  0x5E65800,  0xAF5A000,  0x10052800,
        0x1514F000, 0x154AF800, 0x192B0000, 0x1D4A8800, 0x21699000, 0x24EF2800, 0x27E89000, 0x294AF000,
        0x29AB4800, 0x310A0800, 0x385E5000, 0x41263800, 0x46B52000, 0x48465000, 0x494A7800, 0x4EE6D000,
        0x4FB14800, 0x80B17000, 0x8523C000, 0x89D7E000, 0x8EA73800, 0x92D2B000, 0x93A83800, 0x9497C800,
        0x98674800, 0x9A1BB800, 0x9AEEC800, 0x9AEFB800, 0x9AF0A800, 0x9AF19800, 0x9AF1F800, 0x9AF25800,
        0x9AF2A000, 0x9AF38000, 0x9AF3D000, 0x9AF3F800,
    };
    ASSERT_EQ(ElvaneRebuildPlan.count, 68u);
    uint64_t target = 0;
    for (size_t number = 1; number <= 68; ++number) {
        EXPECT_EQ(target, usTargets[number - 1]) << "step " << number;
        EXPECT_EQ(step(number).written % 2048, 0u) << "step " << number;
        target += step(number).written;
    }
    EXPECT_EQ(target, kUsImageSize);
}

TEST(ElvaneRebuildPlan, ZerosTablesAndHeadsSitWhereTheLayoutsPutThem) {
    const std::set<size_t> zeros = {1, 10, 12, 13, 14, 15, 16, 17, 18, 26, 62, 68};
    for (size_t number = 1; number <= 68; ++number) {
        const StepKind kind = step(number).kind;
        if (zeros.count(number)) EXPECT_EQ(kind, StepKind::Zeros) << "step " << number;
        else if (number == 49) EXPECT_EQ(kind, StepKind::NameTable);
        else if (number >= 50 && number <= 58) EXPECT_EQ(kind, StepKind::SoundRun) << "step " << number;
        else EXPECT_EQ(kind, StepKind::Copy) << "step " << number;
    }
    EXPECT_EQ(step(49).names, &kElvaneNameTable);
    for (size_t run = 0; run < 9; ++run) EXPECT_EQ(step(50 + run).sounds, &kElvaneSoundRuns[run]) << "S" << run + 1;
    // Steps 2-9 copy the first sectors of the ranges whose rest steps 41-48 copy.
    for (size_t head = 2; head <= 9; ++head) {
        EXPECT_EQ(step(head).sourceOffset + step(head).written, step(head + 39).sourceOffset) << "step " << head;
    }
    // Steps 59-61 and 63-67 copy the sectors just before the sound runs S1-S3 and S5-S9; step 62
    // stands in zeros for those of S4, which lie between S3's end and S4.
    const std::pair<size_t, size_t> heads[] = {{59, 50}, {60, 51}, {61, 52}, {63, 54}, {64, 55}, {65, 56}, {66, 57}, {67, 58}};
    for (const auto& [head, run] : heads) {
        EXPECT_EQ(step(head).sourceOffset + step(head).written, step(run).sourceOffset) << "step " << head;
    }
    EXPECT_EQ(step(52).sourceOffset + step(52).sourceLength + step(62).written, step(53).sourceOffset);
}

}  // namespace
