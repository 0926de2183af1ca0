// The UDF file system of a disc image, read and checked descriptor by descriptor (the ECMA-167
// structures as UDF 1.02 lays them out) before any library is trusted with it.
#include "frlayout/udf_tree.h"

#include <cinttypes>
#include <cstring>
#include <vector>

#include "patchers/common/layout_facts.h"

namespace {

constexpr uint32_t kBlock = 2048;
constexpr uint64_t kAnchorSector = 256;
constexpr size_t kEntryHeader = 176;  // a File Entry before its extended attributes

enum Tag : uint16_t {
    kPrimaryVolume = 1,
    kAnchor = 2,
    kPartition = 5,
    kLogicalVolume = 6,
    kTerminating = 8,
    kFileSet = 256,
    kFileIdentifier = 257,
    kFileEntry = 261,
};

enum FileType : uint8_t { kFolderType = 4, kFileType = 5 };
enum Characteristics : uint8_t { kIsFolder = 2, kIsDeleted = 4, kIsParent = 8 };
enum DescriptorForm : uint16_t { kShortForm = 0, kLongForm = 1, kEmbedded = 3 };

uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t le64(const unsigned char* p) {
    return le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32;
}

// The CRC that UDF descriptors carry (CCITT polynomial, starting from 0).
uint16_t descriptorCrc(const unsigned char* data, size_t count) {
    uint16_t crc = 0;
    for (size_t i = 0; i < count; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
    }
    return crc;
}

// Whether the `room` bytes at `d` begin with a descriptor of `id` whose tag checksum and CRC hold.
bool holdsDescriptor(const unsigned char* d, size_t room, uint16_t id) {
    if (room < 16 || le16(d) != id) return false;
    unsigned sum = 0;
    for (size_t i = 0; i < 16; ++i) sum += i == 4 ? 0 : d[i];
    const size_t covered = le16(d + 10);
    return (sum & 0xFF) == d[4] && 16 + covered <= room && descriptorCrc(d + 16, covered) == le16(d + 8);
}

// Whether the volume recognition sequence after the system area names a UDF volume.
bool announcesUdf(const ImageFile& image) {
    unsigned char sector[kBlock];
    for (uint64_t at = 16; at < 16 + 64 && image.read(at * kBlock, sector, kBlock); ++at) {
        const std::string ident(reinterpret_cast<const char*>(sector) + 1, 5);
        if (ident == "NSR02" || ident == "NSR03") return true;
        if (ident != "CD001" && ident != "BEA01" && ident != "TEA01" && ident != "BOOT2" && ident != "CDW02") return false;
    }
    return false;
}

struct Extent {
    uint32_t block;   // from the start of the partition
    uint32_t length;  // bytes
};

struct Entry {
    uint8_t type;
    uint64_t length;  // information length, bytes
    bool embedded;    // the data lies inside the entry
    std::vector<Extent> extents;
};

class UdfReader {
public:
    UdfReader(const ImageFile& image, TreeReading& out) : image_(image), out_(out) {}

    bool read() {
        return readVolume() && readFolder(root_, "");
    }

private:
    bool refuse(std::string why) {
        out_.why = std::move(why);
        return false;
    }

    uint64_t imageSectors() const { return image_.size() / kBlock; }

