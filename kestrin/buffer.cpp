// Kestrin::Buffer: the library's owned byte block with positioned editing and typed access.
#include "kestrin/buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kestrin/string.h"

namespace Kestrin {
Buffer::SourceWindow Buffer::chooseWindow(uint32_t sourceLength, uint32_t srcPos, uint32_t count) {
    if (srcPos > sourceLength) return {false, false, 0};
    const uint32_t available = sourceLength - srcPos;
    if (count == 0) return {true, true, available};
    if (available == 0) return {false, false, 0};
    if (count > available) return {true, false, available};
    return {true, true, count};
}

bool Buffer::ownsBytes(const void* bytes) const {
    // Compared as integers: the pointers may belong to different objects.
    const uintptr_t at = reinterpret_cast<uintptr_t>(bytes);
    const uintptr_t start = reinterpret_cast<uintptr_t>(data);
    return data && at >= start && at - start < capacity;
}

Buffer::Buffer() : data(static_cast<uint8_t*>(calloc(1, 1))), length(0), capacity(data ? 1 : 0) {}

Buffer::Buffer(const void* bytes, uint32_t count) : data(nullptr), length(0), capacity(0) {
    if (count == 0) return;
    data = static_cast<uint8_t*>(malloc(count));
    if (!data) return;
    memcpy(data, bytes, count);
    length = count;
    capacity = count;
}

Buffer::Buffer(const Buffer& other) : data(nullptr), length(0), capacity(0) {
    if (other.capacity == 0) return;
    data = static_cast<uint8_t*>(malloc(other.capacity));
    if (!data) return;
    if (other.length) memcpy(data, other.data, other.length);
    length = other.length;
    capacity = other.capacity;
}

Buffer::~Buffer() {
    free(data);
    data = nullptr;
}

void Buffer::clear() {
    length = 0;
}

void Buffer::reset() {
    uint8_t* fresh = static_cast<uint8_t*>(calloc(1, 1));
    if (!fresh) {
        length = 0;  // the old block stays; emptying it needs no allocation
        return;
    }
    free(data);
    data = fresh;
    length = 0;
    capacity = 1;
}

bool Buffer::reallocateTo(uint32_t newCapacity) {
    if (newCapacity == 0) return false;
    uint8_t* grown = static_cast<uint8_t*>(realloc(data, newCapacity));
    if (!grown) return false;
    data = grown;
    capacity = newCapacity;
    return true;
}

bool Buffer::reserveFor(uint32_t needed) {
    if (needed <= capacity) return true;
    if (needed == UINT32_MAX) return false;
    return reallocateTo(needed + 1);
}

bool Buffer::setExactBlock(Buffer& buffer, uint32_t size) {
    if (!buffer.reallocateTo(size)) return false;
    buffer.length = size;
    return true;
}

void Buffer::resize(uint32_t n) {
    if (n == UINT32_MAX) return;
    if (!reallocateTo(n + 1)) return;
    length = n;
}

bool Buffer::insertBytes(const uint8_t* bytes, uint32_t destPos, uint32_t count) {
    const uint32_t base = destPos > length ? destPos : length;
    if (count > UINT32_MAX - base) return false;
    const uint32_t needed = base + count;

    // A source inside this block would move with the reallocation or the shift: hold it apart.
    uint8_t* detached = nullptr;
    if (count && ownsBytes(bytes)) {
        detached = static_cast<uint8_t*>(malloc(count));
        if (!detached) return false;
        memcpy(detached, bytes, count);
        bytes = detached;
    }
    if (!reserveFor(needed)) {
        free(detached);
        return false;
    }
    if (destPos > length) memset(data + length, 0, destPos - length);
    const uint32_t oldLength = length;
    length = needed;
    if (destPos < oldLength) memmove(data + destPos + count, data + destPos, oldLength - destPos);
    if (count) memcpy(data + destPos, bytes, count);
    free(detached);
    return true;
}

bool Buffer::insert(const Buffer& src, uint32_t destPos, uint32_t count, uint32_t srcPos) {
    const SourceWindow window = chooseWindow(src.length, srcPos, count);
    if (!window.usable) return false;
    const uint8_t* from = window.count ? src.data + srcPos : nullptr;
    if (!insertBytes(from, destPos, window.count)) return false;
    return window.complete;
}

void Buffer::insert(const void* bytes, uint32_t destPos, uint32_t count, uint32_t srcPos) {
    if (count && !bytes) return;
    const uint8_t* from = count ? static_cast<const uint8_t*>(bytes) + srcPos : nullptr;
    insertBytes(from, destPos, count);
}

bool Buffer::overwrite(const Buffer& src, uint32_t destPos, uint32_t count, uint32_t srcPos) {
    const SourceWindow window = chooseWindow(src.length, srcPos, count);
    if (!window.usable || destPos > length) return false;
    bool complete = window.complete;
    uint32_t copied = window.count;
    if (copied > length - destPos) {
        copied = length - destPos;
        complete = false;
    }
    if (copied) memmove(data + destPos, src.data + srcPos, copied);
    return complete;
}

bool Buffer::overwrite(const void* bytes, uint32_t destPos, uint32_t count, uint32_t srcPos) {
    if (destPos > length || (count && !bytes)) return false;
    bool complete = true;
    if (count > length - destPos) {
        count = length - destPos;
        complete = false;
    }
    if (count) memmove(data + destPos, static_cast<const uint8_t*>(bytes) + srcPos, count);
    return complete;
}

bool Buffer::erase(uint32_t pos, uint32_t count) {
    if (pos >= length) return count == 0 && pos == length;
    if (count > length - pos) count = length - pos;
    memmove(data + pos, data + pos + count, length - pos - count);
    length -= count;
    return true;
}

char* Buffer::copyTo(char* dest, uint32_t pos, uint32_t maxLength) const {
    if (!dest) return nullptr;
    if (pos >= length) return nullptr;
    if (maxLength == 0 || maxLength > length - pos) maxLength = length - pos;
    uint32_t copied = 0;
    while (copied < maxLength && data[pos + copied] != 0) {
        dest[copied] = static_cast<char>(data[pos + copied]);
        ++copied;
    }
    dest[copied] = '\0';
    return dest;
}

String Buffer::getString(uint32_t pos, uint32_t maxLength) const {
    String text;
    if (pos >= length) return text;
    uint32_t size = 0;
    while (size < length - pos && data[pos + size] != 0) ++size;
    if (maxLength != 0 && maxLength < size) size = maxLength;
    text.assign(reinterpret_cast<const char*>(data + pos), size);
    return text;
}

Buffer& Buffer::operator=(const Buffer& other) {
    if (this == &other) return *this;
    if (other.length > capacity && !reallocateTo(other.length == UINT32_MAX ? 0 : other.length + 1)) return *this;
    if (other.length) memcpy(data, other.data, other.length);
    length = other.length;
    return *this;
}

Buffer& Buffer::operator+=(const Buffer& other) {
    insert(other, length, 0, 0);
    return *this;
}

Buffer& Buffer::operator-=(uint32_t n) {
    length = n > length ? 0 : length - n;
    return *this;
}

uint8_t Buffer::getU8(uint32_t pos) const {
    return holds(pos, 1) ? data[pos] : 0;
}

uint16_t Buffer::getU16(uint32_t pos) const {
    if (!holds(pos, 2)) return 0;
    return static_cast<uint16_t>(data[pos] | data[pos + 1] << 8);
}

uint32_t Buffer::getU32(uint32_t pos) const {
    if (!holds(pos, 4)) return 0;
    return static_cast<uint32_t>(data[pos]) | static_cast<uint32_t>(data[pos + 1]) << 8 |
           static_cast<uint32_t>(data[pos + 2]) << 16 | static_cast<uint32_t>(data[pos + 3]) << 24;
}

uint16_t Buffer::getU16BE(uint32_t pos) const {
    if (!holds(pos, 2)) return 0;
    return static_cast<uint16_t>(data[pos] << 8 | data[pos + 1]);
}

uint32_t Buffer::getU32BE(uint32_t pos) const {
    if (!holds(pos, 4)) return 0;
    return static_cast<uint32_t>(data[pos]) << 24 | static_cast<uint32_t>(data[pos + 1]) << 16 |
           static_cast<uint32_t>(data[pos + 2]) << 8 | static_cast<uint32_t>(data[pos + 3]);
}

unsigned char Buffer::getChar(uint32_t pos) const {
    return getU8(pos);
}

bool Buffer::setU8(uint8_t value, uint32_t pos) {
    if (!holds(pos, 1)) return false;
    data[pos] = value;
    return true;
}

bool Buffer::setU16(uint16_t value, uint32_t pos) {
    if (!holds(pos, 2)) return false;
    data[pos] = static_cast<uint8_t>(value);
    data[pos + 1] = static_cast<uint8_t>(value >> 8);
    return true;
}

bool Buffer::setU32(uint32_t value, uint32_t pos) {
    if (!holds(pos, 4)) return false;
    for (int i = 0; i < 4; ++i) data[pos + i] = static_cast<uint8_t>(value >> (8 * i));
    return true;
}

bool Buffer::setU16BE(uint16_t value, uint32_t pos) {
    if (!holds(pos, 2)) return false;
    data[pos] = static_cast<uint8_t>(value >> 8);
    data[pos + 1] = static_cast<uint8_t>(value);
    return true;
}

bool Buffer::setU32BE(uint32_t value, uint32_t pos) {
    if (!holds(pos, 4)) return false;
    for (int i = 0; i < 4; ++i) data[pos + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    return true;
}

bool Buffer::setChar(char value, uint32_t pos) {
    if (value == 0) return false;
    return setU8(static_cast<uint8_t>(value), pos);
}

bool operator==(const Buffer& a, const Buffer& b) {
    if (a.getLength() != b.getLength()) return false;
    const uint32_t size = a.getLength();
    return size == 0 || memcmp(a.getData(), b.getData(), size) == 0;
}

bool operator!=(const Buffer& a, const Buffer& b) {
    return !(a == b);
}

Buffer operator+(const Buffer& a, const Buffer& b) {
    Buffer sum(a);
    sum += b;
    return sum;
}

Buffer operator-(const Buffer& a, uint32_t n) {
    Buffer rest(a);
    rest -= n;
    return rest;
}

}  // namespace Kestrin
