// Unit tests of Kestrin::FileBin's file operations on small files in a scratch folder.
#include "kestrin/filebin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kestrin/error.h"
#include "test_support.h"
#include "tests/support/scratch_folder.h"

using Kestrin::FileBin;
using Kestrin::FileError;
using Kestrin::LastError;

namespace {

std::vector<unsigned char> bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

std::string text(const std::vector<unsigned char>& data) {
    return std::string(data.begin(), data.end());
}

uint32_t pendingCode() {
    return LastError.code;
}

// A FileBin holding `content` in its buffer and naming `path`.
FileBin fileBin(const char* path, const std::string& content = "") {
    FileBin file;
    file = Kestrin::Dir(path);
    file = kestrin_test::bufferOf(content);
    return file;
}

class FileBinTest : public testing::Test {
protected:
    ScratchFolder scratch;
};

TEST_F(FileBinTest, ReadWindowsAndTheirErrors) {
    scratch.write("ten.bin", bytes("0123456789"));
    scratch.write("empty.bin");
    struct Case {
        const char* path;
        uint64_t position, length;
        uint32_t code;
        const char* content;
    };
    const Case cases[] = {
        {"ten.bin", 0, 0, 0, "0123456789"},
        {"ten.bin", 3, 0, 0, "3456789"},
        {"ten.bin", 6, 4, 0, "6789"},
        {"ten.bin", 7, 4, 0x102, nullptr},
        {"ten.bin", 10, 0, 0x102, nullptr},
        {"ten.bin", 11, 0, 0x102, nullptr},
        {"ten.bin", UINT64_MAX, 1, 0x102, nullptr},
        {"ten.bin", 1, UINT64_MAX, 0x102, nullptr},
        {"empty.bin", 0, 0, 0x102, nullptr},
        {"missing.bin", 0, 0, 1, nullptr},
        {"sub", 0, 0, 1, nullptr},
    };
    std::filesystem::create_directory(scratch.path() / "sub");
    for (const Case& c : cases) {
        FileBin file = fileBin(c.path, "keep");
        const bool done = file.read(c.position, c.length);
        EXPECT_EQ(done, c.code == 0) << c.path << " " << c.position << "," << c.length;
        EXPECT_EQ(pendingCode(), c.code) << c.path << " " << c.position << "," << c.length;
        EXPECT_EQ(kestrin_test::bytesOf(file), c.content ? c.content : "keep") << "length kept on failure";
        if (c.code) {
            EXPECT_STREQ(LastError.file.getPath().getText(), file.getPath().getText());
        }
    }
}

TEST_F(FileBinTest, ReadGrowsTheBufferExactlyAndReadAppendAdds) {
    scratch.write("boot.bin", bytes("cdrom0:\\SLUS_604.18;1"));
    FileBin file = fileBin("boot.bin");
    ASSERT_TRUE(file.read(0, 21));
    EXPECT_EQ(file.getLength(), 21u);
    EXPECT_EQ(file.getCapacity(), 22u);
    EXPECT_TRUE(file.read(0, 5));  // a shorter read keeps the block
    EXPECT_EQ(file.getCapacity(), 22u);
    EXPECT_TRUE(file.readAppend(16, 0));
    EXPECT_EQ(kestrin_test::bytesOf(file), "cdrom.18;1");
    EXPECT_TRUE(file.readAppend(0, 2));
    EXPECT_EQ(kestrin_test::bytesOf(file), "cdrom.18;1cd");
    EXPECT_EQ(file.getCapacity(), 22u);
    EXPECT_FALSE(file.readAppend(20, 2));
    EXPECT_EQ(pendingCode(), 0x102u);
    EXPECT_EQ(file.getLength(), 12u);
    EXPECT_EQ(file.fileSize(), 21u);
    EXPECT_EQ(pendingCode(), 0u);
}

TEST_F(FileBinTest, OneGibibyteIsTheLargestReadAndTheFileIsClosedAfterARefusal) {
    const uint64_t limit = 1073741824;
    {
        std::ofstream big(scratch.file("big.bin"), std::ios::binary);
    }
    std::filesystem::resize_file(scratch.file("big.bin"), limit + 1);
    FileBin file = fileBin("big.bin");
    EXPECT_FALSE(file.read(0, limit + 1));
    EXPECT_EQ(pendingCode(), 0x103u);
    EXPECT_FALSE(file.read(0, 0));
    EXPECT_EQ(pendingCode(), 0x103u);
    EXPECT_EQ(file.fileSize(), limit + 1) << "the refused read closed the file again";
    file = kestrin_test::bufferOf("xy");
    EXPECT_FALSE(file.readAppend(0, limit - 1));
    EXPECT_EQ(pendingCode(), 0x103u);
    EXPECT_EQ(kestrin_test::bytesOf(file), "xy");
    ASSERT_TRUE(file.read(1, limit));
    EXPECT_EQ(file.getLength(), limit);
    EXPECT_EQ(file.getU32(static_cast<uint32_t>(limit - 4)), 0u);
}

TEST_F(FileBinTest, WritesPlaceTheBufferStretchAndKeepTheRest) {
    struct Case {
        const char* name;
        bool (*write)(FileBin&);
        uint32_t code;
        std::string expected;  // the file afterwards, which held "xxxxxx"
    };
    const Case cases[] = {
        {"in place", [](FileBin& f) { return f.write("t.bin", 2, 1, 2); }, 0, "xxBCxx"},
        {"length 0 takes the rest", [](FileBin& f) { return f.write("t.bin", 4, 2, 0); }, 0, "xxxxCD"},
        {"past the end with zeros", [](FileBin& f) { return f.write("t.bin", 8, 0, 1); }, 0,
         std::string("xxxxxx\0\0A", 9)},
        {"emptied first", [](FileBin& f) { return f.writeNew("t.bin", 1, 3, 1); }, 0, std::string("\0D", 2)},
        {"appended", [](FileBin& f) { return f.append("t.bin", 0, 2); }, 0, "xxxxxxAB"},
        {"stretch outside the buffer", [](FileBin& f) { return f.write("t.bin", 0, 2, 3); }, 2, "xxxxxx"},
        {"offset past the buffer", [](FileBin& f) { return f.append("t.bin", 5, 0); }, 2, "xxxxxx"},
        {"own path", [](FileBin& f) { return f.write(0, 0, 1); }, 0, "Axxxxx"},
        {"own path emptied", [](FileBin& f) { return f.writeNew(0, 0, 0); }, 0, "ABCD"},
        {"own path appended", [](FileBin& f) { return f.append(3, 1); }, 0, "xxxxxxD"},
    };
    for (const Case& c : cases) {
        scratch.write("t.bin", bytes("xxxxxx"));
        FileBin file = fileBin("t.bin", "ABCD");
        EXPECT_EQ(c.write(file), c.code == 0) << c.name;
        EXPECT_EQ(pendingCode(), c.code) << c.name;
        EXPECT_EQ(kestrin_test::bytesOf(file), "ABCD") << c.name;
        EXPECT_EQ(text(scratch.read("t.bin")), c.expected) << c.name;
    }
}

TEST_F(FileBinTest, WriteTargetsInEveryForm) {
    FileBin file = fileBin("own.bin", "data");
    EXPECT_TRUE(file.writeNew(Kestrin::String("s.bin"), 0, 0, 0));
    EXPECT_TRUE(file.writeNew(Kestrin::Dir("d.bin"), 0, 0, 2));
    EXPECT_TRUE(file.writeNew(fileBin("f.bin", "ignored"), 0, 2, 2));
    char target[] = "c.bin";
    EXPECT_TRUE(file.writeNew(target, 0, 0, 0));
    EXPECT_EQ(text(scratch.read("s.bin")), "data");
    EXPECT_EQ(text(scratch.read("d.bin")), "da");
    EXPECT_EQ(text(scratch.read("f.bin")), "ta");
    EXPECT_EQ(text(scratch.read("c.bin")), "data");
}

TEST_F(FileBinTest, WritesCreateMissingFilesAndDirectoriesButNotOnABadStretch) {
    FileBin empty = fileBin("x");
    EXPECT_TRUE(empty.write("created.bin", 0, 0, 0));
    EXPECT_TRUE(std::filesystem::exists(scratch.path() / "created.bin"));
    EXPECT_EQ(std::filesystem::file_size(scratch.path() / "created.bin"), 0u);

    FileBin four = fileBin("x", "ABCD");
    EXPECT_FALSE(four.write("never.bin", 7, 2, 3));
    EXPECT_EQ(pendingCode(), 2u);
    EXPECT_STREQ(LastError.file.getPath().getText(), "never.bin");
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "never.bin"));

    EXPECT_TRUE(four.write("new\\dir\\f.bin", 0, 0, 0));
    EXPECT_EQ(text(scratch.read("new/dir/f.bin")), "ABCD");
    EXPECT_TRUE(four.writeNew("other/z.bin", 100, 0, 4));
    const std::vector<unsigned char> written = scratch.read("other/z.bin");
    EXPECT_EQ(written.size(), 104u);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 100), std::string(100, '\0'));

    FileBin deep = fileBin("a\\b\\c\\d.bin");
    deep.createDirs();
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "a" / "b" / "c"));
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "a" / "b" / "c" / "d.bin"));
}

