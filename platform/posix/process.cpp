// The command processor's "start /b" on POSIX: the program runs in the background, no shell.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace platform {
namespace {

// Splits a command-line format into words as the command processor does: spaces separate words
// outside double quotes, and the quotes themselves are dropped. Each "%s" is replaced by the next
// argument only after the split, so an argument can hold anything.
std::vector<std::string> splitFormat(const char* format, const char* const* arguments, int argumentCount) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    int nextArgument = 0;
    for (const char* at = format; *at; ++at) {
        if (*at == '"') {
            quoted = !quoted;
            inWord = true;
            continue;
        }
        if (*at == ' ' && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (at[0] == '%' && at[1] == 's') {
            if (nextArgument < argumentCount) word += arguments[nextArgument++];
            ++at;
            continue;
        }
        word += *at;
    }
    if (inWord) words.push_back(word);
    return words;
}

bool isExecutable(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode) && access(path, X_OK) == 0;
}

// The decoder named "xdelta.exe" on Windows: ./xdelta3 first, as the command processor looks in
// the current directory first, then xdelta3 on the search path.
std::string programFor(const std::string& name) {
    if (name != "xdelta.exe") return name;
    if (isExecutable("./xdelta3")) return "./xdelta3";
    return "xdelta3";
}

}  // namespace

void runInBackground(const char* format, const char* const* arguments, int argumentCount) {
    std::vector<std::string> words = splitFormat(format, arguments, argumentCount);
    if (words.size() >= 2 && words[0] == "start" && words[1] == "/b") words.erase(words.begin(), words.begin() + 2);
    if (words.empty()) return;
    words[0] = programFor(words[0]);

    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    // Two forks: the program belongs to no one once the middle process ends, so it is never left
    // as a zombie of ours, and we wait only for the middle process, which ends at once.
    const pid_t middle = fork();
    if (middle < 0) return;
    if (middle == 0) {
        if (fork() == 0) {
            const int nothing = open("/dev/null", O_RDONLY);
            if (nothing >= 0) dup2(nothing, STDIN_FILENO);  // the key wait at the end stays ours
            execvp(argv[0], argv.data());
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(middle, &status, 0);
}

void sleepMilliseconds(unsigned milliseconds) {
    struct timespec wait;
    wait.tv_sec = milliseconds / 1000;
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&wait, &wait) != 0) {
    }
}

}  // namespace platform
