// The append primitives that rebuild a European image into the US layout, and the plans they run.
#include "patchers/common/rebuild.h"

#include <cstdlib>
#include <cstring>

namespace {

// How far ahead of the copy the name table's reads are announced.
constexpr uint64_t kNameTableLookAhead = 33554432;

void reportRebuildProgress(const RebuildContext& context) {
    if (!context.progress) return;
    const long double share = static_cast<long double>(context.written) / context.progressTotal * 100;
    context.progress(static_cast<double>(share / context.stageDivisor));
}

int fail(RebuildContext& context, RebuildFailure failure) {
    context.failure = failure;
    return 0;
}

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

RebuildBuffer::~RebuildBuffer() {
    free(bytes_);
}

unsigned char* RebuildBuffer::reserve(uint32_t size) {
    if (bytes_ && size <= capacity_) return bytes_;
    // The old contents are never needed: free first rather than realloc, which could copy them.
    free(bytes_);
    bytes_ = static_cast<unsigned char*>(malloc(size ? size : 1));
    capacity_ = bytes_ ? size : 0;
    return bytes_;
}

int copyImageRange(uint32_t start, uint32_t length, RebuildContext& context) {
    const uint64_t end = static_cast<uint64_t>(start) + length;
    for (uint64_t offset = start; offset < end; offset += kCopyChunk) {
        const uint32_t count = static_cast<uint32_t>(end - offset < kCopyChunk ? end - offset : kCopyChunk);
        unsigned char* chunk = context.buffer.reserve(count);
        if (!chunk) return fail(context, RebuildFailure::Allocation);
        // A source that ends early would leave the target short: stop rather than shift the layout.
        if (!context.source.read(offset, chunk, count)) return fail(context, RebuildFailure::ReadSource);
        if (!append(chunk, count, context)) return 0;
    }
    return 1;
}

int writeZeros(uint32_t size, RebuildContext& context) {
    unsigned char* zeros = context.buffer.reserve(size);
    if (!zeros) return fail(context, RebuildFailure::Allocation);
    memset(zeros, 0, size);
    return append(zeros, size, context);
}

int copyByNameTable(uint32_t baseSector, const NameTable& table, RebuildContext& context) {
    int32_t position = 0;
    // The files lie scattered over the source in another order: the reads of the next few are
    // announced ahead, so that the disc reads them while the ones before are copied.
    const NameTableEntry* announced = table.destination;
    uint64_t announcedBytes = 0, copiedBytes = 0;
    for (const NameTableEntry* entry = table.destination; entry->name[0]; ++entry) {
        for (; announced->name[0] && announcedBytes < copiedBytes + kNameTableLookAhead; ++announced) {
            const uint32_t bytes = static_cast<uint32_t>(announced->sectors) * kSectorSize;
            if (const NameTableEntry* source = findSource(table, announced->name)) {
                context.source.willRead(uint64_t{baseSector + static_cast<uint32_t>(source->sector)} * kSectorSize, bytes);
            }
            announcedBytes += bytes;
        }
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
        copiedBytes += bytes;
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
    unsigned char* run = context.buffer.reserve(size);
    if (!run) return fail(context, RebuildFailure::Allocation);
    if (!context.source.read(start, run, size)) return fail(context, RebuildFailure::ReadSource);
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
