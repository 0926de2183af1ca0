// The decoder started in the background on POSIX: no shell, its process known and reaped.
#include "platform/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {
namespace {

// What stands for "xdelta.exe": ./xdelta3 first, as the command processor looks in the current
// directory first, then xdelta3 on the search path.
const char kLocalDecoder[] = "./xdelta3";
// The search path execvp takes when PATH is not set.
const char kDefaultSearchPath[] = "/bin:/usr/bin";

bool isExecutable(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The decoder that runs with `folder` current, spelled as it is run from there (a relative path
// counts from `folder`); empty when there is none.
std::string decoderIn(const char* folder) {
    const std::string base = std::string(folder) + "/";
    if (isExecutable(base + kLocalDecoder)) return kLocalDecoder;
    const char* searchPath = getenv("PATH");
    const std::string entries = searchPath ? searchPath : kDefaultSearchPath;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(entries.find(':', start), entries.size());
        std::string entry = entries.substr(start, end - start);
        if (entry.empty()) entry = ".";  // an empty entry is the current directory
        const std::string candidate = entry + "/" + kDecoderName;
        if (isExecutable(candidate[0] == '/' ? candidate : base + candidate)) return candidate;
        if (end == entries.size()) return "";
        start = end + 1;
    }
}

void reap(Process& process) {
    while (waitpid(static_cast<pid_t>(process), nullptr, 0) < 0 && errno == EINTR) {
    }
    process = kNoProcess;
}

}  // namespace

bool decoderPresent(const char* folder) {
    return !decoderIn(folder).empty();
}

Process startDecoder(const DecoderArgument* arguments, int argumentCount, const char* folder) {
    const std::string decoder = decoderIn(folder);
    if (decoder.empty()) return kNoProcess;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(decoder.c_str()));
    for (int i = 0; i < argumentCount; ++i) argv.push_back(const_cast<char*>(arguments[i].text));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) return kNoProcess;
    if (child == 0) {
        const int nothing = open("/dev/null", O_RDONLY);
        if (nothing >= 0) dup2(nothing, STDIN_FILENO);  // the key wait at the end stays ours
        if (chdir(folder) != 0) _exit(127);
        execv(decoder.c_str(), argv.data());
        _exit(127);
    }
    return static_cast<Process>(child);
}

bool processEnded(Process& process) {
    if (process == kNoProcess) return true;
    pid_t ended;
    do {
        ended = waitpid(static_cast<pid_t>(process), nullptr, WNOHANG);
    } while (ended < 0 && errno == EINTR);
    if (ended == 0) return false;
    process = kNoProcess;
    return true;
}

void stopProcess(Process& process) {
    if (process == kNoProcess) return;
    kill(static_cast<pid_t>(process), SIGTERM);  // harmless once it has ended on its own
    reap(process);
}

void sleepMilliseconds(unsigned milliseconds) {
    struct timespec wait;
    wait.tv_sec = milliseconds / 1000;
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&wait, &wait) != 0) {
    }
}

}  // namespace platform
