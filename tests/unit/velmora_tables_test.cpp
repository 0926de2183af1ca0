// What is known of the two Velmora layouts, checked on the plan and table that are built in.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "patchers/velmora/velmora_plan.h"
#include "patchers/velmora/velmora_tables.h"

namespace {

constexpr uint64_t kUsImageSize = 2801958912u;
constexpr uint64_t kEuropeanImageSize = 3006791680u;
// No read of the plan reaches past this byte of the European image.
constexpr uint64_t kLastReadEnd = 2985789440u;
constexpr uint32_t kAreaSectors = 369323;
constexpr int32_t kBaseSector = 526220;
constexpr int32_t kExtraSectors = 14;

std::vector<const NameTableEntry*> rows(const NameTableEntry* list) {
    std::vector<const NameTableEntry*> found;
    for (const NameTableEntry* entry = list; entry->name[0]; ++entry) found.push_back(entry);
    return found;
}

const NameTableEntry* find(const NameTableEntry* list, const char* name) {
    for (const NameTableEntry* entry : rows(list)) {
        if (strcmp(entry->name, name) == 0) return entry;
    }
    return nullptr;
}

TEST(VelmoraRebuildPlan, StepsBeginAtTheirTargetOffsetsAndFillTheUsImage) {
    struct Expected {
        StepKind kind;
        uint64_t target;
        uint32_t written;
    };
    const Expected steps[] = {
        {StepKind::Zeros, 0x0, 663552},          {StepKind::Copy, 0xA2000, 11206656},
        {StepKind::Copy, 0xB52000, 1065783296},  {StepKind::NameTable, 0x403BB000, 756373504},
        {StepKind::Copy, 0x6D510800, 63442944},  {StepKind::Copy, 0x71191800, 883486720},
        {StepKind::Zeros, 0xA5C20800, 21002240},
    };
    ASSERT_EQ(VelmoraRebuildPlan.count, sizeof steps / sizeof steps[0]);
    uint64_t target = 0;
    for (size_t i = 0; i < VelmoraRebuildPlan.count; ++i) {
        const RebuildStep& step = VelmoraRebuildPlan.steps[i];
        EXPECT_EQ(step.kind, steps[i].kind) << "step " << i + 1;
        EXPECT_EQ(target, steps[i].target) << "step " << i + 1;
        EXPECT_EQ(step.written, steps[i].written) << "step " << i + 1;
        EXPECT_EQ(step.written % 2048, 0u) << "step " << i + 1;
        target += step.written;
    }
    EXPECT_EQ(target, kUsImageSize);
}

TEST(VelmoraRebuildPlan, EveryReadEndsInsideTheEuropeanImage) {
    uint64_t lastEnd = 0;
    for (size_t i = 0; i < VelmoraRebuildPlan.count; ++i) {
        const RebuildStep& step = VelmoraRebuildPlan.steps[i];
        if (step.kind == StepKind::Copy) {
            const uint64_t end = uint64_t{step.sourceOffset} + step.written;
            EXPECT_LE(end, kLastReadEnd) << "step " << i + 1;
            if (end > lastEnd) lastEnd = end;
        }
        if (step.kind != StepKind::NameTable) continue;
        ASSERT_EQ(step.names, &kVelmoraNameTable);
        EXPECT_EQ(step.sourceOffset, uint32_t{kBaseSector} * 2048);
        for (const NameTableEntry* entry : rows(kVelmoraNameTable.destination)) {
            const NameTableEntry* source = find(kVelmoraNameTable.source, entry->name);
            ASSERT_NE(source, nullptr) << entry->name;
            const uint64_t end = (uint64_t(kBaseSector) + source->sector + entry->sectors) * 2048;
            EXPECT_LE(end, kLastReadEnd) << entry->name;
        }
    }
    EXPECT_EQ(lastEnd, kLastReadEnd);
    EXPECT_LT(lastEnd, kEuropeanImageSize);
}

TEST(VelmoraNameTable, DestinationRowsFollowEachOtherFromSector0To369323) {
    const auto destination = rows(kVelmoraNameTable.destination);
    ASSERT_EQ(destination.size(), 3552u);
    int64_t position = 0;
    for (const NameTableEntry* entry : destination) {
        EXPECT_EQ(entry->sector, position) << entry->name;
        EXPECT_GT(entry->sectors, 0) << entry->name;
        position = int64_t{entry->sector} + entry->sectors;
    }
    EXPECT_EQ(position, kAreaSectors);
    // The area is as long as the plan's step writes: the copies leave no room for zeros.
    EXPECT_EQ(uint64_t{kAreaSectors} * 2048, VelmoraRebuildPlan.steps[3].written);
}

TEST(VelmoraNameTable, NamedRowsSitWhereTheReleasesPutThem) {
    struct Row {
        bool destination;
        const char* name;
        int32_t sector;
        int32_t sectors;  // destination rows only
    };
    const Row known[] = {
        {true, "vpackj/v00000.afs", 0, 25517},
        {true, "vpackj/v07000.afs", 25517, 23600},
        {true, "saves/kunai/obj.knb", 369318, 5},
        {false, "vpackj/v00000.afs", 0, 0},
        {false, "saves/kunai/obj.knb", 369332, 0},
    };
    for (const Row& row : known) {
        const NameTableEntry* entry = find(row.destination ? kVelmoraNameTable.destination : kVelmoraNameTable.source,
                                           row.name);
        ASSERT_NE(entry, nullptr) << row.name;
        EXPECT_EQ(entry->sector, row.sector) << row.name;
        if (row.destination) {
            EXPECT_EQ(entry->sectors, row.sectors) << row.name;
        }
    }
    EXPECT_STREQ(rows(kVelmoraNameTable.destination).back()->name, "saves/kunai/obj.knb");
}

TEST(VelmoraNameTable, SourceHoldsTheDestinationInOrderAndOneFileMoreAfterWhichSectorsAre14Higher) {
    const auto destination = rows(kVelmoraNameTable.destination);
    const auto source = rows(kVelmoraNameTable.source);
    ASSERT_EQ(source.size(), 3553u);
    int extras = 0;
    size_t next = 0;  // the destination row that the next source row should be
    for (const NameTableEntry* entry : source) {
        if (next < destination.size() && strcmp(entry->name, destination[next]->name) == 0) {
            EXPECT_EQ(entry->sector, destination[next]->sector + (extras ? kExtraSectors : 0)) << entry->name;
            ++next;
            continue;
        }
        // The one file the US layout lacks: no destination row names it, and it fills the 14 sectors.
        ++extras;
        EXPECT_EQ(find(kVelmoraNameTable.destination, entry->name), nullptr) << entry->name;
        ASSERT_GT(next, 0u) << "the extra file comes first";
        EXPECT_EQ(entry->sector, destination[next - 1]->sector + destination[next - 1]->sectors) << entry->name;
    }
    EXPECT_EQ(next, destination.size());
    EXPECT_EQ(extras, 1);
}

TEST(VelmoraNameTable, NamesAreUniqueInEachList) {
    for (const NameTableEntry* list : {kVelmoraNameTable.destination, kVelmoraNameTable.source}) {
        std::set<std::string> seen;
        for (const NameTableEntry* entry : rows(list)) EXPECT_TRUE(seen.insert(entry->name).second) << entry->name;
    }
}

}  // namespace
