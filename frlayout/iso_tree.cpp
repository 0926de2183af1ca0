// The ISO 9660 file system of a disc image, read and checked record by record, with the names as
// the disc writes them: Rock Ridge where the tree has them, else Joliet's, else the plain ones.
#include "frlayout/iso_tree.h"

#include <cinttypes>
#include <cstring>
#include <vector>

#include "frlayout/listing_checks.h"
#include "patchers/common/layout_facts.h"

namespace {

constexpr uint32_t kBlock = 2048;
constexpr size_t kRootRecord = 156;  // in a volume descriptor
constexpr size_t kMostContinuations = 16;

enum Flags : uint8_t { kFolder = 2, kMoreExtents = 0x80 };

uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct Record {
    uint32_t extent;
    uint32_t attributeBlocks;  // an extended attribute record before the data
    uint32_t length;
    uint8_t flags;
    std::string name;  // as recorded: "\0" and "\1" for the folder itself and its parent
    const unsigned char* systemUse;
    size_t systemUseLength;
};

// The record at `d`, within `room` bytes; false when its lengths do not fit.
bool parseRecord(const unsigned char* d, size_t room, Record& record) {
    if (room < 34) return false;
    const size_t length = d[0], nameLength = d[32];
    if (length < 34 || length > room || 33 + nameLength > length || nameLength == 0) return false;
    record.attributeBlocks = d[1];
    record.extent = le32(d + 2);
    record.length = le32(d + 10);
    record.flags = d[25];
    record.name.assign(reinterpret_cast<const char*>(d) + 33, nameLength);
    const size_t systemUse = 33 + nameLength + (nameLength % 2 == 0 ? 1 : 0);
    record.systemUse = d + systemUse;
    record.systemUseLength = length > systemUse ? length - systemUse : 0;
    return true;
}

bool isSelfOrParent(const Record& record) {
    return record.name.size() == 1 && (record.name[0] == '\0' || record.name[0] == '\1');
}

// What the Rock Ridge entries of a record say.
struct RockRidge {
    std::string name;       // empty when the record has no NM entry
    bool relocated = false;  // RE: the folder's real place is a child link elsewhere
    bool linked = false;     // CL: this entry stands for the folder at `child`
    uint32_t child = 0;
};

class IsoReader {
public:
    IsoReader(const ImageFile& image, TreeReading& out) : image_(image), out_(out) {}

    // The primary tree, with its Rock Ridge names where it has them; without them, the Joliet tree
    // too, which must place every file as the primary one does, and gives the names.
    bool read(const unsigned char* primary, const unsigned char* joliet, bool names) {
        if (le16(primary + 128) != kBlock) return refuse(formatText("its ISO 9660 blocks are %u bytes long, not 2048", le16(primary + 128)));
        Record root;
        if (!parseRecord(primary + kRootRecord, 34, root)) return refuse("its ISO 9660 root folder record is damaged");
        std::vector<unsigned char> first;
        if (!readFolderData(root, "", first)) return false;
        Record self;
        // Rock Ridge announces itself in the root folder's own record (SP, then how much to skip).
        if (names && parseRecord(first.data(), first.size(), self) && self.systemUseLength >= 7 &&
            memcmp(self.systemUse, "SP", 2) == 0 && self.systemUse[4] == 0xBE && self.systemUse[5] == 0xEF) {
            out_.names = TreeNames::RockRidge;
            skip_ = self.systemUse[6];
        }
        if (!readFolder(root, "")) return false;
        if (out_.names == TreeNames::RockRidge || !joliet || !names) return true;
        if (!parseRecord(joliet + kRootRecord, 34, root)) return refuse("its Joliet root folder record is damaged");
        std::vector<DiscFile> primaryFiles;
        primaryFiles.swap(out_.files);
        trail_ = FolderTrail();
        out_.names = TreeNames::Joliet;
        if (!readFolder(root, "")) return false;
        const std::string disagreement = extentDisagreement(primaryFiles, "ISO 9660", out_.files, "Joliet");
        if (!disagreement.empty()) return refuse("its ISO 9660 and Joliet trees disagree: " + disagreement);
        return true;
    }

private:
    bool refuse(std::string why) {
        out_.why = std::move(why);
        return false;
    }

