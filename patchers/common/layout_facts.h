// Checking a rebuild's layout tables against what is published of the two discs, as text.
#pragma once

#include <string>
#include <vector>

#include "patchers/common/rebuild.h"

// printf into a string.
std::string formatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The rows of a name list, up to the row with the empty name.
std::vector<const NameTableEntry*> nameRows(const NameTableEntry* list);
// The row called `name` (case counts), or null.
const NameTableEntry* findNameRow(const NameTableEntry* list, const char* name);
// The offsets of a sound table, as a vector.
std::vector<int32_t> soundOffsets(const SoundOffsetTable& table);

// Collects the facts that tables break, one line each.
class BrokenFacts {
public:
    // Records a broken fact, worded with printf conversions.
    void add(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    std::vector<std::string> lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// A fact that every row of a list must hold: the first row that breaks it is told, with the count
// of the others, so that a shifted table gives one line rather than thousands.
class RowFact {
public:
    explicit RowFact(const char* fact) : fact_(fact) {}
    // Records one row that breaks the fact; only the first one's words are kept.
    void broken(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // Adds the fact to `facts` when any row broke it.
    void reportTo(BrokenFacts& facts) const;

private:
    const char* fact_;
    std::string first_;
    size_t count_ = 0;
};

// Each list of the table names a file once at most.
void checkNamesUnique(const NameTable& names, BrokenFacts& facts);
