// The delta stage against a stand-in decoder: what it is handed, and how its output is followed.
#include "patchers/common/delta_stage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <signal.h>

#include <cerrno>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

// A decoder in the folder, as "./xdelta3", that behaves as its source argument says and notes its
// arguments and its process.
void installDecoder(const ScratchFolder& folder) {
    const std::string script =
        "#!/bin/sh\n"
        "# arguments: -d -fs SOURCE DELTA OUTPUT\n"
        "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > arguments.txt\n"
        "echo $$ > decoder.pid\n"
        "case \"$3\" in\n"
        "  exact) head -c 3000 /dev/zero > \"$5\"; sleep 0.5; head -c 3000 /dev/zero >> \"$5\" ;;\n"
        "  over) head -c 6001 /dev/zero > \"$5\" ;;\n"
        "  stall) head -c 100 /dev/zero > \"$5\"; exec sleep 600 ;;\n"
        "esac\n";
    folder.write("xdelta3", std::vector<unsigned char>(script.begin(), script.end()));
    fs::permissions(folder.path() / "xdelta3", fs::perms::owner_all);
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

DeltaStage stageFor(const ScratchFolder& folder, const char* behaviour, const char* delta, const char* output) {
    return {folder.path().c_str(), behaviour, {delta, true}, output, 6000, 2, 50};
}

// Whether the decoder that noted its process in the folder is gone, reaped as well as ended.
bool decoderGone(const ScratchFolder& folder) {
    const pid_t decoder = std::stoi(readText(folder.file("decoder.pid")));
    return kill(decoder, 0) != 0 && errno == ESRCH;
}

TEST(DeltaStage, ArgumentsReachTheDecoderAsTheyAreWithoutAShell) {
    ScratchFolder folder;
    installDecoder(folder);
    const char* delta = "d \"q\" $HOME `touch pwned` ; touch pwned2 | x & y 'z' \\ %s";
    testing::internal::CaptureStdout();
    EXPECT_EQ(runDeltaStage(stageFor(folder, "exact", delta, folder.file("out $(x).iso").c_str())), StageOutcome::Done);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(decoderGone(folder));
    EXPECT_EQ(readText(folder.file("arguments.txt")),
              std::string("-d\n-fs\nexact\n") + delta + "\n" + folder.file("out $(x).iso") + "\n");
    EXPECT_FALSE(fs::exists(folder.path() / "pwned"));
    EXPECT_FALSE(fs::exists(folder.path() / "pwned2"));
    EXPECT_EQ(fs::file_size(folder.path() / "out $(x).iso"), 6000u);
    // Shown as percent / 2 + 50, from the first reading to the full size.
    EXPECT_NE(printed.find("Progression : 75 %\r"), std::string::npos) << printed;
    EXPECT_EQ(printed.substr(printed.size() - 20), "Progression : 100 %\r");
}

TEST(DeltaStage, AnOutputThatStopsShortOrOvershootsFailsAfterAboutFiveSecondsAndItsDecoderIsStopped) {
    ScratchFolder folder;
    installDecoder(folder);
    for (const char* behaviour : {"stall", "over"}) {
        const auto started = std::chrono::steady_clock::now();
        testing::internal::CaptureStdout();
        EXPECT_EQ(runDeltaStage(stageFor(folder, behaviour, "delta", folder.file("out.iso").c_str())),
                  StageOutcome::Failed)
            << behaviour;
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(decoderGone(folder)) << behaviour;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_GE(seconds, 4.5) << behaviour;
        EXPECT_LT(seconds, 30) << behaviour;
    }
}

TEST(DeltaStage, AnOldOutputIsRemovedBeforeTheDecoderStarts) {
    ScratchFolder folder;
    installDecoder(folder);  // which writes nothing for this source
    folder.write("old.iso", std::vector<unsigned char>(6000, 1));
    testing::internal::CaptureStdout();
    EXPECT_EQ(runDeltaStage(stageFor(folder, "nothing", "delta", folder.file("old.iso").c_str())), StageOutcome::Failed);
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

namespace {

// A decoder that takes no notice of the request to end must not hold the run: it is ended outright
// once its grace is over. In a child process, so that a wait for it without end fails the test
// instead of hanging it.
TEST(BackgroundProgram, OneThatIgnoresTheRequestToEndIsEndedAfterItsGrace) {
    ScratchFolder folder;
    // Its output goes nowhere: a program left running must not hold the test's pipes open.
    const std::string script =
        "#!/bin/sh\nexec >/dev/null 2>&1\necho $$ > decoder.pid\ntrap '' TERM\nwhile :; do sleep 1; done\n";
    folder.write("stubborn", std::vector<unsigned char>(script.begin(), script.end()));
    fs::permissions(folder.path() / "stubborn", fs::perms::owner_all);
    EXPECT_EXIT(
        {
            alarm(20);
            platform::Process process = platform::startInBackground("stubborn", nullptr, 0, folder.path().c_str());
            while (!fs::exists(folder.file("decoder.pid")) || readText(folder.file("decoder.pid")).empty()) {
                platform::sleepMilliseconds(10);
            }
            platform::stopProcess(process, 50);
            exit(process == platform::kNoProcess && decoderGone(folder) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    if (!decoderGone(folder)) kill(std::stoi(readText(folder.file("decoder.pid"))), SIGKILL);
}

}  // namespace
