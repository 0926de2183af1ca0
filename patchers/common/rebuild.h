// The append primitives that rebuild a European image into the US layout, and the plans they run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "patchers/common/image_access.h"

constexpr uint32_t kSectorSize = 2048;
// Range copies move at most this many bytes per read and write.
constexpr uint32_t kCopyChunk = 20971520;

// Why a rebuild stopped; the driver turns it into its message.
enum class RebuildFailure { None, Allocation, ReadSource, WriteTarget, BadStep };

// The one working buffer of a rebuild, reused by every primitive and freed with its context. It
// grows to the largest piece asked of it (a sound run read whole) and never holds two pieces, so
// that a run and a range copy's chunk never take memory at the same time.
class RebuildBuffer {
public:
    RebuildBuffer() = default;
    ~RebuildBuffer();
    RebuildBuffer(const RebuildBuffer&) = delete;
    RebuildBuffer& operator=(const RebuildBuffer&) = delete;

    // Room for `size` bytes, whose contents are undefined; null when it cannot be had.
    unsigned char* reserve(uint32_t size);

private:
    unsigned char* bytes_ = nullptr;
    uint32_t capacity_ = 0;
};

// Hears, after every append, how far the whole run has come: percent of the run, the rebuild
// taking 100 / stageDivisor of it.
using RebuildProgress = std::function<void(double percent)>;

// What every append primitive of one rebuild works with.
struct RebuildContext {
    ImageSource& source;              // the European image
    ImageSink& target;                // the temporary image, appended to
    uint32_t progressTotal;           // the byte count that stands for 100 % of the rebuild
    uint8_t stageDivisor;             // stages of the whole run on the progress line
    uint32_t written = 0;             // bytes appended so far
    RebuildFailure failure = RebuildFailure::None;  // set by the primitive that stopped
    RebuildBuffer buffer{};           // what the primitives read into
    RebuildProgress progress{};       // empty: the rebuild reports nothing
};

struct NameTableEntry {
    const char* name;   // empty name ends a list
    int32_t sector;     // destination: from the start of the area; source: from the base sector
    int32_t sectors;    // destination only: length in sectors
};

struct NameTable {
    const NameTableEntry* destination;
    const NameTableEntry* source;
};

struct SoundOffsetTable {
    const int32_t* offsets;  // byte offsets of the streams in the destination run, from 0
    uint32_t count;
    uint32_t end;            // length of the run in the destination
};

// Each primitive appends to the target, reports progress after every append, and returns 1; on a
// failed allocation, read or write it stops at once, sets `failure` and returns 0.
int copyImageRange(uint32_t start, uint32_t length, RebuildContext& context);
int writeZeros(uint32_t size, RebuildContext& context);
int copyByNameTable(uint32_t baseSector, const NameTable& table, RebuildContext& context);
int copySoundRun(uint32_t start, uint32_t length, const SoundOffsetTable& offsets, RebuildContext& context);

// Whether the 16 bytes at `sector` begin a sound stream: the "SShd" tag, or any one of the
// header words 24, 16 and 48000 in their places.
bool isSoundStreamHeader(const unsigned char* sector);
// Where the stream after the one at `position` starts in the `size` bytes of a run: the next
// sector that begins with a header; `size` when none follows.
uint32_t nextSoundStream(const unsigned char* run, uint32_t size, uint32_t position);

// One step of a rebuild plan.
enum class StepKind { Zeros, Copy, NameTable, SoundRun };

struct RebuildStep {
    StepKind kind;
    uint32_t sourceOffset;   // Copy, SoundRun; NameTable: base sector x 2048
    uint32_t sourceLength;   // SoundRun: the bytes read
    uint32_t written;        // bytes this step appends
    const NameTable* names;  // NameTable
    const SoundOffsetTable* sounds;  // SoundRun
};

struct RebuildPlan {
    const RebuildStep* steps;
    size_t count;
};

// Runs the steps in order; 1 when all succeeded.
int runRebuildPlan(const RebuildPlan& plan, RebuildContext& context);
// The length of the image that the plan writes.
uint64_t rebuiltSize(const RebuildPlan& plan);
