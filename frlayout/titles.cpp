// The two games as frlayout knows them: their releases, rebuild plans, layout tables and facts.
#include "frlayout/titles.h"

#include "patchers/elvane/elvane_layout_facts.h"
#include "patchers/elvane/elvane_plan.h"
#include "patchers/elvane/elvane_releases.h"
#include "patchers/elvane/elvane_tables.h"
#include "patchers/velmora/velmora_layout_facts.h"
#include "patchers/velmora/velmora_plan.h"
#include "patchers/velmora/velmora_releases.h"
#include "patchers/velmora/velmora_tables.h"

namespace {

std::vector<std::string> brokenVelmoraFacts(const NameTable& names, const SoundOffsetTable*) {
    return brokenVelmoraLayoutFacts(names);
}

}  // namespace

static_assert(kElvaneSoundFileCount == kElvaneSoundRunCount, "a table file for each sound run of the plan");

// The published Elvane source list holds exactly the destination's names; the Velmora one holds
// the one European file more that lies among them.
const Title kTitles[2] = {
    {"elvane", kElvaneDisplayName, &kElvane, &ElvaneRebuildPlan, &kElvaneNameTable, kElvaneSoundRuns, kElvaneSoundRunCount,
     false, "patchers/elvane/data", kElvaneNamesFile, kElvaneSoundFiles, brokenElvaneLayoutFacts},
    {"velmora", kVelmoraDisplayName, &kVelmora, &VelmoraRebuildPlan, &kVelmoraNameTable, nullptr, 0, true,
     "patchers/velmora/data", kVelmoraNamesFile, kVelmoraSoundFiles, brokenVelmoraFacts},
};

const Title* findTitle(const std::string& name) {
    for (const Title& title : kTitles) {
        if (name == title.name) return &title;
    }
    return nullptr;
}

PlanPlaces planPlaces(const Title& title) {
    PlanPlaces places{0, {0, 0, 0, title.keepUnnamedFiles}, {}, {}};
    uint64_t target = 0;
    for (size_t i = 0; i < title.plan->count; ++i) {
        const RebuildStep& step = title.plan->steps[i];
        if (step.kind == StepKind::NameTable) {
            places.nameStep = i + 1;
            places.names.firstSector = static_cast<uint32_t>(target / kSectorSize);
            places.names.sectors = step.written / kSectorSize;
            places.names.baseSector = step.sourceOffset / kSectorSize;
        }
        if (step.kind == StepKind::SoundRun) {
            places.soundSteps.push_back(i + 1);
            places.sounds.push_back({static_cast<uint32_t>(target), step.written, step.sourceOffset, step.sourceLength});
        }
        target += step.written;
    }
    return places;
}
