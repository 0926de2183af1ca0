// Unit tests of the number members of Kestrin::String: writing, Hex layouts, bounded parsing.
#include "kestrin/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "kestrin/string.h"

using Kestrin::Hex;
using Kestrin::Piece;
using Kestrin::String;

namespace {

TEST(NumberWriting, DecimalAtEveryTypesLimits) {
    struct Case {
        String text;
        const char* expected;
    };
    const Case cases[] = {
        {String(0), "0"},
        {String(-1), "-1"},
        {String(static_cast<long>(INT32_MIN)), "-2147483648"},
        {String(static_cast<long>(INT32_MAX)), "2147483647"},
        {String(INT_MIN), "-2147483648"},
        {String(static_cast<short>(-32768)), "-32768"},
        {String(static_cast<short>(32767)), "32767"},
        {String(static_cast<char>(-128)), "-128"},
        {String(static_cast<char>(127)), "127"},
        {String(static_cast<unsigned long>(UINT32_MAX)), "4294967295"},
        {String(UINT32_MAX), "4294967295"},
        {String(static_cast<unsigned short>(65535)), "65535"},
        {String(static_cast<unsigned char>(255)), "255"},
        {String(10u), "10"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.text.getText(), c.expected);
        EXPECT_EQ(c.text.getCapacity(), c.text.getLength() + 1) << c.expected;  // grown once, exactly
    }
}

TEST(NumberWriting, AssignAppendAndPrependNumbers) {
    String s("x");
    s += -5;
    s += 7u;
    s += static_cast<short>(-2);
    s += static_cast<char>(1);
    s.prepend(12L).prepend(static_cast<unsigned long>(3));
    EXPECT_STREQ(s.getText(), "312x-57-21");
    s = static_cast<long>(-2147483647 - 1);
    EXPECT_STREQ(s.getText(), "-2147483648");
    s = 0u;
    EXPECT_STREQ(s.getText(), "0");
    s = static_cast<char>(-1);
    EXPECT_STREQ(s.getText(), "-1");
}

TEST(NumberWriting, HexLayouts) {
    struct Case {
        Hex hex;
        const char* expected;
    };
    const Case cases[] = {
        {Hex(0x1F, 4), "001f"},
        {Hex(0x1F, 2, 4), "0x001F"},
        {Hex(0x1F, 1, 4), "001Fh"},
        {Hex(0, 0, 0), ""},
        {Hex(0, 0), ""},
        {Hex(0, 1), "0"},
        {Hex(0xABCDEF12, 0, 0), "ABCDEF12"},
        {Hex(0xABCDEF12, 0x80, 2), "abcdef12"},
        {Hex(0xFFFFFFFF, 0x82, 10), "0x00ffffffff"},
        {Hex(0xA, 3, 2), "0x00A"},  // prefix and suffix: one more leading digit, no h
        {Hex(0, 3, 0), "0x0"},
        {Hex(0xBEEF, 0x81, 0), "beefh"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(String(c.hex).getText(), c.expected);
    }
    String s("=");
    s += Hex(0xC0DE, 0x82, 0);
    s.prepend(Hex(1, 0, 2));
    s.prepend(Hex(0, 0, 0));  // no characters: unchanged
    EXPECT_STREQ(s.getText(), "01=0xc0de");
    s = Hex(255, 1, 0);
    EXPECT_STREQ(s.getText(), "FFh");
}

TEST(NumberWriting, WordsAndLinesOfEveryPieceKind) {
    const String name("disc");
    const Hex hex(0x2A, 0x82, 2);
    String s;
    s.assignWord(Piece(name));
    s.appendWord(Piece("of"));
    s.appendLine(Piece(static_cast<unsigned long>(4000000000u)));
    s.appendLine(Piece(hex));
    EXPECT_STREQ(s.getText(), "disc of 4000000000\r\n0x2a\r\n");
    s.prependWord(Piece("A"));
    s.prependLine(Piece(static_cast<unsigned long>(7)));
    EXPECT_STREQ(s.getText(), "7\r\nA disc of 4000000000\r\n0x2a\r\n");
    s.assignLine(Piece("end"));
    EXPECT_STREQ(s.getText(), "end\r\n");
    s.prependWord(Piece(s));  // the piece is read before the separator goes in front
    EXPECT_STREQ(s.getText(), "end\r\n end\r\n");
}

struct ParseCase {
    const char* text;
    bool ok;
    long value;
};

template <typename T>
void checkParses(const char* type, bool (String::*parse)(T&, uint32_t, uint32_t) const, const ParseCase* cases,
                 size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const ParseCase& c = cases[i];
        const String text(c.text);
        T out = static_cast<T>(99);
        EXPECT_EQ((text.*parse)(out, 0, 0), c.ok) << type << " " << c.text;
        const long expected = c.ok ? c.value : 99;  // a failure leaves the output untouched
        EXPECT_EQ(static_cast<long>(out), expected) << type << " " << c.text;
    }
}

TEST(NumberParsing, CharAtItsLimits) {
    const ParseCase cases[] = {
        {"127", true, 127}, {"128", false, 0},  {"-128", true, -128}, {"-129", false, 0}, {"0xFF", true, -1},
        {"FFh", true, -1},  {"0x100", false, 0}, {"-", false, 0},     {"-0", false, 0},   {"0", true, 0},
        {"0x7f", true, 127}, {"", true, 0},
    };
    checkParses<char>("char", &String::toChar, cases, std::size(cases));
}

TEST(NumberParsing, ShortAtItsLimits) {
    const ParseCase cases[] = {
        {"32767", true, 32767}, {"32768", false, 0},   {"-32768", true, -32768}, {"-32769", false, 0},
        {"0xFFFF", true, -1},   {"0x10000", false, 0}, {"8000h", true, -32768},  {"-0", false, 0},
    };
    checkParses<short>("short", &String::toShort, cases, std::size(cases));
}

TEST(NumberParsing, LongAtItsLimits) {
    const ParseCase cases[] = {
        {"-2147483648", true, -2147483647L - 1},
        {"2147483647", true, 2147483647L},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"5000000000", true, 705032704L},  // no overflow check: the digits wrap
        {"0x123456789", true, 0x23456789L},
        {"0xFFFFFFFF", true, -1},
        {"-", true, 0},
        {"-0", true, 0},
        {"+5", false, 0},
        {"12a", false, 0},
        {" 1", false, 0},
        {"h", true, 0},
        {"0x", true, 0},
        {"0x1h", false, 0},
        {"abch", true, 0xABC},
        {"0X1", false, 0},
    };
    checkParses<long>("long", &String::toLong, cases, std::size(cases));
}

