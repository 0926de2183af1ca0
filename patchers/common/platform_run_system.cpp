// The patcher run's system: the platform layer, the suspended search and the delta stage.
#include <memory>

#include "patchers/common/console_conventions.h"
#include "patchers/common/decoder.h"
#include "patchers/common/run_system.h"
#include "patchers/common/suspended_search.h"

namespace {

class PlatformRunSystem final : public RunSystem {
public:
    bool currentDirectory(char* folder, size_t size) override { return platform::getCurrentDirectory(folder, size); }
    bool nextFile(char* path, const char* extension) override { return findNextFile(path, extension) == 1; }

    std::unique_ptr<ImageSource> openImage(const char* path, platform::FileError& error) override {
        auto image = std::make_unique<FileImageSource>();
        error = image->open(path);
        if (error != platform::FileError::None) return nullptr;
        return image;
    }
    std::unique_ptr<ImageSink> createImage(const char* path) override {
        auto image = std::make_unique<FileImageSink>(path);
        if (!image->isOpen()) return nullptr;
        return image;
    }
    platform::FileError createNewFile(const char* path) override {
        platform::FileHandle file = platform::kNoFile;
        const platform::FileError error = platform::openFile(path, platform::FileAccess::Write, platform::FileCreation::New,
                                                             platform::FileSharing::Exclusive, false, file);
        platform::closeFile(file);
        return error;
    }
    bool removeFile(const char* path) override { return removeWhenReleased(path); }
    bool fileSize(const char* path, uint64_t& size) override {
        platform::FileHandle file = platform::kNoFile;
        if (platform::openFile(path, platform::FileAccess::Read, platform::FileCreation::OpenExisting,
                               platform::FileSharing::Shared, false, file) != platform::FileError::None) {
            return false;
        }
        const bool measured = platform::fileSize(file, size);
        platform::closeFile(file);
        return measured;
    }
    bool freeSpace(const char* folder, uint64_t& bytes) override { return platform::freeSpace(folder, bytes); }

    bool decoderPresent(const char* folder) override { return !platform::findProgram(kDecoderName, folder).empty(); }
    StageOutcome runStage(const DeltaStage& stage) override { return runDeltaStage(stage); }

    void catchInterruptions() override { platform::catchInterruptions(); }
    platform::Interruption interruption() override { return platform::interruption(); }
    void releaseInterruptions() override { platform::releaseInterruptions(); }
    void waitForKey() override { ::waitForKey(); }
};

}  // namespace

std::unique_ptr<RunSystem> makePlatformRunSystem() {
    return std::make_unique<PlatformRunSystem>();
}
