// Kestrin::String: zero-terminated text on a Buffer, with concatenation into one scratch string.
#include "kestrin/string.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Kestrin {

const String emptyString;
String concatScratch;

namespace {

uint32_t textLength(const char* text) {
    if (!text) return 0;
    const size_t size = strlen(text);
    return size > UINT32_MAX - 1 ? UINT32_MAX - 1 : static_cast<uint32_t>(size);
}

// A source text kept apart from the block that is about to be reallocated or shifted, when it
// lies inside that block (s += s, s.prepend(s.getText() + 2)). Otherwise the source is used as
// it is.
class HeldSource {
public:
    HeldSource(const char* bytes, uint32_t count, bool insideBlock) : source(bytes), copy(nullptr), usable(true) {
        if (!insideBlock || count == 0) return;
        copy = static_cast<char*>(malloc(count));
        usable = copy != nullptr;
        if (copy) memcpy(copy, bytes, count);
        source = copy;
    }
    ~HeldSource() { free(copy); }
    HeldSource(const HeldSource&) = delete;
    HeldSource& operator=(const HeldSource&) = delete;

    bool ok() const { return usable; }
    const char* bytes() const { return source; }

private:
    const char* source;
    char* copy;
    bool usable;
};

bool isUpper(uint8_t c) {
    return c >= 'A' && c <= 'Z';
}

}  // namespace

String::String() = default;

String::String(const String& other) : Buffer(other) {
    terminate();
}

String::String(const StringRef& ref) : String(ref.get()) {}

String::String(const char* text, bool lower) {
    if (lower) {
        assignLower(text);
        return;
    }
    assign(text, textLength(text));
}

String::~String() = default;

const char* String::getText() const {
    return data ? reinterpret_cast<const char*>(data) : "";
}

bool String::makeRoom(uint32_t n) {
    if (n < capacity) return true;
    if (n == UINT32_MAX) return false;
    return reallocateTo(n + 1);
}

bool String::assign(const char* bytes, uint32_t count) {
    HeldSource source(bytes, count, ownsBytes(bytes));
    if (!source.ok() || !makeRoom(count)) return false;
    if (count) memmove(data, source.bytes(), count);
    length = count;
    terminate();
    return true;
}

bool String::appendBytes(const char* bytes, uint32_t count) {
    if (count > UINT32_MAX - 1 - length) return false;
    HeldSource source(bytes, count, ownsBytes(bytes));
    if (!source.ok() || !makeRoom(length + count)) return false;
    if (count) memcpy(data + length, source.bytes(), count);
    length += count;
    terminate();
    return true;
}

bool String::prependBytes(const char* bytes, uint32_t count) {
    if (count == 0) return true;
    if (count > UINT32_MAX - 1 - length) return false;
    HeldSource source(bytes, count, ownsBytes(bytes));
    if (!source.ok() || !makeRoom(length + count)) return false;
    memmove(data + count, data, length);
    memcpy(data, source.bytes(), count);
    length += count;
    terminate();
    return true;
}

bool String::insertText(const char* bytes, uint32_t position, uint32_t count) {
    if (position > length || count > UINT32_MAX - 1 - length) return false;
    HeldSource source(bytes, count, ownsBytes(bytes));
    if (!source.ok() || !makeRoom(length + count)) return false;
    if (!insertBytes(reinterpret_cast<const uint8_t*>(source.bytes()), position, count)) return false;
    terminate();
    return true;
}

bool String::appendSeparator(const char* separator, uint32_t size) {
    if (length >= UINT32_MAX - size) return false;
    const uint32_t newLength = length + size;
    if (newLength >= capacity) {
        // The separators grow the block by their own size; room is made before anything is
        // written, so the separator never lands past the end of the block.
        uint64_t newCapacity = static_cast<uint64_t>(capacity) + size;
        if (newCapacity < newLength + 1ull) newCapacity = newLength + 1ull;
        if (newCapacity > UINT32_MAX || !reallocateTo(static_cast<uint32_t>(newCapacity))) return false;
    }
    memcpy(data + length, separator, size);
    length = newLength;
    terminate();
    return true;
}

String& String::operator=(const String& other) {
    if (this != &other) assign(other.getText(), other.length);
    return *this;
}

String& String::operator=(const StringRef& ref) {
    return *this = ref.get();
}

String& String::operator=(const char* text) {
    assign(text, textLength(text));
    return *this;
}

String& String::assignLower(const char* text) {
    if (!assign(text, textLength(text))) return *this;
    toLower();
    return *this;
}

String& String::operator+=(const String& other) {
    appendBytes(other.getText(), other.length);
    return *this;
}

String& String::operator+=(const char* text) {
    appendBytes(text, textLength(text));
    return *this;
}

String& String::appendSpace() {
    appendSeparator(" ", 1);
    return *this;
}

String& String::appendNewLine() {
    appendSeparator("\r\n", 2);
    return *this;
}