    bool readFolderData(const Record& folder, const std::string& path, std::vector<unsigned char>& data) {
        const std::string shown = path.empty() ? "/" : path;
        if (folder.length > kLargestFolder) {
            return refuse(formatText("its ISO 9660 folder %s is damaged: it says it is %" PRIu32 " bytes long", shown.c_str(), folder.length));
        }
        // libiso9660 reads and parses a folder's blocks whole, from its extent on.
        if (folder.attributeBlocks != 0) {
            return refuse("its ISO 9660 folder " + shown + " is damaged: it says an extended attribute record comes before its records");
        }
        data.resize((uint64_t{folder.length} + kBlock - 1) / kBlock * kBlock);
        if (!image_.read(uint64_t{folder.extent} * kBlock, data.data(), data.size())) {
            return refuse(formatText("its ISO 9660 folder %s lies at sector %" PRIu32 ", past the image's end at sector %" PRIu64,
                                     shown.c_str(), folder.extent, image_.size() / kBlock));
        }
        return true;
    }

    bool readFolder(const Record& folder, const std::string& path) {
        if (!trail_.enter(folder.extent, path, "ISO 9660", out_.why)) return false;
        const std::string shown = path.empty() ? "/" : path;
        std::vector<unsigned char> data;
        if (!readFolderData(folder, path, data)) return false;
        // Its own record comes first, and says what the record that led here says.
        Record self;
        if (!parseRecord(data.data(), std::min<size_t>(kBlock, data.size()), self) || !isSelfOrParent(self) ||
            self.extent != folder.extent || self.length != folder.length) {
            return refuse("its ISO 9660 folder " + shown + " is damaged: its own record is not the one that leads to it");
        }
        for (size_t at = 0; at < data.size();) {
            // Records never cross a block; a zero length ends the block's records.
            const size_t blockEnd = (at / kBlock + 1) * kBlock;
            if (data[at] == 0) {
                at = blockEnd;
                continue;
            }
            Record record;
            if (!parseRecord(data.data() + at, std::min<size_t>(blockEnd, data.size()) - at, record)) {
                return refuse(formatText("its ISO 9660 folder %s is damaged at byte %zu of its records", shown.c_str(), at));
            }
            at += data[at];
            if (isSelfOrParent(record)) continue;
            RockRidge rock;
            if (!readName(record, shown, rock)) return false;
            if (rock.relocated) continue;
            const std::string inner = path.empty() ? rock.name : path + "/" + rock.name;
            if (record.flags & kMoreExtents) {
                return refuse("its ISO 9660 file " + inner + " is in more than one extent: a file in pieces cannot be copied as one");
            }
            if (rock.linked && !linkedFolder(rock.child, inner, record)) return false;
            if (!((record.flags & kFolder) || rock.linked ? readFolder(record, inner) : addFile(record, inner))) return false;
        }
        trail_.leave();
        return true;
    }

    // A relocated folder's own record, the first of its data, gives its length.
    bool linkedFolder(uint32_t extent, const std::string& path, Record& record) {
        unsigned char d[kBlock];
        if (!image_.read(uint64_t{extent} * kBlock, d, kBlock) || !parseRecord(d, kBlock, record) || !isSelfOrParent(record)) {
            return refuse("its ISO 9660 folder " + path + " is linked to a place that holds no folder");
        }
        return true;
    }

    bool addFile(const Record& record, const std::string& path) {
        const uint64_t sector = uint64_t{record.extent} + record.attributeBlocks;
        const uint64_t end = sector * kBlock + record.length;
        if (record.length > 0 && (sector > UINT32_MAX || end > image_.size())) {
            return refuse(formatText("its file %s reaches to byte %" PRIu64 ", past the image's end at byte %" PRIu64 ": the image is truncated",
                                     path.c_str(), end, image_.size()));
        }
        out_.files.push_back({path, static_cast<uint32_t>(record.length > 0 ? sector : 0), record.length});
        return true;
    }

