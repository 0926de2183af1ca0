// Differential fuzzing of Kestrin::Buffer against a byte-vector model of its editing rules.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kestrin/buffer.h"
#include "kestrin/string.h"

namespace {

// What a Buffer must hold: its bytes and the capacity its exact growth rule gives.
struct Model {
    std::vector<uint8_t> bytes;
    uint64_t capacity = 1;
};

constexpr uint64_t kMax32 = UINT32_MAX;
constexpr int kSlots = 3;

void require(bool condition) {
    if (!condition) abort();
}

void check(const Kestrin::Buffer& buffer, const Model& model) {
    require(buffer.getLength() == model.bytes.size());
    require(buffer.getCapacity() == model.capacity);
    require(buffer.getLength() <= buffer.getCapacity());
    if (!model.bytes.empty()) require(memcmp(buffer.getData(), model.bytes.data(), model.bytes.size()) == 0);
}

// Positions near the content, and now and then one so large that adding a count would wrap.
uint32_t pickPosition(FuzzedDataProvider& input, size_t length) {
    static const uint32_t kFar[] = {UINT32_MAX, UINT32_MAX - 1, UINT32_MAX - 2, UINT32_MAX - 3, 0x80000000u, 0xFFFFFFF0u};
    const uint8_t choice = input.ConsumeIntegral<uint8_t>();
    if (choice >= 240) return kFar[choice % 6];
    return static_cast<uint32_t>(choice % (length + 9));
}

// Insert positions stay near the content unless they are so large that the insert must be
// refused: a position just below 4 GiB with a count of 0 would really ask for 4 GiB.
uint32_t pickInsertPosition(FuzzedDataProvider& input, size_t length) {
    const uint32_t position = pickPosition(input, length);
    return position > length + 8 ? UINT32_MAX : position;
}

uint32_t pickCount(FuzzedDataProvider& input) {
    const uint8_t choice = input.ConsumeIntegral<uint8_t>();
    if (choice >= 250) return UINT32_MAX - (choice - 250);
    return choice % 12;
}

struct Window {
    bool usable;
    bool complete;
    uint64_t count;
};

Window window(uint64_t sourceLength, uint64_t srcPos, uint64_t count) {
    if (srcPos > sourceLength) return {false, false, 0};
    const uint64_t available = sourceLength - srcPos;
    if (count == 0) return {true, true, available};
    if (available == 0) return {false, false, 0};
    return {true, count <= available, std::min(count, available)};
}

// The model of every insert: the window is taken before anything changes.
bool modelInsert(Model& model, const std::vector<uint8_t>& window, uint64_t destPos) {
    const uint64_t base = std::max<uint64_t>(destPos, model.bytes.size());
    const uint64_t needed = base + window.size();
    if (needed > kMax32) return false;
    if (needed > model.capacity && needed == kMax32) return false;
    if (destPos > model.bytes.size()) model.bytes.resize(destPos, 0);
    model.bytes.insert(model.bytes.begin() + static_cast<long>(destPos), window.begin(), window.end());
    if (needed > model.capacity) model.capacity = needed + 1;
    return true;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& bytes, uint64_t from, uint64_t count) {
    return std::vector<uint8_t>(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + count));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Kestrin::Buffer buffers[kSlots];
    Model models[kSlots];