String& String::prepend(const String& other) {
    prependBytes(other.getText(), other.length);
    return *this;
}

String& String::prepend(const char* text) {
    prependBytes(text, textLength(text));
    return *this;
}

bool String::overwrite(const String& src, uint32_t position, uint32_t count, uint32_t srcPosition) {
    if (position > length) return false;
    return Buffer::overwrite(src, position, count, srcPosition);
}

bool String::overwrite(const StringRef& src, uint32_t position, uint32_t count, uint32_t srcPosition) {
    return overwrite(src.get(), position, count, srcPosition);
}

bool String::overwrite(const char* src, uint32_t position, uint32_t count, uint32_t srcPosition) {
    const SourceWindow window = chooseWindow(textLength(src), srcPosition, count);
    if (!window.usable || position > length) return false;
    uint32_t copied = window.count;
    if (copied > length - position) copied = length - position;
    if (copied) memmove(data + position, src + srcPosition, copied);
    return window.complete;
}

bool String::insert(const String& src, uint32_t position, uint32_t count, uint32_t srcPosition) {
    if (position > length) return false;
    const SourceWindow window = chooseWindow(src.length, srcPosition, count);
    if (!window.usable) return false;
    if (!insertText(src.getText() + srcPosition, position, window.count)) return false;
    return window.complete;
}

bool String::insert(const StringRef& src, uint32_t position, uint32_t count, uint32_t srcPosition) {
    return insert(src.get(), position, count, srcPosition);
}

bool String::insert(const char* src, uint32_t position, uint32_t count, uint32_t srcPosition) {
    if (position > length) return false;
    const SourceWindow window = chooseWindow(textLength(src), srcPosition, count);
    if (!window.usable) return false;
    if (!insertText(window.count ? src + srcPosition : nullptr, position, window.count)) return false;
    return window.complete;
}

bool String::erase(uint32_t position, uint32_t count) {
    const bool done = Buffer::erase(position, count);
    terminate();
    return done;
}

void String::resize(uint32_t newLength) {
    Buffer::resize(newLength);
    terminate();
}

String& String::clear() {
    length = 0;
    terminate();
    return *this;
}

String& String::operator-=(uint32_t n) {
    Buffer::operator-=(n);
    terminate();
    return *this;
}

String& String::substring(String& out, uint32_t position, uint32_t count) const {
    if (position >= length) return out;
    const uint32_t rest = length - position;
    out.assign(getText() + position, count == 0 || count > rest ? rest : count);
    return out;
}

uint32_t String::toLower() {
    for (uint32_t i = 0; i < length; ++i) {
        if (isUpper(data[i])) data[i] = static_cast<uint8_t>(data[i] + 32);
    }
    return length;
}

bool String::operator==(const char* text) const {
    return strcmp(getText(), text ? text : "") == 0;
}

bool String::matchesAt(const String& text, uint32_t count, uint32_t position) const {
    return matchesAt(text.getText(), count, position);
}

bool String::matchesAt(const StringRef& text, uint32_t count, uint32_t position) const {
    return matchesAt(text.get().getText(), count, position);
}

bool String::matchesAt(const char* text, uint32_t count, uint32_t position) const {
    if (!holds(position, count)) return false;
    if (!text) return count == 0;
    for (uint32_t i = 0; i < count; ++i) {
        // A text shorter than count ends in its terminator, which no character of ours equals.
        if (text[i] == 0 || static_cast<uint8_t>(text[i]) != data[position + i]) return false;
    }
    return true;
}

bool operator==(const String& a, const String& b) {
    return strcmp(a.getText(), b.getText()) == 0;
}

bool operator!=(const String& a, const String& b) {
    return !(a == b);
}

StringRef operator+(const String& left, const String& right) {
    if (&right == &concatScratch) {
        // The scratch string is about to be overwritten by `left`: keep the right operand first.
        const String kept(right);
        concatScratch = left;
        concatScratch += kept;
        return StringRef(concatScratch);
    }
    concatScratch = left;
    concatScratch += right;
    return StringRef(concatScratch);
}

StringRef operator+(StringRef ref, const String& text) {
    ref.get() += text;
    return ref;
}

StringRef operator+(StringRef ref, const char* text) {
    ref.get() += text;
    return ref;
}

StringRef operator+(StringRef ref, long value) {
    ref.get() += value;
    return ref;
}

StringRef operator+(StringRef ref, int value) {
    ref.get() += value;
    return ref;
}

StringRef operator+(StringRef ref, short value) {
    ref.get() += value;
    return ref;
}

StringRef operator+(StringRef ref, char value) {
    ref.get() += value;
    return ref;
}

StringRef operator+(StringRef ref, unsigned long value) {
    ref.get() += value;
    return ref;
}

StringRef operator+(StringRef ref, unsigned int value) {
    ref.get() += value;
    return ref;
}

StringRef operator+(StringRef ref, const Hex& value) {
    ref.get() += value;
    return ref;
}

}  // namespace Kestrin
