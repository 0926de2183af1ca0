// Programs started through the command processor's "start /b", and the wait of the Windows programs.
#include "platform/platform.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <set>
#include <string>

namespace platform {
namespace {

bool isFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The identifiers of the running processes whose program is `program`.
std::set<DWORD> processesOf(const char* program) {
    std::set<DWORD> found;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, program) == 0) found.insert(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

std::string findProgram(const char* program, const char* folder) {
    // The command processor looks in the current folder first: its full path, never split.
    std::string local = folder;
    if (local.empty() || local.back() != '\\') local += '\\';
    local += program;
    if (isFile(local)) return local;
    // Then in each folder of the search path.
    const DWORD length = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (length == 0) return "";
    std::string searchPath(length, '\0');
    const DWORD written = GetEnvironmentVariableA("PATH", &searchPath[0], length);
    if (written == 0 || written >= length) return "";
    searchPath.resize(written);
    char found[MAX_PATH];
    const DWORD foundLength = SearchPathA(searchPath.c_str(), program, nullptr, sizeof found, found, nullptr);
    if (foundLength == 0) return "";
    if (foundLength >= sizeof found) return program;  // there, under a path too long to look at
    return isFile(found) ? std::string(found) : std::string();
}

Process startInBackground(const char* program, const ProgramArgument* arguments, int argumentCount, const char* folder) {
    if (findProgram(program, folder).empty()) return kNoProcess;
    std::string command = std::string("start /b ") + program;
    for (int i = 0; i < argumentCount; ++i) {
        command += ' ';
        if (arguments[i].quoted) command += '"';
        command += arguments[i].text;
        if (arguments[i].quoted) command += '"';
    }
    // The command line fits the command processor's 65536-character buffer of the patchers.
    if (command.size() >= 65536) return kNoProcess;
    // The command processor runs in the current directory, where it looks for the program first.
    char previous[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(sizeof previous, previous);
    const bool restore = length != 0 && length < sizeof previous;
    if (!SetCurrentDirectoryA(folder)) return kNoProcess;
    const std::set<DWORD> before = processesOf(program);
    system(command.c_str());
    if (restore) SetCurrentDirectoryA(previous);
    // "start" hands back no process: the new one of that program is ours. One that has ended
    // already is not found, and counts as ended.
    for (DWORD identifier : processesOf(program)) {
        if (before.count(identifier)) continue;
        const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, identifier);
        if (process) return reinterpret_cast<Process>(process);
    }
    return kNoProcess;
}

bool processEnded(Process& process) {
    if (process == kNoProcess) return true;
    const HANDLE handle = reinterpret_cast<HANDLE>(process);
    if (WaitForSingleObject(handle, 0) == WAIT_TIMEOUT) return false;
    CloseHandle(handle);
    process = kNoProcess;
    return true;
}

void stopProcess(Process& process, unsigned graceMilliseconds) {
    if (process == kNoProcess) return;
    const HANDLE handle = reinterpret_cast<HANDLE>(process);
    process = kNoProcess;
    // A decoder that outlives its Ctrl-Break, or was never sent one, must not hold the run.
    if (WaitForSingleObject(handle, graceMilliseconds) == WAIT_TIMEOUT) {
        TerminateProcess(handle, 1);
        WaitForSingleObject(handle, 5000);
    }
    CloseHandle(handle);
}

void sleepMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}

}  // namespace platform
