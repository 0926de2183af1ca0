// Unit tests of Kestrin::Buffer: growth, editing windows, typed access, failure handling.
#include "kestrin/buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "kestrin/string.h"
#include "test_support.h"

using Kestrin::Buffer;
using kestrin_test::bufferOf;
using kestrin_test::bytesOf;

namespace {

const std::string kFive("\x01\x02\x03\x04\x05", 5);

TEST(BufferConstruction, DefaultIsOneZeroByteWithLengthZero) {
    Buffer buffer;
    EXPECT_EQ(buffer.getLength(), 0u);
    EXPECT_EQ(buffer.getCapacity(), 1u);
    EXPECT_EQ(buffer.getU8(0), 0);
    EXPECT_FALSE(buffer.setU8(7, 0));
}

TEST(BufferConstruction, FromBytesHoldsExactlyTheCountWithoutSpare) {
    Buffer buffer(kFive.data(), 5);
    EXPECT_EQ(bytesOf(buffer), kFive);
    EXPECT_EQ(buffer.getCapacity(), 5u);
}

TEST(BufferConstruction, CopyTakesTheOtherCapacityAndContent) {
    Buffer source = bufferOf("abc");
    source.resize(2);  // capacity 3, length 2
    source += bufferOf("xyz");
    const Buffer copy(source);
    EXPECT_EQ(bytesOf(copy), bytesOf(source));
    EXPECT_EQ(copy.getCapacity(), source.getCapacity());

    const Buffer empty(nullptr, 0);
    const Buffer emptyCopy(empty);
    EXPECT_EQ(emptyCopy.getLength(), 0u);
    Buffer assigned = bufferOf("q");
    assigned = empty;
    EXPECT_EQ(assigned.getLength(), 0u);
}

TEST(BufferGrowth, GrowsToExactlyTheNeededLengthPlusOne) {
    struct Step {
        std::string appended;
        uint32_t capacity;
    };
    const Step steps[] = {{"a", 1}, {"b", 3}, {"cd", 5}, {"", 5}, {"efgh", 9}};
    Buffer buffer;
    for (const Step& step : steps) {
        buffer += bufferOf(step.appended);
        EXPECT_EQ(buffer.getCapacity(), step.capacity) << "after appending " << step.appended;
    }
    EXPECT_EQ(bytesOf(buffer), "abcdefgh");
}

TEST(BufferGrowth, ResizeAlwaysReallocatesToLengthPlusOne) {
    Buffer buffer = bufferOf("abcdef");
    buffer.resize(2);
    EXPECT_EQ(buffer.getLength(), 2u);
    EXPECT_EQ(buffer.getCapacity(), 3u);
    buffer.resize(10);
    EXPECT_EQ(buffer.getLength(), 10u);
    EXPECT_EQ(buffer.getCapacity(), 11u);
    EXPECT_EQ(bytesOf(buffer).substr(0, 2), "ab");
}

TEST(BufferGrowth, ClearKeepsTheBlockAndResetReturnsToOneByte) {
    Buffer buffer = bufferOf("abcdef");
    buffer.clear();
    EXPECT_EQ(buffer.getLength(), 0u);
    EXPECT_EQ(buffer.getCapacity(), 6u);
    buffer.reset();
    EXPECT_EQ(buffer.getLength(), 0u);
    EXPECT_EQ(buffer.getCapacity(), 1u);
}

TEST(BufferGrowth, AssignmentGrowsOnlyWhenTheOtherDoesNotFit) {
    Buffer big = bufferOf("0123456789");
    big = bufferOf("abc");
    EXPECT_EQ(bytesOf(big), "abc");
    EXPECT_EQ(big.getCapacity(), 10u);
    Buffer small = bufferOf("ab");
    small = bufferOf("abcdef");
    EXPECT_EQ(bytesOf(small), "abcdef");
    EXPECT_EQ(small.getCapacity(), 7u);
}

struct InsertCase {
    const char* name;
    std::string initial;
    std::string source;
    uint32_t destPos, count, srcPos;
    bool result;
    std::string expected;
};

TEST(BufferInsert, WindowsAndResults) {
    const InsertCase cases[] = {
        {"past the end pads with zeros", "ab", "Z", 5, 1, 0, true, std::string("ab\0\0\0Z", 6)},
        {"window cut at the end of the source", "", "abcde", 0, 4, 2, false, "cde"},
        {"count 0 takes the rest of the source", "xy", "abcde", 1, 0, 3, true, "xdey"},
        {"in the middle moves the tail up", "1234", "ab", 2, 2, 0, true, "12ab34"},
        {"at the very end appends", "12", "ab", 2, 0, 0, true, "12ab"},
        {"source start at its end with a count", "12", "ab", 0, 1, 2, false, "12"},
        {"source start past its end", "12", "ab", 0, 0, 3, false, "12"},
        {"empty source into empty buffer", "", "", 0, 0, 0, true, ""},
        {"empty source at the start", "12", "", 0, 0, 0, true, "12"},
    };
    for (const InsertCase& c : cases) {
        Buffer buffer = bufferOf(c.initial);
        EXPECT_EQ(buffer.insert(bufferOf(c.source), c.destPos, c.count, c.srcPos), c.result) << c.name;
        EXPECT_EQ(bytesOf(buffer), c.expected) << c.name;
    }
}

TEST(BufferInsert, RawBytesInsertTheirCountAsGiven) {
    Buffer buffer = bufferOf("14");
    buffer.insert("xx23yy", 1, 2, 2);
    EXPECT_EQ(bytesOf(buffer), "1234");
    buffer.insert("ignored", 4, 0, 0);
    EXPECT_EQ(bytesOf(buffer), "1234");
    buffer.insert("", 6, 0, 0);  // only the gap
    EXPECT_EQ(bytesOf(buffer), std::string("1234\0\0", 6));
}

TEST(BufferInsert, SourceThatIsTheBufferItselfIsReadAsBeforeTheCall) {
    Buffer buffer = bufferOf("abcdef");
    EXPECT_TRUE(buffer.insert(buffer, 1, 2, 3));
    EXPECT_EQ(bytesOf(buffer), "adebcdef");
    buffer += buffer;
    EXPECT_EQ(bytesOf(buffer), "adebcdefadebcdef");
    Buffer raw = bufferOf("abcdef");
    raw.insert(raw.getData(), 0, 3, 3);  // a pointer into the block that the insert reallocates
    EXPECT_EQ(bytesOf(raw), "defabcdef");
}

struct OverwriteCase {
    const char* name;
    std::string initial;
    std::string source;
    uint32_t destPos, count, srcPos;
    bool result;
    std::string expected;
};

TEST(BufferOverwrite, NeverGrowsAndReportsEveryCut) {
    const OverwriteCase cases[] = {
        {"cut at the end of the buffer", "12345", "abcd", 3, 4, 0, false, "123ab"},
        {"whole window fits", "12345", "abcd", 1, 2, 1, true, "1bc45"},
        {"count 0 takes the rest of the source", "12345", "abcd", 0, 0, 2, true, "cd345"},
        {"window cut at the end of the source", "12345", "abcd", 0, 3, 2, false, "cd345"},
        {"source start at its end", "12345", "abcd", 0, 1, 4, false, "12345"},
        {"destination past the end writes nothing", "12345", "ab", 6, 1, 0, false, "12345"},
        {"destination at the end", "12345", "ab", 5, 1, 0, false, "12345"},
    };
    for (const OverwriteCase& c : cases) {
        Buffer buffer = bufferOf(c.initial);
        EXPECT_EQ(buffer.overwrite(bufferOf(c.source), c.destPos, c.count, c.srcPos), c.result) << c.name;
        EXPECT_EQ(bytesOf(buffer), c.expected) << c.name;
        EXPECT_EQ(buffer.getCapacity(), 5u) << c.name;
    }
    Buffer raw = bufferOf("12345");
    EXPECT_TRUE(raw.overwrite("xy", 2, 0, 0));
    EXPECT_FALSE(raw.overwrite("wxyz", 3, 4, 0));
    EXPECT_EQ(bytesOf(raw), "123wx");
    EXPECT_FALSE(raw.overwrite("a", 9, 1, 0));
    EXPECT_EQ(bytesOf(raw), "123wx");
}

TEST(BufferErase, CutsAtTheEndAndRefusesOnlyAStartOutside) {
    struct Case {
        uint32_t pos, count;
        bool result;
        std::string expected;
    };
    const Case cases[] = {
        {2, 10, true, "12"}, {5, 1, false, "12345"}, {1, 2, true, "145"}, {0, 5, true, ""},
        {5, 0, true, "12345"}, {9, 0, false, "12345"}, {UINT32_MAX, UINT32_MAX, false, "12345"},
        {1, UINT32_MAX, true, "1"},
    };
    for (const Case& c : cases) {
        Buffer buffer = bufferOf("12345");
        EXPECT_EQ(buffer.erase(c.pos, c.count), c.result) << c.pos << "," << c.count;
        EXPECT_EQ(bytesOf(buffer), c.expected) << c.pos << "," << c.count;
    }
}

TEST(BufferText, CopyToStopsAtZeroAndTerminates) {
    const Buffer buffer = bufferOf(std::string("ab\0cd", 5));
    char dest[8] = "zzzzzzz";
    EXPECT_EQ(buffer.copyTo(dest, 0, 0), dest);
    EXPECT_STREQ(dest, "ab");
    EXPECT_EQ(buffer.copyTo(dest, 3, 9), dest);
    EXPECT_STREQ(dest, "cd");
    EXPECT_EQ(buffer.copyTo(dest, 3, 1), dest);
    EXPECT_STREQ(dest, "c");
    EXPECT_EQ(buffer.copyTo(dest, 5, 0), nullptr);
    EXPECT_EQ(buffer.copyTo(nullptr, 0, 0), nullptr);
    EXPECT_EQ(buffer.copyTo(dest, UINT32_MAX, 2), nullptr);
}

TEST(BufferText, GetStringTakesTheTextAtAPosition) {
    const Buffer buffer = bufferOf(std::string("abcdef\0gh", 9));
    EXPECT_STREQ(buffer.getString(0, 3).getText(), "abc");
    EXPECT_STREQ(buffer.getString(0, 0).getText(), "abcdef");
    EXPECT_STREQ(buffer.getString(7, 0).getText(), "gh");  // no zero byte follows: up to the end
    EXPECT_STREQ(buffer.getString(9, 0).getText(), "");
    EXPECT_EQ(buffer.getString(0, 0).getCapacity(), 7u);
}

TEST(BufferOperators, AppendDropCompareAndCombine) {
    Buffer buffer = bufferOf("1234");
    buffer -= 10;
    EXPECT_EQ(buffer.getLength(), 0u);
    EXPECT_EQ(buffer.getCapacity(), 4u);
    EXPECT_TRUE(Buffer() == Buffer(nullptr, 0));
    EXPECT_TRUE(bufferOf("ab") != bufferOf("abc"));
    EXPECT_TRUE(bufferOf("abc") != bufferOf("abd"));
    EXPECT_TRUE(bufferOf("abc") == bufferOf("abc"));
    EXPECT_EQ(bytesOf(bufferOf("ab") + bufferOf("cd")), "abcd");
    EXPECT_EQ(bytesOf(bufferOf("abcd") - 1), "abc");
    EXPECT_EQ(bytesOf(bufferOf("abcd") - 9), "");
}

TEST(BufferOperators, SelfAssignmentKeepsTheContent) {
    Buffer buffer = bufferOf("keep");
    Buffer& alias = buffer;
    buffer = alias;
    EXPECT_EQ(bytesOf(buffer), "keep");
}

TEST(BufferTypedAccess, BothByteOrdersOnFourBytes) {
    Buffer buffer = bufferOf(std::string(4, '\0'));
    EXPECT_TRUE(buffer.setU32(0x3C050000, 0));
    EXPECT_EQ(bytesOf(buffer), std::string("\x00\x00\x05\x3C", 4));
    EXPECT_EQ(buffer.getU32(0), 0x3C050000u);
    EXPECT_EQ(buffer.getU32BE(0), 0x0000053Cu);
    EXPECT_EQ(buffer.getU32(1), 0u);
    EXPECT_FALSE(buffer.setU16(1, 3));

    const Buffer pair = bufferOf("\x12\x34");
    EXPECT_EQ(pair.getU16BE(0), 0x1234);
    EXPECT_EQ(pair.getU16(0), 0x3412);
}

TEST(BufferTypedAccess, WritesReadBackAndStayInside) {
    struct Case {
        const char* name;
        uint32_t width;
        bool (*write)(Buffer&, uint32_t value, uint32_t pos);
        uint32_t (*read)(const Buffer&, uint32_t pos);
        uint32_t value;
        std::string bytes;
    };
    const Case cases[] = {
        {"U8", 1, [](Buffer& b, uint32_t v, uint32_t p) { return b.setU8(uint8_t(v), p); },
         [](const Buffer& b, uint32_t p) { return uint32_t(b.getU8(p)); }, 0xFE, "\xFE"},
        {"U16", 2, [](Buffer& b, uint32_t v, uint32_t p) { return b.setU16(uint16_t(v), p); },
         [](const Buffer& b, uint32_t p) { return uint32_t(b.getU16(p)); }, 0xBEEF, "\xEF\xBE"},
        {"U16BE", 2, [](Buffer& b, uint32_t v, uint32_t p) { return b.setU16BE(uint16_t(v), p); },
         [](const Buffer& b, uint32_t p) { return uint32_t(b.getU16BE(p)); }, 0xBEEF, "\xBE\xEF"},
        {"U32", 4, [](Buffer& b, uint32_t v, uint32_t p) { return b.setU32(v, p); },
         [](const Buffer& b, uint32_t p) { return b.getU32(p); }, 0xFFEEDDCC, "\xCC\xDD\xEE\xFF"},
        {"U32BE", 4, [](Buffer& b, uint32_t v, uint32_t p) { return b.setU32BE(v, p); },
         [](const Buffer& b, uint32_t p) { return b.getU32BE(p); }, 0xFFEEDDCC, "\xFF\xEE\xDD\xCC"},
        {"Char", 1, [](Buffer& b, uint32_t v, uint32_t p) { return b.setChar(char(v), p); },
         [](const Buffer& b, uint32_t p) { return uint32_t(b.getChar(p)); }, 0xE9, "\xE9"},
    };
    const uint32_t farPositions[] = {6, 7, UINT32_MAX, UINT32_MAX - 1, UINT32_MAX - 3};
    for (const Case& c : cases) {
        Buffer buffer = bufferOf("......");
        const uint32_t last = 6 - c.width;
        EXPECT_TRUE(c.write(buffer, c.value, last)) << c.name;
        EXPECT_EQ(bytesOf(buffer).substr(last), c.bytes) << c.name;
        EXPECT_EQ(c.read(buffer, last), c.value) << c.name;  // zero-extended, never sign-extended
        EXPECT_FALSE(c.write(buffer, c.value, last + 1)) << c.name;
        EXPECT_EQ(c.read(buffer, last + 1), 0u) << c.name;
        for (uint32_t far : farPositions) {
            EXPECT_FALSE(c.write(buffer, c.value, far)) << c.name << " at " << far;
            EXPECT_EQ(c.read(buffer, far), 0u) << c.name << " at " << far;
        }
        EXPECT_EQ(buffer.getLength(), 6u) << c.name;
    }
    Buffer buffer = bufferOf("ab");
    EXPECT_FALSE(buffer.setChar(0, 0));
    EXPECT_EQ(bytesOf(buffer), "ab");
}

TEST(BufferBounds, SizesThatWouldWrapAreRefusedUnchanged) {
    Buffer buffer = bufferOf("ab");
    EXPECT_FALSE(buffer.insert(bufferOf("xy"), UINT32_MAX, 0, 0));
    EXPECT_FALSE(buffer.insert(bufferOf("xy"), UINT32_MAX - 1, 2, 0));
    buffer.insert("xy", UINT32_MAX, 2, 0);
    buffer.resize(UINT32_MAX);
    EXPECT_FALSE(buffer.overwrite(bufferOf("xy"), UINT32_MAX, 2, 0));
    EXPECT_FALSE(buffer.overwrite(bufferOf("xy"), 0, 1, UINT32_MAX));
    EXPECT_EQ(bytesOf(buffer), "ab");
    EXPECT_EQ(buffer.getCapacity(), 2u);
}

TEST(BufferAllocationFailure, LeavesTheBufferUnchangedAndReportsIt) {
    SKIP_WITHOUT_ALLOCATION_FAILURES();
    Buffer buffer = bufferOf("abc");
    const Buffer longer = bufferOf("0123456789");
    bool inserted = true;
    {
        kestrin_test::FailingAllocations failing;  // checks wait until the allocator is back
        inserted = buffer.insert(longer, 1, 0, 0);
        buffer.insert("xyz", 0, 3, 0);
        buffer += longer;
        buffer = longer;
        buffer.resize(50);
    }
    EXPECT_FALSE(inserted);
    EXPECT_EQ(bytesOf(buffer), "abc");
    EXPECT_EQ(buffer.getCapacity(), 3u);
}

TEST(BufferAllocationFailure, ConstructionFailureGivesAnEmptyUsableBuffer) {
    SKIP_WITHOUT_ALLOCATION_FAILURES();
    const Buffer source = bufferOf("abc");
    std::optional<Buffer> made, copied, fromBytes;
    {
        kestrin_test::FailingAllocations failing;
        made.emplace();
        copied.emplace(source);
        fromBytes.emplace("xyz", 3);
    }
    for (std::optional<Buffer>* buffer : {&made, &copied, &fromBytes}) {
        Buffer& b = **buffer;
        EXPECT_EQ(b.getLength(), 0u);
        EXPECT_EQ(b.getCapacity(), 0u);
        EXPECT_EQ(b.getU32(0), 0u);
        EXPECT_FALSE(b.setU8(1, 0));
        char dest[4];
        EXPECT_EQ(b.copyTo(dest, 0, 0), nullptr);
        EXPECT_TRUE(b.erase(0, 0));
        EXPECT_TRUE(b.insert(source, 0, 0, 0));
        EXPECT_EQ(bytesOf(b), "abc");
    }
}

}  // namespace
