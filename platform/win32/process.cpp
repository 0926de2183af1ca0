// The decoder started through the command processor's "start /b", and the wait of the Windows programs.
#include "platform/platform.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace platform {

Process startDecoder(const DecoderArgument* arguments, int argumentCount, const char* folder) {
    std::string command = "start /b xdelta.exe";
    for (int i = 0; i < argumentCount; ++i) {
        command += ' ';
        if (arguments[i].quoted) command += '"';
        command += arguments[i].text;
        if (arguments[i].quoted) command += '"';
    }
    // The command line fits the command processor's 65536-character buffer of the patchers.
    if (command.size() >= 65536) return kNoProcess;
    // The command processor runs in the current directory, where it looks for xdelta.exe first.
    char previous[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(sizeof previous, previous);
    const bool restore = length != 0 && length < sizeof previous;
    if (!SetCurrentDirectoryA(folder)) return kNoProcess;
    system(command.c_str());
    if (restore) SetCurrentDirectoryA(previous);
    return kNoProcess;
}

bool processEnded(Process& process) {
    process = kNoProcess;
    return true;
}

void stopProcess(Process& process) {
    process = kNoProcess;
}

void sleepMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}

}  // namespace platform
