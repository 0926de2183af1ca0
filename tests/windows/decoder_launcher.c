/* xdelta.exe for the wine scenarios that must see what a patcher asks of its decoder: notes the
   arguments, then starts the real decoder with the very same command line in the same console,
   writing nothing of its own there, and ends with the decoder's exit status.

   Set up by the scenario runner through the environment:
     DECODER_REAL  the real xdelta.exe;
     DECODER_LOG   a file to which each start appends its arguments, each ended by a zero byte,
                   then "\n";
     DECODER_HOLD  (optional) a folder. The source image (the argument after -s or a group ending
                   in s, such as -fs) is then held open as xdelta3 holds it, shared for reading
                   only, from before the real decoder starts until a file "release" appears in
                   that folder; the file "ended" is made there when the real decoder has ended.
                   From then on the hold is another program's, as an antivirus scanning the file
                   would hold it: this launcher ends with the decoder, and a copy of it started
                   as "xdelta.exe --hold SOURCE FOLDER" keeps the file open until the release.
   Built for Windows by the runner; it never lies in a folder of a scenario after its run. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static const char* setting(const char* name) {
    const char* value = getenv(name);
    if (value && *value) return value;
    fprintf(stderr, "decoder_launcher: %s is not set\n", name);
    exit(2);
}

static void logArguments(const char* logPath, int argc, char** argv) {
    FILE* log = fopen(logPath, "ab");
    if (!log) return;
    for (int index = 1; index < argc; ++index) fwrite(argv[index], 1, strlen(argv[index]) + 1, log);
    fputc('\n', log);
    fclose(log);
}

/* The command line after the program's own name, as the C runtime splits off argv[0]. */
static const char* argumentsOf(const char* commandLine) {
    const char* rest = commandLine;
    if (*rest == '"') {
        rest = strchr(rest + 1, '"');
        rest = rest ? rest + 1 : commandLine + strlen(commandLine);
    } else {
        while (*rest && *rest != ' ' && *rest != '\t') ++rest;
    }
    return rest;
}

static const char* sourceArgument(int argc, char** argv) {
    for (int index = 1; index + 1 < argc; ++index) {
        size_t length = strlen(argv[index]);
        if (argv[index][0] == '-' && length > 1 && argv[index][length - 1] == 's') return argv[index + 1];
    }
    return NULL;
}

static void makeFile(const char* folder, const char* name) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", folder, name);
    FILE* made = fopen(path, "wb");
    if (made) fclose(made);
}

static int fileExists(const char* folder, const char* name) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", folder, name);
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

/* The holder: opens the source as the launcher did, says so, and keeps it until the release. */
static int holdUntilRelease(const char* source, const char* holdFolder) {
    HANDLE held = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (held == INVALID_HANDLE_VALUE) return 2;
    makeFile(holdFolder, "holding");
    while (!fileExists(holdFolder, "release")) Sleep(10);
    CloseHandle(held);
    return 0;
}

/* Starts the holder, and waits until it holds the source. */
static int handOverHold(const char* source, const char* holdFolder) {
    char self[MAX_PATH];
    if (!GetModuleFileNameA(NULL, self, sizeof self)) return 0;
    char commandLine[3 * MAX_PATH + 32];
    snprintf(commandLine, sizeof commandLine, "\"%s\" --hold \"%s\" \"%s\"", self, source, holdFolder);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(self, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 0;
    CloseHandle(process.hThread);
    while (!fileExists(holdFolder, "holding")) {
        if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) break;
    }
    CloseHandle(process.hProcess);
    return fileExists(holdFolder, "holding");
}

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "--hold") == 0) return holdUntilRelease(argv[2], argv[3]);
    const char* real = setting("DECODER_REAL");
    logArguments(setting("DECODER_LOG"), argc, argv);
    const char* holdFolder = getenv("DECODER_HOLD");
    HANDLE held = INVALID_HANDLE_VALUE;
    if (holdFolder && *holdFolder) {
        const char* source = sourceArgument(argc, argv);
        if (source) {
            held = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        }
        if (held == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "decoder_launcher: cannot hold the source %s\n", source ? source : "(none given)");
            return 2;
        }
    }

    const char* arguments = argumentsOf(GetCommandLineA());
    size_t length = strlen(real) + strlen(arguments) + 3;
    char* commandLine = malloc(length);
    snprintf(commandLine, length, "\"%s\"%s", real, arguments);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(real, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "decoder_launcher: cannot start %s (error %lu)\n", real, GetLastError());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    if (held != INVALID_HANDLE_VALUE) {
        if (!handOverHold(sourceArgument(argc, argv), holdFolder)) {
            fprintf(stderr, "decoder_launcher: cannot hand the hold of the source over\n");
            return 2;
        }
        makeFile(holdFolder, "ended");
        CloseHandle(held);
    }
    return (int)status;
}
