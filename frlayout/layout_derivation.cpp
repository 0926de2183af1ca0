// The rows of a rebuild's layout tables, worked out from the file lists and the bytes of a US and a
// European image at places the caller gives.
#include "frlayout/layout_derivation.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "patchers/common/image_access.h"
#include "patchers/common/layout_facts.h"
#include "patchers/common/rebuild.h"

namespace {

// A file with its extent in whole sectors.
struct Extent {
    const DiscFile* file;
    uint64_t start;
    uint64_t end;
};

uint64_t sectorsOf(uint64_t bytes) {
    return (bytes + kSectorSize - 1) / kSectorSize;
}

// The non-empty files, in disc order (by name where two start together, so that the order never
// depends on the order of the listing).
std::vector<Extent> extentsInDiscOrder(const std::vector<DiscFile>& files) {
    std::vector<Extent> extents;
    for (const DiscFile& file : files) {
        if (file.size > 0) extents.push_back({&file, file.sector, uint64_t{file.sector} + sectorsOf(file.size)});
    }
    std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) {
        return a.start != b.start ? a.start < b.start : a.file->name < b.file->name;
    });
    return extents;
}

// Tells at most a handful of lines of one kind, then how many more there were.
class Told {
public:
    explicit Told(std::vector<std::string>& lines) : lines_(lines) {}
    ~Told() {
        if (more_ > 0) lines_.push_back(formatText("... and %zu more like the above", more_));
    }
    void add(std::string line) {
        if (told_ < kMost) {
            lines_.push_back(std::move(line));
            ++told_;
        } else {
            ++more_;
        }
    }

private:
    static constexpr size_t kMost = 10;
    std::vector<std::string>& lines_;
    size_t told_ = 0;
    size_t more_ = 0;
};

void reportOverlaps(const std::vector<Extent>& extents, const char* image, Findings& findings) {
    Told told(findings.problems);
    for (size_t i = 1; i < extents.size(); ++i) {
        if (extents[i].start < extents[i - 1].end) {
            told.add(formatText("the %s files %s and %s overlap: the second starts at sector %" PRIu64
                                " before the first ends at %" PRIu64,
                                image, extents[i - 1].file->name.c_str(), extents[i].file->name.c_str(), extents[i].start,
                                extents[i - 1].end));
        }
    }
}

std::vector<Extent> destinationFiles(const std::vector<DiscFile>& us, const NameArea& area, Findings& findings) {
    const uint64_t first = area.firstSector;
    const uint64_t end = first + area.sectors;
    std::vector<Extent> inside;
    Told straddling(findings.problems);
    for (const Extent& extent : extentsInDiscOrder(us)) {
        if (extent.end <= first || extent.start >= end) continue;
        if (extent.start >= first && extent.end <= end) {
            inside.push_back(extent);
            continue;
        }
        straddling.add(formatText("the US file %s (sectors %" PRIu64 " to %" PRIu64 ") reaches across an end of the area "
                                  "(sectors %" PRIu64 " to %" PRIu64 ")",
                                  extent.file->name.c_str(), extent.start, extent.end, first, end));
    }
    Told empty(findings.notes);
    for (const DiscFile& file : us) {
        if (file.size == 0 && file.sector >= first && file.sector < end) {
            empty.add("the US file " + file.name + " is empty: it holds no sector and gets no row");
        }
    }
    return inside;
}

void noteUncoveredStretches(const std::vector<Extent>& inside, const NameArea& area, Findings& findings) {
    Told told(findings.notes);
    uint64_t position = area.firstSector;
    auto note = [&](uint64_t from, uint64_t to) {
        if (to > from) {
            told.add(formatText("no US file covers sectors %" PRIu64 " to %" PRIu64 " of the area (%" PRIu64
                                " sectors): the rebuild writes zeros there",
                                from - area.firstSector, to - area.firstSector, to - from));
        }
    };
    for (const Extent& extent : inside) {
        note(position, extent.start);
        position = std::max(position, extent.end);
    }
    note(position, uint64_t{area.firstSector} + area.sectors);
}

}  // namespace