    bool readVolume() {
        unsigned char sector[kBlock];
        if (!image_.read(kAnchorSector * kBlock, sector, kBlock) || !holdsDescriptor(sector, kBlock, kAnchor)) {
            return refuse("its UDF volume has no anchor at sector 256, or a damaged one");
        }
        const uint32_t sequenceBytes = le32(sector + 16), sequenceStart = le32(sector + 20);
        const uint32_t sequenceSectors = sequenceBytes / kBlock;
        if (sequenceSectors == 0 || sequenceSectors > 256) {
            return refuse(formatText("its UDF anchor gives a volume descriptor sequence of %" PRIu32 " bytes", sequenceBytes));
        }
        bool primary = false, partition = false, logical = false;
        uint32_t fileSetBlock = 0;
        for (uint64_t at = sequenceStart; at < uint64_t{sequenceStart} + sequenceSectors; ++at) {
            if (!image_.read(at * kBlock, sector, kBlock)) {
                return refuse(formatText("its UDF volume descriptors reach sector %" PRIu64 ", past the image's end", at));
            }
            if (holdsDescriptor(sector, kBlock, kTerminating)) break;
            if (holdsDescriptor(sector, kBlock, kPrimaryVolume)) primary = true;
            if (holdsDescriptor(sector, kBlock, kPartition) && !partition) {
                partition = true;
                partitionStart_ = le32(sector + 188);
                partitionBlocks_ = le32(sector + 192);
            }
            if (holdsDescriptor(sector, kBlock, kLogicalVolume) && !logical) {
                logical = true;
                if (le32(sector + 212) != kBlock) {
                    return refuse(formatText("its UDF blocks are %" PRIu32 " bytes long, not 2048", le32(sector + 212)));
                }
                fileSetBlock = le32(sector + 252);
            }
        }
        if (!primary || !partition || !logical) {
            return refuse(std::string("its UDF volume descriptors hold no readable ") +
                          (!primary ? "primary volume" : !partition ? "partition" : "logical volume") + " descriptor");
        }
        out_.declaredBytes = (uint64_t{partitionStart_} + partitionBlocks_) * kBlock;
        if (!readBlock(fileSetBlock, sector, "file set descriptor")) return false;
        if (!holdsDescriptor(sector, kBlock, kFileSet)) return refuse("its UDF file set descriptor is damaged");
        root_ = le32(sector + 404);  // the block of the root folder's entry
        return true;
    }

    // Reads block `block` of the partition; `what` names it when it lies outside the image.
    bool readBlock(uint32_t block, unsigned char* sector, const std::string& what) {
        const uint64_t at = uint64_t{partitionStart_} + block;
        if (at >= imageSectors()) {
            return refuse(formatText("its UDF %s lies at sector %" PRIu64 ", past the image's end at sector %" PRIu64,
                                     what.c_str(), at, imageSectors()));
        }
        if (!image_.read(at * kBlock, sector, kBlock)) return refuse(formatText("sector %" PRIu64 " cannot be read", at));
        return true;
    }

    bool readEntry(uint32_t block, const std::string& path, Entry& entry) {
        const std::string shown = path.empty() ? "/" : path;
        unsigned char d[kBlock];
        if (!readBlock(block, d, "entry " + shown)) return false;
        if (!holdsDescriptor(d, kBlock, kFileEntry)) {
            return refuse("its UDF entry " + shown + " is damaged: no valid file entry lies where its folder points");
        }
        const uint32_t attributes = le32(d + 168), descriptors = le32(d + 172);
        if (attributes > kBlock - kEntryHeader || descriptors > kBlock - kEntryHeader - attributes) {
            return refuse(formatText("its UDF entry %s is damaged: its extended attributes (%" PRIu32
                                     " bytes) and allocation descriptors (%" PRIu32 " bytes) overrun its block",
                                     shown.c_str(), attributes, descriptors));
        }
        entry.type = d[27];
        entry.length = le64(d + 56);
        const uint16_t form = le16(d + 34) & 7;
        entry.embedded = form == kEmbedded;
        if (entry.embedded) return true;
        if (form != kShortForm && form != kLongForm) {
            return refuse(formatText("its UDF entry %s uses allocation descriptors of form %u", shown.c_str(), form));
        }
        const size_t size = form == kShortForm ? 8 : 16;
        if (descriptors % size != 0) return refuse("its UDF entry " + shown + " is damaged: a partial allocation descriptor");
        for (size_t at = kEntryHeader + attributes; at < kEntryHeader + attributes + descriptors; at += size) {
            const uint32_t length = le32(d + at) & 0x3FFFFFFF, kind = le32(d + at) >> 30;
            if (length == 0) break;
            if (kind != 0) return refuse(formatText("its UDF entry %s has an extent of kind %" PRIu32 ", not recorded data", shown.c_str(), kind));
            entry.extents.push_back({le32(d + at + 4), length});
        }
        return true;
    }

