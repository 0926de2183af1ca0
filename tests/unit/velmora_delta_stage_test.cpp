// The delta stage as the Velmora stages use it, with a stand-in decoder script as ./xdelta3.
#include "patchers/common/delta_stage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

namespace {

// Puts an executable ./xdelta3 with `body` in the folder; its arguments are those of the pre-patch
// command line, so "$5" is the output.
void placeDecoder(const ScratchFolder& folder, const std::string& body) {
    const std::string script = "#!/bin/sh\n" + body + "\n";
    folder.write("xdelta3", std::vector<unsigned char>(script.begin(), script.end()));
    std::filesystem::permissions(folder.file("xdelta3"), std::filesystem::perms::owner_all);
}

std::vector<int> shownPercentages(const std::string& output) {
    std::vector<int> shown;
    const std::regex progress("Progression : (\\d+) %\r");
    for (auto match = std::sregex_iterator(output.begin(), output.end(), progress); match != std::sregex_iterator();
         ++match) {
        shown.push_back(std::stoi((*match)[1]));
    }
    return shown;
}

TEST(DeltaStage, FollowsTheOutputToItsExpectedSizeShowingTheStageShareOfTheLine) {
    ScratchFolder folder;
    placeDecoder(folder, "for part in 1 2 3; do head -c 1000 /dev/zero >> \"$5\"; sleep 0.05; done");
    const std::string output = folder.file("game_prepatched.iso");
    const DeltaStage stage = {folder.path().c_str(), "game_temp.iso", {"VL1_Prepatch.xdelta", false}, output.c_str(),
                              3000, 3.0, 33.0};
    testing::internal::CaptureStdout();
    const bool done = runDeltaStage(stage) == StageOutcome::Done;
    const std::vector<int> shown = shownPercentages(testing::internal::GetCapturedStdout());
    EXPECT_TRUE(done);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 66);
    for (int value : shown) {
        EXPECT_GE(value, 33);
        EXPECT_LE(value, 66);
    }
}

TEST(DeltaStage, AnOldOutputThatCannotBeRemovedFailsTheStageWithoutStartingTheDecoder) {
    // An output that stays where it is (a folder here; on Windows, a file another program holds)
    // would be measured in place of the decoder's; at its full size it would pass for success.
    ScratchFolder folder;
    placeDecoder(folder, "touch started");
    folder.write("game_prepatched.iso/kept");
    const std::string output = folder.file("game_prepatched.iso");
    const DeltaStage stage = {folder.path().c_str(), "game_temp.iso", {"VL1_Prepatch.xdelta", false}, output.c_str(),
                              4096, 3.0, 33.0};
    testing::internal::CaptureStdout();
    const bool done = runDeltaStage(stage) == StageOutcome::Done;
    testing::internal::GetCapturedStdout();
    platform::sleepMilliseconds(200);  // a decoder started anyway would have left its mark by now
    EXPECT_FALSE(done);
    EXPECT_FALSE(std::filesystem::exists(folder.file("started")));
}

}  // namespace
