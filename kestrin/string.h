// Kestrin::String: zero-terminated text on a Buffer, with concatenation into one scratch string.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kestrin/buffer.h"

namespace Kestrin {

class Hex;
class Piece;
class StringRef;

// Text of 8-bit characters kept in a Buffer whose byte after the content is always 0. Growth is
// exact: an operation producing `n` characters reallocates to n + 1 bytes when n is not below the
// capacity; only resize shrinks. As for Buffer, a failed allocation leaves the text unchanged,
// and a source that lies inside this very text (s += s, s.prepend(s.getText())) is read as it
// was before the call. The number members (writing and parsing) are in kestrin/numbers.cpp.
class String : public Buffer {
public:
    String();
    String(const String& other);
    String(const StringRef& ref);
    // A copy of `text` (null reads as empty), A to Z lower-cased when `lower` is set.
    String(const char* text, bool lower = false);
    // Decimal text of the number; the narrow forms widen with their sign.
    explicit String(long value);
    explicit String(int value);
    explicit String(short value);
    explicit String(char value);
    explicit String(unsigned long value);
    explicit String(unsigned int value);
    explicit String(unsigned short value);
    explicit String(unsigned char value);
    explicit String(const Hex& value);
    ~String() override;

    // The text, always terminated; never null.
    const char* getText() const;

    String& operator=(const String& other);
    String& operator=(const StringRef& ref);
    String& operator=(const char* text);
    // Replaces the text by the decimal (or hexadecimal) text of the number.
    String& operator=(long value);
    String& operator=(int value);
    String& operator=(short value);
    String& operator=(char value);
    String& operator=(unsigned long value);
    String& operator=(unsigned int value);
    String& operator=(const Hex& value);
    // Replaces the text by the `count` bytes at `bytes`; false, unchanged, when there is no room.
    bool assign(const char* bytes, uint32_t count);
    // Copies `text`, turning A to Z into a to z.
    String& assignLower(const char* text);

    String& operator+=(const String& other);
    String& operator+=(const char* text);
    String& operator+=(long value);
    String& operator+=(int value);
    String& operator+=(short value);
    String& operator+=(char value);
    String& operator+=(unsigned long value);
    String& operator+=(unsigned int value);
    String& operator+=(const Hex& value);
    // One blank; the capacity grows by 1 when it is reached.
    String& appendSpace();
    // Carriage return and line feed; the capacity grows by 2 when it is reached.
    String& appendNewLine();

    String& prepend(const String& other);
    String& prepend(const char* text);
    String& prepend(long value);
    String& prepend(int value);
    String& prepend(short value);
    String& prepend(char value);
    String& prepend(unsigned long value);
    String& prepend(unsigned int value);
    String& prepend(const Hex& value);

    // The piece's text followed by one blank (word) or by carriage return and line feed (line).
    String& assignWord(const Piece& piece);
    String& assignLine(const Piece& piece);
    String& appendWord(const Piece& piece);
    String& appendLine(const Piece& piece);
    String& prependWord(const Piece& piece);
    String& prependLine(const Piece& piece);

    // Writes `count` characters of src from srcPosition over the text from `position`, never
    // changing the length. True only when the whole window was available in src and fitted.
    // Count 0 takes the rest of src. A position past the end writes nothing and gives false.
    bool overwrite(const String& src, uint32_t position, uint32_t count, uint32_t srcPosition);
    bool overwrite(const StringRef& src, uint32_t position, uint32_t count, uint32_t srcPosition);
    // As above; the result only tells whether src held the window (a cut at the end of this text
    // does not make it false).
    bool overwrite(const char* src, uint32_t position, uint32_t count, uint32_t srcPosition);
    // Inserts `count` characters of src from srcPosition before `position`; false, unchanged, when
    // position is past the end. A window past the end of src is cut and gives false.
    bool insert(const String& src, uint32_t position, uint32_t count, uint32_t srcPosition);
    bool insert(const StringRef& src, uint32_t position, uint32_t count, uint32_t srcPosition);
    bool insert(const char* src, uint32_t position, uint32_t count, uint32_t srcPosition);
    // Buffer::erase, then the terminator.
    bool erase(uint32_t position, uint32_t count);
    // Buffer::resize (exactly newLength + 1 bytes), then the terminator; added characters are
    // not cleared.
    void resize(uint32_t newLength);
    // Length 0, capacity kept.
    String& clear();
    // Drops n characters from the end (all when n exceeds the length); capacity kept.
    String& operator-=(uint32_t n);
    // Assigns `count` characters from `position` (the rest when 0 or past the end) to `out`;
    // a position at or after the end leaves `out` untouched.
    String& substring(String& out, uint32_t position, uint32_t count) const;
    // Turns A to Z into a to z in place; returns the length.
    uint32_t toLower();
    String& self() { return *this; }

