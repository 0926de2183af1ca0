// Images in memory for the tests: a source of stamped bytes over a stated length, and a sink.
#pragma once

#include <cstring>
#include <map>
#include <vector>

#include "patchers/common/image_access.h"

using Bytes = std::vector<unsigned char>;

// Reads as zeros except where a stamp was put, over `size` bytes however few are held, so that a
// 6 GiB image costs nothing.
class MemorySource final : public ImageSource {
public:
    explicit MemorySource(uint64_t size) : size_(size) {}
    explicit MemorySource(const Bytes& bytes) : size_(bytes.size()) { stamp(0, bytes); }

    MemorySource& stamp(uint64_t offset, const Bytes& bytes) {
        stamps_[offset] = bytes;
        return *this;
    }
    int reads = 0;
    // Every read and every announced read, in order: {'R' or 'A', offset, count}.
    struct Access {
        char kind;
        uint64_t offset;
        uint32_t count;
        bool operator==(const Access& other) const {
            return kind == other.kind && offset == other.offset && count == other.count;
        }
    };
    std::vector<Access> accesses;

    uint64_t size() const override { return size_; }
    void willRead(uint64_t offset, uint32_t count) override { accesses.push_back({'A', offset, count}); }
    bool read(uint64_t offset, unsigned char* buffer, uint32_t count) override {
        ++reads;
        accesses.push_back({'R', offset, count});
        if (offset > size_ || count > size_ - offset) return false;
        memset(buffer, 0, count);
        for (const auto& [at, bytes] : stamps_) {
            const uint64_t from = at > offset ? at : offset;
            const uint64_t to = std::min<uint64_t>(at + bytes.size(), offset + count);
            if (from < to) memcpy(buffer + (from - offset), bytes.data() + (from - at), to - from);
        }
        return true;
    }

private:
    uint64_t size_;
    std::map<uint64_t, Bytes> stamps_;
};

// Keeps what is appended; refuses appends past `limit` bytes, as a full disk would.
class MemorySink final : public ImageSink {
public:
    explicit MemorySink(size_t limit = SIZE_MAX) : limit_(limit) {}
    Bytes bytes;
    int appends = 0;

    bool append(const unsigned char* data, uint32_t count) override {
        if (count > limit_ - bytes.size()) return false;
        bytes.insert(bytes.end(), data, data + count);
        ++appends;
        return true;
    }

private:
    size_t limit_;
};