namespace {

// Every destination file must have a non-empty European file of its name (case counts).
void checkEuropeanCopies(const std::vector<Extent>& inside, const std::vector<DiscFile>& european, Findings& findings) {
    std::map<std::string, const DiscFile*> byName;
    for (const DiscFile& file : european) byName.emplace(file.name, &file);
    Told missing(findings.problems);
    Told sizes(findings.notes);
    for (const Extent& extent : inside) {
        const auto found = byName.find(extent.file->name);
        if (found == byName.end()) {
            missing.add("the US file " + extent.file->name + " lies in the area, but the European image has no file of that name");
        } else if (found->second->size == 0) {
            missing.add("the US file " + extent.file->name + " lies in the area, but the European file of that name is empty");
        } else if (found->second->size != extent.file->size) {
            sizes.add(formatText("%s is %" PRIu64 " bytes long in the US image and %" PRIu64
                                 " in the European one: the rebuild copies the US length",
                                 extent.file->name.c_str(), extent.file->size, found->second->size));
        }
    }
}

// The European files of the destination's names in disc order, from the first to the last of them,
// with the unnamed files between them where the area keeps those.
std::vector<Extent> sourceFiles(const std::vector<DiscFile>& european, const std::set<std::string>& names,
                                const NameArea& area, Findings& findings) {
    const std::vector<Extent> extents = extentsInDiscOrder(european);
    uint64_t firstStart = UINT64_MAX, lastStart = 0;
    for (const Extent& extent : extents) {
        if (!names.count(extent.file->name)) continue;
        firstStart = std::min(firstStart, extent.start);
        lastStart = std::max(lastStart, extent.start);
    }
    std::vector<Extent> sources;
    Told unnamed(findings.notes);
    Told early(findings.problems);
    for (const Extent& extent : extents) {
        if (extent.start < firstStart || extent.start > lastStart) continue;
        if (!names.count(extent.file->name)) {
            unnamed.add(formatText("the European file %s (%" PRIu64 " sectors at sector %" PRIu64
                                   ") lies between the named files, and no US file has its name%s",
                                   extent.file->name.c_str(), extent.end - extent.start, extent.start,
                                   area.keepUnnamedFiles ? "" : "; it gets no row"));
            if (!area.keepUnnamedFiles) continue;
        }
        if (extent.start < area.baseSector) {
            early.add(formatText("the European file %s lies at sector %" PRIu64 ", before the base sector %" PRIu32,
                                 extent.file->name.c_str(), extent.start, area.baseSector));
            continue;
        }
        sources.push_back(extent);
    }
    return sources;
}

}  // namespace

NameRows deriveNameRows(const std::vector<DiscFile>& us, const std::vector<DiscFile>& european, const NameArea& area,
                        Findings& findings) {
    NameRows rows;
    const std::vector<Extent> inside = destinationFiles(us, area, findings);
    reportOverlaps(inside, "US", findings);
    noteUncoveredStretches(inside, area, findings);
    std::set<std::string> names;
    for (const Extent& extent : inside) {
        rows.destination.push_back({extent.file->name, static_cast<int32_t>(extent.start - area.firstSector),
                                    static_cast<int32_t>(extent.end - extent.start)});
        names.insert(extent.file->name);
    }
    checkEuropeanCopies(inside, european, findings);
    const std::vector<Extent> sources = sourceFiles(european, names, area, findings);
    reportOverlaps(sources, "European", findings);
    for (const Extent& extent : sources) {
        rows.source.push_back({extent.file->name, static_cast<int32_t>(extent.start - area.baseSector), 0});
    }
    return rows;
}

namespace {

// Where the streams of a run start, by the rebuild's own scan: the first sector, and each next one.
std::vector<uint32_t> streamStarts(const unsigned char* run, uint32_t size) {
    std::vector<uint32_t> starts;
    for (uint32_t position = 0; position < size; position = nextSoundStream(run, size, position)) starts.push_back(position);
    return starts;
}

bool beginsWithHeader(const unsigned char* run, uint32_t size) {
    return size >= 16 && isSoundStreamHeader(run);
}

}  // namespace

