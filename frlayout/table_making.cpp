// A game's layout tables made from its two discs: derived, proved, checked, compared and written.
#include "frlayout/table_making.h"

#include <cinttypes>
#include <cstdlib>

#include "frlayout/table_text.h"
#include "patchers/common/image_access.h"
#include "patchers/common/layout_facts.h"

namespace {

std::string runLabel(size_t run) {
    return "S" + std::to_string(run + 1);
}

// Reads `length` bytes at `offset` of the image; false when the image ends first or cannot be read.
bool readRun(ImageSource& image, uint32_t offset, uint32_t length, std::vector<unsigned char>& bytes) {
    bytes.resize(length);
    return image.read(offset, bytes.data(), length);
}

// The tables in the form the rebuild and the fact checks take, pointing into `tables`.
class TableView {
public:
    explicit TableView(const TitleTables& tables) {
        for (const NameRow& row : tables.names.destination) destination_.push_back({row.name.c_str(), row.sector, row.sectors});
        for (const NameRow& row : tables.names.source) source_.push_back({row.name.c_str(), row.sector, 0});
        destination_.push_back({"", 0, 0});
        source_.push_back({"", 0, 0});
        for (const SoundRows& run : tables.sounds) {
            sounds_.push_back({run.offsets.data(), static_cast<uint32_t>(run.offsets.size()), run.end});
        }
    }
    NameTable names() const { return {destination_.data(), source_.data()}; }
    const SoundOffsetTable* sounds() const { return sounds_.data(); }

private:
    std::vector<NameTableEntry> destination_, source_;
    std::vector<SoundOffsetTable> sounds_;
};

std::string rowText(const char* name, int32_t sector, int32_t sectors, bool lengths) {
    return lengths ? formatText("%s at %d (%d sectors)", name, sector, sectors) : formatText("%s at %d", name, sector);
}

void compareRows(const char* list, const NameTableEntry* builtIn, const std::vector<NameRow>& found, bool lengths,
                 std::vector<std::string>& differences) {
    const std::vector<const NameTableEntry*> rows = nameRows(builtIn);
    for (size_t i = 0; i < std::max(rows.size(), found.size()); ++i) {
        if (i < rows.size() && i < found.size() && rows[i]->name == found[i].name && rows[i]->sector == found[i].sector &&
            (!lengths || rows[i]->sectors == found[i].sectors)) {
            continue;
        }
        const std::string inside = i < rows.size() ? rowText(rows[i]->name, rows[i]->sector, rows[i]->sectors, lengths) : "nothing";
        const std::string onDiscs = i < found.size() ? rowText(found[i].name.c_str(), found[i].sector, found[i].sectors, lengths) : "nothing";
        differences.push_back(formatText("the %s lists differ from row %zu on: built in %s, on the discs %s (%zu rows "
                                         "built in, %zu on the discs)",
                                         list, i + 1, inside.c_str(), onDiscs.c_str(), rows.size(), found.size()));
        return;
    }
}

}  // namespace

TitleTables deriveTitleTables(const Title& title, ImageSource& usImage, const DiscListing& us, ImageSource& europeanImage,
                              const DiscListing& european, Findings& findings,
                              const std::function<void(const std::string&)>& status) {
    const PlanPlaces places = planPlaces(title);
    TitleTables tables;
    status("name table of rebuild step " + std::to_string(places.nameStep));
    tables.names = deriveNameRows(us.files, european.files, places.names, findings);
    for (size_t run = 0; run < places.sounds.size(); ++run) {
        const SoundRunPlace& place = places.sounds[run];
        const std::string label = runLabel(run);
        status("stream offsets of sound run " + label + " (rebuild step " + std::to_string(places.soundSteps[run]) + "), then its rebuild");
        std::vector<unsigned char> usRun, europeanRun;
        const size_t before = findings.problems.size();
        if (!readRun(usImage, place.usOffset, place.usLength, usRun)) findings.problems.push_back(label + ": the US image ends inside the run");
        if (!readRun(europeanImage, place.europeanOffset, place.europeanLength, europeanRun)) {
            findings.problems.push_back(label + ": the European image ends inside the run");
        }
        tables.sounds.push_back({{}, place.usLength});
        if (findings.problems.size() != before) continue;
        tables.sounds.back() = deriveSoundRows(usRun.data(), place.usLength, label, findings);
        if (findings.problems.size() != before) continue;
        crossCheckSoundRun(usRun.data(), place.usLength, europeanRun.data(), place.europeanLength, tables.sounds.back(), label,
                           findings);
        if (findings.problems.size() != before) continue;
        proveSoundRun(europeanImage, place, tables.sounds.back(), label, findings);
    }
    return tables;
}

std::vector<std::string> brokenFacts(const Title& title, const TitleTables& tables) {
    const TableView view(tables);
    return title.brokenFacts(view.names(), view.sounds());
}

std::vector<std::string> differencesFromBuiltIn(const Title& title, const TitleTables& tables) {
    std::vector<std::string> differences;
    compareRows("destination", title.builtInNames->destination, tables.names.destination, true, differences);
    compareRows("source", title.builtInNames->source, tables.names.source, false, differences);
    for (size_t run = 0; run < title.soundRuns && run < tables.sounds.size(); ++run) {
        const std::vector<int32_t> builtIn = soundOffsets(title.builtInSounds[run]);
        const SoundRows& found = tables.sounds[run];
        if (builtIn == found.offsets && title.builtInSounds[run].end == found.end) continue;
        size_t first = 0;
        while (first < builtIn.size() && first < found.offsets.size() && builtIn[first] == found.offsets[first]) ++first;
        differences.push_back(formatText("%s differs: %zu offsets built in and %zu on the discs, the first different one is "
                                         "entry %zu; ends %" PRIu32 " built in and %" PRIu32 " on the discs",
                                         runLabel(run).c_str(), builtIn.size(), found.offsets.size(), first,
                                         title.builtInSounds[run].end, found.end));
    }
    return differences;
}

bool titleDataFiles(const Title& title, const TitleTables& tables, const std::vector<std::string>& heading,
                    std::vector<DataFile>& files, std::vector<std::string>& problems) {
    const PlanPlaces places = planPlaces(title);
    std::vector<std::string> lines = heading;
    lines.push_back(formatText("%s name table of rebuild step %zu: %zu destination rows, first sector from sector %" PRIu32
                               " of the US image, length in sectors, name, in US disc order;",
                               title.displayName, places.nameStep, tables.names.destination.size(), places.names.firstSector));
    lines.push_back(formatText("%zu source rows, first sector from sector %" PRIu32 " of the European image, name, in "
                               "European disc order.",
                               tables.names.source.size(), places.names.baseSector));
    std::string text;
    if (!nameTableText(tables.names, lines, text, problems)) return false;
    files = {{title.namesFile, text}};
    for (size_t run = 0; run < tables.sounds.size(); ++run) {
        lines = heading;
        lines.push_back(formatText("Sound run %s of rebuild step %zu: %zu streams, the byte offset of each in the US run, "
                                   "then the run's length.",
                                   runLabel(run).c_str(), places.soundSteps[run], tables.sounds[run].offsets.size()));
        files.push_back({title.soundFiles[run], soundTableText(tables.sounds[run], lines)});
    }
    return true;
}
