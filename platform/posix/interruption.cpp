// Interruptions on POSIX: SIGINT, SIGTERM and SIGHUP only set a flag while the run cleans up.
#include "platform/platform.h"

#include <signal.h>

namespace platform {
namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

volatile sig_atomic_t caught = static_cast<sig_atomic_t>(Interruption::None);
struct sigaction previous[kSignalCount];
bool handled[kSignalCount];

// Async-signal-safe: one store. A request to end outranks a Ctrl-C.
extern "C" void onSignal(int number) {
    if (number != SIGINT) {
        caught = static_cast<sig_atomic_t>(Interruption::Ended);
    } else if (caught == static_cast<sig_atomic_t>(Interruption::None)) {
        caught = static_cast<sig_atomic_t>(Interruption::FromConsole);
    }
}

}  // namespace

void catchInterruptions() {
    caught = static_cast<sig_atomic_t>(Interruption::None);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kSignalCount; ++i) {
        handled[i] = sigaction(kSignals[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler != SIG_IGN &&
                     sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

Interruption interruption() {
    return static_cast<Interruption>(caught);
}

void releaseInterruptions() {
    for (int i = 0; i < kSignalCount; ++i) {
        if (handled[i]) sigaction(kSignals[i], &previous[i], nullptr);
        handled[i] = false;
    }
}

}  // namespace platform
