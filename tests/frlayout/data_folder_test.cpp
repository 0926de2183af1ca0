// The data folder is replaced whole or not at all, and keeps its README.
#include "frlayout/data_folder.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/scratch_folder.h"
#include "frlayout/table_text.h"

namespace {

std::string textOf(const ScratchFolder& scratch, const std::string& relative) {
    const std::vector<unsigned char> bytes = scratch.read(relative);
    return std::string(bytes.begin(), bytes.end());
}

// Every name in the folder that holds the data folder, so that a leftover beside it shows.
std::set<std::string> namesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

void writeText(const ScratchFolder& scratch, const std::string& relative, const std::string& text) {
    scratch.write(relative, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST(DataFolder, TheNewTablesTakeThePlaceOfTheOldBesideTheReadme) {
    ScratchFolder scratch;
    writeText(scratch, "data/README.md", "# how the tables are made\n");
    writeText(scratch, "data/names.txt", "old names\n");
    writeText(scratch, "data/sound_s1.txt", "old sound\n");
    std::string error;
    ASSERT_TRUE(replaceDataFiles("data", {{"names.txt", "new names\n"}, {"sound_s1.txt", "new sound\n"}}, error)) << error;
    EXPECT_EQ(textOf(scratch, "data/names.txt"), "new names\n");
    EXPECT_EQ(textOf(scratch, "data/sound_s1.txt"), "new sound\n");
    EXPECT_EQ(textOf(scratch, "data/README.md"), "# how the tables are made\n");
    EXPECT_EQ(namesIn(scratch.path() / "data"), (std::set<std::string>{"README.md", "names.txt", "sound_s1.txt"}));
    EXPECT_EQ(namesIn(scratch.path()), std::set<std::string>{"data"});

    // A folder that is not there yet is made.
    ASSERT_TRUE(replaceDataFiles("fresh/", {{"names.txt", "rows\n"}}, error)) << error;
    EXPECT_EQ(textOf(scratch, "fresh/names.txt"), "rows\n");
}

TEST(DataFolder, AFailedWriteLeavesTheFolderAsItWasAndNothingBesideIt) {
    ScratchFolder scratch;
    writeText(scratch, "data/README.md", "readme\n");
    writeText(scratch, "data/names.txt", "old names\n");
    std::string error;
    // The second file cannot be made: its folder does not exist.
    EXPECT_FALSE(replaceDataFiles("data", {{"names.txt", "new names\n"}, {"missing/sound.txt", "x\n"}}, error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    EXPECT_EQ(textOf(scratch, "data/names.txt"), "old names\n");
    EXPECT_EQ(namesIn(scratch.path() / "data"), (std::set<std::string>{"README.md", "names.txt"}));
    EXPECT_EQ(namesIn(scratch.path()), std::set<std::string>{"data"});
}

TEST(TableText, NamesThatCannotStandInADataFileAreRefused) {
    for (const char* name : {"with \"quotes\"", "back\\slash", " leading space", "caf\xc3\xa9", "tab\there"}) {
        NameRows rows;
        rows.destination.push_back({name, 0, 1});
        rows.source.push_back({name, 0, 0});
        std::string text;
        std::vector<std::string> problems;
        EXPECT_FALSE(nameTableText(rows, {}, text, problems)) << name;
        EXPECT_EQ(problems.size(), 1u) << name;
    }
    NameRows rows;
    rows.destination.push_back({"dir/name with spaces.bin", 0, 1});
    std::string text;
    std::vector<std::string> problems;
    EXPECT_TRUE(nameTableText(rows, {}, text, problems));
}

}  // namespace