TEST(NumberParsing, UnsignedAtItsLimits) {
    const ParseCase cases[] = {
        {"4294967295", true, 4294967295L}, {"4294967296", true, 0}, {"-5", false, 0},
        {"0xffffffff", true, 4294967295L}, {"", true, 0},           {"-0", false, 0},
    };
    for (const ParseCase& c : cases) {
        const String text(c.text);
        unsigned long out = 99;
        EXPECT_EQ(text.toUnsigned(out, 0, 0), c.ok) << c.text;
        EXPECT_EQ(out, c.ok ? static_cast<unsigned long>(static_cast<uint32_t>(c.value)) : 99ul) << c.text;
    }
}

TEST(NumberParsing, WindowsInsideALongerText) {
    const String text("id=0x1F;n=-12;h=7Fh");
    char c = 0;
    short s = 0;
    long l = 0;
    EXPECT_TRUE(text.toShort(s, 3, 4));
    EXPECT_EQ(s, 0x1F);
    EXPECT_TRUE(text.toLong(l, 10, 3));
    EXPECT_EQ(l, -12);
    EXPECT_TRUE(text.toChar(c, 16, 0));  // count 0: to the end
    EXPECT_EQ(c, 0x7F);
    EXPECT_TRUE(text.toLong(l, 16, 100));  // cut at the end
    EXPECT_EQ(l, 0x7F);
    EXPECT_TRUE(text.toLong(l, text.getLength(), 0));  // empty window at the end
    EXPECT_EQ(l, 0);
    l = 5;
    EXPECT_FALSE(text.toLong(l, text.getLength() + 1, 0));  // starts past the end
    EXPECT_FALSE(text.toLong(l, UINT32_MAX, 2));
    EXPECT_EQ(l, 5);
}

TEST(NumberParsing, EqualsFormsTakeCountBeforePosition) {
    const String text("xx-300yy");
    EXPECT_TRUE(text.equalsShort(-300, 4, 2));
    short out = 0;
    EXPECT_TRUE(text.toShort(out, 2, 4));
    EXPECT_EQ(out, -300);
    EXPECT_FALSE(text.equalsShort(-300, 2, 4));  // the window "00"
    EXPECT_FALSE(text.equalsChar(static_cast<char>(-44), 4, 2));  // -300 is no char
    EXPECT_TRUE(text.equalsLong(-300L, 4, 2));
    EXPECT_TRUE(text.equalsUnsigned(300ul, 3, 3));
    EXPECT_FALSE(text.equalsUnsigned(300ul, 4, 2));  // "-300": the minus is no digit of an unsigned
    EXPECT_TRUE(String("300").equalsUnsigned(300ul, 0, 0));
    EXPECT_TRUE(String("FFh").equalsChar(static_cast<char>(-1), 0, 0));
}

TEST(NumberParsing, EqualityWithALongParsesTheWholeText) {
    EXPECT_TRUE(String("-17") == -17L);
    EXPECT_FALSE(String("-17 ") == -17L);
    EXPECT_TRUE(String("0x10") == 16L);
    EXPECT_TRUE(String("") == 0L);
    EXPECT_FALSE(String("2147483648") == 2147483648L);
}

}  // namespace