TEST_F(FileBinTest, ResizeFileSetsTheLengthOnDisk) {
    scratch.write("r.bin", bytes("abcdef"));
    FileBin file = fileBin("r.bin", "buffer");
    EXPECT_TRUE(file.resizeFile(2));
    EXPECT_EQ(text(scratch.read("r.bin")), "ab");
    EXPECT_TRUE(file.resizeFile(5));
    EXPECT_EQ(text(scratch.read("r.bin")), std::string("ab\0\0\0", 5));
    EXPECT_EQ(kestrin_test::bytesOf(file), "buffer");
    FileBin missing = fileBin("missing.bin");
    EXPECT_FALSE(missing.resizeFile(3));
    EXPECT_EQ(pendingCode(), 1u);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "missing.bin"));
}

TEST_F(FileBinTest, CopyMovesWholeChunksThenTheRest) {
    const uint32_t chunk = Kestrin::CopyChunk;
    for (uint32_t size : {0u, 1u, chunk - 1, chunk, chunk + 1, 2 * chunk + 7}) {
        std::vector<unsigned char> content(size);
        for (uint32_t i = 0; i < size; ++i) content[i] = static_cast<unsigned char>(i * 7 + i / 4096);
        scratch.write("source.bin", content);
        scratch.write("copy.bin", bytes("old content longer than some sources"));
        FileBin file = fileBin("source.bin", "buffer");
        EXPECT_TRUE(file.copy("copy.bin")) << size;
        EXPECT_EQ(pendingCode(), 0u);
        EXPECT_TRUE(scratch.read("copy.bin") == content) << size;
        EXPECT_EQ(kestrin_test::bytesOf(file), "buffer");
    }
    EXPECT_EQ(Kestrin::copyBuffer.getCapacity(), chunk);
}

