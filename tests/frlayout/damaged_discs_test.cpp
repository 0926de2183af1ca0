// Disc images that xorriso and genisoimage write, then damaged as a scratched disc or a bad dump
// would be: each is refused with a message naming what is wrong, or, for names, read right, or
// refused naming the file where libcdio cannot give its name as written.
#include "frlayout/disc_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>

#include "tests/support/scratch_folder.h"
#include "disc_tools.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr size_t kSector = 2048;

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
void putLe32(Bytes& b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(value >> (8 * i));
}
// ISO 9660 writes its numbers twice: little-endian, then big-endian.
void putBoth32(Bytes& b, size_t at, uint32_t value) {
    putLe32(b, at, value);
    for (int i = 0; i < 4; ++i) b[at + 4 + i] = static_cast<unsigned char>(value >> (8 * (3 - i)));
}

// A UDF descriptor written again as a mastering tool would: its CRC, then its tag checksum.
void sealUdfTag(Bytes& image, size_t at) {
    const size_t length = le16(image, at + 10);
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint16_t>(image[at + 16 + i] << 8);
        for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
    }
    image[at + 8] = static_cast<unsigned char>(crc);
    image[at + 9] = static_cast<unsigned char>(crc >> 8);
    unsigned sum = 0;
    for (size_t i = 0; i < 16; ++i) sum += i == 4 ? 0 : image[at + i];
    image[at + 4] = static_cast<unsigned char>(sum);
}

uint32_t udfPartitionStart(const Bytes& image) {
    const uint32_t sequence = le32(image, 256 * kSector + 20);
    for (uint32_t sector = sequence; sector < sequence + 16; ++sector) {
        if (le16(image, sector * kSector) == 5) return le32(image, sector * kSector + 188);
    }
    return 0;
}

// The File Identifier Descriptor of `name` (8-bit UDF names), found in the folders' first sectors.
size_t udfIdentifier(const Bytes& image, const std::string& name) {
    for (size_t sector = 0; sector < image.size() / kSector; ++sector) {
        size_t at = sector * kSector;
        while (at + 38 < (sector + 1) * kSector && le16(image, at) == 257) {
            const size_t implementationUse = le16(image, at + 36), length = image[at + 19];
            const std::string found(image.begin() + at + 38 + implementationUse + 1,
                                    image.begin() + at + 38 + implementationUse + std::max<size_t>(length, 1));
            if (length > 0 && found == name) return at;
            at += (38 + implementationUse + length + 3) / 4 * 4;
        }
    }
    ADD_FAILURE() << "no UDF entry " << name;
    return 0;
}

size_t udfEntryOf(const Bytes& image, const std::string& name) {
    return (udfPartitionStart(image) + le32(image, udfIdentifier(image, name) + 24)) * kSector;
}

// The directory record of `name` (a plain name, without its version) in the ISO 9660 tree below `folder`.
size_t isoRecord(const Bytes& image, const std::string& name, size_t folder = 16 * kSector + 156) {
    const size_t start = le32(image, folder + 2) * kSector, end = start + le32(image, folder + 10);
    for (size_t at = start; at < end;) {
        if (image[at] == 0) {
            at = (at / kSector + 1) * kSector;
            continue;
        }
        const std::string found(image.begin() + at + 33, image.begin() + at + 33 + image[at + 32]);
        if (found.substr(0, found.find(';')) == name) return at;
        if ((image[at + 25] & 2) && (image[at + 32] > 1 || image[at + 33] > 1)) {  // a folder, not . or ..
            if (const size_t inner = isoRecord(image, name, at)) return inner;
        }
        at += image[at];
    }
    return 0;
}

struct Damage {
    const char* what;
    const char* write;  // the command, with IMG and TREE to fill in
    std::vector<std::pair<std::string, std::string>> tree;
    std::function<void(Bytes&)> damage;
    std::vector<std::string> told;   // each in the refusal; empty when the image must be read
    std::vector<std::string> names;  // the names a readable image must list
};

const char* const kBridge = "genisoimage -quiet -udf -R -J -o IMG TREE";
const char* const kRockRidge = "xorriso -as mkisofs -quiet -R -o IMG TREE";
const std::vector<std::pair<std::string, std::string>> kTree = {
    {"a/b/c/deep.bin", disc_tools::contents("deep", 10)},
    {"a/b/two.bin", disc_tools::contents("two", 5000)},
    {"x.txt", "xyz"},
};
const std::string kLongName(100, 'L');
// Longer than what of a Rock Ridge name fits in its record: the rest is continued elsewhere.
const std::string kLongerName = std::string(200, 'R') + ".bin";

