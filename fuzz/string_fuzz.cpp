// Differential fuzzing of Kestrin::String against a std::string model of its rules and growth.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kestrin/string.h"

namespace {

struct Model {
    std::string text;
    uint64_t capacity = 1;
};

constexpr int kSlots = 3;

void require(bool condition) {
    if (!condition) abort();
}

void check(const Kestrin::String& s, const Model& model) {
    require(s.getLength() == model.text.size());
    require(s.getCapacity() == model.capacity);
    require(s.getCapacity() > s.getLength());
    require(s.getText()[s.getLength()] == 0);
    require(memcmp(s.getText(), model.text.data(), model.text.size()) == 0);
}

// Room for n characters: the array becomes n + 1 bytes when n is not below the capacity.
void makeRoom(Model& model, uint64_t n) {
    if (n >= model.capacity) model.capacity = n + 1;
}

void assign(Model& model, const std::string& text) {
    makeRoom(model, text.size());
    model.text = text;
}

// Text without zero bytes, which the String does not hold.
std::string consumeText(FuzzedDataProvider& input) {
    std::string text = input.ConsumeRandomLengthString(12);
    for (char& c : text) {
        if (c == 0) c = 'A';
    }
    return text;
}

uint32_t pickPosition(FuzzedDataProvider& input, size_t length) {
    const uint8_t choice = input.ConsumeIntegral<uint8_t>();
    if (choice >= 248) return UINT32_MAX - (choice - 248);
    return static_cast<uint32_t>(choice % (length + 4));
}

uint32_t pickCount(FuzzedDataProvider& input) {
    const uint8_t choice = input.ConsumeIntegral<uint8_t>();
    if (choice >= 250) return UINT32_MAX - (choice - 250);
    return choice % 10;
}

struct Window {
    bool usable;
    bool complete;
    uint64_t count;
};

Window window(uint64_t sourceLength, uint64_t srcPos, uint64_t count) {
    if (srcPos > sourceLength) return {false, false, 0};
    const uint64_t available = sourceLength - srcPos;
    if (count == 0) return {true, true, available};
    if (available == 0) return {false, false, 0};
    return {true, count <= available, std::min(count, available)};
}

std::string lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Kestrin::String strings[kSlots];
    Model models[kSlots];

