// frlayout's file lists of real file systems, held against what the tool that wrote them reports.
#include "frlayout/disc_files.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"
#include "disc_tools.h"

namespace {

using disc_tools::quoted;

// Nested folders, names that differ only in case, an empty file and a file of many sectors.
const std::vector<std::pair<std::string, std::string>> kTree = {
    {"res/Map/m012.map.lzr", disc_tools::contents("m012 lower", 5000)},
    {"res/Map/M012.map.lzr", disc_tools::contents("M012 upper", 3000)},
    {"a/b/c/deep.bin", disc_tools::contents("deep", 10)},
    {"fpack/RI07.fp", disc_tools::contents("RI07", 70000)},
    {"empty.txt", ""},
};
// Plain ISO 9660 names are upper case, with no two that differ only in case.
const std::vector<std::pair<std::string, std::string>> kPlainTree = {
    {"RES/MAP/M012.LZR", disc_tools::contents("m012", 5000)},
    {"A/B/C/DEEP.BIN", disc_tools::contents("deep", 10)},
    {"README", disc_tools::contents("readme", 70000)},
};

TEST(DiscFiles, EachFileSystemListsWhatItsWritingToolReports) {
    SKIP_WITHOUT("xorriso");
    SKIP_WITHOUT("genisoimage");
    struct Case {
        const char* what;
        const char* write;    // the command, with IMG and TREE to fill in
        const char* loading;  // how xorriso reads the tree that frlayout should read
        FileSystemKind kind;
        bool plain;
    };
    const Case cases[] = {
        {"a UDF bridge", "genisoimage -quiet -udf -R -J -o IMG TREE", "", FileSystemKind::Udf, false},
        {"Rock Ridge names", "xorriso -as mkisofs -quiet -R -o IMG TREE", "", FileSystemKind::Iso9660, false},
        {"Joliet names", "xorriso -as mkisofs -quiet --norock -J -o IMG TREE", "-rockridge off -joliet on",
         FileSystemKind::Iso9660, false},
        {"plain ISO 9660 names", "genisoimage -quiet -o IMG TREE", "", FileSystemKind::Iso9660, true},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        disc_tools::writeTree(scratch.path() / "tree", c.plain ? kPlainTree : kTree);
        std::string command = c.write;
        command.replace(command.find("IMG"), 3, quoted(scratch.file("disc.iso")));
        command.replace(command.find("TREE"), 4, quoted(scratch.file("tree")));
        ASSERT_TRUE(disc_tools::run(command)) << command;

        DiscListing listing;
        std::string error;
        ASSERT_TRUE(readDiscFiles(scratch.file("disc.iso"), listing, error)) << c.what << ": " << error;
        EXPECT_EQ(listing.kind, c.kind) << c.what;
        const auto oracle = disc_tools::reportedFiles(scratch.file("disc.iso"), c.loading);
        size_t withData = 0;
        for (const DiscFile& file : listing.files) {
            if (file.size == 0) continue;
            ++withData;
            const disc_tools::ReportedFile* expected = disc_tools::reported(oracle, file.name);
            ASSERT_NE(expected, nullptr) << c.what << ": " << file.name << " is not in the tool's report";
            EXPECT_EQ(file.sector, expected->sector) << c.what << ": " << file.name;
            EXPECT_EQ(file.size, expected->size) << c.what << ": " << file.name;
        }
        size_t reportedWithData = 0;
        for (const auto& file : oracle) reportedWithData += file.size > 0;
        EXPECT_EQ(withData, reportedWithData) << c.what;
        EXPECT_EQ(withData, c.plain ? 3u : 4u) << c.what;
    }
}

TEST(DiscFiles, ImagesThatCannotBeReadAreToldWhy) {
    SKIP_WITHOUT("genisoimage");
    ScratchFolder scratch;
    scratch.write("notes.iso", std::vector<unsigned char>(100000, 'x'));
    // A file that ends well past the half of the image.
    disc_tools::writeTree(scratch.path() / "tree", {{"small.bin", "abc"}, {"large.bin", disc_tools::contents("large", 600000)}});
    ASSERT_TRUE(disc_tools::run("genisoimage -quiet -udf -R -J -o cut.iso tree"));
    std::filesystem::resize_file(scratch.path() / "cut.iso", std::filesystem::file_size(scratch.path() / "cut.iso") / 2);
    struct Case {
        const char* image;
        const char* told;
    };
    const Case cases[] = {
        {"missing.iso", "missing.iso cannot be opened for reading: No such file or directory"},
        {"tree", "tree is a folder, not a disc image"},
        {"notes.iso", "notes.iso: it holds neither a UDF nor an ISO 9660 file system"},
        {"cut.iso", "its file large.bin reaches to byte"},
    };
    for (const Case& c : cases) {
        DiscListing listing;
        std::string error;
        EXPECT_FALSE(readDiscFiles(c.image, listing, error)) << c.image;
        EXPECT_NE(error.find(c.told), std::string::npos) << c.image << ": " << error;
    }
}

}  // namespace