TEST_F(FileBinTest, CopyTargetsBackupAndFailures) {
    scratch.write("d/image.iso", bytes("disc"));
    FileBin file = fileBin("d\\image.iso");
    EXPECT_TRUE(file.copy("save\\"));
    EXPECT_EQ(text(scratch.read("save/image.iso")), "disc");
    EXPECT_TRUE(file.copy(Kestrin::emptyString + "save2" + "\\" + "renamed.iso"));
    EXPECT_EQ(text(scratch.read("save2/renamed.iso")), "disc");
    EXPECT_TRUE(file.copy(Kestrin::Dir("save3/")));
    EXPECT_EQ(text(scratch.read("save3/image.iso")), "disc");
    EXPECT_TRUE(file.backup());
    EXPECT_EQ(text(scratch.read("d/image.iso.bak")), "disc");

    FileBin directory = fileBin("d\\");
    EXPECT_FALSE(directory.copy("elsewhere.bin"));
    EXPECT_EQ(pendingCode(), 3u);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "elsewhere.bin"));

    FileBin missing = fileBin("d\\missing.iso");
    EXPECT_FALSE(missing.copy("m.iso"));
    EXPECT_EQ(pendingCode(), 1u);
    EXPECT_STREQ(LastError.file.getPath().getText(), "d\\missing.iso");
    EXPECT_TRUE(std::filesystem::exists(scratch.path() / "m.iso")) << "the destination stays when the source cannot be opened";

    // Into its own directory: the destination is the file itself, which must survive.
    EXPECT_FALSE(file.copy("d\\"));
    EXPECT_EQ(pendingCode(), 1u);
    EXPECT_EQ(text(scratch.read("d/image.iso")), "disc");
}

