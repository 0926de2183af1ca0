// Work that may crash or hang on damaged input, run in a child process whose end, however it comes,
// is told to the caller: a crash or a hang there never reaches the maintainer's shell.
#include "frlayout/contained_run.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>

namespace {

// The child's messages: a kind ('S' a stage, 'R' the result), a length of 8 bytes, the bytes.
void sendFrame(int pipe, char kind, const std::string& bytes) {
    std::string frame(1, kind);
    const uint64_t length = bytes.size();
    frame.append(reinterpret_cast<const char*>(&length), sizeof length);
    frame += bytes;
    for (size_t sent = 0; sent < frame.size();) {
        const ssize_t done = write(pipe, frame.data() + sent, frame.size() - sent);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) _exit(1);
        sent += static_cast<size_t>(done);
    }
}

[[noreturn]] void runChild(int pipe, const std::function<std::string(const StageTeller&)>& work) {
    signal(SIGPIPE, SIG_DFL);
    const std::string result = work([pipe](const std::string& stage) { sendFrame(pipe, 'S', stage); });
    sendFrame(pipe, 'R', result);
    _exit(0);
}

// Takes the whole frames off the front of `received`, keeping the last stage and the result.
void takeFrames(std::string& received, ContainedEnd& end) {
    constexpr size_t kHeader = 1 + sizeof(uint64_t);
    while (received.size() >= kHeader) {
        uint64_t length = 0;
        memcpy(&length, received.data() + 1, sizeof length);
        if (received.size() - kHeader < length) return;
        std::string bytes = received.substr(kHeader, length);
        if (received[0] == 'S') end.stage = std::move(bytes);
        if (received[0] == 'R') {
            end.result = std::move(bytes);
            end.finished = true;
        }
        received.erase(0, kHeader + length);
    }
}

std::string howItEnded(int status) {
    if (WIFSIGNALED(status)) {
        const int number = WTERMSIG(status);
        return "it was ended by signal " + std::to_string(number) + " (" + strsignal(number) + ")";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) return "it stopped with status " + std::to_string(WEXITSTATUS(status));
    return "it stopped without a result";
}

}  // namespace

ContainedEnd runContained(const std::function<std::string(const StageTeller&)>& work, unsigned seconds) {
    ContainedEnd end;
    int pipes[2];
    if (pipe(pipes) != 0) {
        end.how = std::string("no pipe to a child process: ") + strerror(errno);
        return end;
    }
    fflush(nullptr);  // nothing buffered is written twice
    const pid_t child = fork();
    if (child < 0) {
        end.how = std::string("no child process: ") + strerror(errno);
        close(pipes[0]);
        close(pipes[1]);
        return end;
    }
    if (child == 0) {
        close(pipes[0]);
        runChild(pipes[1], work);
    }
    close(pipes[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string received;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd wait{pipes[0], POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) continue;
        char buffer[65536];
        const ssize_t got = ready > 0 ? read(pipes[0], buffer, sizeof buffer) : -1;
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        received.append(buffer, static_cast<size_t>(got));
        takeFrames(received, end);
    }
    close(pipes[0]);
    if (timedOut) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        end.finished = false;
        end.how = "it did not end within " + std::to_string(seconds) + " seconds";
    } else if (!end.finished || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        end.finished = false;
        end.how = howItEnded(status);
    }
    return end;
}
