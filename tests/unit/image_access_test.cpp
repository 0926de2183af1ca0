// Reading ranges of images up to 4 GiB, the temporary image's appends, and images held by another program.
#include "patchers/common/image_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kestrin/error.h"
#include "kestrin/filebin.h"
#include "tests/support/memory_image.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> stamp(uint32_t offset, size_t length) {
    std::vector<unsigned char> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>((offset >> ((i % 4) * 8)) + i * 7);
    return bytes;
}

// A sparse file of `size` bytes with stamps of 16 bytes at each offset.
void makeSparse(const std::string& path, uint64_t size, const std::vector<uint32_t>& offsets) {
    { std::ofstream create(path, std::ios::binary); }
    fs::resize_file(path, size);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    for (uint32_t offset : offsets) {
        const auto bytes = stamp(offset, 16);
        file.seekp(offset);
        file.write(reinterpret_cast<const char*>(bytes.data()), 16);
    }
}

TEST(ImageAccess, ReadsLandExactlyAtEveryOffsetUpTo4GiB) {
    ScratchFolder folder;
    const std::string path = folder.file("big.iso");
    const std::vector<uint32_t> offsets = {0, 0x3FFFFFF0, 0x40000000, 0x7FFFFFF0, 0x80000000, 0xC0000000, 0xFFFFFFE0};
    makeSparse(path, 0x100000000ull, offsets);
    FileImageSource image(path.c_str());
    ASSERT_TRUE(image.isOpen());
    EXPECT_EQ(image.size(), 0x100000000ull);
    // Backwards as well as forwards: each read starts where it says, whatever came before.
    for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) {
        unsigned char bytes[16];
        ASSERT_TRUE(image.read(*offset, bytes, 16)) << *offset;
        EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 16), stamp(*offset, 16)) << std::hex << *offset;
    }
}

TEST(ImageAccess, AReadPastTheEndFailsAndAMissingImageCannotBeOpened) {
    ScratchFolder folder;
    folder.write("small.iso", stamp(0, 100));
    FileImageSource image(folder.file("small.iso").c_str());
    ASSERT_TRUE(image.isOpen());
    unsigned char bytes[50];
    EXPECT_FALSE(image.read(90, bytes, 50));
    ASSERT_TRUE(image.read(90, bytes, 10));
    const auto whole = stamp(0, 100);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 10), std::vector<unsigned char>(whole.begin() + 90, whole.end()));
    EXPECT_EQ(image.open(folder.file("missing.iso").c_str()), platform::FileError::Missing);
    EXPECT_FALSE(image.isOpen());
}

// The temporary image: a file left by an earlier run is emptied first, and an append longer than
// the system is handed at once lands whole and in order.
TEST(ImageAccess, ASinkEmptiesAnOldFileAndKeepsLongAppendsWhole) {
    ScratchFolder folder;
    folder.write("game_temp.iso", std::vector<unsigned char>(800000, 0x5A));  // longer than what follows
    std::vector<unsigned char> first(700000);  // no two pieces of it alike
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<unsigned char>(i * 131 + (i >> 12));
    const auto second = stamp(2, 3);
    {
        FileImageSink sink(folder.file("game_temp.iso").c_str());
        ASSERT_TRUE(sink.isOpen());
        ASSERT_TRUE(sink.append(first.data(), static_cast<uint32_t>(first.size())));
        ASSERT_TRUE(sink.append(second.data(), static_cast<uint32_t>(second.size())));
    }
    auto expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(folder.read("game_temp.iso"), expected);
}

}  // namespace

namespace {

// An image that a patcher holds open is not one the mode toggler may take for itself.
TEST(ImageAccess, AnImageHeldByAPatcherCannotBeTakenForWriting) {
    ScratchFolder folder;
    folder.write("fr.iso", stamp(0, 64));
    const std::string path = folder.file("fr.iso");
    Kestrin::FileBin image;
    image = Kestrin::Dir("fr.iso");  // the scratch folder is current
    image.resize(4);
    const auto refused = [&](const char* what) {
        EXPECT_FALSE(image.write(0, 0, 4)) << what;
        EXPECT_EQ(Kestrin::LastError.code, static_cast<uint32_t>(Kestrin::FileError::OpenFailed)) << what;
    };
    {
        FileImageSource reading(path.c_str());
        ASSERT_TRUE(reading.isOpen());
        refused("held for reading");
    }
    {
        FileImageSink writing(path.c_str());
        ASSERT_TRUE(writing.isOpen());
        refused("held for writing");
    }
    EXPECT_TRUE(image.write(0, 0, 4)) << "free again";
}

}  // namespace
