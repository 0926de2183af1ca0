// The append primitives that rebuild a European image into the US layout, and the plans they run.
#include "patchers/common/rebuild.h"

#include <cstdlib>
#include <cstring>

#include "patchers/common/console.h"

namespace {

void reportRebuildProgress(const RebuildContext& context) {
    const long double share = static_cast<long double>(context.written) / context.progressTotal * 100;
    printProgress(static_cast<double>(share / context.stageDivisor));
}

int fail(RebuildContext& context, RebuildFailure failure) {
    context.failure = failure;
    return 0;
}

// A buffer of `size` bytes (at least one), released with the object.
class Block {
public:
    explicit Block(uint32_t size, bool zeroed = false)
        : bytes_(static_cast<unsigned char*>(zeroed ? calloc(size ? size : 1, 1) : malloc(size ? size : 1))) {}
    ~Block() { free(bytes_); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    unsigned char* get() const { return bytes_; }

private:
    unsigned char* bytes_;
};

int append(const unsigned char* bytes, uint32_t count, RebuildContext& context) {
    if (!context.target.append(bytes, count)) return fail(context, RebuildFailure::WriteTarget);
    context.written += count;
    reportRebuildProgress(context);
    return 1;
}

uint32_t readWord(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

const NameTableEntry* findSource(const NameTable& table, const char* name) {
    for (const NameTableEntry* entry = table.source; entry->name[0]; ++entry) {
        if (strcmp(entry->name, name) == 0) return entry;
    }
    return nullptr;
}

}  // namespace

int copyImageRange(uint32_t start, uint32_t length, RebuildContext& context) {
    const uint64_t end = static_cast<uint64_t>(start) + length;
    for (uint64_t offset = start; offset < end; offset += kCopyChunk) {
        const uint32_t count = static_cast<uint32_t>(end - offset < kCopyChunk ? end - offset : kCopyChunk);
        Block chunk(count);
        if (!chunk.get()) return fail(context, RebuildFailure::Allocation);
        // A source that ends early would leave the target short: stop rather than shift the layout.
        if (!context.source.read(offset, chunk.get(), count)) return fail(context, RebuildFailure::ReadSource);
        if (!append(chunk.get(), count, context)) return 0;
    }
    return 1;
}

int writeZeros(uint32_t size, RebuildContext& context) {
    Block zeros(size, true);
    if (!zeros.get()) return fail(context, RebuildFailure::Allocation);
    return append(zeros.get(), size, context);
}

int copyByNameTable(uint32_t baseSector, const NameTable& table, RebuildContext& context) {
    int32_t position = 0;
    for (const NameTableEntry* entry = table.destination; entry->name[0]; ++entry) {
        // Destination rows never overlap: a row that starts before the end of the last one is a
        // broken table, not a gap of four billion sectors.
        if (entry->sector < position) return fail(context, RebuildFailure::BadStep);
        if (entry->sector != position) {
            if (!writeZeros(static_cast<uint32_t>(entry->sector - position) * kSectorSize, context)) return 0;
            position = entry->sector;
        }
        const uint32_t bytes = static_cast<uint32_t>(entry->sectors) * kSectorSize;
        const NameTableEntry* source = findSource(table, entry->name);
        const int appended = source ? copyImageRange((baseSector + static_cast<uint32_t>(source->sector)) * kSectorSize,
                                                     bytes, context)
                                    : writeZeros(bytes, context);
        if (!appended) return 0;
        position += entry->sectors;
    }
    return 1;
}

bool isSoundStreamHeader(const unsigned char* sector) {
    return readWord(sector) == 0x64685353 || readWord(sector + 4) == 24 || readWord(sector + 8) == 16 ||
           readWord(sector + 12) == 48000;
}

uint32_t nextSoundStream(const unsigned char* run, uint32_t size, uint32_t position) {
    // A header needs its 16 bytes inside the run.
    for (uint64_t at = uint64_t{position} + kSectorSize; at + 16 <= size; at += kSectorSize) {
        if (isSoundStreamHeader(run + at)) return static_cast<uint32_t>(at);
    }
    return size;
}

int copySoundRun(uint32_t start, uint32_t length, const SoundOffsetTable& offsets, RebuildContext& context) {
    // The run is read whole; one cut short by the end of the image still serves the slots inside it.
    const uint64_t available = context.source.size() > start ? context.source.size() - start : 0;
    const uint32_t size = available < length ? static_cast<uint32_t>(available) : length;
    Block buffer(size);
    if (!buffer.get()) return fail(context, RebuildFailure::Allocation);
    if (!context.source.read(start, buffer.get(), size)) return fail(context, RebuildFailure::ReadSource);
    const unsigned char* run = buffer.get();
    uint32_t position = 0;
    for (uint32_t j = 0; j < offsets.count; ++j) {
        const bool last = j + 1 == offsets.count;
        const uint32_t slot = static_cast<uint32_t>((last ? static_cast<int64_t>(offsets.end)
                                                          : static_cast<int64_t>(offsets.offsets[j + 1])) -
                                                    offsets.offsets[j]);
        // A slot that reaches past what was read would take bytes from outside the run.
        if (slot > size || position > size - slot) return fail(context, RebuildFailure::BadStep);
        if (!append(run + position, slot, context)) return 0;
        if (last) break;
        position = nextSoundStream(run, size, position);
        if (position >= size) return fail(context, RebuildFailure::BadStep);
    }
    return 1;
}

int runRebuildPlan(const RebuildPlan& plan, RebuildContext& context) {
    for (size_t i = 0; i < plan.count; ++i) {
        const RebuildStep& step = plan.steps[i];
        const uint32_t before = context.written;
        int done = 0;
        switch (step.kind) {
        case StepKind::Zeros: done = writeZeros(step.written, context); break;
        case StepKind::Copy: done = copyImageRange(step.sourceOffset, step.written, context); break;
        case StepKind::NameTable: done = copyByNameTable(step.sourceOffset / kSectorSize, *step.names, context); break;
        case StepKind::SoundRun: done = copySoundRun(step.sourceOffset, step.sourceLength, *step.sounds, context); break;
        }
        if (!done) return 0;
        // Every step appends exactly its length: a table that disagrees would shift the layout.
        if (context.written - before != step.written) return fail(context, RebuildFailure::BadStep);
    }
    return 1;
}

uint64_t rebuiltSize(const RebuildPlan& plan) {
    uint64_t size = 0;
    for (size_t i = 0; i < plan.count; ++i) size += plan.steps[i].written;
    return size;
}
