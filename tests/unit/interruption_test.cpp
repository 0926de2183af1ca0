// What each signal means to a run while interruptions are caught, and that they end it again after.
#include <gtest/gtest.h>

#include <signal.h>

#include "platform/platform.h"

namespace {

using platform::Interruption;

TEST(Interruption, SignalsAreNotedForWhatTheyMeanWhileCaught) {
    struct Case {
        int signal;
        Interruption noted;
    };
    const Case cases[] = {{SIGINT, Interruption::FromConsole}, {SIGTERM, Interruption::Ended}, {SIGHUP, Interruption::Ended}};
    for (const Case& c : cases) {
        platform::catchInterruptions();
        EXPECT_EQ(platform::interruption(), Interruption::None);
        raise(c.signal);  // uncaught, it would end the test program here
        EXPECT_EQ(platform::interruption(), c.noted) << c.signal;
        platform::releaseInterruptions();
    }
    // A Ctrl-C after a request to end does not bring the prompt back.
    platform::catchInterruptions();
    raise(SIGTERM);
    raise(SIGINT);
    EXPECT_EQ(platform::interruption(), Interruption::Ended);
    platform::releaseInterruptions();
    // A hang-up ignored when the run began (nohup) stays ignored.
    signal(SIGHUP, SIG_IGN);
    platform::catchInterruptions();
    raise(SIGHUP);
    EXPECT_EQ(platform::interruption(), Interruption::None);
    platform::releaseInterruptions();
    signal(SIGHUP, SIG_DFL);
}

TEST(Interruption, OnceReleasedASignalEndsTheProgramAgain) {
    EXPECT_EXIT(
        {
            platform::catchInterruptions();
            platform::releaseInterruptions();
            raise(SIGTERM);
            exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
