// Unit tests of Kestrin::print, Kestrin::printRaw and the code page 850 table.
#include "kestrin/console.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "kestrin/string.h"
#include "test_support.h"

namespace {

// The accented letters and signs of the dialogue: Latin-1 code -> code page 850 code.
const std::map<int, int> kCodePage850 = {
    {0xB0, 0xF8}, {0xB5, 0xE6}, {0xC0, 0xB7}, {0xC1, 0xB5}, {0xC2, 0xB6}, {0xC3, 0xC7}, {0xC4, 0x8E},
    {0xC5, 0x8F}, {0xC7, 0x80}, {0xC8, 0xD4}, {0xC9, 0x90}, {0xCA, 0xD2}, {0xCB, 0xD3}, {0xCC, 0xDE},
    {0xCD, 0xD6}, {0xCE, 0xD7}, {0xCF, 0xD8}, {0xD9, 0xEB}, {0xDA, 0xE9}, {0xDB, 0xEA}, {0xDC, 0x9A},
    {0xE0, 0x85}, {0xE1, 0xA0}, {0xE2, 0x83}, {0xE3, 0xC6}, {0xE4, 0x84}, {0xE5, 0x86}, {0xE6, 0x91},
    {0xE7, 0x87}, {0xE8, 0x8A}, {0xE9, 0x82}, {0xEA, 0x88}, {0xEB, 0x89}, {0xEC, 0x8D}, {0xED, 0xA1},
    {0xEE, 0x8C}, {0xEF, 0x8B}, {0xF2, 0x95}, {0xF3, 0xA2}, {0xF4, 0x93}, {0xF5, 0xE4}, {0xF6, 0x94},
    {0xF9, 0x97}, {0xFA, 0xA3}, {0xFB, 0x96}, {0xFC, 0x81},
};

TEST(ConsoleTable, IdentityBelow128AndOnlyTheDialogueLettersAbove) {
    ASSERT_EQ(kCodePage850.size(), 46u);
    for (int byte = 0; byte < 256; ++byte) {
        int expected = byte < 128 ? byte : 0;
        const auto letter = kCodePage850.find(byte);
        if (letter != kCodePage850.end()) expected = letter->second;
        EXPECT_EQ(Kestrin::consoleCharTable[byte], expected) << "entry " << byte;
    }
}

std::string printed(void (*print)(const char*), const char* text) {
    kestrin_test::CapturedOutput output;
    print(text);
    return output.text();
}

// On Linux the console shows the code page 850 letters as UTF-8; on Windows the bytes go as they
// are. These expectations are those of the Linux console the tests run on.
TEST(ConsolePrint, TranslatesLatin1ToTheConsoleCodePage) {
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"480p", "480p"},
        {"", ""},
        {"ISO FR d\xE9tect\xE9 : ", "ISO FR d\xC3\xA9tect\xC3\xA9 : "},
        {"\xE8\xE0\xE7", "\xC3\xA8\xC3\xA0\xC3\xA7"},
        {"avant \xF1 apr\xE8s", "avant "},  // ñ has no entry: the text ends before it
        {"\xC6", ""},
        {"\xB0\xB5", "\xC2\xB0\xC2\xB5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(printed(Kestrin::print, c.text), c.shown) << c.text;
        const Kestrin::String text(c.text);
        {
            kestrin_test::CapturedOutput output;
            Kestrin::print(text);
            EXPECT_EQ(output.text(), c.shown) << c.text;
        }
        EXPECT_STREQ(text.getText(), c.text) << "the caller's text is not modified";
    }
    kestrin_test::CapturedOutput output;
    Kestrin::print(Kestrin::emptyString + "Mode actuel : " + "480i (par d\xE9" + "faut)");
    EXPECT_EQ(output.text(), "Mode actuel : 480i (par d\xC3\xA9" "faut)");
}

TEST(ConsolePrint, LongTextsAreTranslatedWhole) {
    std::string text;
    std::string shown;
    for (int i = 0; i < 300; ++i) {
        text += "\xE9x";
        shown += "\xC3\xA9x";
    }
    EXPECT_EQ(printed(Kestrin::print, text.c_str()), shown);
}

TEST(ConsolePrint, RawPrintingSendsTheBytesAsTheyAre) {
    EXPECT_EQ(printed(Kestrin::printRaw, "d\xE9j\xE0 \xF1"), "d\xE9j\xE0 \xF1");
    kestrin_test::CapturedOutput output;
    Kestrin::printRaw(Kestrin::String("a\xE9"));
    Kestrin::printRaw(Kestrin::emptyString + "b" + "\xE8");
    EXPECT_EQ(output.text(), "a\xE9" "b\xE8");
}

}  // namespace
