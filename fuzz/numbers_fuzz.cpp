// Differential fuzzing of the String number members against a reference parser and printf.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kestrin/numbers.h"
#include "kestrin/string.h"

namespace {

void require(bool condition) {
    if (!condition) abort();
}

// The bit pattern a window stands for in a type of `bits` bits, or false. Written on text and
// 64-bit arithmetic: the value is the number modulo 2^32; a hexadecimal number must fit the
// type's width; a decimal one its signed or unsigned range, a negative one giving the two's
// complement pattern in that width (so that "-0" is no char or short).
bool referenceParse(const std::string& window, int bits, bool isSigned, uint32_t& pattern) {
    const uint64_t span = 1ull << bits;  // 2^bits
    const uint64_t largest = isSigned ? span / 2 - 1 : span - 1;
    const bool prefixed = window.rfind("0x", 0) == 0;
    const bool suffixed = !window.empty() && window.back() == 'h';
    if (prefixed != suffixed) {
        const std::string digits = prefixed ? window.substr(2) : window.substr(0, window.size() - 1);
        uint64_t value = 0;
        for (char c : digits) {
            if (!isxdigit(static_cast<unsigned char>(c))) return false;
            const uint64_t digit = isdigit(static_cast<unsigned char>(c)) ? c - '0' : (tolower(c) - 'a' + 10);
            value = (value * 16 + digit) & 0xFFFFFFFFull;
        }
        if (isSigned && value >= span) return false;
        pattern = static_cast<uint32_t>(value);
        return true;
    }
    const bool negative = isSigned && !window.empty() && window[0] == '-';
    uint64_t magnitude = 0;
    for (size_t i = negative ? 1 : 0; i < window.size(); ++i) {
        if (!isdigit(static_cast<unsigned char>(window[i]))) return false;
        magnitude = (magnitude * 10 + static_cast<uint64_t>(window[i] - '0')) & 0xFFFFFFFFull;
    }
    if (!negative) {
        if (magnitude > largest) return false;
        pattern = static_cast<uint32_t>(magnitude);
        return true;
    }
    if (magnitude > largest + 1) return false;
    const uint64_t value = (span - magnitude) & 0xFFFFFFFFull;
    if (value >= span && bits < 32) return false;
    pattern = static_cast<uint32_t>(value);
    return true;
}

std::string referenceHex(uint32_t value, uint8_t flags, uint8_t digits) {
    if (value == 0 && digits == 0) return (flags & 2) ? ((flags & 1) ? "0x0" : "0x") : ((flags & 1) ? "h" : "");
    char text[300];
    snprintf(text, sizeof text, (flags & 0x80) ? "%0*x" : "%0*X", static_cast<int>(digits), value);
    std::string body = text;
    if ((flags & 3) == 3) return "0x0" + body;
    if (flags & 2) return "0x" + body;
    if (flags & 1) return body + "h";
    return body;
}

std::string consumeNumberText(FuzzedDataProvider& input) {
    static const char kAlphabet[] = "0123456789abcdefABCDEFxh- +9999";
    std::string text;
    const size_t size = input.ConsumeIntegralInRange<size_t>(0, 14);
    for (size_t i = 0; i < size; ++i) text += kAlphabet[input.ConsumeIntegralInRange<size_t>(0, sizeof kAlphabet - 2)];
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeBool()) {
            const std::string whole = consumeNumberText(input);
            const Kestrin::String text(whole.c_str());
            const uint32_t position = input.ConsumeIntegralInRange<uint32_t>(0, whole.size() + 2);
            const uint32_t count = input.ConsumeIntegralInRange<uint32_t>(0, 16);
            std::string window;
            const bool inside = position <= whole.size();
            if (inside) window = count == 0 ? whole.substr(position) : whole.substr(position, count);

            uint32_t pattern = 0;
            char c = 7;
            bool expected = inside && referenceParse(window, 8, true, pattern);
            require(text.toChar(c, position, count) == expected);
            require(c == (expected ? static_cast<char>(static_cast<uint8_t>(pattern)) : 7));
            require(text.equalsChar(static_cast<char>(pattern), count, position) == expected);

            short s = 7;
            expected = inside && referenceParse(window, 16, true, pattern);
            require(text.toShort(s, position, count) == expected);
            require(s == (expected ? static_cast<short>(static_cast<uint16_t>(pattern)) : 7));
            require(text.equalsShort(static_cast<short>(pattern), count, position) == expected);

            long l = 7;
            expected = inside && referenceParse(window, 32, true, pattern);
            require(text.toLong(l, position, count) == expected);
            require(l == (expected ? static_cast<long>(static_cast<int32_t>(pattern)) : 7));
            require(text.equalsLong(static_cast<long>(static_cast<int32_t>(pattern)), count, position) == expected);
            if (position == 0 && count == 0) require((text == static_cast<long>(static_cast<int32_t>(pattern))) == expected);

            unsigned long u = 7;
            expected = inside && referenceParse(window, 32, false, pattern);
            require(text.toUnsigned(u, position, count) == expected);
            require(u == (expected ? pattern : 7ul));
            require(text.equalsUnsigned(pattern, count, position) == expected);
            continue;
        }
        // Writing: decimal of every width, and Hex layouts.
        const int32_t value = input.ConsumeIntegral<int32_t>();
        const uint32_t bits = static_cast<uint32_t>(value);
        require(std::to_string(value) == Kestrin::String(static_cast<long>(value)).getText());
        require(std::to_string(value) == Kestrin::String(value).getText());
        require(std::to_string(static_cast<int16_t>(value)) == Kestrin::String(static_cast<short>(value)).getText());
        require(std::to_string(static_cast<int8_t>(value)) == Kestrin::String(static_cast<char>(value)).getText());
        require(std::to_string(bits) == Kestrin::String(bits).getText());
        require(std::to_string(static_cast<uint16_t>(bits)) ==
                Kestrin::String(static_cast<unsigned short>(bits)).getText());
        const uint8_t flags = static_cast<uint8_t>(input.ConsumeIntegralInRange(0, 3) | (input.ConsumeBool() ? 0x80 : 0));
        const uint8_t digits = input.ConsumeIntegralInRange<uint8_t>(0, 12);
        const Kestrin::Hex hex(bits, flags, digits);
        require(referenceHex(bits, flags, digits) == Kestrin::String(hex).getText());
        // Writing and parsing meet: the decimal text of a long parses back to it.
        long back = 0;
        require(Kestrin::String(static_cast<long>(value)).toLong(back, 0, 0) && back == value);
        if (flags & 3) {  // a marked hexadecimal text parses back to its value
            unsigned long parsed = 0;
            require(Kestrin::String(hex).toUnsigned(parsed, 0, 0) && parsed == bits);
        }
    }
    return 0;
}