    bool operator==(const char* text) const;
    // Parses the whole text as a 32-bit signed number and compares it with `value`.
    bool operator==(const long& value) const;
    // Whether the `count` characters from `position` equal the first `count` characters of text;
    // false when they do not lie inside this text; true for count 0 inside it.
    bool matchesAt(const String& text, uint32_t count, uint32_t position) const;
    bool matchesAt(const StringRef& text, uint32_t count, uint32_t position) const;
    bool matchesAt(const char* text, uint32_t count, uint32_t position) const;

    // Number parsing (kestrin/numbers.cpp). The window is `count` characters from `position`
    // (the rest when 0, cut at the end); a position past the end fails. On failure the output is
    // left as it was. Parsing works in unsigned 32-bit arithmetic: `long` and `unsigned long`
    // receive the 32-bit value (sign-extended for long) whatever their width on the system.
    bool toChar(char& out, uint32_t position, uint32_t count) const;
    bool toShort(short& out, uint32_t position, uint32_t count) const;
    bool toLong(long& out, uint32_t position, uint32_t count) const;
    bool toUnsigned(unsigned long& out, uint32_t position, uint32_t count) const;
    // As the `to` forms, comparing the low bits with `value`; note count before position.
    bool equalsChar(const char& value, uint32_t count, uint32_t position) const;
    bool equalsShort(const short& value, uint32_t count, uint32_t position) const;
    bool equalsLong(const long& value, uint32_t count, uint32_t position) const;
    bool equalsUnsigned(const unsigned long& value, uint32_t count, uint32_t position) const;

private:
    // Room for `n` characters and the terminator: reallocates to n + 1 when n is not below the
    // capacity. False, unchanged, when that fails.
    bool makeRoom(uint32_t n);
    void terminate() {
        if (data) data[length] = 0;
    }
    bool appendBytes(const char* bytes, uint32_t count);
    bool prependBytes(const char* bytes, uint32_t count);
    bool insertText(const char* bytes, uint32_t position, uint32_t count);
    bool appendSeparator(const char* separator, uint32_t size);
    // The word and line operations: the piece's text, then `separator`.
    String& assignPiece(const Piece& piece, const char* separator, uint32_t size);
    String& appendPiece(const Piece& piece, const char* separator, uint32_t size);
    String& prependPiece(const Piece& piece, const char* separator, uint32_t size);
    // Parses the window as a number of the type whose largest value is `max` (see numbers.cpp).
    bool parseNumber(uint32_t position, uint32_t count, uint32_t max, bool isSigned, uint32_t& value) const;
};

bool operator==(const String& a, const String& b);
bool operator!=(const String& a, const String& b);

// What a concatenation yields: a reference to the String that receives it (concatScratch).
// `ref + x` appends x to that String and yields the same reference. It owns nothing.
class StringRef {
public:
    explicit StringRef(String& target) : target(&target) {}
    String& get() const { return *target; }

private:
    String* target;
};

// Never modified: the left operand of a chain that begins with a literal.
extern const String emptyString;
// Receives every concatenation. A chain's result stays valid until the next chain begins, so
// it is printed or copied at once and two chains are never interleaved.
extern String concatScratch;

// left, then the literal, in concatScratch.
template <size_t N>
StringRef operator+(const String& left, const char (&literal)[N]) {
    concatScratch = left;
    concatScratch += static_cast<const char*>(literal);
    return StringRef(concatScratch);
}
// left, then right, in concatScratch.
StringRef operator+(const String& left, const String& right);

StringRef operator+(StringRef ref, const String& text);
StringRef operator+(StringRef ref, const char* text);
StringRef operator+(StringRef ref, long value);
StringRef operator+(StringRef ref, int value);
StringRef operator+(StringRef ref, short value);
StringRef operator+(StringRef ref, char value);
StringRef operator+(StringRef ref, unsigned long value);
StringRef operator+(StringRef ref, unsigned int value);
StringRef operator+(StringRef ref, const Hex& value);

}  // namespace Kestrin
