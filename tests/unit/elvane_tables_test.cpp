// The Elvane rebuild plan and whatever layout tables are built in hold every known fact of the
// two disc layouts; real tables that replace the stand-ins must pass these unchanged.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "patchers/elvane/elvane_plan.h"
#include "patchers/elvane/elvane_tables.h"

namespace {

constexpr uint64_t kUsImageSize = 2599682048u;
constexpr uint64_t kEuropeanImageSize = 2669969408u;
constexpr uint64_t kReadLimit = 2648969216u;
constexpr uint32_t kNameAreaBaseSector = 7303;
constexpr int32_t kNameAreaSectors = 401413;
constexpr size_t kFileCount = 1594;

std::vector<const NameTableEntry*> rows(const NameTableEntry* list) {
    std::vector<const NameTableEntry*> out;
    for (const NameTableEntry* entry = list; entry->name[0]; ++entry) out.push_back(entry);
    return out;
}

std::map<std::string, const NameTableEntry*> byName(const NameTableEntry* list) {
    std::map<std::string, const NameTableEntry*> out;
    for (const NameTableEntry* entry : rows(list)) out.emplace(entry->name, entry);
    return out;
}

std::vector<int32_t> offsetsOf(const SoundOffsetTable& table) {
    return std::vector<int32_t>(table.offsets, table.offsets + table.count);
}

const RebuildStep& step(size_t number) {
    return ElvaneRebuildPlan.steps[number - 1];
}

TEST(ElvaneNameTable, BothListsHoldTheSame1594DistinctNames) {
    const auto destination = rows(kElvaneNameTable.destination);
    const auto source = rows(kElvaneNameTable.source);
    EXPECT_EQ(destination.size(), kFileCount);
    EXPECT_EQ(source.size(), kFileCount);
    std::set<std::string> destinationNames, sourceNames;
    for (const auto* entry : destination) destinationNames.insert(entry->name);
    for (const auto* entry : source) sourceNames.insert(entry->name);
    EXPECT_EQ(destinationNames.size(), destination.size()) << "a destination name repeats";
    EXPECT_EQ(sourceNames.size(), source.size()) << "a source name repeats";
    for (const std::string& name : destinationNames) EXPECT_TRUE(sourceNames.count(name)) << name << " has no source row";
}

TEST(ElvaneNameTable, DestinationAreaStartsAt366HasFourGapsAndEndsAt401413) {
    const auto destination = rows(kElvaneNameTable.destination);
    ASSERT_FALSE(destination.empty());
    EXPECT_EQ(destination.front()->sector, 366);
    std::vector<std::pair<int32_t, int32_t>> gaps;
    int32_t end = destination.front()->sector;
    for (const auto* entry : destination) {
        ASSERT_GE(entry->sector, end) << entry->name << " overlaps the file before it";
        ASSERT_GE(entry->sectors, 0) << entry->name;
        if (entry->sector > end) gaps.emplace_back(end, entry->sector - end);
        end = entry->sector + entry->sectors;
    }
    const std::vector<std::pair<int32_t, int32_t>> known = {{3739, 4198}, {16913, 135}, {30401, 103}, {57082, 235}};
    EXPECT_EQ(gaps, known);
    EXPECT_EQ(end, kNameAreaSectors);
    EXPECT_EQ(uint64_t{kNameAreaSectors} * 2048, step(49).written);
}

TEST(ElvaneNameTable, SourceRowsFollowTheEuropeanDiscOrder) {
    int32_t previous = 0;
    for (const auto* entry : rows(kElvaneNameTable.source)) {
        EXPECT_GE(entry->sector, previous) << entry->name;
        previous = entry->sector;
    }
}

TEST(ElvaneNameTable, KnownExampleRows) {
    const auto destination = rows(kElvaneNameTable.destination);
    ASSERT_EQ(destination.size(), kFileCount);
    EXPECT_STREQ(destination.front()->name, "res/Qobj/qobj01.tim.lzr");
    EXPECT_STREQ(destination.back()->name, "modules/ezbgm.irx");

    struct Row {
        const char* name;
        int32_t sector;
        int32_t sectors;
    };
    const auto destinationByName = byName(kElvaneNameTable.destination);
    for (const Row& row : {Row{"res/Qobj/qobj01.tim.lzr", 366, 2}, Row{"modules/ezbgm.irx", 401405, 8}}) {
        const auto found = destinationByName.find(row.name);
        ASSERT_NE(found, destinationByName.end()) << row.name;
        EXPECT_EQ(found->second->sector, row.sector) << row.name;
        EXPECT_EQ(found->second->sectors, row.sectors) << row.name;
    }
    const auto sourceByName = byName(kElvaneNameTable.source);
    for (const Row& row : {Row{"fpack/RI07.fp", 0, 0}, Row{"modules/ezbgm.irx", 80245, 0},
                           Row{"res/Qobj/qobj01.tim.lzr", 80297, 0}}) {
        const auto found = sourceByName.find(row.name);
        ASSERT_NE(found, sourceByName.end()) << row.name;
        EXPECT_EQ(found->second->sector, row.sector) << row.name;
    }
}

TEST(ElvaneSoundTables, CountsAndEndsAreTheKnownOnesAndThoseOfTheirSteps) {
    const uint32_t counts[9] = {1001, 1000, 1000, 400, 388, 307, 942, 338, 148};
    const uint32_t ends[9] = {74600448, 78913536, 80697344, 69957632, 13993984, 15699968, 63930368, 28602368, 13832192};
    for (size_t run = 0; run < 9; ++run) {
        const SoundOffsetTable& table = kElvaneSoundRuns[run];
        EXPECT_EQ(table.count, counts[run]) << "S" << run + 1;
        EXPECT_EQ(table.end, ends[run]) << "S" << run + 1;
        EXPECT_EQ(step(50 + run).sounds, &table) << "S" << run + 1;
        EXPECT_EQ(step(50 + run).written, table.end) << "S" << run + 1;
    }
}

TEST(ElvaneSoundTables, OffsetsStartAtZeroAndRiseBySectorsBelowTheEnd) {
    for (size_t run = 0; run < 9; ++run) {
        const SoundOffsetTable& table = kElvaneSoundRuns[run];
        ASSERT_GT(table.count, 0u);
        EXPECT_EQ(table.offsets[0], 0) << "S" << run + 1;
        for (uint32_t j = 0; j < table.count; ++j) {
            EXPECT_EQ(table.offsets[j] % 2048, 0) << "S" << run + 1 << " entry " << j;
            const int64_t next = j + 1 < table.count ? table.offsets[j + 1] : static_cast<int64_t>(table.end);
            EXPECT_GT(next, table.offsets[j]) << "S" << run + 1 << " entry " << j;
        }
        EXPECT_EQ(table.end % 2048, 0u) << "S" << run + 1;
    }
}

TEST(ElvaneSoundTables, EverySlotCanLieInsideTheRunRead) {
    // Each stream starts at least one sector after the one before it in the European run, so
    // stream j starts at j sectors or later and its slot must still end inside what is read.
    for (size_t run = 0; run < 9; ++run) {
        const SoundOffsetTable& table = kElvaneSoundRuns[run];
        const uint64_t read = step(50 + run).sourceLength;
        for (uint32_t j = 0; j < table.count; ++j) {
            const int64_t next = j + 1 < table.count ? table.offsets[j + 1] : static_cast<int64_t>(table.end);
            EXPECT_LE(uint64_t{j} * 2048 + static_cast<uint64_t>(next - table.offsets[j]), read)
                << "S" << run + 1 << " entry " << j;
        }
    }
}

TEST(ElvaneSoundTables, KnownExamplesOfS1AndS9) {
    const std::vector<int32_t> s1 = offsetsOf(kElvaneSoundRuns[0]);
    const std::vector<int32_t> s9 = offsetsOf(kElvaneSoundRuns[8]);
    ASSERT_GE(s1.size(), 5u);
    ASSERT_GE(s9.size(), 5u);
    EXPECT_EQ(std::vector<int32_t>(s1.begin(), s1.begin() + 5), (std::vector<int32_t>{0, 40960, 157696, 243712, 313344}));
    EXPECT_EQ(std::vector<int32_t>(s9.begin(), s9.begin() + 5), (std::vector<int32_t>{0, 591872, 620544, 649216, 677888}));
    EXPECT_EQ(std::vector<int32_t>(s9.end() - 2, s9.end()), (std::vector<int32_t>{12750848, 12890112}));
    EXPECT_EQ(kElvaneSoundRuns[8].end, 13832192u);
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

TEST(ElvaneRebuildPlan, EveryReadEndsInsideTheEuropeanImage) {
    static_assert(kReadLimit <= kEuropeanImageSize, "the limit lies inside the image");
    const auto sources = byName(kElvaneNameTable.source);
    for (size_t number = 1; number <= ElvaneRebuildPlan.count; ++number) {
        const RebuildStep& s = step(number);
        switch (s.kind) {
        case StepKind::Zeros: break;
        case StepKind::Copy: EXPECT_LE(uint64_t{s.sourceOffset} + s.written, kReadLimit) << "step " << number; break;
        case StepKind::SoundRun: EXPECT_LE(uint64_t{s.sourceOffset} + s.sourceLength, kReadLimit) << "step " << number; break;
        case StepKind::NameTable:
            ASSERT_EQ(s.sourceOffset, kNameAreaBaseSector * 2048u);
            for (const auto* entry : rows(s.names->destination)) {
                const auto found = sources.find(entry->name);
                if (found == sources.end()) continue;
                ASSERT_GE(found->second->sector, 0) << entry->name;
                const uint64_t end = (uint64_t{kNameAreaBaseSector} + found->second->sector + entry->sectors) * 2048;
                EXPECT_LE(end, kReadLimit) << entry->name;
            }
            break;
        }
    }
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
