// A patcher run's system played in memory: files in a table, stages whose outcome the test chooses,
// interruptions at a chosen moment, and a log of what the run did to the files, in order.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "patchers/common/run_system.h"
#include "tests/support/memory_image.h"

class FakeRunSystem final : public RunSystem {
public:
    // The start directory; every file of the table lies below it.
    std::string start = "/jeux";
    std::map<std::string, Bytes> files;    // full path -> contents
    std::set<std::string> pipes;           // named like files, but no files
    std::set<std::string> unreadable;      // open fails (Denied)
    std::set<std::string> held;            // cannot be removed
    bool decoder = true;
    bool folderWritable = true;
    bool canCreateTemporary = true;
    bool knowsFreeSpace = false;
    uint64_t free = 0;
    // What each stage does, by its order in the run: Done writes its output whole, Failed leaves a
    // short one, Interrupted interrupts the run while the output grows.
    std::vector<StageOutcome> stageOutcomes;
    // The run is interrupted at the append of this number to the temporary image (from 1); 0: never.
    int interruptAtAppend = 0;
    platform::Interruption interruptAs = platform::Interruption::FromConsole;

    // What the run did, in order: "create NAME", "remove NAME", "stage OUTPUT", "key", with the
    // names relative to the start directory.
    std::vector<std::string> log;
    std::vector<DeltaStage> stages;
    int openImages = 0;
    int openImagesAtKey = -1;  // -1: the key was never waited for

    std::string relative(const std::string& path) const {
        return path.rfind(start + "/", 0) == 0 ? path.substr(start.size() + 1) : path;
    }
    // The names of the table's files relative to the start, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& [path, bytes] : files) found.push_back(relative(path));
        return found;
    }

    bool currentDirectory(char* folder, size_t size) override {
        if (start.size() + 1 > size) return false;
        strcpy(folder, start.c_str());
        return true;
    }
    // The table's files in name order, a walk per extension, started again once it is over.
    bool nextFile(char* path, const char* extension) override {
        if (walk_.empty()) {
            for (const auto& [name, bytes] : files) walk_.push_back(name);
            for (const std::string& name : pipes) walk_.push_back(name);
        }
        while (walkAt_ < walk_.size()) {
            const std::string& candidate = walk_[walkAt_++];
            const size_t dot = candidate.rfind('.');
            std::string found = dot == std::string::npos ? "" : candidate.substr(dot + 1);
            for (char& letter : found) letter = static_cast<char>(tolower(letter));
            if (found == extension || strcmp(extension, "*") == 0) {
                strcpy(path, candidate.c_str());
                return true;
            }
        }
        walk_.clear();
        walkAt_ = 0;
        return false;
    }

    std::unique_ptr<ImageSource> openImage(const char* path, platform::FileError& error) override {
        error = platform::FileError::None;
        if (pipes.count(path)) error = platform::FileError::NotAFile;
        else if (unreadable.count(path)) error = platform::FileError::Denied;
        else if (!files.count(path)) error = platform::FileError::Missing;
        if (error != platform::FileError::None) return nullptr;
        return std::make_unique<OpenImage>(files[path], openImages);
    }
    std::unique_ptr<ImageSink> createImage(const char* path) override {
        if (!canCreateTemporary) return nullptr;
        log.push_back("create " + relative(path));
        files[path].clear();
        return std::make_unique<Appending>(*this, files[path]);
    }
    platform::FileError createNewFile(const char* path) override {
        if (!folderWritable) return platform::FileError::Denied;
        if (files.count(path)) return platform::FileError::Exists;
        log.push_back("create " + relative(path));
        files[path];
        return platform::FileError::None;
    }
    bool removeFile(const char* path) override {
        if (held.count(path)) return false;
        if (files.erase(path)) log.push_back("remove " + relative(path));
        return true;
    }
    bool fileSize(const char* path, uint64_t& size) override {
        const auto found = files.find(path);
        if (found == files.end()) return false;
        size = found->second.size();
        return true;
    }
    bool freeSpace(const char*, uint64_t& bytes) override {
        bytes = free;
        return knowsFreeSpace;
    }

    bool decoderPresent(const char*) override { return decoder; }
    StageOutcome runStage(const DeltaStage& stage) override {
        stages.push_back(stage);
        log.push_back("stage " + relative(stage.output));
        const size_t index = stages.size() - 1;
        const StageOutcome outcome = index < stageOutcomes.size() ? stageOutcomes[index] : StageOutcome::Done;
        files[stage.output] = Bytes(outcome == StageOutcome::Done ? stage.expectedSize : stage.expectedSize / 2, 0x46);
        if (outcome == StageOutcome::Interrupted) interruption_ = interruptAs;
        return outcome;
    }

    void catchInterruptions() override {}
    platform::Interruption interruption() override { return interruption_; }
    void releaseInterruptions() override {}
    void waitForKey() override {
        log.push_back("key");
        openImagesAtKey = openImages;
    }

private:
    // An image open for reading, counted while it is open.
    class OpenImage final : public ImageSource {
    public:
        OpenImage(const Bytes& bytes, int& open) : bytes_(bytes), open_(open) { ++open_; }
        ~OpenImage() override { --open_; }
        uint64_t size() const override { return bytes_.size(); }
        bool read(uint64_t offset, unsigned char* buffer, uint32_t count) override { return bytes_.read(offset, buffer, count); }

    private:
        MemorySource bytes_;
        int& open_;
    };
    // The temporary image, where an interruption may come at a chosen append.
    class Appending final : public ImageSink {
    public:
        Appending(FakeRunSystem& system, Bytes& bytes) : system_(system), bytes_(bytes) {}
        bool append(const unsigned char* data, uint32_t count) override {
            if (++system_.appends_ == system_.interruptAtAppend) system_.interruption_ = system_.interruptAs;
            bytes_.insert(bytes_.end(), data, data + count);
            return true;
        }

    private:
        FakeRunSystem& system_;
        Bytes& bytes_;
    };

    std::vector<std::string> walk_;
    size_t walkAt_ = 0;
    int appends_ = 0;
    platform::Interruption interruption_ = platform::Interruption::None;
};
