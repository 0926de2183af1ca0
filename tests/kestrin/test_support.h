// Helpers of the library's unit tests: console capture, standard input feed, failing allocations.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "kestrin/buffer.h"

namespace kestrin_test {

// Everything the code under test writes to standard output while the object lives.
class CapturedOutput {
public:
    CapturedOutput() { testing::internal::CaptureStdout(); }
    ~CapturedOutput() {
        if (!taken) testing::internal::GetCapturedStdout();
    }
    std::string text() {
        fflush(stdout);
        taken = true;
        return testing::internal::GetCapturedStdout();
    }

private:
    bool taken = false;
};

// Standard input reads `input` while the object lives, then reads end-of-file.
class StdinFeed {
public:
    explicit StdinFeed(const std::string& input) {
        file = std::filesystem::temp_directory_path() /
               ("kestrin_stdin_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".txt");
        std::ofstream(file, std::ios::binary) << input;
        ok = freopen(file.string().c_str(), "rb", stdin) != nullptr;
    }
    ~StdinFeed() {
        freopen(nullDevice(), "rb", stdin);
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
    bool ready() const { return ok; }
    // What the code under test left unread.
    static std::string rest() {
        std::string text;
        for (int c = getchar(); c != EOF; c = getchar()) text += static_cast<char>(c);
        return text;
    }

private:
    static const char* nullDevice() {
#ifdef _WIN32
        return "NUL";
#else
        return "/dev/null";
#endif
    }
    std::filesystem::path file;
    bool ok = false;
};

// While armed, every heap allocation the library asks for fails (see test_support.cpp). Only
// available where the C allocation functions can be replaced: not under AddressSanitizer, which
// owns them.
class FailingAllocations {
public:
    static bool available();
    FailingAllocations();
    ~FailingAllocations();
};

#define SKIP_WITHOUT_ALLOCATION_FAILURES()                                                         \
    if (!kestrin_test::FailingAllocations::available())                                           \
    GTEST_SKIP() << "SKIPPED: allocation failures cannot be injected under AddressSanitizer"

// The content of a buffer as a string of bytes.
inline std::string bytesOf(const Kestrin::Buffer& buffer) {
    return buffer.getLength() ? std::string(reinterpret_cast<const char*>(buffer.getData()), buffer.getLength())
                              : std::string();
}

inline Kestrin::Buffer bufferOf(const std::string& bytes) {
    return Kestrin::Buffer(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

}  // namespace kestrin_test
