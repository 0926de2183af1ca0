// The decoder started through the command processor's "start /b", and the wait of the Windows programs.
#include "platform/platform.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace platform {

bool decoderPresent(const char* folder) {
    // The command processor looks in the current directory, then in each folder of the search path.
    std::string places = folder;
    const DWORD length = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (length > 0) {
        std::string searchPath(length, '\0');
        const DWORD written = GetEnvironmentVariableA("PATH", &searchPath[0], length);
        if (written > 0 && written < length) places += ";" + searchPath.substr(0, written);
    }
    char found[MAX_PATH];
    const DWORD foundLength = SearchPathA(places.c_str(), kDecoderName, nullptr, sizeof found, found, nullptr);
    if (foundLength == 0) return false;
    if (foundLength >= sizeof found) return true;  // there, under a path too long to look at
    const DWORD attributes = GetFileAttributesA(found);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Process startDecoder(const DecoderArgument* arguments, int argumentCount, const char* folder) {
    if (!decoderPresent(folder)) return kNoProcess;
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
