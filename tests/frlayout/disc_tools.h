// Disc images written for the tests by xorriso or genisoimage, and the writing tool's own report
// of where each file lies: the oracle that frlayout's reading is held against.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace disc_tools {

struct ReportedFile {
    std::string name;  // without the leading '/'
    uint32_t sector;
    uint64_t size;
};

inline bool haveTool(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command, its output kept out of the test's; true when it succeeded.
inline bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

// Writes each file (path below `root`, bytes), making its folders.
inline void writeTree(const std::filesystem::path& root, const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, bytes] : files) {
        std::filesystem::create_directories((root / name).parent_path());
        std::ofstream(root / name, std::ios::binary) << bytes;
    }
}

// The files of `image` as xorriso reports them; `loading` chooses the tree it reads ("-rockridge
// off -joliet on" for the Joliet names).
inline std::vector<ReportedFile> reportedFiles(const std::string& image, const std::string& loading = "") {
    std::vector<ReportedFile> files;
    FILE* report = popen(("xorriso " + loading + " -indev " + quoted(image) + " -find / -exec report_lba -- 2>/dev/null").c_str(), "r");
    if (!report) return files;
    char line[4096];
    while (fgets(line, sizeof line, report)) {
        // File data lba:  0 ,      333 ,        1 ,       10 , '/a/b/deep.bin'
        unsigned extent = 0, sector = 0, blocks = 0;
        unsigned long long size = 0;
        int consumed = 0;
        if (sscanf(line, "File data lba: %u , %u , %u , %llu , '%n", &extent, &sector, &blocks, &size, &consumed) != 4) continue;
        std::string name = line + consumed;
        name = name.substr(1, name.rfind('\'') - 1);  // past the leading '/', up to the closing quote
        files.push_back({name, sector, size});
    }
    pclose(report);
    return files;
}

inline const ReportedFile* reported(const std::vector<ReportedFile>& files, const std::string& name) {
    for (const ReportedFile& file : files) {
        if (file.name == name) return &file;
    }
    return nullptr;
}

// `count` bytes that differ from file to file and never look like a sound stream header.
inline std::string contents(const std::string& seed, size_t count) {
    std::string bytes(count, '\0');
    uint32_t state = 2166136261u;
    for (char c : seed) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
    for (size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(0x40 + (state >> 16) % 0x40);
    }
    return bytes;
}

}  // namespace disc_tools

// Skips the test, saying why, when a writing tool is missing.
#define SKIP_WITHOUT(tool)                                                                              \
    if (!disc_tools::haveTool(tool)) GTEST_SKIP() << tool " is not installed (bash tools/setup.sh installs it)"
