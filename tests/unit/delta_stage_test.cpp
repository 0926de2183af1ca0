// The delta stage against a stand-in decoder: what it is handed, and how its output is followed.
#include "patchers/common/delta_stage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

// A decoder in the current directory, as "./xdelta3", that behaves as its first argument says.
void installDecoder(const ScratchFolder& folder) {
    const std::string script =
        "#!/bin/sh\n"
        "# arguments: -d -fs SOURCE DELTA OUTPUT\n"
        "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > arguments.txt\n"
        "case \"$3\" in\n"
        "  exact) head -c 3000 /dev/zero > \"$5\"; sleep 0.5; head -c 3000 /dev/zero >> \"$5\" ;;\n"
        "  over) head -c 6001 /dev/zero > \"$5\" ;;\n"
        "  stall) head -c 100 /dev/zero > \"$5\" ;;\n"
        "esac\n";
    folder.write("xdelta3", std::vector<unsigned char>(script.begin(), script.end()));
    fs::permissions(folder.path() / "xdelta3", fs::perms::owner_all);
}

DeltaStage stageFor(const char* behaviour, const char* delta, const char* output) {
    return {"start /b xdelta.exe -d -fs \"%s\" \"%s\" \"%s\"", {behaviour, delta, output}, 3, output, 6000, 2, 50};
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(DeltaStage, ArgumentsReachTheDecoderAsTheyAreWithoutAShell) {
    ScratchFolder folder;
    installDecoder(folder);
    const char* delta = "d \"q\" $HOME `touch pwned` ; touch pwned2 | x & y 'z' \\ %s";
    testing::internal::CaptureStdout();
    EXPECT_TRUE(runDeltaStage(stageFor("exact", delta, "out $(x).iso")));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(readText(folder.file("arguments.txt")),
              std::string("-d\n-fs\nexact\n") + delta + "\nout $(x).iso\n");
    EXPECT_FALSE(fs::exists(folder.path() / "pwned"));
    EXPECT_FALSE(fs::exists(folder.path() / "pwned2"));
    EXPECT_EQ(fs::file_size(folder.path() / "out $(x).iso"), 6000u);
    // Shown as percent / 2 + 50, from the first reading to the full size.
    EXPECT_NE(printed.find("Progression : 75 %\r"), std::string::npos) << printed;
    EXPECT_EQ(printed.substr(printed.size() - 20), "Progression : 100 %\r");
}

TEST(DeltaStage, AnOutputThatStopsShortOrOvershootsFailsAfterAboutFiveSeconds) {
    ScratchFolder folder;
    installDecoder(folder);
    for (const char* behaviour : {"stall", "over"}) {
        const auto started = std::chrono::steady_clock::now();
        testing::internal::CaptureStdout();
        EXPECT_FALSE(runDeltaStage(stageFor(behaviour, "delta", "out.iso"))) << behaviour;
        testing::internal::GetCapturedStdout();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_GE(seconds, 4.5) << behaviour;
        EXPECT_LT(seconds, 30) << behaviour;
    }
}

TEST(DeltaStage, AnOldOutputIsRemovedBeforeTheDecoderStarts) {
    ScratchFolder folder;  // no decoder here, and none reachable under this name
    folder.write("old.iso", std::vector<unsigned char>(6000, 1));
    DeltaStage stage = stageFor("exact", "delta", "old.iso");
    stage.commandFormat = "start /b no-such-decoder-anywhere \"%s\" \"%s\" \"%s\"";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(runDeltaStage(stage));
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(fs::exists(folder.path() / "old.iso"));
}

TEST(DeltaStage, RemovingAReleasedFileSucceedsAndAMissingOneCountsAsGone) {
    ScratchFolder folder;
    folder.write("temp.iso", {1});
    EXPECT_TRUE(removeWhenReleased(folder.file("temp.iso").c_str()));
    EXPECT_FALSE(fs::exists(folder.path() / "temp.iso"));
    EXPECT_TRUE(removeWhenReleased(folder.file("temp.iso").c_str()));
}

}  // namespace
