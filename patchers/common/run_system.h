// Everything a patcher run asks of the system, behind one small interface: the programs give the
// run the platform layer, the tests a fake that plays a whole run in milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "patchers/common/delta_stage.h"
#include "patchers/common/image_access.h"
#include "platform/platform.h"

class RunSystem {
public:
    virtual ~RunSystem() = default;

    // ---- The search
    // The current directory, where the run starts; false when it does not fit `size` characters.
    virtual bool currentDirectory(char* folder, size_t size) = 0;
    // The patchers' suspended search below the start directory (findNextFile): the next file
    // whose extension matches, its directory then current; false when the walk is over.
    virtual bool nextFile(char* path, const char* extension) = 0;

    // ---- Files
    // Opens an image for reading, closed with the object; null, with the reason in `error`, when
    // it cannot be opened (NotAFile for a pipe or a device, which must never make the run wait).
    virtual std::unique_ptr<ImageSource> openImage(const char* path, platform::FileError& error) = 0;
    // Creates the temporary image (or empties it) to append to; null when it cannot be created.
    virtual std::unique_ptr<ImageSink> createImage(const char* path) = 0;
    // Creates a new empty file and closes it again; Exists when a file of that name is there.
    virtual platform::FileError createNewFile(const char* path) = 0;
    // Removes a file that a decoder may still hold for a moment; false when it stays.
    virtual bool removeFile(const char* path) = 0;
    // The size of the file at `path`; false when there is none.
    virtual bool fileSize(const char* path, uint64_t& size) = 0;
    // The bytes free for this account on the volume that holds `folder`; false when unknown.
    virtual bool freeSpace(const char* folder, uint64_t& bytes) = 0;

    // ---- Delta stages
    // Whether the decoder is where a stage started in `folder` looks for it.
    virtual bool decoderPresent(const char* folder) = 0;
    // Runs one stage to its end: the decoder started, its output followed (runDeltaStage).
    virtual StageOutcome runStage(const DeltaStage& stage) = 0;

    // ---- Interruption and the closing key
    virtual void catchInterruptions() = 0;
    virtual platform::Interruption interruption() = 0;
    virtual void releaseInterruptions() = 0;
    virtual void waitForKey() = 0;

    bool interrupted() { return interruption() != platform::Interruption::None; }
};

// The system itself, through the platform layer.
std::unique_ptr<RunSystem> makePlatformRunSystem();
