// The places frlayout takes from each plan, and what `frlayout check` tells of tables that differ
// from the built-in ones.
#include "frlayout/table_making.h"

#include <gtest/gtest.h>

#include "patchers/common/layout_facts.h"

namespace {

TitleTables builtIn(const Title& title) {
    TitleTables tables;
    for (const NameTableEntry* row : nameRows(title.builtInNames->destination)) tables.names.destination.push_back({row->name, row->sector, row->sectors});
    for (const NameTableEntry* row : nameRows(title.builtInNames->source)) tables.names.source.push_back({row->name, row->sector, 0});
    for (size_t run = 0; run < title.soundRuns; ++run) {
        tables.sounds.push_back({soundOffsets(title.builtInSounds[run]), title.builtInSounds[run].end});
    }
    return tables;
}

TEST(TitleTables, ThePlacesAreThoseWhereThePlansWork) {
    const PlanPlaces elvane = planPlaces(*findTitle("elvane"));
    EXPECT_EQ(elvane.nameStep, 49u);
    EXPECT_EQ(elvane.names.firstSector, 652841u);  // target offset 0x4FB14800
    EXPECT_EQ(elvane.names.sectors, 401413u);
    EXPECT_EQ(elvane.names.baseSector, 7303u);
    EXPECT_FALSE(elvane.names.keepUnnamedFiles);
    ASSERT_EQ(elvane.sounds.size(), 9u);
    EXPECT_EQ(elvane.soundSteps.front(), 50u);
    EXPECT_EQ(elvane.sounds[0].usOffset, 0x80B17000u);
    EXPECT_EQ(elvane.sounds[0].usLength, 74600448u);
    EXPECT_EQ(elvane.sounds[0].europeanOffset, 198512640u);
    EXPECT_EQ(elvane.sounds[0].europeanLength, 76998656u);
    EXPECT_EQ(elvane.sounds[8].usOffset, 0x9A1BB800u);

    const PlanPlaces velmora = planPlaces(*findTitle("velmora"));
    EXPECT_EQ(velmora.nameStep, 4u);
    EXPECT_EQ(velmora.names.firstSector, 526198u);  // target offset 0x403BB000
    EXPECT_EQ(velmora.names.sectors, 369323u);
    EXPECT_EQ(velmora.names.baseSector, 526220u);
    EXPECT_TRUE(velmora.names.keepUnnamedFiles);
    EXPECT_TRUE(velmora.sounds.empty());
}

TEST(TitleTables, ACheckTellsEachListAndRunThatDiffers) {
    for (const Title& title : kTitles) {
        EXPECT_EQ(differencesFromBuiltIn(title, builtIn(title)), std::vector<std::string>{}) << title.name;
        EXPECT_EQ(brokenFacts(title, builtIn(title)), std::vector<std::string>{}) << title.name;
    }
    const Title& elvane = *findTitle("elvane");
    TitleTables tables = builtIn(elvane);
    tables.names.source[7].sector += 1;
    tables.sounds[2].offsets[5] += 2048;
    const std::vector<std::string> differences = differencesFromBuiltIn(elvane, tables);
    ASSERT_EQ(differences.size(), 2u) << ::testing::PrintToString(differences);
    EXPECT_NE(differences[0].find("the source lists differ from row 8 on"), std::string::npos) << differences[0];
    EXPECT_NE(differences[1].find("S3 differs: 1000 offsets built in and 1000 on the discs, the first different one is entry 5"),
              std::string::npos)
        << differences[1];
}

}  // namespace
