// The 68 steps that rebuild a European Elvane image in the US layout.
#include "patchers/elvane/elvane_plan.h"

#include "patchers/elvane/elvane_tables.h"

namespace {

// Each row: kind, source offset, source length read (sound runs), bytes written. Steps 2-9 copy
// the heads of the ranges whose bodies steps 41-48 copy; steps 59-67 the sectors before the sound
// runs; step 62 stands in zeros for the head of S4.
const RebuildStep kElvaneSteps[] = {
    {StepKind::Zeros, 0, 0, 720896, nullptr, nullptr},  // 1
    {StepKind::Copy, 652064768, 0, 61440, nullptr, nullptr},  // 2
    {StepKind::Copy, 775776256, 0, 61440, nullptr, nullptr},  // 3
    {StepKind::Copy, 898801664, 0, 61440, nullptr, nullptr},  // 4
    {StepKind::Copy, 1046181888, 0, 24576, nullptr, nullptr},  // 5
    {StepKind::Copy, 1139458048, 0, 24576, nullptr, nullptr},  // 6
    {StepKind::Copy, 1165774848, 0, 18432, nullptr, nullptr},  // 7
    {StepKind::Copy, 1182842880, 0, 57344, nullptr, nullptr},  // 8
    {StepKind::Copy, 1277032448, 0, 10240, nullptr, nullptr},  // 9
    {StepKind::Zeros, 0, 0, 2048, nullptr, nullptr},  // 10
    {StepKind::Copy, 755712, 0, 13522944, nullptr, nullptr},  // 11
    {StepKind::Zeros, 0, 0, 137216, nullptr, nullptr},  // 12
    {StepKind::Zeros, 0, 0, 253952, nullptr, nullptr},  // 13
    {StepKind::Zeros, 0, 0, 36864, nullptr, nullptr},  // 14
    {StepKind::Zeros, 0, 0, 8192, nullptr, nullptr},  // 15
    {StepKind::Zeros, 0, 0, 45056, nullptr, nullptr},  // 16
    {StepKind::Zeros, 0, 0, 92160, nullptr, nullptr},  // 17
    {StepKind::Zeros, 0, 0, 8192, nullptr, nullptr},  // 18
    {StepKind::Copy, 14653440, 0, 26624, nullptr, nullptr},  // 19
    {StepKind::Copy, 14940160, 0, 8192, nullptr, nullptr},  // 20
    {StepKind::Copy, 14845952, 0, 22528, nullptr, nullptr},  // 21
    {StepKind::Copy, 14868480, 0, 10240, nullptr, nullptr},  // 22
    {StepKind::Copy, 14878720, 0, 14336, nullptr, nullptr},  // 23
    {StepKind::Copy, 14784512, 0, 61440, nullptr, nullptr},  // 24
    {StepKind::Copy, 14352384, 0, 24576, nullptr, nullptr},  // 25
    {StepKind::Zeros, 0, 0, 22528, nullptr, nullptr},  // 26
    {StepKind::Copy, 14336000, 0, 16384, nullptr, nullptr},  // 27
    {StepKind::Copy, 2060527616, 0, 3835904, nullptr, nullptr},  // 28
    {StepKind::Copy, 1290311680, 0, 79792128, nullptr, nullptr},  // 29
    {StepKind::Copy, 1370103808, 0, 84887552, nullptr, nullptr},  // 30
    {StepKind::Copy, 1478567936, 0, 84903936, nullptr, nullptr},  // 31
    {StepKind::Copy, 1587032064, 0, 84920320, nullptr, nullptr},  // 32
    {StepKind::Copy, 2283456512, 0, 3540992, nullptr, nullptr},  // 33
    {StepKind::Copy, 2064363520, 0, 65013760, nullptr, nullptr},  // 34
    {StepKind::Copy, 2129377280, 0, 69175296, nullptr, nullptr},  // 35
    {StepKind::Copy, 2206416896, 0, 69142528, nullptr, nullptr},  // 36
    {StepKind::Copy, 2509500416, 0, 59086848, nullptr, nullptr},  // 37
    {StepKind::Copy, 2569121792, 0, 49899520, nullptr, nullptr},  // 38
    {StepKind::Copy, 2619226112, 0, 23224320, nullptr, nullptr},  // 39
    {StepKind::Copy, 2642655232, 0, 6313984, nullptr, nullptr},  // 40
    {StepKind::Copy, 652126208, 0, 123650048, nullptr, nullptr},  // 41
    {StepKind::Copy, 775837696, 0, 122963968, nullptr, nullptr},  // 42
    {StepKind::Copy, 898863104, 0, 147318784, nullptr, nullptr},  // 43
    {StepKind::Copy, 1046206464, 0, 93251584, nullptr, nullptr},  // 44
    {StepKind::Copy, 1139482624, 0, 26292224, nullptr, nullptr},  // 45
    {StepKind::Copy, 1165793280, 0, 17049600, nullptr, nullptr},  // 46
    {StepKind::Copy, 1182900224, 0, 94132224, nullptr, nullptr},  // 47
    {StepKind::Copy, 1277042688, 0, 13268992, nullptr, nullptr},  // 48
    {StepKind::NameTable, 14956544, 0, 822093824, &kElvaneNameTable, nullptr},  // 49, base sector 7303
    {StepKind::SoundRun, 198512640, 76998656, 74600448, nullptr, &kElvaneSoundRuns[0]},  // 50, S1
    {StepKind::SoundRun, 275572736, 81262592, 78913536, nullptr, &kElvaneSoundRuns[1]},  // 51, S2
    {StepKind::SoundRun, 356896768, 83130368, 80697344, nullptr, &kElvaneSoundRuns[2]},  // 52, S3
    {StepKind::SoundRun, 440051712, 70549504, 69957632, nullptr, &kElvaneSoundRuns[3]},  // 53, S4
    {StepKind::SoundRun, 510625792, 15075328, 13993984, nullptr, &kElvaneSoundRuns[4]},  // 54, S5
    {StepKind::SoundRun, 525719552, 16551936, 15699968, nullptr, &kElvaneSoundRuns[5]},  // 55, S6
    {StepKind::SoundRun, 542328832, 66332672, 63930368, nullptr, &kElvaneSoundRuns[6]},  // 56, S7
    {StepKind::SoundRun, 608681984, 29538304, 28602368, nullptr, &kElvaneSoundRuns[7]},  // 57, S8
    {StepKind::SoundRun, 638230528, 13834240, 13832192, nullptr, &kElvaneSoundRuns[8]},  // 58, S9
    {StepKind::Copy, 198451200, 0, 61440, nullptr, nullptr},  // 59
    {StepKind::Copy, 275511296, 0, 61440, nullptr, nullptr},  // 60
    {StepKind::Copy, 356835328, 0, 61440, nullptr, nullptr},  // 61
    {StepKind::Zeros, 0, 0, 24576, nullptr, nullptr},  // 62
    {StepKind::Copy, 510601216, 0, 24576, nullptr, nullptr},  // 63
    {StepKind::Copy, 525701120, 0, 18432, nullptr, nullptr},  // 64
    {StepKind::Copy, 542271488, 0, 57344, nullptr, nullptr},  // 65
    {StepKind::Copy, 608661504, 0, 20480, nullptr, nullptr},  // 66
    {StepKind::Copy, 638220288, 0, 10240, nullptr, nullptr},  // 67
    {StepKind::Zeros, 0, 0, 2048, nullptr, nullptr},  // 68
};

}  // namespace

const RebuildPlan ElvaneRebuildPlan = {kElvaneSteps, sizeof kElvaneSteps / sizeof kElvaneSteps[0]};
