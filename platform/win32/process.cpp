// The command processor and the wait of the Windows programs.
#include "platform/platform.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

void runInBackground(const char* format, const char* const* arguments, int argumentCount) {
    std::string command;
    int nextArgument = 0;
    for (const char* at = format; *at; ++at) {
        if (at[0] == '%' && at[1] == 's') {
            if (nextArgument < argumentCount) command += arguments[nextArgument++];
            ++at;
            continue;
        }
        command += *at;
    }
    // The command line fits the command processor's 65536-character buffer of the patchers.
    if (command.size() >= 65536) return;
    system(command.c_str());
}

void sleepMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}

}  // namespace platform
