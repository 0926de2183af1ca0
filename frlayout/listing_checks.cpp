// Checks between file lists: two readings of the same files must place them alike, a library's
// reading must be the checked one, and a list names each file once.
#include "frlayout/listing_checks.h"

#include <algorithm>
#include <cinttypes>
#include <iterator>
#include <map>
#include <set>
#include <tuple>
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

using Listed = std::tuple<std::string, uint32_t, uint64_t>;  // name, first sector, length

// A name as it can be shown: a control, or a byte outside any whole UTF-8 character, as \xNN.
std::string shownName(const std::string& name) {
    std::string shown;
    for (size_t at = 0; at < name.size();) {
        const unsigned char first = static_cast<unsigned char>(name[at]);
        const size_t length = first < 0x80 ? 1 : first >> 5 == 6 ? 2 : first >> 4 == 14 ? 3 : first >> 3 == 30 ? 4 : 0;
        bool whole = length > 0 && at + length <= name.size() && first >= 0x20 && first != 0x7F;
        for (size_t i = 1; whole && i < length; ++i) whole = (static_cast<unsigned char>(name[at + i]) & 0xC0) == 0x80;
        shown += whole ? name.substr(at, length) : formatText("\\x%02x", first);
        at += whole ? length : 1;
    }
    return shown;
}

std::string extentText(uint32_t sector, uint64_t size) {
    return formatText("sector %" PRIu32 ", %" PRIu64 " bytes", sector, size);
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

std::string libraryDisagreement(const std::vector<DiscFile>& read, const char* library, const char* names,
                                const std::vector<DiscFile>& checked) {
    std::multiset<Listed> byLibrary, byStructures;
    for (const DiscFile& file : read) byLibrary.emplace(file.name, file.sector, file.size);
    for (const DiscFile& file : checked) byStructures.emplace(file.name, file.sector, file.size);
    // What both readings list alike is set aside; each file left is told with what each reader says.
    std::vector<Listed> libraryOnly, structuresOnly;
    std::set_difference(byLibrary.begin(), byLibrary.end(), byStructures.begin(), byStructures.end(), std::back_inserter(libraryOnly));
    std::set_difference(byStructures.begin(), byStructures.end(), byLibrary.begin(), byLibrary.end(), std::back_inserter(structuresOnly));
    std::vector<std::string> told;
    for (const Listed& file : libraryOnly) {
        const std::string name = std::get<0>(file), extent = extentText(std::get<1>(file), std::get<2>(file));
        auto other = std::find_if(structuresOnly.begin(), structuresOnly.end(), [&](const Listed& f) { return std::get<0>(f) == name; });
        if (other != structuresOnly.end()) {
            told.push_back(formatText("%s places the file %s at %s where its structures say %s", library, shownName(name).c_str(),
                                      extent.c_str(), extentText(std::get<1>(*other), std::get<2>(*other)).c_str()));
            structuresOnly.erase(other);
            continue;
        }
        // A file of data is known by its extent too; an empty one is not.
        other = std::find_if(structuresOnly.begin(), structuresOnly.end(), [&](const Listed& f) {
            return std::get<2>(file) > 0 && std::get<1>(f) == std::get<1>(file) && std::get<2>(f) == std::get<2>(file);
        });
        if (other != structuresOnly.end()) {
            told.push_back(formatText("%s reads the %s name of the file at %s as %s where its structures say %s", library, names,
                                      extent.c_str(), shownName(name).c_str(), shownName(std::get<0>(*other)).c_str()));
            structuresOnly.erase(other);
            continue;
        }
        told.push_back(formatText("%s lists a file %s (%s) that its structures do not hold", library, shownName(name).c_str(), extent.c_str()));
    }
    for (const Listed& file : structuresOnly) {
        told.push_back(formatText("%s does not list the file %s (%s) that its structures hold", library,
                                  shownName(std::get<0>(file)).c_str(), extentText(std::get<1>(file), std::get<2>(file)).c_str()));
    }
    std::string sentence;
    for (size_t i = 0; i < told.size() && i < kMostNamed; ++i) sentence += (i == 0 ? "" : "; ") + told[i];
    if (told.size() > kMostNamed) sentence += formatText("; and %zu more differences", told.size() - kMostNamed);
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
