// Interruptions on Windows: a console control handler notes them while the run cleans up.
#include "platform/platform.h"

#include <windows.h>

namespace platform {
namespace {

// The system ends the programs of a console being closed about five seconds after telling them.
constexpr DWORD kCloseWaitMilliseconds = 4500;

volatile LONG caught = static_cast<LONG>(Interruption::None);
HANDLE cleanedUp = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    const LONG none = static_cast<LONG>(Interruption::None);
    const LONG fromConsole = static_cast<LONG>(Interruption::FromConsole);
    switch (event) {
    case CTRL_C_EVENT:
        // A decoder started by "start /b" ignores Ctrl-C but not Ctrl-Break; this program, whose
        // handler takes both, and the command processor, which outlives both, carry on.
        if (InterlockedCompareExchange(&caught, fromConsole, none) == none) GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0);
        return TRUE;
    case CTRL_BREAK_EVENT:
        InterlockedCompareExchange(&caught, fromConsole, none);
        return TRUE;
    default:  // the console closes or the session ends: the program is ended once this returns
        InterlockedExchange(&caught, static_cast<LONG>(Interruption::Ended));
        if (cleanedUp) WaitForSingleObject(cleanedUp, kCloseWaitMilliseconds);
        return TRUE;
    }
}

}  // namespace

void catchInterruptions() {
    caught = static_cast<LONG>(Interruption::None);
    if (!cleanedUp) cleanedUp = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(cleanedUp);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

Interruption interruption() {
    return static_cast<Interruption>(caught);
}

void releaseInterruptions() {
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    if (cleanedUp) SetEvent(cleanedUp);
}

}  // namespace platform
