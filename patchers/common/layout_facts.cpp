// Checking a rebuild's layout tables against what is published of the two discs, as text.
#include "patchers/common/layout_facts.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

std::string formatted(const char* format, va_list arguments) {
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    vsnprintf(&text[0], text.size(), format, arguments);
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace

std::string formatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatted(format, arguments);
    va_end(arguments);
    return text;
}

std::vector<const NameTableEntry*> nameRows(const NameTableEntry* list) {
    std::vector<const NameTableEntry*> rows;
    for (const NameTableEntry* entry = list; entry->name[0]; ++entry) rows.push_back(entry);
    return rows;
}

const NameTableEntry* findNameRow(const NameTableEntry* list, const char* name) {
    for (const NameTableEntry* entry = list; entry->name[0]; ++entry) {
        if (strcmp(entry->name, name) == 0) return entry;
    }
    return nullptr;
}

std::vector<int32_t> soundOffsets(const SoundOffsetTable& table) {
    return std::vector<int32_t>(table.offsets, table.offsets + table.count);
}

void BrokenFacts::add(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    lines_.push_back(formatted(format, arguments));
    va_end(arguments);
}

void RowFact::broken(const char* format, ...) {
    if (count_++ > 0) return;
    va_list arguments;
    va_start(arguments, format);
    first_ = formatted(format, arguments);
    va_end(arguments);
}

void RowFact::reportTo(BrokenFacts& facts) const {
    if (count_ == 0) return;
    if (count_ == 1) {
        facts.add("%s: %s", fact_, first_.c_str());
        return;
    }
    facts.add("%s: %s (and %zu more rows)", fact_, first_.c_str(), count_ - 1);
}

void checkNamesUnique(const NameTable& names, BrokenFacts& facts) {
    for (const NameTableEntry* list : {names.destination, names.source}) {
        RowFact unique(list == names.destination ? "destination names are unique" : "source names are unique");
        std::set<std::string> seen;
        for (const NameTableEntry* entry : nameRows(list)) {
            if (!seen.insert(entry->name).second) unique.broken("%s appears twice", entry->name);
        }
        unique.reportTo(facts);
    }
}