TEST_F(FileBinTest, AFileHeldByAnotherOpenerIsNeitherReadNorTouched) {
    scratch.write("held.iso", bytes("held content"));
    const std::string path = scratch.file("held.iso");
    platform::FileHandle holder = platform::kNoFile;
    ASSERT_EQ(platform::openFile(path.c_str(), platform::FileAccess::Read, platform::FileCreation::OpenExisting,
                                 platform::FileSharing::Exclusive, false, holder),
              platform::FileError::None);
    FileBin file = fileBin("held.iso", "XY");
    EXPECT_EQ(file.fileSize(), 0u);
    EXPECT_EQ(pendingCode(), 1u);
    EXPECT_FALSE(file.read(0, 0));
    EXPECT_FALSE(file.write(0, 0, 2));
    EXPECT_FALSE(file.writeNew(0, 0, 2));
    EXPECT_EQ(pendingCode(), 1u);
    EXPECT_FALSE(file.resizeFile(0));
    EXPECT_FALSE(file.copy("elsewhere.iso"));
    platform::closeFile(holder);
    EXPECT_EQ(text(scratch.read("held.iso")), "held content");
    EXPECT_EQ(file.fileSize(), 12u);
}

TEST_F(FileBinTest, PadToAndRoundUp) {
    struct Pad {
        std::string initial;
        uint32_t multiple;
        std::string expected;
    };
    const Pad pads[] = {{"12345", 4, std::string("12345\0\0\0", 8)}, {"12345678", 4, "12345678"}, {"", 4, ""},
                        {"1", 1, "1"}, {"12", 0, "12"}};
    for (const Pad& p : pads) {
        FileBin file = fileBin("x.bin", p.initial);
        file.padTo(p.multiple);
        EXPECT_EQ(kestrin_test::bytesOf(file), p.expected);
    }
    struct Round {
        uint32_t value, multiple, expected;
    };
    const Round rounds[] = {{2049, 2048, 4096}, {4096, 2048, 4096}, {0, 2048, 0}, {7, 0, 7}, {5, 1, 5}};
    for (const Round& r : rounds) EXPECT_EQ(FileBin::roundUp(r.value, r.multiple), r.expected);
}

TEST_F(FileBinTest, OperatorsActOnTheBufferOrOnThePath) {
    FileBin a = fileBin("dir\\a.bin", "AB");
    FileBin b = fileBin("dir\\b.bin", "AB");
    EXPECT_TRUE(a == b);  // same contents
    EXPECT_TRUE(a == kestrin_test::bufferOf("AB"));
    EXPECT_TRUE(kestrin_test::bufferOf("AB") == a);
    EXPECT_TRUE(a != Kestrin::Dir("dir\\b.bin"));
    EXPECT_TRUE(Kestrin::Dir("dir\\a.bin") == a);
    EXPECT_EQ(kestrin_test::bytesOf(a + b), "ABAB");
    a += b;
    a += Kestrin::Dir("sub\\");
    a -= 3;
    EXPECT_EQ(kestrin_test::bytesOf(a), "ABAB");
    EXPECT_STREQ(a.getPath().getText(), "");
    const FileBin copy(b);
    EXPECT_TRUE(copy == b);
    EXPECT_TRUE(copy == static_cast<const Kestrin::Dir&>(b));
}

}  // namespace
