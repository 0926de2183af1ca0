// What is published of the two Velmora disc layouts, checked on any name table.
#include "patchers/velmora/velmora_layout_facts.h"

#include <cinttypes>
#include <cstring>

#include "patchers/common/layout_facts.h"
#include "patchers/velmora/velmora_game.h"
#include "patchers/velmora/velmora_plan.h"

namespace {

constexpr size_t kDestinationCount = 3552;
constexpr size_t kSourceCount = 3553;
constexpr int32_t kAreaSectors = 369323;
constexpr uint32_t kBaseSector = 526220;
// The one file that only the European image holds is this long; the files after it lie that many
// sectors later than in the US layout.
constexpr int32_t kExtraSectors = 14;
// No read of the rebuild reaches past this byte of the European image, and one reaches exactly
// there.
constexpr uint64_t kLastReadEnd = 2985789440u;
static_assert(kLastReadEnd < kVelmoraReleases[European].imageSize, "the furthest read lies inside the European image");
constexpr size_t kNameStep = 4;

struct Row {
    bool destination;
    const char* name;
    int32_t sector;
    int32_t sectors;  // destination rows only
};
const Row kExamples[] = {
    {true, "vpackj/v00000.afs", 0, 25517},   {true, "vpackj/v07000.afs", 25517, 23600},
    {true, "saves/kunai/obj.knb", 369318, 5}, {false, "vpackj/v00000.afs", 0, 0},
    {false, "saves/kunai/obj.knb", 369332, 0},
};
const char* const kLastName = "saves/kunai/obj.knb";

void checkDestination(const NameTable& names, BrokenFacts& facts) {
    const auto destination = nameRows(names.destination);
    if (destination.size() != kDestinationCount) {
        facts.add("the destination list holds %zu rows, not %zu", destination.size(), kDestinationCount);
    }
    RowFact following("destination files follow each other without gaps from sector 0");
    RowFact lengths("destination files are at least one sector long");
    int64_t position = 0;
    for (const NameTableEntry* entry : destination) {
        if (entry->sector != position) {
            following.broken("%s starts at sector %d, where the file above it ends at %" PRId64, entry->name, entry->sector, position);
        }
        if (entry->sectors <= 0) lengths.broken("%s is %d sectors long", entry->name, entry->sectors);
        position = int64_t{entry->sector} + entry->sectors;
    }
    following.reportTo(facts);
    lengths.reportTo(facts);
    if (position != kAreaSectors) facts.add("the last destination file ends at sector %" PRId64 ", not %d", position, kAreaSectors);
    const RebuildStep& nameStep = VelmoraRebuildPlan.steps[kNameStep - 1];
    if (uint64_t{kAreaSectors} * kSectorSize != nameStep.written) {
        facts.add("the name area is %" PRIu64 " bytes long, but rebuild step %zu writes %" PRIu32,
                  uint64_t{kAreaSectors} * kSectorSize, kNameStep, nameStep.written);
    }
}

void checkExamples(const NameTable& names, BrokenFacts& facts) {
    for (const Row& row : kExamples) {
        const char* list = row.destination ? "destination" : "source";
        const NameTableEntry* entry = findNameRow(row.destination ? names.destination : names.source, row.name);
        if (!entry) {
            facts.add("the %s list lacks %s", list, row.name);
            continue;
        }
        if (entry->sector != row.sector) facts.add("%s row %s is at sector %d, not %d", list, row.name, entry->sector, row.sector);
        if (row.destination && entry->sectors != row.sectors) {
            facts.add("destination row %s is %d sectors long, not %d", row.name, entry->sectors, row.sectors);
        }
    }
    const auto destination = nameRows(names.destination);
    if (!destination.empty() && strcmp(destination.back()->name, kLastName) != 0) {
        facts.add("the last destination row is %s, not %s", destination.back()->name, kLastName);
    }
}

// The source list is the destination list in the same order with one file more, after which the
// sectors are kExtraSectors higher.
void checkSource(const NameTable& names, BrokenFacts& facts) {
    const auto destination = nameRows(names.destination);
    const auto source = nameRows(names.source);
    if (source.size() != kSourceCount) facts.add("the source list holds %zu rows, not %zu", source.size(), kSourceCount);
    RowFact shifted("source sectors equal the destination sectors, 14 higher after the extra file");
    RowFact extra("the extra file lies right after the file before it and is no destination row");
    int extras = 0;
    size_t next = 0;  // the destination row that the next source row should be
    for (const NameTableEntry* entry : source) {
        if (next < destination.size() && strcmp(entry->name, destination[next]->name) == 0) {
            const int32_t expected = destination[next]->sector + (extras ? kExtraSectors : 0);
            if (entry->sector != expected) shifted.broken("%s is at sector %d, not %d", entry->name, entry->sector, expected);
            ++next;
            continue;
        }
        ++extras;
        if (findNameRow(names.destination, entry->name)) {
            extra.broken("%s stands out of the destination order", entry->name);
        } else if (next == 0) {
            extra.broken("%s comes first", entry->name);
        } else if (entry->sector != destination[next - 1]->sector + destination[next - 1]->sectors) {
            extra.broken("%s is at sector %d, not right after %s", entry->name, entry->sector, destination[next - 1]->name);
        }
    }
    shifted.reportTo(facts);
    extra.reportTo(facts);
    if (next != destination.size()) {
        facts.add("the source list lacks the destination rows in order from %s on", destination[next]->name);
    }
    if (extras != 1) facts.add("the source list holds %d files that are not in the destination order, not 1", extras);
}

void checkReads(const NameTable& names, BrokenFacts& facts) {
    RowFact rows("every read of the name table ends inside the European image");
    uint64_t lastEnd = 0;
    for (size_t number = 1; number <= VelmoraRebuildPlan.count; ++number) {
        const RebuildStep& step = VelmoraRebuildPlan.steps[number - 1];
        if (step.kind == StepKind::Copy) {
            const uint64_t end = uint64_t{step.sourceOffset} + step.written;
            if (end > kLastReadEnd) facts.add("rebuild step %zu reads up to byte %" PRIu64 ", past byte %" PRIu64, number, end, kLastReadEnd);
            if (end > lastEnd) lastEnd = end;
        }
        if (step.kind != StepKind::NameTable) continue;
        if (step.sourceOffset != kBaseSector * kSectorSize) {
            facts.add("rebuild step %zu reads the name area from byte %" PRIu32 ", not from sector %" PRIu32, number,
                      step.sourceOffset, kBaseSector);
        }
        for (const NameTableEntry* entry : nameRows(names.destination)) {
            const NameTableEntry* source = findNameRow(names.source, entry->name);
            if (!source) {
                rows.broken("%s has no source row", entry->name);
                continue;
            }
            const int64_t end = (int64_t{kBaseSector} + source->sector + entry->sectors) * int64_t{kSectorSize};
            if (source->sector < 0 || end > static_cast<int64_t>(kLastReadEnd)) {
                rows.broken("%s is read from sector %d to byte %" PRId64, entry->name, source->sector, end);
            }
        }
    }
    rows.reportTo(facts);
    if (lastEnd != kLastReadEnd) facts.add("the furthest read of the rebuild ends at byte %" PRIu64 ", not %" PRIu64, lastEnd, kLastReadEnd);
}

}  // namespace

std::vector<std::string> brokenVelmoraLayoutFacts(const NameTable& names) {
    BrokenFacts facts;
    checkDestination(names, facts);
    checkExamples(names, facts);
    checkSource(names, facts);
    checkNamesUnique(names, facts);
    checkReads(names, facts);
    return facts.lines();
}
