// What the checked readers of a disc's two file systems share: how a reading ends, the bounds of a
// walk through the folders, and the names they give.
#include "frlayout/tree_reading.h"

bool FolderTrail::enter(uint64_t place, const std::string& path, const char* system, std::string& why) {
    const std::string shown = path.empty() ? "/" : path;
    for (const auto& [onTrail, name] : trail_) {
        if (onTrail != place) continue;
        why = std::string("its ") + system + " folder " + shown + " is the folder " + (name.empty() ? "/" : name) +
              " above it again: its folders loop";
        return false;
    }
    if (met_.count(place)) {
        why = std::string("its ") + system + " folder " + shown + " is a folder met before elsewhere in the tree";
        return false;
    }
    if (trail_.size() >= kDeepestFolder) {
        why = std::string("its ") + system + " folder " + shown + " lies more than " + std::to_string(kDeepestFolder) +
              " folders deep";
        return false;
    }
    met_.insert(place);
    trail_.emplace_back(place, path);
    return true;
}

void appendUtf8(std::string& text, uint32_t character) {
    if (character < 0x80) {
        text += static_cast<char>(character);
    } else if (character < 0x800) {
        text += static_cast<char>(0xC0 | character >> 6);
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | character >> 12);
        text += static_cast<char>(0x80 | (character >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    }
}

bool usableName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string withoutVersion(std::string name) {
    const size_t semicolon = name.rfind(';');
    if (semicolon == std::string::npos || name.find_first_not_of("0123456789", semicolon + 1) != std::string::npos) return name;
    name.erase(semicolon);
    if (!name.empty() && name.back() == '.') name.pop_back();
    return name;
}

const char* namesName(TreeNames names) {
    switch (names) {
        case TreeNames::Udf: return "UDF";
        case TreeNames::RockRidge: return "Rock Ridge";
        case TreeNames::Joliet: return "Joliet";
        case TreeNames::Plain: break;
    }
    return "ISO 9660";
}
