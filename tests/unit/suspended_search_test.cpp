// The resumable walk: order, extensions, current directory, and the trees it must survive.
#include "patchers/common/suspended_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "patchers/common/path_text.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

// Every file the walk returns for `extension`, as paths relative to the folder, until it ends.
std::vector<std::string> walk(const ScratchFolder& folder, const char* extension) {
    std::vector<std::string> found;
    char path[kPathBufferSize];
    while (findNextFile(path, extension)) {
        found.push_back(fs::path(path).lexically_relative(folder.path()).generic_string());
        if (found.size() > 1000) break;  // a walk that loops
    }
    return found;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileSearch, ExtensionsMatchWhateverTheirCaseAfterTheLastDot) {
    ScratchFolder folder;
    for (const char* name : {"a.ISO", "b.iso", "x.tar.iso", ".iso", "iso", "xiso", "c.isox", "d.is", "e.Iso"}) {
        folder.write(name);
    }
    EXPECT_EQ(sorted(walk(folder, "iso")), sorted({"a.ISO", "b.iso", "x.tar.iso", ".iso", "e.Iso"}));
    EXPECT_EQ(walk(folder, "*").size(), 9u);
}

TEST(FileSearch, AnExhaustedWalkStartsAgainFromTheStart) {
    ScratchFolder folder;
    folder.write("a.ISO");
    folder.write("b.iso");
    const auto first = walk(folder, "iso");
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(fs::current_path(), folder.path());
    char path[kPathBufferSize];
    ASSERT_EQ(findNextFile(path, "iso"), 1);
    EXPECT_EQ(fs::path(path).lexically_relative(folder.path()).generic_string(), first[0]);
    while (findNextFile(path, "iso")) {
    }
}

TEST(FileSearch, FindsFilesDepthFirstAndLeavesTheirDirectoryCurrent) {
    ScratchFolder folder;
    folder.write("sub/deeper/game.iso");
    folder.write("sub/other.iso");
    folder.write("top.iso");
    folder.write("sub/deeper/deepest/last.iso");
    char path[kPathBufferSize];
    std::vector<std::string> found;
    while (findNextFile(path, "iso")) {
        const fs::path file(path);
        EXPECT_EQ(fs::current_path(), file.parent_path()) << path;  // the walk rests in the file's directory
        found.push_back(file.lexically_relative(folder.path()).generic_string());
    }
    EXPECT_EQ(fs::current_path(), folder.path());
    EXPECT_EQ(sorted(found), sorted({"sub/deeper/game.iso", "sub/other.iso", "top.iso", "sub/deeper/deepest/last.iso"}));
    // A subdirectory is searched completely before the entries that follow it in its parent.
    const auto position = [&](const std::string& name) { return std::find(found.begin(), found.end(), name) - found.begin(); };
    EXPECT_EQ(std::abs(position("sub/deeper/game.iso") - position("sub/deeper/deepest/last.iso")), 1);
}

TEST(FileSearch, AFullPathAndItsDisplayNameNameTheFileBelowTheStart) {
    ScratchFolder folder;
    folder.write("sub/deeper/game.iso");
    char path[kPathBufferSize];
    ASSERT_EQ(findNextFile(path, "iso"), 1);
    EXPECT_EQ(std::string(path), (folder.path() / "sub" / "deeper" / "game.iso").string());
    char display[kPathBufferSize];
    makeDisplayName(path, folder.path().string().c_str(), display);
    EXPECT_STREQ(display, "sub/deeper/game.iso");
    EXPECT_EQ(findNextFile(path, "iso"), 0);
}

// Under a privileged account permissions do not lock anything; ctest also runs these cases under
// an unprivileged account.
TEST(FileSearchUnprivileged, DirectoriesThatCannotBeEnteredOrListedAreSkippedWithoutLosingThePlace) {
    ScratchFolder folder;
    folder.write("a/before.iso");
    folder.write("locked/inside.iso");
    folder.write("unlistable/inside.iso");
    folder.write("z/after.iso");
    fs::permissions(folder.path() / "locked", fs::perms::none);
    fs::permissions(folder.path() / "unlistable", fs::perms::owner_exec);
    std::error_code denied;
    fs::directory_iterator probe(folder.path() / "unlistable", denied);
    if (!denied) GTEST_SKIP() << "this account reads any directory; the unprivileged run covers this case";
    EXPECT_EQ(sorted(walk(folder, "iso")), sorted({"a/before.iso", "z/after.iso"}));
    EXPECT_EQ(fs::current_path(), folder.path());
}

TEST(FileSearch, TreesDeeperThanTheWalkCanHoldEndSafely) {
    ScratchFolder folder;
    folder.write("shallow.iso");
    fs::path deep = folder.path();
    for (int level = 0; level < 300; ++level) {
        deep /= "d";
        if (level == 5) folder.write(fs::relative(deep / "five.iso", folder.path()).string());
    }
    fs::create_directories(deep);
    folder.write(fs::relative(deep / "bottom.iso", folder.path()).string());
    EXPECT_EQ(sorted(walk(folder, "iso")), sorted({"shallow.iso", "d/d/d/d/d/d/five.iso"}));
    EXPECT_EQ(fs::current_path(), folder.path());
}

TEST(FileSearch, PathsTooLongForThePatchersAreSkipped) {
    ScratchFolder folder;
    const std::string longName(200, 'n');
    folder.write(longName + "/" + longName + "/far.iso");  // over 254 characters: cannot be handed on
    folder.write(longName + "/near.iso");
    folder.write("z.iso");
    const auto found = sorted(walk(folder, "iso"));
    const std::string near = longName + "/near.iso";
    const bool nearFits = (folder.path() / near).string().size() < kPathBufferSize;
    EXPECT_EQ(found, nearFits ? sorted({near, "z.iso"}) : std::vector<std::string>{"z.iso"});
    EXPECT_EQ(fs::current_path(), folder.path());
}

TEST(FileSearch, ALinkBackToAnOpenDirectoryIsNotEnteredAgain) {
    ScratchFolder folder;
    folder.write("a/game.iso");
    folder.write("b/other.iso");
    fs::create_directory_symlink("..", folder.path() / "a" / "up");
    fs::create_directory_symlink(folder.path() / "b", folder.path() / "a" / "to-b");  // not a loop: entered
    const auto found = sorted(walk(folder, "iso"));
    EXPECT_EQ(found, sorted({"a/game.iso", "a/to-b/other.iso", "b/other.iso"}));
    EXPECT_EQ(fs::current_path(), folder.path());
}

}  // namespace
