// The patchers' path text operations, on the separators of the system being built for.
#include "patchers/common/path_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

// Writes a path with '/' as the system's own separator.
std::string native(std::string text) {
    for (char& c : text) {
        if (c == '/') c = platform::kPathSeparator;
    }
    return text;
}

struct Edit {
    const char* before;
    unsigned n;
    int result;
    const char* after;
};

TEST(PathText, DropPrefixRemovesThePrefixAndItsSeparatorOnlyWhenShorter) {
    const Edit cases[] = {
        {"C:/games/a.iso", 8, 1, "a.iso"}, {"abc", 3, 0, "abc"}, {"abc", 9, 0, "abc"}, {"ab/c", 2, 1, "c"}, {"", 0, 0, ""}};
    for (const Edit& c : cases) {
        std::string text = native(c.before);
        char buffer[kPathBufferSize];
        strcpy(buffer, text.c_str());
        EXPECT_EQ(dropPrefix(buffer, c.n), c.result) << c.before;
        EXPECT_EQ(std::string(buffer), native(c.after)) << c.before;
    }
}

TEST(PathText, CutSuffixKeepsTextNoLongerThanTheCut) {
    const Edit cases[] = {{"a.iso", 4, 1, "a"}, {"iso", 4, 0, "iso"}, {"abcd", 4, 0, "abcd"}, {"game.ISO", 4, 1, "game"}};
    for (const Edit& c : cases) {
        char buffer[kPathBufferSize];
        strcpy(buffer, c.before);
        EXPECT_EQ(cutSuffix(buffer, c.n), c.result) << c.before;
        EXPECT_STREQ(buffer, c.after);
    }
}

TEST(PathText, CutLastComponentsCountsSeparatorsFromTheEnd) {
    struct Cut {
        const char* before;
        int n;
        int result;
        const char* after;
    } cases[] = {
        {"C:/games/sub", 1, 1, "C:/games"}, {"C:/games/sub", 2, 1, "C:"},     {"C:/games/sub", 3, 0, "C:/games/sub"},
        {"/root", 1, 0, "/root"},           {"a/b", 0, 1, "a/b"},             {"a/b", -2, 1, "a/b"},
        {"a/b/", 1, 1, "a/b"},
    };
    for (const Cut& c : cases) {
        char buffer[kPathBufferSize];
        strcpy(buffer, native(c.before).c_str());
        EXPECT_EQ(cutLastComponents(buffer, c.n), c.result) << c.before << " " << c.n;
        EXPECT_EQ(std::string(buffer), native(c.after)) << c.before << " " << c.n;
    }
}

TEST(PathText, KeepFileNameTakesWhatFollowsEitherSeparator) {
    const char* cases[][2] = {{"C:\\games\\EV1_Patch_US-FR_1.xdelta", "EV1_Patch_US-FR_1.xdelta"},
                              {"/home/p/EV1_Patch_US-FR_1.xdelta", "EV1_Patch_US-FR_1.xdelta"},
                              {"a/b\\c.iso", "c.iso"},
                              {"/x", "/x"}};  // a separator in first place is not looked at
    for (const auto& c : cases) {
        char buffer[kPathBufferSize];
        strcpy(buffer, c[0]);
        keepFileName(buffer);
        EXPECT_STREQ(buffer, c[1]);
    }
}

TEST(PathText, DisplayNameIsRelativeToTheStartEvenAtARoot) {
    const char* cases[][3] = {{"/start/sub/deeper/game.iso", "/start", "sub/deeper/game.iso"},
                              {"/start/game.iso", "/start", "game.iso"},
                              {"C:/game.iso", "C:/", "game.iso"},
                              {"/game.iso", "/", "game.iso"}};
    for (const auto& c : cases) {
        char display[kPathBufferSize];
        makeDisplayName(native(c[0]).c_str(), native(c[1]).c_str(), display);
        EXPECT_EQ(std::string(display), native(c[2])) << c[0];
    }
}

TEST(PathText, DerivedImagePathsReplaceTheExtensionOrRefuseWhenTooLong) {
    char derived[kPathBufferSize];
    ASSERT_TRUE(deriveImagePath("D:\\games\\cv.iso", "_patched.iso", derived));
    EXPECT_STREQ(derived, "D:\\games\\cv_patched.iso");
    ASSERT_TRUE(deriveImagePath("x.ISO", "_temp.iso", derived));
    EXPECT_STREQ(derived, "x_temp.iso");

    std::string longest(240, 'a');  // 240 + ".iso" fits; less the extension, plus a long suffix, does not
    longest += ".iso";
    strcpy(derived, "unchanged");
    EXPECT_FALSE(deriveImagePath(longest.c_str(), "_prepatched.iso", derived));
    EXPECT_STREQ(derived, "unchanged");
    EXPECT_TRUE(deriveImagePath(longest.c_str(), "_temp.iso", derived));
    EXPECT_EQ(strlen(derived), 249u);
}

}  // namespace
