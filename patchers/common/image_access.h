// Descriptor-level access to disc images: open, create, and read a byte range into a new buffer.
#pragma once

#include <cstdint>

// A descriptor slot holds an open descriptor or -1.
constexpr int kClosedSlot = -1;

// Opens `path` read-only in binary mode and stores the descriptor, or -1, in `slot`.
void openForReading(int* slot, const char* path);
// Creates or truncates `path` for writing (binary, permission bits 0700); descriptor or -1 in `slot`.
void createForWriting(int* slot, const char* path);
// Closes the descriptor in `slot`, if any, and marks the slot closed.
void closeSlot(int* slot);

// Full 64-bit length of the file open in `slot`; -1 when it cannot be taken.
int64_t slotLength(const int* slot);

// Reads `size` bytes from byte `offset` of the file (opening `path` when the slot is closed; an
// open slot must be positioned at the start of the file) into a buffer allocated with malloc,
// stored in `*bufferSlot`, its length in `*length` (cut at the end of the file). The descriptor is
// closed and the slot set to -1 in every case. Returns 1, or 0 with `*bufferSlot` null when the
// file cannot be opened, the buffer cannot be allocated, or the bytes cannot be read.
// `why`, when given, receives the reason of a failure.
enum class ImageReadFailure { None, Open, Allocation, Read };
int readImageRange(int* slot, const char* path, unsigned char** bufferSlot, uint32_t* length, uint32_t size,
                   uint32_t offset, ImageReadFailure* why = nullptr);

// Whether the `count` bytes at `offset` of the image equal `expected`; closes the slot.
bool imageBytesEqual(int* slot, const char* path, uint32_t offset, const void* expected, uint32_t count);