    bool readFolder(uint32_t block, const std::string& path) {
        if (!trail_.enter(block, path, "UDF", out_.why)) return false;
        const std::string shown = path.empty() ? "/" : path;
        Entry entry;
        if (!readEntry(block, path, entry)) return false;
        if (entry.type != kFolderType) return refuse(formatText("its UDF folder %s has the entry of a file (type %u)", shown.c_str(), entry.type));
        if (entry.embedded || entry.extents.size() != 1 || entry.length > entry.extents[0].length || entry.length > kLargestFolder) {
            return refuse(formatText("its UDF folder %s is damaged: its entry lists %" PRIu64 " bytes in %zu extents",
                                     shown.c_str(), entry.length, entry.extents.size()));
        }
        const uint64_t start = uint64_t{partitionStart_} + entry.extents[0].block;
        std::vector<unsigned char> data(entry.length);
        if (!image_.read(start * kBlock, data.data(), data.size())) {
            return refuse(formatText("its UDF folder %s lies at sector %" PRIu64 ", past the image's end at sector %" PRIu64,
                                     shown.c_str(), start, imageSectors()));
        }
        for (size_t at = 0; at < data.size();) {
            const unsigned char* d = data.data() + at;
            const size_t room = data.size() - at;
            if (room < 38 || !holdsDescriptor(d, room, kFileIdentifier) || 38u + le16(d + 36) + d[19] > room) {
                return refuse(formatText("its UDF folder %s is damaged at byte %zu of its entries", shown.c_str(), at));
            }
            const uint8_t characteristics = d[18];
            const size_t nameLength = d[19], nameAt = 38u + le16(d + 36);
            at += (nameAt + nameLength + 3) / 4 * 4;
            if (characteristics & (kIsParent | kIsDeleted)) continue;
            std::string name;
            if (!decodeName(d + nameAt, nameLength, name)) {
                return refuse("its UDF folder " + shown + " holds an entry whose name is damaged");
            }
            const std::string inner = path.empty() ? name : path + "/" + name;
            const uint32_t innerBlock = le32(d + 24);
            if (!((characteristics & kIsFolder) ? readFolder(innerBlock, inner) : readFile(innerBlock, inner))) return false;
        }
        trail_.leave();
        return true;
    }

    bool readFile(uint32_t block, const std::string& path) {
        Entry entry;
        if (!readEntry(block, path, entry)) return false;
        if (entry.type != kFileType) {
            return refuse(formatText("its UDF entry %s is no regular file (type %u)", path.c_str(), entry.type));
        }
        if (entry.length == 0) {
            out_.files.push_back({path, 0, 0});
            return true;
        }
        if (entry.embedded || entry.extents.empty()) return refuse("the UDF file " + path + " keeps no extent of its own");
        if (entry.extents.size() > 1) {
            return refuse(formatText("its UDF file %s is in %zu extents: a file in pieces cannot be copied as one",
                                     path.c_str(), entry.extents.size()));
        }
        if (entry.extents[0].length < entry.length) {
            return refuse(formatText("its UDF file %s is %" PRIu64 " bytes long, but its extent holds %" PRIu32,
                                     path.c_str(), entry.length, entry.extents[0].length));
        }
        const uint64_t sector = uint64_t{partitionStart_} + entry.extents[0].block;
        const uint64_t end = sector * kBlock + entry.length;
        if (sector > UINT32_MAX || end > image_.size()) {
            return refuse(formatText("its file %s reaches to byte %" PRIu64 ", past the image's end at byte %" PRIu64 ": the image is truncated",
                                     path.c_str(), end, image_.size()));
        }
        out_.files.push_back({path, static_cast<uint32_t>(sector), entry.length});
        return true;
    }

    // A UDF name: 8 (one byte a character) or 16 (two, most significant first), then the characters.
    static bool decodeName(const unsigned char* d, size_t length, std::string& name) {
        if (length < 2 || (d[0] != 8 && d[0] != 16) || (d[0] == 16 && length % 2 == 0)) return false;
        for (size_t i = 1; i < length; i += d[0] / 8) appendUtf8(name, d[0] == 8 ? d[i] : uint32_t{d[i]} << 8 | d[i + 1]);
        return usableName(name);
    }

    const ImageFile& image_;
    TreeReading& out_;
    FolderTrail trail_;
    uint32_t partitionStart_ = 0;
    uint32_t partitionBlocks_ = 0;
    uint32_t root_ = 0;
};

}  // namespace

TreeReading readUdfTree(const ImageFile& image) {
    TreeReading reading;
    reading.names = TreeNames::Udf;
    unsigned char sector[16];
    const bool anchored = image.read(kAnchorSector * kBlock, sector, sizeof sector) && le16(sector) == kAnchor;
    if (!anchored && !announcesUdf(image)) return reading;
    UdfReader reader(image, reading);
    reading.status = reader.read() ? TreeStatus::Read : TreeStatus::Refused;
    return reading;
}
