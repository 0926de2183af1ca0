// The steps of a run decided by each game's data: which files it writes, and the room they need.
#include "patchers/common/patch_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "patchers/elvane/elvane_releases.h"
#include "patchers/velmora/velmora_releases.h"

namespace {

std::vector<std::string> artefactsOf(const Game& game, Release release, const std::string& image) {
    Artefacts artefacts;
    if (!deriveArtefacts(game, game.releases[release], image.c_str(), artefacts)) return {"refused"};
    return std::vector<std::string>(artefacts.paths, artefacts.paths + artefacts.count);
}

TEST(RunArtefacts, EachReleaseDerivesOnlyTheNamesItWritesInTheOrderItMakesThem) {
    EXPECT_EQ(artefactsOf(kElvane, US, "D:\\games\\cv.iso"), std::vector<std::string>{"D:\\games\\cv_patched.iso"});
    EXPECT_EQ(artefactsOf(kElvane, European, "D:\\games\\cv.iso"),
              (std::vector<std::string>{"D:\\games\\cv_temp.iso", "D:\\games\\cv_patched.iso"}));
    EXPECT_EQ(artefactsOf(kVelmora, US, "vl.iso"), std::vector<std::string>{"vl_patched.iso"});
    EXPECT_EQ(artefactsOf(kVelmora, European, "vl.iso"),
              (std::vector<std::string>{"vl_temp.iso", "vl_prepatched.iso", "vl_patched.iso"}));

    // At 245 characters "_patched.iso" still fits the 254 of the path buffers; "_prepatched.iso",
    // which only a European run writes, does not.
    const std::string stem = "/" + std::string(240, 'v');
    ASSERT_EQ((stem + ".iso").size(), 245u);
    EXPECT_EQ(artefactsOf(kVelmora, US, stem + ".iso"), std::vector<std::string>{stem + "_patched.iso"});
    EXPECT_EQ(artefactsOf(kVelmora, European, stem + ".iso"), std::vector<std::string>{"refused"});
}

TEST(RunSpace, TheMostARunHoldsIsAStageOutputBesideTheSourceTheRunMade) {
    EXPECT_EQ(bytesNeeded(kElvane.releases[US]), 2599682048u);       // the French image alone
    EXPECT_EQ(bytesNeeded(kElvane.releases[European]), 5199364096u); // the temporary image beside it
    EXPECT_EQ(bytesNeeded(kVelmora.releases[US]), 2802745344u);
    // The pre-patched image beside the French one; the temporary image has gone by then.
    EXPECT_EQ(bytesNeeded(kVelmora.releases[European]), 5604704256u);  // 2801958912 + 2802745344
}

}  // namespace
