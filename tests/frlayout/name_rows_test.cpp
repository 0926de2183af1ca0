// Name tables derived from real file systems: the rows the writing tool's report implies, a rebuild
// through copyByNameTable that gives the US area byte for byte, and what breaks the model.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/scratch_folder.h"
#include "tests/support/table_copy.h"
#include "disc_tools.h"
#include "frlayout/layout_derivation.h"
#include "patchers/common/image_access.h"
#include "patchers/common/rebuild.h"

namespace {

using disc_tools::contents;


std::string bytesOf(const std::string& path, uint64_t offset, uint64_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(count, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(count));
    return bytes;
}

TEST(NameRows, RealImagesInTwoOrdersRebuildTheUsAreaByteForByte) {
    SKIP_WITHOUT("xorriso");
    SKIP_WITHOUT("genisoimage");
    ScratchFolder scratch;
    // The area of the US image: these files in this order, with a hidden file of zeros among them
    // that no name covers. Outside it, a file before and a file after.
    const std::vector<std::string> usOrder = {"fpack/RI07.fp", "res/Map/m012.map.lzr", "a/b/c/deep.bin",
                                              "res/Map/M012.map.lzr", "modules/ezbgm.irx"};
    // The European image: the same files in another order, with a file of its own among them.
    const std::vector<std::string> europeanOrder = {"res/Map/M012.map.lzr", "modules/ezbgm.irx", "menu/langsel.tm2",
                                                    "a/b/c/deep.bin", "fpack/RI07.fp", "res/Map/m012.map.lzr"};
    std::vector<std::pair<std::string, std::string>> files = {
        {"fpack/RI07.fp", contents("RI07", 70000)},          {"res/Map/m012.map.lzr", contents("lower", 5000)},
        {"res/Map/M012.map.lzr", contents("upper", 3000)},  {"a/b/c/deep.bin", contents("deep", 10)},
        {"modules/ezbgm.irx", contents("ezbgm", 4096)},     {"before.bin", contents("before", 9000)},
        {"after.bin", contents("after", 7000)},
    };
    disc_tools::writeTree(scratch.path() / "us", files);
    disc_tools::writeTree(scratch.path() / "us", {{"zeros.pad", std::string(3 * 2048, '\0')}});
    files.push_back({"menu/langsel.tm2", contents("langsel", 20000)});
    disc_tools::writeTree(scratch.path() / "eu", files);
    {
        // genisoimage takes "path weight", the higher first; xorriso "weight /path".
        std::ofstream us("us.sort"), eu("eu.sort");
        std::vector<std::string> usWeights = {"before.bin"};
        usWeights.insert(usWeights.end(), usOrder.begin(), usOrder.begin() + 2);
        usWeights.push_back("zeros.pad");
        usWeights.insert(usWeights.end(), usOrder.begin() + 2, usOrder.end());
        usWeights.push_back("after.bin");
        for (size_t i = 0; i < usWeights.size(); ++i) us << "us/" << usWeights[i] << " " << 100 - i << "\n";
        eu << "100 /before.bin\n";
        for (size_t i = 0; i < europeanOrder.size(); ++i) eu << 90 - i << " /" << europeanOrder[i] << "\n";
    }
    // The US image a UDF bridge, as the retail discs; the European one Rock Ridge.
    ASSERT_TRUE(disc_tools::run("genisoimage -quiet -udf -R -J -sort us.sort -hide zeros.pad -hide-joliet zeros.pad -o us.iso us"));
    ASSERT_TRUE(disc_tools::run("xorriso -as mkisofs -quiet -R --sort-weight-list eu.sort -o eu.iso eu"));
    const auto usReport = disc_tools::reportedFiles(scratch.file("us.iso"));
    const auto europeanReport = disc_tools::reportedFiles(scratch.file("eu.iso"));
    ASSERT_EQ(disc_tools::reported(usReport, "zeros.pad"), nullptr) << "the hidden file shows";

    const auto* first = disc_tools::reported(usReport, usOrder.front());
    const auto* last = disc_tools::reported(usReport, usOrder.back());
    const auto* europeanFirst = disc_tools::reported(europeanReport, europeanOrder.front());
    ASSERT_TRUE(first && last && europeanFirst);
    const uint32_t areaEnd = last->sector + static_cast<uint32_t>((last->size + 2047) / 2048);
    const NameArea area{first->sector, areaEnd - first->sector, europeanFirst->sector - 2, true};

    DiscListing us, european;
    std::string error;
    ASSERT_TRUE(readDiscFiles(scratch.file("us.iso"), us, error)) << error;
    ASSERT_TRUE(readDiscFiles(scratch.file("eu.iso"), european, error)) << error;
    Findings findings;
    const NameRows rows = deriveNameRows(us.files, european.files, area, findings);
    EXPECT_EQ(findings.problems, std::vector<std::string>{});
    EXPECT_TRUE(tells(findings.notes, "no US file covers sectors"));
    EXPECT_TRUE(tells(findings.notes, "the European file menu/langsel.tm2"));

    ASSERT_EQ(rows.destination.size(), usOrder.size());
    for (size_t i = 0; i < usOrder.size(); ++i) {
        const auto* file = disc_tools::reported(usReport, usOrder[i]);
        EXPECT_EQ(rows.destination[i].name, usOrder[i]);
        EXPECT_EQ(rows.destination[i].sector, static_cast<int32_t>(file->sector - area.firstSector)) << usOrder[i];
        EXPECT_EQ(rows.destination[i].sectors, static_cast<int32_t>((file->size + 2047) / 2048)) << usOrder[i];
    }
    ASSERT_EQ(rows.source.size(), europeanOrder.size());
    for (size_t i = 0; i < europeanOrder.size(); ++i) {
        EXPECT_EQ(rows.source[i].name, europeanOrder[i]);
        EXPECT_EQ(rows.source[i].sector,
                  static_cast<int32_t>(disc_tools::reported(europeanReport, europeanOrder[i])->sector - area.baseSector))
            << europeanOrder[i];
    }

    // The rebuild of the European area with these rows is the US area.
    std::vector<NameTableEntry> destination, source;
    for (const NameRow& row : rows.destination) destination.push_back({row.name.c_str(), row.sector, row.sectors});
    for (const NameRow& row : rows.source) source.push_back({row.name.c_str(), row.sector, 0});
    destination.push_back({"", 0, 0});
    source.push_back({"", 0, 0});
    FileImageSink target(scratch.file("rebuilt.bin").c_str());
    const std::string europeanPath = scratch.file("eu.iso");
    FileImageSource europeanImage(europeanPath.c_str());
    RebuildContext context{europeanImage, target, area.sectors * 2048, 1};
    ASSERT_EQ(copyByNameTable(area.baseSector, NameTable{destination.data(), source.data()}, context), 1);
    target.close();
    EXPECT_TRUE(bytesOf(scratch.file("rebuilt.bin"), 0, uint64_t{area.sectors} * 2048) ==
                bytesOf(scratch.file("us.iso"), uint64_t{area.firstSector} * 2048, uint64_t{area.sectors} * 2048))
        << "the rebuilt area differs from the US one";
}

TEST(NameRows, WhatBreaksTheModelIsAProblem) {
    // Two US files in an area of 3 sectors from sector 100; the European ones from base sector 40.
    const std::vector<DiscFile> us = {{"a", 100, 4000}, {"b", 102, 2048}, {"outside", 103, 10}};
    const std::vector<DiscFile> european = {{"b", 50, 2048}, {"a", 52, 4000}};
    const NameArea area{100, 3, 40, true};
    struct Case {
        const char* breakage;
        std::vector<DiscFile> us, european;
        const char* told;
    };
    const Case cases[] = {
        {"a name that the European image lacks", us, {{"b", 50, 2048}},
         "the US file a lies in the area, but the European image has no file of that name"},
        {"a name that differs in case", us, {{"b", 50, 2048}, {"A", 52, 4000}}, "the US file a lies in the area, but"},
        {"an empty European file", us, {{"b", 50, 2048}, {"a", 52, 0}}, "the European file of that name is empty"},
        {"overlapping US files", {{"a", 100, 4000}, {"b", 101, 2048}}, european, "the US files a and b overlap"},
        {"a US file across the area's end", {{"a", 100, 4000}, {"b", 102, 4000}}, european, "b (sectors 102 to 104) reaches across"},
        {"overlapping European files", us, {{"b", 50, 4096}, {"a", 51, 4000}}, "the European files b and a overlap"},
        {"a European file before the base sector", us, {{"b", 30, 2048}, {"a", 52, 4000}}, "before the base sector 40"},
    };
    Findings clean;
    deriveNameRows(us, european, area, clean);
    ASSERT_EQ(clean.problems, std::vector<std::string>{});
    for (const Case& c : cases) {
        Findings findings;
        deriveNameRows(c.us, c.european, area, findings);
        EXPECT_TRUE(tells(findings.problems, c.told)) << c.breakage;
    }
    // A European file among the named ones gets a row only where the layout keeps such files.
    const std::vector<DiscFile> withExtra = {{"b", 50, 2048}, {"extra", 51, 100}, {"a", 52, 4000}};
    for (bool keep : {true, false}) {
        Findings findings;
        const NameRows rows = deriveNameRows(us, withExtra, NameArea{100, 3, 40, keep}, findings);
        EXPECT_EQ(rows.source.size(), keep ? 3u : 2u) << keep;
        EXPECT_EQ(findings.problems, std::vector<std::string>{}) << keep;
    }
}

}  // namespace
