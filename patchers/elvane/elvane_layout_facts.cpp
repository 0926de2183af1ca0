// What is published of the two Elvane disc layouts, checked on any name table and sound tables.
#include "patchers/elvane/elvane_layout_facts.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <utility>

#include "patchers/common/layout_facts.h"
#include "patchers/elvane/elvane_game.h"
#include "patchers/elvane/elvane_plan.h"

namespace {

constexpr size_t kFileCount = 1594;
constexpr int32_t kFirstFileSector = 366;
constexpr int32_t kAreaEndSector = 401413;
constexpr uint32_t kBaseSector = 7303;
// No read of the rebuild reaches past this byte of the European image.
constexpr uint64_t kReadLimit = 2648969216u;
static_assert(kReadLimit <= kElvaneReleases[European].imageSize, "the limit lies inside the European image");
constexpr size_t kNameStep = 49;
constexpr size_t kFirstSoundStep = 50;

const RebuildStep& step(size_t number) {
    return ElvaneRebuildPlan.steps[number - 1];
}

struct Gap {
    int32_t sector;
    int32_t sectors;
};
const Gap kGaps[] = {{3739, 4198}, {16913, 135}, {30401, 103}, {57082, 235}};

struct Row {
    const char* name;
    int32_t sector;
    int32_t sectors;  // destination rows only
};
const Row kDestinationExamples[] = {{"res/Qobj/qobj01.tim.lzr", 366, 2}, {"modules/ezbgm.irx", 401405, 8}};
const Row kSourceExamples[] = {{"fpack/RI07.fp", 0, 0}, {"modules/ezbgm.irx", 80245, 0}, {"res/Qobj/qobj01.tim.lzr", 80297, 0}};

const uint32_t kSoundCounts[kElvaneSoundRunCount] = {1001, 1000, 1000, 400, 388, 307, 942, 338, 148};
const uint32_t kSoundEnds[kElvaneSoundRunCount] = {74600448, 78913536, 80697344, 69957632, 13993984,
                                                   15699968, 63930368, 28602368, 13832192};
const std::vector<int32_t> kS1Head = {0, 40960, 157696, 243712, 313344};
const std::vector<int32_t> kS9Head = {0, 591872, 620544, 649216, 677888};
const std::vector<int32_t> kS9Tail = {12750848, 12890112};

std::string listed(const std::vector<int32_t>& values) {
    std::string text;
    for (int32_t value : values) text += (text.empty() ? "" : ", ") + std::to_string(value);
    return text;
}

void checkNameCounts(const NameTable& names, BrokenFacts& facts) {
    const auto destination = nameRows(names.destination);
    const auto source = nameRows(names.source);
    if (destination.size() != kFileCount) facts.add("the destination list holds %zu rows, not %zu", destination.size(), kFileCount);
    if (source.size() != kFileCount) facts.add("the source list holds %zu rows, not %zu", source.size(), kFileCount);
    checkNamesUnique(names, facts);
    RowFact found("every destination name has a source row");
    for (const NameTableEntry* entry : destination) {
        if (!findNameRow(names.source, entry->name)) found.broken("%s has none", entry->name);
    }
    found.reportTo(facts);
}

void checkDestinationArea(const NameTable& names, BrokenFacts& facts) {
    const auto destination = nameRows(names.destination);
    if (destination.empty()) return;
    if (destination.front()->sector != kFirstFileSector) {
        facts.add("the first destination file starts at sector %d, not %d", destination.front()->sector, kFirstFileSector);
    }
    RowFact apart("destination files do not overlap");
    RowFact lengths("destination lengths are not negative");
    std::vector<Gap> gaps;
    int32_t end = destination.front()->sector;
    for (const NameTableEntry* entry : destination) {
        if (entry->sectors < 0) lengths.broken("%s is %d sectors long", entry->name, entry->sectors);
        if (entry->sector < end) {
            apart.broken("%s starts at sector %d, before the file above it ends (%d)", entry->name, entry->sector, end);
        } else if (entry->sector > end) {
            gaps.push_back({end, entry->sector - end});
        }
        end = entry->sector + entry->sectors;
    }
    apart.reportTo(facts);
    lengths.reportTo(facts);
    const bool knownGaps = gaps.size() == sizeof kGaps / sizeof kGaps[0] &&
                           std::equal(gaps.begin(), gaps.end(), kGaps, [](const Gap& a, const Gap& b) {
                               return a.sector == b.sector && a.sectors == b.sectors;
                           });
    if (!knownGaps) {
        std::string found;
        for (const Gap& gap : gaps) found += (found.empty() ? "" : ", ") + std::to_string(gap.sectors) + " at " + std::to_string(gap.sector);
        facts.add("the gaps between destination files (sectors: %s) are not the four published ones "
                  "(4198 at 3739, 135 at 16913, 103 at 30401, 235 at 57082)",
                  found.empty() ? "none" : found.c_str());
    }
    if (end != kAreaEndSector) facts.add("the last destination file ends at sector %d, not %d", end, kAreaEndSector);
    if (uint64_t{kAreaEndSector} * kSectorSize != step(kNameStep).written) {
        facts.add("the name area is %" PRIu64 " bytes long, but rebuild step %zu writes %" PRIu32,
                  uint64_t{kAreaEndSector} * kSectorSize, kNameStep, step(kNameStep).written);
    }
}

void checkSourceOrder(const NameTable& names, BrokenFacts& facts) {
    RowFact order("source rows follow the European disc order");
    int32_t previous = 0;
    for (const NameTableEntry* entry : nameRows(names.source)) {
        if (entry->sector < previous) order.broken("%s at sector %d comes after sector %d", entry->name, entry->sector, previous);
        previous = entry->sector;
    }
    order.reportTo(facts);
}

void checkNameExamples(const NameTable& names, BrokenFacts& facts) {
    const auto destination = nameRows(names.destination);
    if (!destination.empty() && strcmp(destination.front()->name, kDestinationExamples[0].name) != 0) {
        facts.add("the first destination row is %s, not %s", destination.front()->name, kDestinationExamples[0].name);
    }
    if (!destination.empty() && strcmp(destination.back()->name, kDestinationExamples[1].name) != 0) {
        facts.add("the last destination row is %s, not %s", destination.back()->name, kDestinationExamples[1].name);
    }
    for (const Row& row : kDestinationExamples) {
        const NameTableEntry* entry = findNameRow(names.destination, row.name);
        if (!entry) facts.add("the destination list lacks %s", row.name);
        else if (entry->sector != row.sector || entry->sectors != row.sectors) {
            facts.add("destination row %s is at sector %d, %d sectors long, not at %d, %d long", row.name, entry->sector,
                      entry->sectors, row.sector, row.sectors);
        }
    }
    for (const Row& row : kSourceExamples) {
        const NameTableEntry* entry = findNameRow(names.source, row.name);
        if (!entry) facts.add("the source list lacks %s", row.name);
        else if (entry->sector != row.sector) facts.add("source row %s is at sector %d, not %d", row.name, entry->sector, row.sector);
    }
}

void checkSoundTables(const SoundOffsetTable* sounds, BrokenFacts& facts) {
    for (size_t run = 0; run < kElvaneSoundRunCount; ++run) {
        const SoundOffsetTable& table = sounds[run];
        const RebuildStep& runStep = step(kFirstSoundStep + run);
        const size_t number = run + 1;
        if (table.count != kSoundCounts[run]) facts.add("S%zu holds %" PRIu32 " offsets, not %" PRIu32, number, table.count, kSoundCounts[run]);
        if (table.end != kSoundEnds[run]) facts.add("S%zu ends at %" PRIu32 ", not %" PRIu32, number, table.end, kSoundEnds[run]);
        if (runStep.written != table.end) {
            facts.add("S%zu ends at %" PRIu32 ", but rebuild step %zu writes %" PRIu32, number, table.end, kFirstSoundStep + run,
                      runStep.written);
        }
        if (table.end % kSectorSize != 0) facts.add("S%zu ends at %" PRIu32 ", not a multiple of 2048", number, table.end);
        if (table.count == 0) continue;
        if (table.offsets[0] != 0) facts.add("S%zu begins at %d, not 0", number, table.offsets[0]);
        RowFact sectors("sound offsets are multiples of 2048");
        RowFact rising("sound offsets rise below the run's end");
        RowFact inside("every slot fits in the bytes the rebuild reads");
        for (uint32_t j = 0; j < table.count; ++j) {
            const int64_t next = j + 1 < table.count ? table.offsets[j + 1] : static_cast<int64_t>(table.end);
            if (table.offsets[j] % static_cast<int32_t>(kSectorSize) != 0) sectors.broken("S%zu entry %" PRIu32 " is %d", number, j, table.offsets[j]);
            if (next <= table.offsets[j]) {
                rising.broken("S%zu entry %" PRIu32 " (%d) is followed by %" PRId64, number, j, table.offsets[j], next);
                continue;
            }
            // Stream j starts at least j sectors into the European run, and its slot must still
            // end inside what the rebuild reads.
            const uint64_t slotEnd = uint64_t{j} * kSectorSize + static_cast<uint64_t>(next - table.offsets[j]);
            if (slotEnd > runStep.sourceLength) {
                inside.broken("S%zu entry %" PRIu32 " ends at byte %" PRIu64 " or later of a run of %" PRIu32, number, j,
                              slotEnd, runStep.sourceLength);
            }
        }
        sectors.reportTo(facts);
        rising.reportTo(facts);
        inside.reportTo(facts);
    }
    const std::vector<int32_t> s1 = soundOffsets(sounds[0]);
    const std::vector<int32_t> s9 = soundOffsets(sounds[8]);
    if (s1.size() < kS1Head.size() || !std::equal(kS1Head.begin(), kS1Head.end(), s1.begin())) {
        facts.add("S1 does not begin %s", listed(kS1Head).c_str());
    }
    if (s9.size() < kS9Head.size() || !std::equal(kS9Head.begin(), kS9Head.end(), s9.begin())) {
        facts.add("S9 does not begin %s", listed(kS9Head).c_str());
    }
    if (s9.size() < kS9Tail.size() || !std::equal(kS9Tail.rbegin(), kS9Tail.rend(), s9.rbegin())) {
        facts.add("S9 does not end with %s", listed(kS9Tail).c_str());
    }
}

void checkReads(const NameTable& names, BrokenFacts& facts) {
    RowFact rows("every read of the name table ends inside the European image");
    for (size_t number = 1; number <= ElvaneRebuildPlan.count; ++number) {
        const RebuildStep& s = step(number);
        uint64_t end = 0;
        if (s.kind == StepKind::Copy) end = uint64_t{s.sourceOffset} + s.written;
        if (s.kind == StepKind::SoundRun) end = uint64_t{s.sourceOffset} + s.sourceLength;
        if (end > kReadLimit) facts.add("rebuild step %zu reads up to byte %" PRIu64 ", past byte %" PRIu64, number, end, kReadLimit);
        if (s.kind != StepKind::NameTable) continue;
        if (s.sourceOffset != kBaseSector * kSectorSize) {
            facts.add("rebuild step %zu reads the name area from byte %" PRIu32 ", not from sector %" PRIu32, number, s.sourceOffset,
                      kBaseSector);
        }
        for (const NameTableEntry* entry : nameRows(names.destination)) {
            const NameTableEntry* source = findNameRow(names.source, entry->name);
            if (!source) continue;
            if (source->sector < 0) {
                rows.broken("%s lies %d sectors before the base sector", entry->name, -source->sector);
                continue;
            }
            const uint64_t rowEnd = (uint64_t{kBaseSector} + static_cast<uint64_t>(source->sector) +
                                     static_cast<uint64_t>(entry->sectors < 0 ? 0 : entry->sectors)) * kSectorSize;
            if (rowEnd > kReadLimit) rows.broken("%s is read up to byte %" PRIu64 ", past byte %" PRIu64, entry->name, rowEnd, kReadLimit);
        }
    }
    rows.reportTo(facts);
}

}  // namespace

std::vector<std::string> brokenElvaneLayoutFacts(const NameTable& names, const SoundOffsetTable* sounds) {
    BrokenFacts facts;
    checkNameCounts(names, facts);
    checkDestinationArea(names, facts);
    checkSourceOrder(names, facts);
    checkNameExamples(names, facts);
    checkSoundTables(sounds, facts);
    checkReads(names, facts);
    return facts.lines();
}
