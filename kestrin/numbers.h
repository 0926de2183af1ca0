// Kestrin::Hex and Kestrin::Piece: the number layouts and values that String writes as text.
#pragma once

#include <cstdint>

#include "kestrin/string.h"

namespace Kestrin {

// A number to be written in hexadecimal: at least `digits` digits (a value of 0 with 0 digits
// writes none), with the flags below. It owns nothing.
class Hex {
public:
    // Suffix "h" after the digits.
    static constexpr uint8_t Suffix = 0x01;
    // Prefix "0x" before the digits (with Suffix too: one more leading zero, no "h").
    static constexpr uint8_t Prefix = 0x02;
    // Letters a to f; without it, A to F. Bits 2 to 7 shifted right by 2 are added to '7' to
    // form the letter base, so no other value of those bits is meaningful.
    static constexpr uint8_t LowerCase = 0x80;

    // Lower-case letters, no prefix or suffix.
    Hex(uint32_t value, uint8_t digits) : value(value), digits(digits), flags(LowerCase) {}
    Hex(uint32_t value, uint8_t flags, uint8_t digits) : value(value), digits(digits), flags(flags) {}

    uint32_t value;
    uint8_t digits;
    uint8_t flags;
};

// One value for the word and line operations of String. It refers to strings and Hex values
// without copying them (numbers are copied), so it must not outlive them.
class Piece {
public:
    enum Kind : uint8_t { StringPiece = 0, TextPiece = 1, NumberPiece = 2, HexPiece = 3 };

    Piece(const String& text) : kind(StringPiece), string(&text), text(nullptr), number(0), hex(nullptr) {}
    Piece(const char* text) : kind(TextPiece), string(nullptr), text(text), number(0), hex(nullptr) {}
    Piece(const unsigned long& number)
        : kind(NumberPiece), string(nullptr), text(nullptr), number(static_cast<uint32_t>(number)), hex(nullptr) {}
    Piece(const Hex& value) : kind(HexPiece), string(nullptr), text(nullptr), number(0), hex(&value) {}

    uint8_t kind;
    const String* string;
    const char* text;
    uint32_t number;
    const Hex* hex;
};

}  // namespace Kestrin
