// Work run in a child process: its result comes back whole, and a crash, a hang or an early exit
// comes back as words naming the last stage, with the child always reaped.
#include "frlayout/contained_run.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

bool noChildLeft() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

TEST(ContainedRun, EachEndOfTheChildIsToldAndTheChildIsReaped) {
    // Larger than a pipe holds, so that a parent that waits before it reads would never return.
    const std::string large(3 << 20, 'x');
    struct Case {
        const char* what;
        std::function<std::string(const StageTeller&)> work;
        unsigned seconds;
        bool finished;
        std::string result, stage, how;
    };
    const Case cases[] = {
        {"a result larger than a pipe", [&](const StageTeller& stage) { stage("making it"); return large; }, 30, true, large, "", ""},
        {"a crash", [](const StageTeller& stage) { stage("reading its UDF tree"); kill(getpid(), SIGKILL); return std::string(); },
         30, false, "", "reading its UDF tree", "ended by signal 9"},
        {"a hang", [](const StageTeller& stage) { stage("walking"); for (;;) pause(); return std::string(); }, 1, false, "",
         "walking", "did not end within 1 seconds"},
        {"an exit without a result", [](const StageTeller& stage) { stage("first"); stage("second"); _exit(3); return std::string(); },
         30, false, "", "second", "stopped with status 3"},
    };
    for (const Case& c : cases) {
        const ContainedEnd end = runContained(c.work, c.seconds);
        EXPECT_EQ(end.finished, c.finished) << c.what;
        EXPECT_TRUE(end.result == c.result) << c.what << ": " << end.result.size() << " bytes";
        if (!c.finished) {
            EXPECT_EQ(end.stage, c.stage) << c.what;
        }
        EXPECT_NE(end.how.find(c.how), std::string::npos) << c.what << ": " << end.how;
        EXPECT_TRUE(noChildLeft()) << c.what;
    }
}

}  // namespace