SoundRows deriveSoundRows(const unsigned char* usRun, uint32_t usLength, const std::string& label, Findings& findings) {
    SoundRows rows{{}, usLength};
    if (!beginsWithHeader(usRun, usLength)) {
        findings.problems.push_back(label + ": the US run does not begin with a stream header");
        return rows;
    }
    for (uint32_t start : streamStarts(usRun, usLength)) rows.offsets.push_back(static_cast<int32_t>(start));
    return rows;
}

void crossCheckSoundRun(const unsigned char* usRun, uint32_t usLength, const unsigned char* europeanRun,
                        uint32_t europeanLength, const SoundRows& rows, const std::string& label, Findings& findings) {
    if (!beginsWithHeader(europeanRun, europeanLength)) {
        findings.problems.push_back(label + ": the European run does not begin with a stream header");
        return;
    }
    const std::vector<uint32_t> european = streamStarts(europeanRun, europeanLength);
    if (european.size() == rows.offsets.size()) return;
    std::string first;
    for (size_t j = 0; j < std::min(european.size(), rows.offsets.size()); ++j) {
        const uint32_t us = static_cast<uint32_t>(rows.offsets[j]);
        const uint32_t compared = std::min({kSectorSize, usLength - us, europeanLength - european[j]});
        if (memcmp(usRun + us, europeanRun + european[j], compared) != 0) {
            first = formatText("the first whose header sector differs is stream %zu (US run byte %" PRIu32
                               ", European run byte %" PRIu32 ")",
                               j, us, european[j]);
            break;
        }
    }
    if (first.empty()) first = formatText("the first %zu stream headers agree", std::min(european.size(), rows.offsets.size()));
    findings.problems.push_back(formatText("%s: the US run holds %zu streams, the European run %zu; %s", label.c_str(),
                                           rows.offsets.size(), european.size(), first.c_str()));
}

// Keeps a rebuilt run in memory, for its stream headers to be looked at.
class RunInMemory final : public ImageSink {
public:
    std::vector<unsigned char> bytes;
    bool append(const unsigned char* data, uint32_t count) override {
        bytes.insert(bytes.end(), data, data + count);
        return true;
    }
};

void proveSoundRun(ImageSource& european, const SoundRunPlace& place, const SoundRows& rows, const std::string& label,
                   Findings& findings) {
    if (rows.offsets.empty()) return;
    RunInMemory rebuilt;
    RebuildContext context{european, rebuilt, place.usLength, 1};
    const SoundOffsetTable table{rows.offsets.data(), static_cast<uint32_t>(rows.offsets.size()), rows.end};
    const int done = copySoundRun(place.europeanOffset, place.europeanLength, table, context);
    if (!done) {
        // Every slot before the one that failed was written whole.
        const auto at = std::find(rows.offsets.begin(), rows.offsets.end(), static_cast<int32_t>(context.written));
        findings.problems.push_back(
            context.failure == RebuildFailure::BadStep
                ? formatText("%s: the rebuild stops at stream %td: no header follows in the European run, or the slot "
                             "reaches past its end",
                             label.c_str(), at - rows.offsets.begin())
                : label + ": the rebuild cannot read the European run or write the rebuilt one");
        return;
    }
    if (context.written != rows.end) {
        findings.problems.push_back(formatText("%s: the rebuilt run is %" PRIu32 " bytes long, the US run %" PRIu32,
                                               label.c_str(), context.written, rows.end));
    }
    Told missing(findings.problems);
    for (size_t j = 0; j < rows.offsets.size(); ++j) {
        const size_t offset = static_cast<size_t>(rows.offsets[j]);
        if (offset + 16 > rebuilt.bytes.size() || !isSoundStreamHeader(rebuilt.bytes.data() + offset)) {
            missing.add(formatText("%s stream %zu: the rebuilt run holds no stream header at its offset %d", label.c_str(), j,
                                   rows.offsets[j]));
        }
    }
}
