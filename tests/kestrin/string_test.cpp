// Unit tests of Kestrin::String: exact growth, editing windows, comparison, concatenation.
#include "kestrin/string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "test_support.h"

using Kestrin::String;

namespace {

// Text and terminator agree, and the terminator lies inside the block.
void expectText(const String& s, const char* expected, const char* context = "") {
    EXPECT_STREQ(s.getText(), expected) << context;
    EXPECT_EQ(s.getLength(), strlen(expected)) << context;
    EXPECT_GT(s.getCapacity(), s.getLength()) << context;
}

TEST(StringGrowth, NewStringIsEmptyWithCapacityOne) {
    const String s;
    expectText(s, "");
    EXPECT_EQ(s.getCapacity(), 1u);
}

TEST(StringGrowth, GrowsExactlyAndKeepsTheBlockWhenShrinking) {
    struct Step {
        const char* name;
        void (*apply)(String&);
        const char* text;
        uint32_t capacity;
    };
    const Step steps[] = {
        {"assign", [](String& s) { s = "hello"; }, "hello", 6},
        {"shorter assignment keeps", [](String& s) { s = "hi"; }, "hi", 6},
        {"append within room", [](String& s) { s += "abc"; }, "hiabc", 6},
        {"append past room", [](String& s) { s += "d"; }, "hiabcd", 7},
        {"space grows by one", [](String& s) { s.appendSpace(); }, "hiabcd ", 8},
        {"new line grows by two", [](String& s) { s.appendNewLine(); }, "hiabcd \r\n", 10},
        {"clear keeps", [](String& s) { s.clear(); }, "", 10},
        {"prepend empty keeps", [](String& s) { s.prepend(""); }, "", 10},
        {"resize shrinks", [](String& s) { s.resize(0); }, "", 1},
        {"new line from capacity one", [](String& s) { s.appendNewLine(); }, "\r\n", 3},
        {"space into spare room", [](String& s) { s.appendSpace(); }, "\r\n ", 4},
        {"new line with one spare byte", [](String& s) { s.appendNewLine(); }, "\r\n \r\n", 6},
        {"prepend grows exactly", [](String& s) { s.prepend(String("ab")); }, "ab\r\n \r\n", 8},
    };
    String s;
    for (const Step& step : steps) {
        step.apply(s);
        expectText(s, step.text, step.name);
        EXPECT_EQ(s.getCapacity(), step.capacity) << step.name;
    }
}

TEST(StringBuilding, AssignAppendPrependAndLowerCase) {
    String s("MiXeD Case 123", true);
    expectText(s, "mixed case 123");
    s.assignLower("\xC9T\xC9 ABC");
    expectText(s, "\xC9t\xC9 abc");  // only A to Z change
    EXPECT_EQ(s.toLower(), 7u);
    String t("Abc");
    t.prepend("x").prepend(String("y")) += String("Z");
    expectText(t, "yxAbcZ");
    String n(nullptr);
    expectText(n, "");
}

TEST(StringBuilding, SourcesInsideTheStringAreReadAsBeforeTheCall) {
    String s("abc");
    const String& alias = s;
    s = alias;
    expectText(s, "abc", "self-assignment");
    s += alias;
    expectText(s, "abcabc", "append self");
    s.prepend(alias);
    expectText(s, "abcabcabcabc", "prepend self");
    String t("0123456789");
    t += t.getText() + 8;  // a pointer into the block that the append reallocates
    expectText(t, "012345678989");
    t.prepend(t.getText() + 10);
    expectText(t, "89012345678989");
    t = t.getText() + 2;
    expectText(t, "012345678989");
    String u("abcdef");
    EXPECT_TRUE(u.insert(u, 1, 2, 3));
    expectText(u, "adebcdef");
    u.substring(u, 2, 3);
    expectText(u, "ebc");
}

struct WindowCase {
    const char* name;
    const char* initial;
    const char* source;
    uint32_t position, count, srcPosition;
    bool result;
    const char* expected;
};

TEST(StringEditing, OverwriteFromStringAndFromCText) {
    const WindowCase fromString[] = {
        {"fits", "12345", "ab", 1, 2, 0, true, "1ab45"},
        {"cut at the end of the text", "12345", "abcd", 3, 4, 0, false, "123ab"},
        {"count 0 is the rest of the source", "12345", "abcd", 0, 0, 1, true, "bcd45"},
        {"window past the end of the source", "12345", "abcd", 0, 3, 2, false, "cd345"},
        {"position past the end", "12345", "ab", 7, 1, 0, false, "12345"},
    };
    for (const WindowCase& c : fromString) {
        String s(c.initial);
        EXPECT_EQ(s.overwrite(String(c.source), c.position, c.count, c.srcPosition), c.result) << c.name;
        expectText(s, c.expected, c.name);
    }
    const WindowCase fromText[] = {
        {"fits", "12345", "ab", 1, 2, 0, true, "1ab45"},
        {"cut at the end of the text keeps the result", "12345", "abcd", 3, 4, 0, true, "123ab"},
        {"count 0 is the rest of the source", "12345", "abcd", 0, 0, 1, true, "bcd45"},
        {"window past the end of the source", "12345", "abcd", 0, 3, 2, false, "cd345"},
        {"start at the end of the source", "12345", "ab", 0, 1, 2, false, "12345"},
        {"start past the end of the source", "12345", "ab", 0, 0, 3, false, "12345"},
        {"position past the end", "12345", "ab", 7, 1, 0, false, "12345"},
    };
    for (const WindowCase& c : fromText) {
        String s(c.initial);
        EXPECT_EQ(s.overwrite(c.source, c.position, c.count, c.srcPosition), c.result) << c.name;
        expectText(s, c.expected, c.name);
    }
}

TEST(StringEditing, InsertFromStringAndFromCText) {
    const WindowCase cases[] = {
        {"middle", "1234", "ab", 2, 0, 0, true, "12ab34"},
        {"end", "1234", "ab", 4, 1, 1, true, "1234b"},
        {"window cut", "1234", "abc", 0, 5, 1, false, "bc1234"},
        {"position past the end", "1234", "ab", 5, 0, 0, false, "1234"},
        {"source start past its end", "1234", "ab", 0, 1, 2, false, "1234"},
    };
    for (const WindowCase& c : cases) {
        String fromString(c.initial);
        EXPECT_EQ(fromString.insert(String(c.source), c.position, c.count, c.srcPosition), c.result) << c.name;
        expectText(fromString, c.expected, c.name);
        String fromText(c.initial);
        EXPECT_EQ(fromText.insert(c.source, c.position, c.count, c.srcPosition), c.result) << c.name;
        expectText(fromText, c.expected, c.name);
    }
    String exact("ab");  // length 2, capacity 3: one more character needs room for the terminator
    EXPECT_TRUE(exact.insert("c", 2, 0, 0));
    expectText(exact, "abc");
    EXPECT_TRUE(exact.insert("d", 3, 0, 0));
    expectText(exact, "abcd");
}

TEST(StringEditing, EraseResizeAndSubstringKeepTheTerminator) {
    String s("abcdef");
    EXPECT_TRUE(s.erase(4, 10));
    expectText(s, "abcd");
    EXPECT_FALSE(s.erase(4, 1));
    EXPECT_TRUE(s.erase(0, 1));
    expectText(s, "bcd");
    s.resize(2);
    expectText(s, "bc");
    EXPECT_EQ(s.getCapacity(), 3u);
    s -= 1;
    expectText(s, "b");

    struct Case {
        uint32_t position, count;
        const char* expected;
    };
    const Case cases[] = {{0, 0, "abcdef"}, {2, 3, "cde"}, {4, 9, "ef"}, {5, 0, "f"}, {6, 1, "untouched"},
                          {UINT32_MAX, 2, "untouched"}};
    const String text("abcdef");
    for (const Case& c : cases) {
        String out("untouched");
        EXPECT_EQ(&text.substring(out, c.position, c.count), &out);
        expectText(out, c.expected);
    }
}

TEST(StringEditing, CopyToIsTheBufferCopy) {
    const String s("hello");
    char dest[8];
    EXPECT_STREQ(s.copyTo(dest, 1, 3), "ell");
    EXPECT_STREQ(s.copyTo(dest, 2, 0), "llo");
    EXPECT_EQ(s.copyTo(dest, 5, 0), nullptr);
}

TEST(StringComparison, EqualityAndMatchesAt) {
    EXPECT_TRUE(String("abc") == "abc");
    EXPECT_FALSE(String("abc") == "abcd");
    EXPECT_FALSE(String("ABC") == "abc");
    EXPECT_TRUE(String("") == nullptr);
    EXPECT_TRUE(String("abc") == String("abc"));
    EXPECT_TRUE(String("abc") != String("ab"));

    struct Case {
        const char* text;
        uint32_t count, position;
        bool result;
    };
    const Case cases[] = {
        {"cdrom0", 6, 0, true}, {"rom", 3, 2, true}, {"rom0:", 5, 2, true}, {"rom0;", 5, 2, false},
        {"ro", 3, 2, false},    {"", 0, 9, true},    {"", 0, 10, false},   {"x", 1, UINT32_MAX, false},
        {"9", UINT32_MAX, 1, false},
    };
    const String s("cdrom0:\\x");
    for (const Case& c : cases) {
        EXPECT_EQ(s.matchesAt(c.text, c.count, c.position), c.result) << c.text << " " << c.count << " " << c.position;
        EXPECT_EQ(s.matchesAt(String(c.text), c.count, c.position), c.result) << c.text;
    }
}

TEST(StringConcatenation, ChainsBuildInTheScratchString) {
    const String path("C:\\jeux\\image.iso");
    const Kestrin::StringRef first = Kestrin::emptyString + "File " + path + " at " + 42u + ", " + -7 + ".";
    EXPECT_EQ(&first.get(), &Kestrin::concatScratch);
    expectText(first.get(), "File C:\\jeux\\image.iso at 42, -7.");
    const String kept(first);
    const Kestrin::StringRef second = path + String("!");
    expectText(second.get(), "C:\\jeux\\image.iso!");
    expectText(first.get(), "C:\\jeux\\image.iso!", "the second chain overwrote the first");
    expectText(kept, "File C:\\jeux\\image.iso at 42, -7.");
    EXPECT_STREQ(Kestrin::emptyString.getText(), "");
}

TEST(StringConcatenation, TheScratchStringMayBeAnOperand) {
    Kestrin::concatScratch = "tail";
    const Kestrin::StringRef joined = String("head-") + Kestrin::concatScratch;
    expectText(joined.get(), "head-tail");
    const Kestrin::StringRef again = Kestrin::concatScratch + "!";
    expectText(again.get(), "head-tail!");
    const Kestrin::StringRef doubled = again + Kestrin::concatScratch;
    expectText(doubled.get(), "head-tail!head-tail!");
}

TEST(StringAllocationFailure, LeavesTheTextUnchanged) {
    SKIP_WITHOUT_ALLOCATION_FAILURES();
    String s("abc");
    const String longer("0123456789");
    bool inserted = true;
    {
        kestrin_test::FailingAllocations failing;
        s = longer;
        s += longer;
        s += "0123456789";
        s.prepend(longer);
        s.appendSpace();  // capacity 4 is reached by one blank
        s.appendNewLine();
        inserted = s.insert(longer, 1, 0, 0);
        s.resize(40);
        s += s;
    }
    EXPECT_FALSE(inserted);
    expectText(s, "abc");
    EXPECT_EQ(s.getCapacity(), 4u);
}

}  // namespace