    while (input.remaining_bytes() > 0) {
        const int target = input.ConsumeIntegralInRange(0, kSlots - 1);
        const int source = input.ConsumeIntegralInRange(0, kSlots - 1);
        Kestrin::String& s = strings[target];
        Model& model = models[target];
        const std::string other = models[source].text;
        const size_t length = model.text.size();

        switch (input.ConsumeIntegralInRange(0, 19)) {
        case 0:
            if (target != source) assign(model, other);
            s = strings[source];
            break;
        case 1: {
            const std::string text = consumeText(input);
            assign(model, text);
            s = text.c_str();
            break;
        }
        case 2: {  // a C string that lies inside the String itself
            const uint32_t from = input.ConsumeIntegralInRange<uint32_t>(0, length);
            const int how = input.ConsumeIntegralInRange(0, 2);
            const std::string tail = model.text.substr(from);
            const char* inside = s.getText() + from;
            if (how == 0) {
                assign(model, tail);
                s = inside;
            } else if (how == 1) {
                makeRoom(model, length + tail.size());
                model.text += tail;
                s += inside;
            } else {
                if (!tail.empty()) makeRoom(model, length + tail.size());
                model.text = tail + model.text;
                s.prepend(inside);
            }
            break;
        }
        case 3:
            makeRoom(model, length + other.size());
            model.text += other;
            s += strings[source];
            break;
        case 4:
            if (!other.empty()) makeRoom(model, length + other.size());
            model.text = other + model.text;
            s.prepend(strings[source]);
            break;
        case 5: {
            const bool line = input.ConsumeBool();
            const uint64_t added = line ? 2 : 1;
            if (length + added >= model.capacity) model.capacity = std::max(model.capacity + added, length + added + 1);
            model.text += line ? "\r\n" : " ";
            if (line) s.appendNewLine();
            else s.appendSpace();
            break;
        }
        case 6: {  // insert from a String or from C text
            const bool fromText = input.ConsumeBool();
            const std::string text = fromText ? consumeText(input) : other;
            const uint32_t position = pickPosition(input, length);
            const uint32_t count = pickCount(input);
            const uint32_t srcPosition = pickPosition(input, text.size());
            const Window w = window(text.size(), srcPosition, count);
            bool expected = false;
            if (position <= length && w.usable) {
                makeRoom(model, length + w.count);
                model.text.insert(position, text.substr(srcPosition, w.count));
                expected = w.complete;
            }
            const bool result = fromText ? s.insert(text.c_str(), position, count, srcPosition)
                                         : s.insert(strings[source], position, count, srcPosition);
            require(result == expected);
            break;
        }
        case 7: {  // overwrite from a String or from C text
            const bool fromText = input.ConsumeBool();
            const std::string text = fromText ? consumeText(input) : other;
            const uint32_t position = pickPosition(input, length);
            const uint32_t count = pickCount(input);
            const uint32_t srcPosition = pickPosition(input, text.size());
            const Window w = window(text.size(), srcPosition, count);
            bool expected = false;
            if (position <= length && w.usable) {
                const uint64_t copied = std::min<uint64_t>(w.count, length - position);
                model.text.replace(position, copied, text.substr(srcPosition, copied));
                expected = w.complete && (fromText || copied == w.count);
            }
            const bool result = fromText ? s.overwrite(text.c_str(), position, count, srcPosition)
                                         : s.overwrite(strings[source], position, count, srcPosition);
            require(result == expected);
            break;
        }
        case 8: {
            const uint32_t position = pickPosition(input, length);
            const uint32_t count = pickCount(input);
            bool expected = false;
            if (position < length || (position == length && count == 0)) {
                model.text.erase(position, std::min<uint64_t>(count, length - position));
                expected = true;
            }
            require(s.erase(position, count) == expected);
            break;
        }
        case 9: {  // resize: added characters are whatever the array held
            const uint32_t n = input.ConsumeIntegralInRange<uint32_t>(0, length + 8);
            s.resize(n);
            model.capacity = n + 1ull;
            model.text.resize(n);
            for (uint32_t i = static_cast<uint32_t>(length); i < n; ++i) model.text[i] = static_cast<char>(s.getU8(i));
            require(s.getText()[n] == 0);
            if (strlen(s.getText()) != n) {  // a zero came along: cut the text there to keep it text
                s.resize(static_cast<uint32_t>(strlen(s.getText())));
                model.text.resize(strlen(s.getText()));
                model.capacity = model.text.size() + 1;
            }
            break;
        }
        case 10:
            model.text.clear();
            s.clear();
            break;
        case 11: {
            const uint32_t n = pickCount(input);
            model.text.resize(n > length ? 0 : length - n);
            s -= n;
            break;
        }
        case 12: {  // substring into another String, or into itself
            const uint32_t position = pickPosition(input, length);
            const uint32_t count = pickCount(input);
            Model& out = models[source];
            if (position < length) {
                const uint64_t rest = length - position;
                const std::string part = model.text.substr(position, count == 0 || count > rest ? rest : count);
                assign(out, part);
            }
            require(&s.substring(strings[source], position, count) == &strings[source]);
            check(strings[source], out);
            break;
        }
        case 13: {
            const std::string text = consumeText(input);
            assign(model, lower(text));
            s.assignLower(text.c_str());
            break;
        }
        case 14:
            model.text = lower(model.text);
            require(s.toLower() == length);
            break;
        case 15: {
            const std::string text = consumeText(input);
            const uint32_t count = pickCount(input);
            const uint32_t position = pickPosition(input, length);
            bool expected = position <= length && count <= length - position;
            if (expected) expected = count <= text.size() && model.text.compare(position, count, text, 0, count) == 0;
            require(s.matchesAt(text.c_str(), count, position) == expected);
            require(s.matchesAt(Kestrin::String(text.c_str()), count, position) == expected);
            require((s == text.c_str()) == (model.text == text));
            require((s == strings[source]) == (model.text == other));
            break;
        }
        case 16: {  // numbers
            const int32_t value = input.ConsumeIntegral<int32_t>();
            const std::string digits = std::to_string(value);
            if (input.ConsumeBool()) {
                makeRoom(model, length + digits.size());
                model.text += digits;
                s += value;
            } else {
                makeRoom(model, length + digits.size());
                model.text = digits + model.text;
                s.prepend(value);
            }
            break;
        }
        case 17: {  // a concatenation chain
            const std::string text = consumeText(input);
            const uint32_t number = input.ConsumeIntegral<uint32_t>();
            const std::string expected = model.text + text + other + std::to_string(number) + model.text;
            const Kestrin::StringRef chain = s + Kestrin::String(text.c_str()) + strings[source] + number + s;
            require(expected == chain.get().getText());
            break;
        }
        case 18: {  // copies
            const Kestrin::String copy(s);
            check(copy, model);
            const Kestrin::String fromRef(s + "");
            require(model.text == fromRef.getText());
            break;
        }
        default:
            break;
        }
        check(s, model);
        if (model.text.size() > 4096) return 0;
    }
    return 0;
}
