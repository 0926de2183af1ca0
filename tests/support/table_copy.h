// A copy of a built-in name table that a test may break, and the check that a line tells something.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "patchers/common/layout_facts.h"

struct NameTableCopy {
    std::vector<NameTableEntry> destination, source;
    std::deque<std::string> names;  // names a test gives to rows; a deque keeps them in place

    explicit NameTableCopy(const NameTable& table) {
        for (const NameTableEntry* row : nameRows(table.destination)) destination.push_back(*row);
        for (const NameTableEntry* row : nameRows(table.source)) source.push_back(*row);
    }
    // The row called `name`; a test that names no row is wrong itself.
    NameTableEntry& row(std::vector<NameTableEntry>& list, const char* name) {
        for (NameTableEntry& entry : list) {
            if (strcmp(entry.name, name) == 0) return entry;
        }
        throw std::runtime_error(name);
    }
    const char* name(const char* text) { return names.emplace_back(text).c_str(); }
    // The copy as a NameTable, valid while `terminated` lives.
    NameTable table(std::vector<NameTableEntry> (&terminated)[2]) const {
        terminated[0] = destination;
        terminated[1] = source;
        for (auto& list : terminated) list.push_back({"", 0, 0});
        return {terminated[0].data(), terminated[1].data()};
    }
};

// Whether one of `lines` holds `text`; the lines are shown when none does.
inline ::testing::AssertionResult tells(const std::vector<std::string>& lines, const std::string& text) {
    if (std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; })) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no line holds \"" << text << "\"; the lines: " << ::testing::PrintToString(lines);
}
