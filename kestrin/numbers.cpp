// The number members of Kestrin::String: decimal and hexadecimal writing, bounded parsing.
#include "kestrin/numbers.h"

#include <cstdint>
#include <cstring>

#include "kestrin/string.h"

namespace Kestrin {
namespace {

// The text of one number, written from its last character backwards. The longest is a Hex of
// 255 digits with its prefix and the extra leading digit.
struct NumberText {
    char chars[264];
    uint32_t size = 0;
};

NumberText decimalText(bool negative, uint64_t magnitude) {
    NumberText text;
    uint32_t digits = 1;
    for (uint64_t rest = magnitude / 10; rest; rest /= 10) ++digits;
    text.size = digits + (negative ? 1 : 0);
    uint32_t at = text.size;
    do {
        text.chars[--at] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (negative) text.chars[0] = '-';
    return text;
}

NumberText signedText(int64_t value) {
    // The magnitude of the most negative value does not fit the signed type: negate unsigned.
    const bool negative = value < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    return decimalText(negative, magnitude);
}

NumberText unsignedText(uint64_t value) {
    return decimalText(false, value);
}

// A char is a number here, widened with its sign whatever the signedness of char on the system.
NumberText charText(char value) {
    return signedText(static_cast<signed char>(value));
}

NumberText hexText(const Hex& hex) {
    NumberText text;
    uint32_t significant = 1;
    for (uint32_t rest = hex.value >> 4; rest; rest >>= 4) ++significant;
    uint32_t digits = hex.digits > significant ? hex.digits : significant;
    if (hex.value == 0 && hex.digits == 0) digits = 0;
    text.size = (hex.flags & 3u) + digits;

    uint32_t firstDigit = 0;
    uint32_t endDigits = text.size;
    if (hex.flags & Hex::Prefix) {
        text.chars[0] = '0';
        text.chars[1] = 'x';
        firstDigit = 2;
    } else if (hex.flags & Hex::Suffix) {
        text.chars[text.size - 1] = 'h';
        endDigits = text.size - 1;
    }
    const int letterBase = '7' + (hex.flags >> 2);
    uint32_t rest = hex.value;
    for (uint32_t at = endDigits; at > firstDigit; --at) {
        const uint32_t nibble = rest & 15u;
        rest >>= 4;
        text.chars[at - 1] = static_cast<char>(nibble < 10 ? '0' + nibble : letterBase + static_cast<int>(nibble));
    }
    return text;
}

// The text of a piece of the word and line operations, pointing into the piece's own string or
// into `scratch`.
void pieceText(const Piece& piece, NumberText& scratch, const char*& bytes, uint32_t& count) {
    switch (piece.kind) {
    case Piece::StringPiece:
        bytes = piece.string->getText();
        count = piece.string->getLength();
        return;
    case Piece::TextPiece:
        bytes = piece.text ? piece.text : "";
        count = static_cast<uint32_t>(strlen(bytes));
        return;
    case Piece::NumberPiece:
        scratch = unsignedText(piece.number);
        break;
    case Piece::HexPiece:
        scratch = hexText(*piece.hex);
        break;
    default:
        scratch.size = 0;
        break;
    }
    bytes = scratch.chars;
    count = scratch.size;
}

int hexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// ---- Writing -----------------------------------------------------------------------------------

String::String(long value) : String() { *this = value; }
String::String(int value) : String() { *this = value; }
String::String(short value) : String() { *this = value; }
String::String(char value) : String() { *this = value; }
String::String(unsigned long value) : String() { *this = value; }
String::String(unsigned int value) : String() { *this = value; }
String::String(unsigned short value) : String() { *this = static_cast<unsigned int>(value); }
String::String(unsigned char value) : String() { *this = static_cast<unsigned int>(value); }
String::String(const Hex& value) : String() { *this = value; }

#define KESTRIN_NUMBER_MEMBERS(Type, makeText)             \
    String& String::operator=(Type value) {                \
        const NumberText text = makeText(value);           \
        assign(text.chars, text.size);                     \
        return *this;                                      \
    }                                                      \
    String& String::operator+=(Type value) {               \
        const NumberText text = makeText(value);           \
        appendBytes(text.chars, text.size);                \
        return *this;                                      \
    }                                                      \
    String& String::prepend(Type value) {                  \
        const NumberText text = makeText(value);           \
        prependBytes(text.chars, text.size);               \
        return *this;                                      \
    }

KESTRIN_NUMBER_MEMBERS(long, signedText)
KESTRIN_NUMBER_MEMBERS(int, signedText)
KESTRIN_NUMBER_MEMBERS(short, signedText)
KESTRIN_NUMBER_MEMBERS(char, charText)
KESTRIN_NUMBER_MEMBERS(unsigned long, unsignedText)
KESTRIN_NUMBER_MEMBERS(unsigned int, unsignedText)
KESTRIN_NUMBER_MEMBERS(const Hex&, hexText)

#undef KESTRIN_NUMBER_MEMBERS

String& String::assignPiece(const Piece& piece, const char* separator, uint32_t size) {
    NumberText scratch;
    const char* bytes = nullptr;
    uint32_t count = 0;
    pieceText(piece, scratch, bytes, count);
    if (assign(bytes, count)) appendSeparator(separator, size);
    return *this;
}

String& String::appendPiece(const Piece& piece, const char* separator, uint32_t size) {
    NumberText scratch;
    const char* bytes = nullptr;
    uint32_t count = 0;
    pieceText(piece, scratch, bytes, count);
    if (appendBytes(bytes, count)) appendSeparator(separator, size);
    return *this;
}

String& String::prependPiece(const Piece& piece, const char* separator, uint32_t size) {
    // A piece that is this very string is read as it was before the separator went in front.
    const String kept(piece.kind == Piece::StringPiece && piece.string == this ? *this : emptyString);
    const Piece source = piece.kind == Piece::StringPiece && piece.string == this ? Piece(kept) : piece;
    NumberText scratch;
    const char* bytes = nullptr;
    uint32_t count = 0;
    pieceText(source, scratch, bytes, count);
    if (prependBytes(separator, size)) prependBytes(bytes, count);
    return *this;
}

String& String::assignWord(const Piece& piece) { return assignPiece(piece, " ", 1); }
String& String::assignLine(const Piece& piece) { return assignPiece(piece, "\r\n", 2); }
String& String::appendWord(const Piece& piece) { return appendPiece(piece, " ", 1); }
String& String::appendLine(const Piece& piece) { return appendPiece(piece, "\r\n", 2); }
String& String::prependWord(const Piece& piece) { return prependPiece(piece, " ", 1); }
String& String::prependLine(const Piece& piece) { return prependPiece(piece, "\r\n", 2); }

// ---- Parsing -----------------------------------------------------------------------------------

// The window is [position, end). Three forms: "0x" and hexadecimal digits; hexadecimal digits
// and "h"; an optional "-" (signed types only) and decimal digits. Digits are weighed from the
// last one in unsigned 32-bit arithmetic, so long texts wrap instead of failing, and the result
// is the type's bit pattern: a signed value must not exceed 2 * max + 1, a negative one is
// 2 * (max + 1) - magnitude.
bool String::parseNumber(uint32_t position, uint32_t count, uint32_t max, bool isSigned, uint32_t& value) const {
    if (position > length) return false;
    const uint32_t end = count == 0 || count > length - position ? length : position + count;
    const uint32_t size = end - position;
    const uint8_t* window = size ? data + position : nullptr;
    const uint32_t bitPattern = 2 * max + 1;  // 0xFFFFFFFF for long and unsigned

    const bool startsWith0x = size >= 2 && window[0] == '0' && window[1] == 'x';
    const bool endsWithH = size >= 1 && window[size - 1] == 'h';
    if (startsWith0x != endsWithH) {  // "0x...h" is no number: its x fails as a decimal digit
        const uint32_t first = startsWith0x ? 2 : 0;
        const uint32_t last = startsWith0x ? size : size - 1;
        uint32_t result = 0;
        uint32_t weight = 1;
        for (uint32_t at = last; at > first; --at) {
            const int digit = hexDigit(window[at - 1]);
            if (digit < 0) return false;
            result += static_cast<uint32_t>(digit) * weight;
            weight *= 16;
        }
        if (isSigned && result > bitPattern) return false;
        value = result;
        return true;
    }

    const bool negative = isSigned && size >= 1 && window[0] == '-';
    uint32_t magnitude = 0;
    uint32_t weight = 1;
    for (uint32_t at = size; at > (negative ? 1u : 0u); --at) {
        const uint8_t c = window[at - 1];
        if (c < '0' || c > '9') return false;
        magnitude += static_cast<uint32_t>(c - '0') * weight;
        weight *= 10;
    }
    if (!negative) {
        if (magnitude > max) return false;
        value = magnitude;
        return true;
    }
    if (magnitude > max + 1) return false;
    const uint32_t pattern = 2 * (max + 1) - magnitude;
    if (pattern > bitPattern) return false;
    value = pattern;
    return true;
}

bool String::toChar(char& out, uint32_t position, uint32_t count) const {
    uint32_t value = 0;
    if (!parseNumber(position, count, 127, true, value)) return false;
    out = static_cast<char>(static_cast<uint8_t>(value));
    return true;
}

bool String::toShort(short& out, uint32_t position, uint32_t count) const {
    uint32_t value = 0;
    if (!parseNumber(position, count, 32767, true, value)) return false;
    out = static_cast<short>(static_cast<uint16_t>(value));
    return true;
}

bool String::toLong(long& out, uint32_t position, uint32_t count) const {
    uint32_t value = 0;
    if (!parseNumber(position, count, 2147483647u, true, value)) return false;
    out = static_cast<long>(static_cast<int32_t>(value));
    return true;
}

bool String::toUnsigned(unsigned long& out, uint32_t position, uint32_t count) const {
    uint32_t value = 0;
    if (!parseNumber(position, count, 4294967295u, false, value)) return false;
    out = value;
    return true;
}

bool String::equalsChar(const char& value, uint32_t count, uint32_t position) const {
    uint32_t parsed = 0;
    return parseNumber(position, count, 127, true, parsed) &&
           static_cast<uint8_t>(parsed) == static_cast<uint8_t>(value);
}

bool String::equalsShort(const short& value, uint32_t count, uint32_t position) const {
    uint32_t parsed = 0;
    return parseNumber(position, count, 32767, true, parsed) &&
           static_cast<uint16_t>(parsed) == static_cast<uint16_t>(value);
}

bool String::equalsLong(const long& value, uint32_t count, uint32_t position) const {
    uint32_t parsed = 0;
    return parseNumber(position, count, 2147483647u, true, parsed) && parsed == static_cast<uint32_t>(value);
}

bool String::equalsUnsigned(const unsigned long& value, uint32_t count, uint32_t position) const {
    uint32_t parsed = 0;
    return parseNumber(position, count, 4294967295u, false, parsed) && parsed == static_cast<uint32_t>(value);
}

bool String::operator==(const long& value) const {
    long parsed = 0;
    return toLong(parsed, 0, length) && parsed == value;
}

}  // namespace Kestrin
