// The 7 steps that rebuild a European Velmora image in the US layout.
#include "patchers/velmora/velmora_plan.h"

#include "patchers/velmora/velmora_tables.h"

namespace {

// Each row: kind, source offset, source length read (sound runs), bytes written. The European
// image holds the same data 2 sectors later (step 2), 22 later (step 3 and the file area) and 36
// later (step 5, after a 14-sector file that the US layout lacks); the 204759040 bytes before
// step 6's range are not used.
const RebuildStep kVelmoraSteps[] = {
    {StepKind::Zeros, 0, 0, 663552, nullptr, nullptr},                            // 1
    {StepKind::Copy, 667648, 0, 11206656, nullptr, nullptr},                      // 2
    {StepKind::Copy, 11915264, 0, 1065783296, nullptr, nullptr},                  // 3
    {StepKind::NameTable, 1077698560, 0, 756373504, &kVelmoraNameTable, nullptr}, // 4, base sector 526220
    {StepKind::Copy, 1834100736, 0, 63442944, nullptr, nullptr},                  // 5
    {StepKind::Copy, 2102302720, 0, 883486720, nullptr, nullptr},                 // 6
    {StepKind::Zeros, 0, 0, 21002240, nullptr, nullptr},                          // 7
};

}  // namespace

const RebuildPlan VelmoraRebuildPlan = {kVelmoraSteps, sizeof kVelmoraSteps / sizeof kVelmoraSteps[0]};