    bool readName(const Record& record, const std::string& folder, RockRidge& rock) {
        if (out_.names == TreeNames::Joliet) {
            if (record.name.size() % 2 != 0) return refuse("its Joliet folder " + folder + " holds an entry whose name is damaged");
            for (size_t i = 0; i < record.name.size(); i += 2) {
                appendUtf8(rock.name, static_cast<unsigned char>(record.name[i]) << 8 | static_cast<unsigned char>(record.name[i + 1]));
            }
        } else if (out_.names == TreeNames::RockRidge && !readRockRidge(record, folder, rock)) {
            return false;
        }
        if (rock.name.empty()) rock.name = withoutVersion(record.name);
        // The plain name too, as the library's reading walks the folders by it.
        if (!usableName(rock.name) || (out_.names != TreeNames::Joliet && !usableName(record.name))) {
            return refuse("its ISO 9660 folder " + folder + " holds an entry whose name is damaged");
        }
        return true;
    }

    // The System Use entries of a record and of the continuation areas they point to.
    bool readRockRidge(const Record& record, const std::string& folder, RockRidge& rock) {
        const unsigned char* d = record.systemUse + std::min<size_t>(skip_, record.systemUseLength);
        size_t room = record.systemUseLength - std::min<size_t>(skip_, record.systemUseLength);
        unsigned char continuation[kBlock];
        for (size_t areas = 0; areas <= kMostContinuations; ++areas) {
            uint64_t nextBlock = 0, nextOffset = 0, nextLength = 0;
            while (room >= 4) {
                const size_t length = d[2];
                if (length < 4 || length > room) return refuse("its ISO 9660 folder " + folder + " holds damaged Rock Ridge entries");
                const std::string signature(reinterpret_cast<const char*>(d), 2);
                if (signature == "ST") break;
                if (signature == "NM" && length >= 5 && !(d[4] & 6)) rock.name.append(reinterpret_cast<const char*>(d) + 5, length - 5);
                if (signature == "RE") rock.relocated = true;
                if (signature == "CL" && length >= 12) {
                    rock.linked = true;
                    rock.child = le32(d + 4);
                }
                if (signature == "CE" && length >= 28) {
                    nextBlock = le32(d + 4);
                    nextOffset = le32(d + 12);
                    nextLength = le32(d + 20);
                }
                d += length;
                room -= length;
            }
            if (nextLength == 0) return true;
            if (nextOffset + nextLength > kBlock || !image_.read(nextBlock * kBlock, continuation, kBlock)) {
                return refuse("its ISO 9660 folder " + folder + " holds a Rock Ridge continuation outside the image");
            }
            d = continuation + nextOffset;
            room = nextLength;
        }
        return refuse("its ISO 9660 folder " + folder + " holds Rock Ridge continuations without end");
    }

    const ImageFile& image_;
    TreeReading& out_;
    FolderTrail trail_;
    size_t skip_ = 0;
};

}  // namespace

TreeReading readIsoTree(const ImageFile& image, bool names) {
    TreeReading reading;
    unsigned char primary[kBlock], joliet[kBlock], sector[kBlock];
    bool havePrimary = false, haveJoliet = false;
    for (uint64_t at = 16; at < 16 + 32 && image.read(at * kBlock, sector, kBlock); ++at) {
        if (memcmp(sector + 1, "CD001", 5) != 0 || sector[0] == 255) break;
        if (sector[0] == 1 && !havePrimary) {
            memcpy(primary, sector, kBlock);
            havePrimary = true;
        }
        // A supplementary descriptor with a UCS-2 escape sequence is Joliet's.
        if (sector[0] == 2 && !haveJoliet && sector[88] == '%' && sector[89] == '/' && strchr("@CE", sector[90]) && sector[90]) {
            memcpy(joliet, sector, kBlock);
            haveJoliet = true;
        }
    }
    if (!havePrimary) return reading;
    reading.declaredBytes = uint64_t{le32(primary + 80)} * kBlock;
    IsoReader reader(image, reading);
    reading.status = reader.read(primary, haveJoliet ? joliet : nullptr, names) ? TreeStatus::Read : TreeStatus::Refused;
    return reading;
}