    while (input.remaining_bytes() > 0) {
        const int target = input.ConsumeIntegralInRange(0, kSlots - 1);
        const int source = input.ConsumeIntegralInRange(0, kSlots - 1);
        Kestrin::Buffer& buffer = buffers[target];
        Model& model = models[target];
        const Model sourceModel = models[source];
        const size_t length = model.bytes.size();

        switch (input.ConsumeIntegralInRange(0, 17)) {
        case 0: {  // insert from a Buffer, possibly this one
            const uint32_t destPos = pickInsertPosition(input, length);
            const uint32_t count = pickCount(input);
            const uint32_t srcPos = pickPosition(input, sourceModel.bytes.size());
            const Window w = window(sourceModel.bytes.size(), srcPos, count);
            bool expected = false;
            if (w.usable) expected = modelInsert(model, slice(sourceModel.bytes, srcPos, w.count), destPos) && w.complete;
            require(buffer.insert(buffers[source], destPos, count, srcPos) == expected);
            break;
        }
        case 1: {  // insert raw bytes, from outside or from the block itself
            const bool own = input.ConsumeBool() && length > 0;
            const std::vector<uint8_t> outside = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 12));
            const std::vector<uint8_t>& bytes = own ? model.bytes : outside;
            const uint32_t srcPos = bytes.empty() ? 0 : input.ConsumeIntegralInRange<uint32_t>(0, bytes.size());
            const uint32_t count = input.ConsumeIntegralInRange<uint32_t>(0, bytes.size() - srcPos);
            const uint32_t destPos = pickInsertPosition(input, length);
            const void* from = own ? static_cast<const void*>(buffer.getData()) : outside.data();
            modelInsert(model, slice(bytes, srcPos, count), destPos);
            buffer.insert(from, destPos, count, srcPos);
            break;
        }
        case 2: {  // overwrite from a Buffer
            const uint32_t destPos = pickPosition(input, length);
            const uint32_t count = pickCount(input);
            const uint32_t srcPos = pickPosition(input, sourceModel.bytes.size());
            const Window w = window(sourceModel.bytes.size(), srcPos, count);
            bool expected = false;
            if (w.usable && destPos <= length) {
                const uint64_t copied = std::min<uint64_t>(w.count, length - destPos);
                std::copy_n(sourceModel.bytes.begin() + srcPos, copied, model.bytes.begin() + destPos);
                expected = w.complete && copied == w.count;
            }
            require(buffer.overwrite(buffers[source], destPos, count, srcPos) == expected);
            break;
        }
        case 3: {  // overwrite from raw bytes
            const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 12));
            const uint32_t count = input.ConsumeIntegralInRange<uint32_t>(0, bytes.size());
            const uint32_t destPos = pickPosition(input, length);
            bool expected = false;
            if (destPos <= length) {
                const uint64_t copied = std::min<uint64_t>(count, length - destPos);
                std::copy_n(bytes.begin(), copied, model.bytes.begin() + destPos);
                expected = copied == count;
            }
            require(buffer.overwrite(bytes.data(), destPos, count, 0) == expected);
            break;
        }
        case 4: {  // erase
            const uint32_t pos = pickPosition(input, length);
            const uint32_t count = pickCount(input);
            bool expected = false;
            if (pos < length || (pos == length && count == 0)) {
                const uint64_t removed = std::min<uint64_t>(count, length - pos);
                model.bytes.erase(model.bytes.begin() + pos, model.bytes.begin() + static_cast<long>(pos + removed));
                expected = true;
            }
            require(buffer.erase(pos, count) == expected);
            break;
        }
        case 5:
            buffer.clear();
            model.bytes.clear();
            break;
        case 6:
            buffer.reset();
            model.bytes.clear();
            model.capacity = 1;
            break;
        case 7: {  // resize: the added bytes are whatever the block held
            const uint32_t n = input.ConsumeIntegralInRange<uint32_t>(0, length + 16);
            buffer.resize(n);
            model.bytes.resize(n);
            model.capacity = n + 1ull;
            for (size_t i = length; i < n; ++i) model.bytes[i] = buffer.getU8(static_cast<uint32_t>(i));
            break;
        }
        case 8:  // assignment, self-assignment included
            if (target != source) {
                if (sourceModel.bytes.size() > model.capacity) model.capacity = sourceModel.bytes.size() + 1;
                model.bytes = sourceModel.bytes;
            }
            buffer = buffers[source];
            break;
        case 9:  // append, itself included
            modelInsert(model, sourceModel.bytes, length);
            buffer += buffers[source];
            break;
        case 10: {
            const uint32_t n = pickCount(input);
            model.bytes.resize(n > length ? 0 : length - n);
            buffer -= n;
            break;
        }
        case 11: {  // copies and the free operators
            const Kestrin::Buffer copy(buffer);
            check(copy, model);
            Model sum = model;
            modelInsert(sum, sourceModel.bytes, length);
            check(buffer + buffers[source], sum);
            const uint32_t n = pickCount(input);
            Model rest = model;
            rest.bytes.resize(n > length ? 0 : length - n);
            check(buffer - n, rest);
            require((buffer == buffers[source]) == (model.bytes == sourceModel.bytes));
            require((buffer != buffers[source]) == (model.bytes != sourceModel.bytes));
            break;
        }
        case 12: {  // typed reads in both byte orders
            const uint32_t pos = pickPosition(input, length);
            auto byteAt = [&](uint64_t i) { return static_cast<uint32_t>(model.bytes[i]); };
            const bool has1 = pos < length, has2 = pos + 2ull <= length, has4 = pos + 4ull <= length;
            require(buffer.getU8(pos) == (has1 ? byteAt(pos) : 0));
            require(buffer.getChar(pos) == (has1 ? byteAt(pos) : 0));
            require(buffer.getU16(pos) == (has2 ? byteAt(pos) | byteAt(pos + 1) << 8 : 0));
            require(buffer.getU16BE(pos) == (has2 ? byteAt(pos) << 8 | byteAt(pos + 1) : 0));
            require(buffer.getU32(pos) ==
                    (has4 ? byteAt(pos) | byteAt(pos + 1) << 8 | byteAt(pos + 2) << 16 | byteAt(pos + 3) << 24 : 0));
            require(buffer.getU32BE(pos) ==
                    (has4 ? byteAt(pos) << 24 | byteAt(pos + 1) << 16 | byteAt(pos + 2) << 8 | byteAt(pos + 3) : 0));
            break;
        }
        case 13: {  // typed writes
            const uint32_t pos = pickPosition(input, length);
            const uint32_t value = input.ConsumeIntegral<uint32_t>();
            const int width = 1 << input.ConsumeIntegralInRange(0, 2);
            const bool bigEndian = input.ConsumeBool();
            const bool fits = pos + static_cast<uint64_t>(width) <= length;
            bool written = false;
            if (width == 1 && bigEndian) {
                written = buffer.setChar(static_cast<char>(value), pos);
                if (static_cast<char>(value) == 0) {
                    require(!written);
                    break;
                }
            } else if (width == 1) {
                written = buffer.setU8(static_cast<uint8_t>(value), pos);
            } else if (width == 2) {
                written = bigEndian ? buffer.setU16BE(static_cast<uint16_t>(value), pos)
                                    : buffer.setU16(static_cast<uint16_t>(value), pos);
            } else {
                written = bigEndian ? buffer.setU32BE(value, pos) : buffer.setU32(value, pos);
            }
            require(written == fits);
            if (!fits) break;
            for (int i = 0; i < width; ++i) {
                const int shift = (width == 1 || !bigEndian) ? 8 * i : 8 * (width - 1 - i);
                model.bytes[pos + i] = static_cast<uint8_t>(value >> shift);
            }
            break;
        }
        case 14: {  // copyTo
            const uint32_t pos = pickPosition(input, length);
            const uint32_t maxLength = input.ConsumeIntegralInRange<uint32_t>(0, 20);
            // The caller's array holds maxLength + 1 bytes, or the whole rest and one when 0.
            std::vector<char> room(std::max<size_t>(maxLength, length) + 1);
            char* dest = room.data();
            char* result = buffer.copyTo(dest, pos, maxLength);
            if (pos >= length) {
                require(result == nullptr);
                break;
            }
            require(result == dest);
            const uint64_t limit = maxLength == 0 ? length - pos : std::min<uint64_t>(maxLength, length - pos);
            uint64_t n = 0;
            while (n < limit && model.bytes[pos + n] != 0) ++n;
            require(memcmp(dest, model.bytes.data() + pos, n) == 0 && dest[n] == 0);
            break;
        }
        case 15: {  // getString
            const uint32_t pos = pickPosition(input, length);
            const uint32_t maxLength = input.ConsumeIntegralInRange<uint32_t>(0, 20);
            const Kestrin::String text = buffer.getString(pos, maxLength);
            uint64_t n = 0;
            while (pos + n < length && model.bytes[pos + n] != 0) ++n;
            if (maxLength != 0 && maxLength < n) n = maxLength;
            if (pos >= length) n = 0;
            require(text.getLength() == n && text.getText()[n] == 0);
            if (n) require(memcmp(text.getText(), model.bytes.data() + pos, n) == 0);
            break;
        }
        case 16: {  // a fresh buffer from bytes
            const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 12));
            Kestrin::Buffer fresh(bytes.data(), static_cast<uint32_t>(bytes.size()));
            buffer = fresh;
            if (bytes.size() > model.capacity) model.capacity = bytes.size() + 1;
            model.bytes = bytes;
            break;
        }
        default:
            break;
        }
        check(buffer, model);
        if (model.bytes.size() > 4096) return 0;  // long enough to have shown every rule
    }
    return 0;
}