std::vector<Damage> damages() {
    return {
        {"a UDF folder that is its own parent's child", kBridge, kTree,
         [](Bytes& image) {
             const size_t b = udfIdentifier(image, "b");
             putLe32(image, b + 24, le32(image, udfIdentifier(image, "a") + 24));
             sealUdfTag(image, b);
         },
         {"UDF folder a/b", "loop"}, {}},
        {"an ISO 9660 folder that is its own parent's child", kRockRidge, kTree,
         [](Bytes& image) { putBoth32(image, isoRecord(image, "B") + 2, le32(image, isoRecord(image, "A") + 2)); },
         {"ISO 9660 folder a/b", "loop"}, {}},
        {"a UDF entry past the image's end", kBridge, kTree,
         [](Bytes& image) {
             const size_t two = udfIdentifier(image, "two.bin");
             putLe32(image, two + 24, 0x00FFFFFF);
             sealUdfTag(image, two);
         },
         {"a/b/two.bin", "past the image's end"}, {}},
        {"an image cut inside its folders", kBridge, kTree,
         [](Bytes& image) { image.resize((udfPartitionStart(image) + 5) * kSector); },
         {"truncated", "bytes long", "declares"}, {}},
        {"a UDF file in two extents", kBridge, kTree,
         [](Bytes& image) {
             const size_t entry = udfEntryOf(image, "two.bin");
             const size_t descriptors = entry + 176 + le32(image, entry + 168);
             const uint32_t first = le32(image, descriptors + 4);
             putLe32(image, entry + 172, 16);
             putLe32(image, descriptors, 4096);
             putLe32(image, descriptors + 8, 5000 - 4096);
             putLe32(image, descriptors + 12, first + 2);
             image[entry + 10] = static_cast<unsigned char>(image[entry + 10] + 8);
             sealUdfTag(image, entry);
         },
         {"UDF file a/b/two.bin", "2 extents"}, {}},
        {"an ISO 9660 file in more than one extent", kRockRidge, kTree,
         [](Bytes& image) { image[isoRecord(image, "TWO.BIN") + 25] |= 0x80; },
         {"ISO 9660 file a/b/two.bin", "more than one extent"}, {}},
        {"a UDF bridge whose ISO 9660 tree puts a file elsewhere", kBridge, kTree,
         [](Bytes& image) {
             const size_t x = isoRecord(image, "X.TXT");
             putBoth32(image, x + 2, le32(image, x + 2) + 1);
         },
         {"UDF and ISO 9660 trees disagree", "x.txt"}, {}},
        {"one byte of a UDF File Entry's extended-attribute length", kBridge, kTree,
         [](Bytes& image) {
             const size_t entry = udfEntryOf(image, "x.txt");
             image[entry + 169] = 0x10;
             sealUdfTag(image, entry);
         },
         {"UDF entry x.txt", "damaged"}, {}},
        {"Rock Ridge names beside a Joliet tree that lacks a file",
         "xorriso -as mkisofs -quiet -R -J -joliet-long -hide-joliet TREE/hidden.bin -o IMG TREE",
         {{"colon:name.bin", "c"}, {kLongName + ".bin", "l"}, {"hidden.bin", "h"}},
         [](Bytes&) {}, {}, {"colon:name.bin", kLongName + ".bin", "hidden.bin"}},
        {"Rock Ridge names that differ only by a version", kRockRidge, {{"v", "one"}, {"v;1", "two"}},
         [](Bytes&) {}, {}, {"v", "v;1"}},
        {"a Rock Ridge name that libiso9660 cuts", kRockRidge, {{kLongerName, "r"}, {"x.txt", "xyz"}},
         [](Bytes&) {}, {"libiso9660 reads the Rock Ridge name of the file at sector", "where its structures say " + kLongerName}, {}},
    };
}

class DamagedDisc : public testing::TestWithParam<size_t> {};

TEST_P(DamagedDisc, IsRefusedNamingWhatIsWrongOrReadRight) {
    SKIP_WITHOUT("xorriso");
    SKIP_WITHOUT("genisoimage");
    const Damage c = damages()[GetParam()];
    ScratchFolder scratch;
    disc_tools::writeTree(scratch.path() / "tree", c.tree);
    std::string command = c.write;
    while (command.find("TREE") != std::string::npos) command.replace(command.find("TREE"), 4, disc_tools::quoted(scratch.file("tree")));
    command.replace(command.find("IMG"), 3, disc_tools::quoted(scratch.file("disc.iso")));
    ASSERT_TRUE(disc_tools::run(command)) << command;
    Bytes image = scratch.read("disc.iso");
    c.damage(image);
    scratch.write("disc.iso", image);

    DiscListing listing;
    std::string error;
    const bool read = readDiscFiles(scratch.file("disc.iso"), listing, error);
    if (!c.told.empty()) {
        EXPECT_FALSE(read) << c.what << ": read with " << listing.files.size() << " files";
        for (const std::string& told : c.told) EXPECT_NE(error.find(told), std::string::npos) << c.what << ": " << error;
        return;
    }
    ASSERT_TRUE(read) << c.what << ": " << error;
    std::vector<std::string> names;
    for (const DiscFile& file : listing.files) names.push_back(file.name);
    std::sort(names.begin(), names.end());
    std::vector<std::string> wanted = c.names;
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(names, wanted) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedDisc, testing::Range<size_t>(0, damages().size()));

TEST(DamagedDisc, AFifoNamedLikeAnImageIsRefusedWithoutWaiting) {
    ScratchFolder scratch;
    ASSERT_EQ(mkfifo(scratch.file("fifo.iso").c_str(), 0600), 0);
    DiscListing listing;
    std::string error;
    EXPECT_FALSE(readDiscFiles(scratch.file("fifo.iso"), listing, error));
    EXPECT_NE(error.find("fifo.iso is a FIFO, not a disc image"), std::string::npos) << error;
}

}  // namespace
