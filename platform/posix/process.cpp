// Programs started in the background on POSIX: no shell, their process known and reaped.
#include "platform/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

// The search path execvp takes when PATH is not set.
const char kDefaultSearchPath[] = "/bin:/usr/bin";
constexpr unsigned kReapPollMilliseconds = 10;

bool isExecutable(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Reaps the process if it has ended; true when it has.
bool reaped(pid_t process) {
    pid_t ended;
    do {
        ended = waitpid(process, nullptr, WNOHANG);
    } while (ended < 0 && errno == EINTR);
    return ended != 0;  // ended, or no such child any more
}

// Closes every descriptor from `first` on; between fork and exec, so only plain system calls.
void closeFrom(int first) {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, static_cast<unsigned>(first), ~0u, 0u) == 0) return;
#endif
    const long most = sysconf(_SC_OPEN_MAX);
    for (long descriptor = first; descriptor < (most > 0 ? most : 1024); ++descriptor) close(static_cast<int>(descriptor));
}

}  // namespace

std::string findProgram(const char* program, const char* folder) {
    // "./program" first, as the command processor looks in the current folder first.
    const std::string base = std::string(folder) + "/";
    const std::string local = std::string("./") + program;
    if (isExecutable(base + local)) return local;
    const char* searchPath = getenv("PATH");
    const std::string entries = searchPath ? searchPath : kDefaultSearchPath;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(entries.find(':', start), entries.size());
        std::string entry = entries.substr(start, end - start);
        if (entry.empty()) entry = ".";  // an empty entry is the current directory
        const std::string candidate = entry + "/" + program;
        if (isExecutable(candidate[0] == '/' ? candidate : base + candidate)) return candidate;
        if (end == entries.size()) return "";
        start = end + 1;
    }
}

Process startInBackground(const char* program, const ProgramArgument* arguments, int argumentCount, const char* folder) {
    const std::string found = findProgram(program, folder);
    if (found.empty()) return kNoProcess;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(found.c_str()));
    for (int i = 0; i < argumentCount; ++i) argv.push_back(const_cast<char*>(arguments[i].text));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) return kNoProcess;
    if (child == 0) {
        const int nothing = open("/dev/null", O_RDONLY);
        if (nothing >= 0) dup2(nothing, STDIN_FILENO);  // the key wait at the end stays ours
        // It shares the console and nothing else: no file or pipe of ours stays open in it.
        closeFrom(STDERR_FILENO + 1);
        if (chdir(folder) != 0) _exit(127);
        execv(found.c_str(), argv.data());
        _exit(127);
    }
    return static_cast<Process>(child);
}

bool processEnded(Process& process) {
    if (process == kNoProcess) return true;
    if (!reaped(static_cast<pid_t>(process))) return false;
    process = kNoProcess;
    return true;
}

void stopProcess(Process& process, unsigned graceMilliseconds) {
    if (process == kNoProcess) return;
    const pid_t child = static_cast<pid_t>(process);
    process = kNoProcess;
    kill(child, SIGTERM);  // harmless once it has ended on its own
    for (unsigned waited = 0; waited < graceMilliseconds; waited += kReapPollMilliseconds) {
        if (reaped(child)) return;
        sleepMilliseconds(kReapPollMilliseconds);
    }
    // A program that takes no notice of SIGTERM must not hold the run.
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void sleepMilliseconds(unsigned milliseconds) {
    struct timespec wait;
    wait.tv_sec = milliseconds / 1000;
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&wait, &wait) != 0) {
    }
}

}  // namespace platform
