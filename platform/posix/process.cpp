// The decoder started in the background on POSIX: no shell, its process known and reaped.
#include "platform/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {
namespace {

// What stands for "xdelta.exe": ./xdelta3 first, as the command processor looks in the current
// directory first, then xdelta3 on the search path.
const char kLocalDecoder[] = "./xdelta3";
const char kDecoder[] = "xdelta3";

bool isExecutable(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode) && access(path, X_OK) == 0;
}

void reap(Process& process) {
    while (waitpid(static_cast<pid_t>(process), nullptr, 0) < 0 && errno == EINTR) {
    }
    process = kNoProcess;
}

}  // namespace

Process startDecoder(const DecoderArgument* arguments, int argumentCount, const char* folder) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(kDecoder));
    for (int i = 0; i < argumentCount; ++i) argv.push_back(const_cast<char*>(arguments[i].text));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) return kNoProcess;
    if (child == 0) {
        const int nothing = open("/dev/null", O_RDONLY);
        if (nothing >= 0) dup2(nothing, STDIN_FILENO);  // the key wait at the end stays ours
        if (chdir(folder) != 0) _exit(127);
        if (isExecutable(kLocalDecoder)) {
            argv[0] = const_cast<char*>(kLocalDecoder);
            execv(kLocalDecoder, argv.data());
        }
        execvp(kDecoder, argv.data());
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
