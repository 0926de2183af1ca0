// Running another program to its end: the delta tool, or a patcher proving the deltas.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct ChildRun {
    std::vector<std::string> argv;  // argv[0] is the program's path; no shell reads any of it
    std::string folder;             // its current directory; empty: ours
    int input = -1;                 // what it reads on standard input; -1: nothing (/dev/null)
    int output = -1;                // where its standard output goes; -1: to onOutput
    std::function<void(const char* bytes, size_t count)> onOutput;
    // Called about every 200 ms while it runs, with its process id.
    std::function<void(pid_t child)> onTick;
};

struct ChildEnd {
    bool started = false;      // false: it could not be started (`errors` says why)
    bool exited = false;       // it ended by exit(), with `status`
    int status = 0;
    int signal = 0;            // the signal that ended it, when it did not exit
    bool interrupted = false;  // we were interrupted, and stopped it
    std::string errors;        // the end of what it wrote to standard error

    bool succeeded() const { return started && exited && status == 0 && !interrupted; }
    // "exit status 3", "killed by signal 9", "could not be started: ...".
    std::string describe() const;
};

// Runs the program to its end. The variable XDELTA, through which the delta tool takes options
// from its environment, is not passed on: every option is on the command line. When the run is
// interrupted (platform::interrupted()) the program is asked to end (SIGTERM), and killed if it
// has not within ten seconds.
ChildEnd runChild(const ChildRun& run);

// The first executable `name` on the search path; empty when there is none.
std::string findOnSearchPath(const std::string& name);

// The folder of this program's own executable.
std::string ownFolder();
