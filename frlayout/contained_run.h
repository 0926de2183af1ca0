// Work that may crash or hang on damaged input, run in a child process whose end, however it comes,
// is told to the caller: a crash or a hang there never reaches the maintainer's shell.
#pragma once

#include <functional>
#include <string>

// What the work tells as it goes: a few words on the stage it enters ("reading its UDF tree").
using StageTeller = std::function<void(const std::string& stage)>;

struct ContainedEnd {
    bool finished = false;  // the work returned, and `result` is what it returned
    std::string result;
    std::string stage;      // the last stage told, when it did not finish
    std::string how;        // how it ended otherwise: "it was ended by signal 11 (Segmentation fault)"
};

// Runs `work` in a child process and waits for it at most `seconds`; a child still running then is
// killed. The child is always reaped before this returns.
ContainedEnd runContained(const std::function<std::string(const StageTeller&)>& work, unsigned seconds);
