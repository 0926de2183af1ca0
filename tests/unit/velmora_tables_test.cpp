// What is known of the two Velmora layouts, checked on the plan and table that are built in.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/table_copy.h"
#include "patchers/velmora/velmora_layout_facts.h"
#include "patchers/velmora/velmora_plan.h"
#include "patchers/velmora/velmora_tables.h"

namespace {

constexpr uint64_t kUsImageSize = 2801958912u;

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
    EXPECT_EQ(VelmoraRebuildPlan.steps[3].names, &kVelmoraNameTable);
}

TEST(VelmoraLayoutFacts, TheBuiltInTableHoldsEveryPublishedFact) {
    EXPECT_EQ(brokenVelmoraLayoutFacts(kVelmoraNameTable), std::vector<std::string>{});
}

// A copy of the built-in table that a test may break.
struct Table : NameTableCopy {
    Table() : NameTableCopy(kVelmoraNameTable) {}
    // The source row that no destination row names.
    size_t extra() const {
        for (size_t i = 0; i < source.size(); ++i) {
            if (!findNameRow(kVelmoraNameTable.destination, source[i].name)) return i;
        }
        throw std::runtime_error("no extra source row");
    }
    std::vector<std::string> brokenFacts() const {
        std::vector<NameTableEntry> lists[2];
        return brokenVelmoraLayoutFacts(table(lists));
    }
};

TEST(VelmoraLayoutFacts, EachBrokenFactIsTold) {
    struct Case {
        const char* breakage;
        std::function<void(Table&)> change;
        const char* told;
    };
    const Case cases[] = {
        {"a gap in the area", [](Table& t) { t.destination[100].sector += 1; },
         "destination files follow each other without gaps from sector 0"},
        {"an empty file", [](Table& t) { t.destination[7].sectors = 0; }, "destination files are at least one sector long"},
        {"the last row dropped", [](Table& t) { t.destination.pop_back(); }, "the last destination row is"},
        {"an example row moved", [](Table& t) { t.row(t.source, "vpackj/v00000.afs").sector = 1; },
         "source row vpackj/v00000.afs is at sector 1, not 0"},
        {"sectors not raised after the extra file", [](Table& t) { t.source[t.extra() + 1].sector -= 14; },
         "14 higher after the extra file"},
        {"a second extra file", [](Table& t) { t.source.insert(t.source.begin() + 5, {"menu/extra.tm2", 0, 0}); },
         "holds 2 files that are not in the destination order"},
        {"the extra file first", [](Table& t) { std::rotate(t.source.begin(), t.source.begin() + t.extra(), t.source.begin() + t.extra() + 1); },
         "comes first"},
        {"a destination row missing in the source",
         [](Table& t) { t.source.erase(t.source.begin() + 2); }, "lacks the destination rows in order"},
        {"a name that differs in case",
         [](Table& t) { t.row(t.source, "vpackj/v07000.afs").name = t.name("vpackj/V07000.afs"); },
         "vpackj/v07000.afs has no source row"},
        {"a name twice", [](Table& t) { t.destination[9].name = t.destination[8].name; }, "destination names are unique"},
        {"a row read past the limit", [](Table& t) { t.row(t.source, "saves/kunai/obj.knb").sector = 1000000; },
         "every read of the name table ends inside the European image: saves/kunai/obj.knb"},
    };
    for (const Case& c : cases) {
        Table table;
        c.change(table);
        EXPECT_TRUE(tells(table.brokenFacts(), c.told)) << c.breakage;
    }
}

}  // namespace
