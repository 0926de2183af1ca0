// Kestrin::Buffer: the library's owned byte block with positioned editing and typed access.
#pragma once

#include <cstdint>

namespace Kestrin {

class String;

// A byte container that owns one block from the C heap (calloc/malloc/realloc, released with
// free), so that String and FileBin can reallocate it themselves. Copies are deep. Growth is
// exact: an operation that needs `n` bytes and does not fit reallocates to `n + 1`.
//
// Nothing here throws, prints or touches the error record. An operation reports by its result.
// When an allocation fails, or a size would not fit in 32 bits, the buffer is left exactly as it
// was and the operation reports failure where it has a result. A buffer whose own allocation
// failed at construction is empty with capacity 0 and no block; every operation still works on it.
//
// Every bound test is written so that no sum of a position and a count can wrap around.
class Buffer {
public:
    // Length 0, capacity 1: one zero byte.
    Buffer();
    // A block of exactly `count` bytes copied from `bytes`; length = capacity = count.
    Buffer(const void* bytes, uint32_t count);
    // Block of other's capacity, holding other's content.
    Buffer(const Buffer& other);
    virtual ~Buffer();

    uint32_t getLength() const { return length; }
    uint32_t getCapacity() const { return capacity; }
    // The content; null only for a buffer with no block (capacity 0).
    const uint8_t* getData() const { return data; }

    // Length 0; block and capacity kept.
    void clear();
    // Block replaced by one zero byte; length 0, capacity 1.
    void reset();
    // Length n, block reallocated to n + 1 bytes (also when shrinking). Bytes past the old length
    // are left as the allocator gives them.
    void resize(uint32_t n);

    // Inserts `count` bytes of `src` from `srcPos` at `destPos`; a destPos past the end pads with
    // zeros. Count 0 takes the rest of src. A window that runs past the end of src is cut and the
    // result is false (but the cut window is inserted); a srcPos outside src inserts nothing.
    bool insert(const Buffer& src, uint32_t destPos, uint32_t count, uint32_t srcPos);
    // Inserts `count` bytes from `bytes + srcPos` at `destPos`; the source must hold them.
    void insert(const void* bytes, uint32_t destPos, uint32_t count, uint32_t srcPos);
    // Copies over existing bytes, never growing. Same window rules as insert; a destination window
    // that runs past the end is cut and gives false; a destPos past the end writes nothing.
    bool overwrite(const Buffer& src, uint32_t destPos, uint32_t count, uint32_t srcPos);
    bool overwrite(const void* bytes, uint32_t destPos, uint32_t count, uint32_t srcPos);
    // Removes `count` bytes at `pos`, cut at the end (still true); false when pos is at the end.
    bool erase(uint32_t pos, uint32_t count);

    // Copies the text at `pos` (at most maxLength bytes, all the rest when 0, stopping before a
    // zero byte) into `dest` and terminates it; dest, or null when dest is null or pos is outside.
    char* copyTo(char* dest, uint32_t pos, uint32_t maxLength) const;
    // The text at `pos` up to the first zero byte or the end of the content, cut to maxLength
    // characters when that is nonzero; an empty String when pos is outside. See kestrin/string.h.
    String getString(uint32_t pos, uint32_t maxLength) const;

    // Content replaced by other's; the block grows only when other's content does not fit.
    Buffer& operator=(const Buffer& other);
    // Appends all of other.
    Buffer& operator+=(const Buffer& other);
    // Drops n bytes from the end (all of them when n exceeds the length); block kept.
    Buffer& operator-=(uint32_t n);

    // Typed access. A read returns 0, and a write returns false having written nothing, when the
    // value does not lie wholly inside the content. Writes never grow the buffer.
    uint8_t getU8(uint32_t pos) const;
    uint16_t getU16(uint32_t pos) const;    // little-endian
    uint32_t getU32(uint32_t pos) const;    // little-endian
    uint16_t getU16BE(uint32_t pos) const;  // big-endian
    uint32_t getU32BE(uint32_t pos) const;  // big-endian
    unsigned char getChar(uint32_t pos) const;
    bool setU8(uint8_t value, uint32_t pos);
    bool setU16(uint16_t value, uint32_t pos);
    bool setU32(uint32_t value, uint32_t pos);
    bool setU16BE(uint16_t value, uint32_t pos);
    bool setU32BE(uint32_t value, uint32_t pos);
    // Refuses the character 0 as well.
    bool setChar(char value, uint32_t pos);

protected:
    // The source window of an insert or overwrite: count 0 takes the rest of the source from
    // srcPos; a window past its end is cut (`complete` false); a srcPos past the end, or at the
    // end with a nonzero count, leaves nothing to do (`usable` false).
    struct SourceWindow {
        bool usable;
        bool complete;
        uint32_t count;
    };
    static SourceWindow chooseWindow(uint32_t sourceLength, uint32_t srcPos, uint32_t count);
    // Whether `bytes` points into this object's block (a source that a reallocation would move).
    bool ownsBytes(const void* bytes) const;
    // Whether `width` bytes at `pos` lie inside the content.
    bool holds(uint32_t pos, uint32_t width) const { return pos <= length && width <= length - pos; }
    // Reallocates the block to exactly `newCapacity` bytes (at least 1); false, unchanged, on
    // failure.
    bool reallocateTo(uint32_t newCapacity);
    // Gives `buffer` a block of exactly `size` bytes, all of them content (the chunk of a copy);
    // false, unchanged, when it cannot be allocated.
    static bool setExactBlock(Buffer& buffer, uint32_t size);
    // Makes room for `needed` content bytes: when they do not fit, the block becomes needed + 1
    // bytes. False, unchanged, when that fails or needed + 1 does not fit in 32 bits.
    bool reserveFor(uint32_t needed);
    // The core of every insert: pads a gap past the end with zeros, moves the tail up and copies
    // `count` bytes from `bytes` (which may point into this very block). False, unchanged, when
    // the room cannot be made.
    bool insertBytes(const uint8_t* bytes, uint32_t destPos, uint32_t count);

    uint8_t* data;
    uint32_t length;
    uint32_t capacity;
};

bool operator==(const Buffer& a, const Buffer& b);
bool operator!=(const Buffer& a, const Buffer& b);
// Copy of a (with a's capacity) with b appended.
Buffer operator+(const Buffer& a, const Buffer& b);
// Copy of a without its last n bytes.
Buffer operator-(const Buffer& a, uint32_t n);

}  // namespace Kestrin
