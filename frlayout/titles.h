// The two games as frlayout knows them: their releases, rebuild plans, layout tables and facts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "frlayout/layout_derivation.h"
#include "patchers/common/patch_run.h"
#include "patchers/common/rebuild.h"
#include "patchers/common/recognition.h"

struct Title {
    const char* name;         // as the command line gives it: "elvane"
    const char* displayName;  // "Elvane"
    const Game* game;         // as its patcher runs it: its releases' signatures, stages, delta files
    const RebuildPlan* plan;
    const NameTable* builtInNames;
    const SoundOffsetTable* builtInSounds;  // soundRuns tables; null when the plan has no sound run
    size_t soundRuns;
    // Whether its published source list holds the European files that no US file names.
    bool keepUnnamedFiles;
    const char* dataFolder;        // from the top of the source tree
    const char* namesFile;         // in the data folder
    const char* const* soundFiles; // the file of each sound run, in run order
    // Every published fact of its layouts that the tables break (see *_layout_facts.h).
    std::vector<std::string> (*brokenFacts)(const NameTable& names, const SoundOffsetTable* sounds);
};

extern const Title kTitles[2];

// The title called `name` on the command line, or null.
const Title* findTitle(const std::string& name);

// Where the rebuild plan of a title works: its name table step and its sound run steps.
struct PlanPlaces {
    size_t nameStep;  // numbered from 1
    NameArea names;
    std::vector<size_t> soundSteps;
    std::vector<SoundRunPlace> sounds;
};

// The places of the plan's steps. A step's place in the US image is the sum of the lengths of the
// steps before it; the name table's base sector is its step's source offset in sectors.
PlanPlaces planPlaces(const Title& title);
