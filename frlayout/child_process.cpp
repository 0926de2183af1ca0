// Running another program to its end: the delta tool, or a patcher proving the deltas.
#include "frlayout/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

extern char** environ;

namespace {

constexpr int kTickMilliseconds = 200;
constexpr double kGraceSeconds = 10;
constexpr size_t kErrorsKept = 4096;

double now() {
    timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

// The environment without XDELTA, whose words the delta tool would add to every command line.
std::vector<char*> childEnvironment() {
    std::vector<char*> entries;
    for (char** entry = environ; *entry; ++entry) {
        if (strncmp(*entry, "XDELTA=", 7) != 0) entries.push_back(*entry);
    }
    entries.push_back(nullptr);
    return entries;
}

// In the child, between fork and exec: only async-signal-safe calls. An exec that fails writes
// its errno to `report`.
[[noreturn]] void becomeChild(const ChildRun& run, char* const* argv, char* const* environment, int outputPipe,
                              int errorPipe, int report) {
    const int input = run.input >= 0 ? run.input : open("/dev/null", O_RDONLY);
    const int output = run.output >= 0 ? run.output : outputPipe;
    if (input < 0 || dup2(input, STDIN_FILENO) < 0 || dup2(output, STDOUT_FILENO) < 0 ||
        dup2(errorPipe, STDERR_FILENO) < 0 || (!run.folder.empty() && chdir(run.folder.c_str()) != 0)) {
        const int error = errno;
        (void)!write(report, &error, sizeof error);
        _exit(127);
    }
    execve(argv[0], argv, environment);
    const int error = errno;
    (void)!write(report, &error, sizeof error);
    _exit(127);
}

// Reads what is there; false at the end of the pipe.
template <typename Take>
bool drain(int pipe, Take&& take) {
    char bytes[65536];
    for (;;) {
        const ssize_t count = read(pipe, bytes, sizeof bytes);
        if (count > 0) {
            take(bytes, static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        return count < 0 && errno == EAGAIN;
    }
}

}  // namespace

std::string ChildEnd::describe() const {
    if (!started) return "could not be started: " + errors;
    if (interrupted) return "was stopped, as frlayout was interrupted";
    if (exited) return "ended with exit status " + std::to_string(status);
    return std::string("was killed by signal ") + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

ChildEnd runChild(const ChildRun& run) {
    ChildEnd end;
    std::vector<char*> argv;
    for (const std::string& word : run.argv) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const std::vector<char*> environment = childEnvironment();

    int outputPipe[2] = {-1, -1}, errorPipe[2] = {-1, -1}, report[2] = {-1, -1};
    const bool wantOutput = run.output < 0;
    if ((wantOutput && pipe2(outputPipe, O_CLOEXEC) != 0) || pipe2(errorPipe, O_CLOEXEC) != 0 ||
        pipe2(report, O_CLOEXEC) != 0) {
        end.errors = strerror(errno);
        for (int fd : {outputPipe[0], outputPipe[1], errorPipe[0], errorPipe[1], report[0], report[1]}) {
            if (fd >= 0) close(fd);
        }
        return end;
    }
    const pid_t child = fork();
    if (child == 0) becomeChild(run, argv.data(), environment.data(), outputPipe[1], errorPipe[1], report[1]);
    for (int fd : {outputPipe[1], errorPipe[1], report[1]}) {
        if (fd >= 0) close(fd);
    }
    int execError = 0;
    const bool failed = child < 0 || read(report[0], &execError, sizeof execError) == sizeof execError;
    close(report[0]);
    if (failed) {
        end.errors = strerror(child < 0 ? errno : execError);
        if (child > 0) waitpid(child, nullptr, 0);
        for (int fd : {outputPipe[0], errorPipe[0]}) {
            if (fd >= 0) close(fd);
        }
        return end;
    }
    end.started = true;

    std::vector<pollfd> pipes;
    if (wantOutput) pipes.push_back({outputPipe[0], POLLIN, 0});
    pipes.push_back({errorPipe[0], POLLIN, 0});
    for (pollfd& entry : pipes) fcntl(entry.fd, F_SETFL, O_NONBLOCK);
    const auto readPipe = [&](pollfd& entry) {
        const bool isOutput = wantOutput && entry.fd == outputPipe[0];
        const bool open = drain(entry.fd, [&](const char* bytes, size_t count) {
            if (isOutput) {
                if (run.onOutput) run.onOutput(bytes, count);
                return;
            }
            end.errors.append(bytes, count);
            if (end.errors.size() > kErrorsKept) end.errors.erase(0, end.errors.size() - kErrorsKept);
        });
        if (!open) entry.fd = -entry.fd - 1;  // poll passes over a negative descriptor
    };

    int status = 0;
    bool reaped = false;
    double lastTick = now(), stopAsked = 0;
    while (!reaped) {
        poll(pipes.data(), pipes.size(), kTickMilliseconds);
        for (pollfd& entry : pipes) {
            if (entry.fd >= 0 && entry.revents) readPipe(entry);
        }
        pid_t ended;
        do {
            ended = waitpid(child, &status, WNOHANG);
        } while (ended < 0 && errno == EINTR);
        reaped = ended == child;
        if (!reaped && now() - lastTick >= kTickMilliseconds / 1000.0) {
            lastTick = now();
            if (run.onTick) run.onTick(child);
        }
        if (!reaped && platform::interrupted()) {
            if (stopAsked == 0) {
                end.interrupted = true;
                stopAsked = now();
                kill(child, SIGTERM);
            } else if (now() - stopAsked > kGraceSeconds) {
                kill(child, SIGKILL);
            }
        }
    }
    // What it wrote before it ended; a program it started and left running may hold the pipes
    // open, so nothing more is waited for.
    for (pollfd& entry : pipes) {
        if (entry.fd >= 0) readPipe(entry);
    }
    for (pollfd& entry : pipes) close(entry.fd >= 0 ? entry.fd : -entry.fd - 1);
    end.exited = WIFEXITED(status);
    end.status = end.exited ? WEXITSTATUS(status) : 0;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    end.interrupted = end.interrupted || platform::interrupted();
    return end;
}

std::string findOnSearchPath(const std::string& name) {
    const char* searchPath = getenv("PATH");
    const std::string entries = searchPath ? searchPath : "/bin:/usr/bin";
    size_t start = 0;
    for (;;) {
        const size_t colon = entries.find(':', start);
        const std::string folder = entries.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!folder.empty() && folder[0] == '/') {
            const std::string candidate = folder + "/" + name;
            struct stat info;
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (colon == std::string::npos) return "";
        start = colon + 1;
    }
}

std::string ownFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string executable(path, static_cast<size_t>(length));
    return executable.substr(0, executable.rfind('/'));
}
