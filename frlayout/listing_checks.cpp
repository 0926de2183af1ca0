// Checks between file lists: two readings of the same files must place them alike, and a list
// names each file once.
#include "frlayout/listing_checks.h"

#include <algorithm>
#include <cinttypes>
#include <map>
#include <utility>

#include "patchers/common/layout_facts.h"

namespace {

constexpr size_t kMostNamed = 5;

using ExtentCount = std::map<std::pair<uint32_t, uint64_t>, size_t>;

ExtentCount extentsOf(const std::vector<DiscFile>& files) {
    ExtentCount count;
    for (const DiscFile& file : files) {
        if (file.size > 0) ++count[{file.sector, file.size}];
    }
    return count;
}

// The files of `files` whose extent `other` holds fewer times, named in order.
void nameUnmatched(const std::vector<DiscFile>& files, const ExtentCount& own, const ExtentCount& other,
                   const char* system, const char* otherSystem, std::vector<std::string>& told) {
    std::vector<const DiscFile*> unmatched;
    for (const DiscFile& file : files) {
        if (file.size == 0) continue;
        const auto found = other.find({file.sector, file.size});
        if (found == other.end() || found->second < own.at({file.sector, file.size})) unmatched.push_back(&file);
    }
    std::sort(unmatched.begin(), unmatched.end(), [](const DiscFile* a, const DiscFile* b) { return a->name < b->name; });
    for (size_t i = 0; i < unmatched.size() && i < kMostNamed; ++i) {
        told.push_back(formatText("the %s file %s (sector %" PRIu32 ", %" PRIu64 " bytes) has no %s file of that extent", system,
                                  unmatched[i]->name.c_str(), unmatched[i]->sector, unmatched[i]->size, otherSystem));
    }
    if (unmatched.size() > kMostNamed) told.push_back(formatText("%zu more %s files alike", unmatched.size() - kMostNamed, system));
}

}  // namespace

std::string extentDisagreement(const std::vector<DiscFile>& a, const char* first, const std::vector<DiscFile>& b,
                               const char* second) {
    const ExtentCount inA = extentsOf(a), inB = extentsOf(b);
    if (inA == inB) return "";
    std::vector<std::string> told;
    nameUnmatched(a, inA, inB, first, second, told);
    nameUnmatched(b, inB, inA, second, first, told);
    std::string sentence;
    for (const std::string& line : told) sentence += (sentence.empty() ? "" : "; ") + line;
    return sentence;
}

std::vector<std::string> repeatedNames(const std::vector<DiscFile>& files) {
    std::map<std::string, size_t> count;
    for (const DiscFile& file : files) ++count[file.name];
    std::vector<std::string> repeated;
    for (const auto& [name, times] : count) {
        if (times > 1 && repeated.size() < kMostNamed) repeated.push_back(name);
    }
    return repeated;
}
