// The layout tables as the data folders hold them, in the text that cmake/embed_tables.py reads.
#include "frlayout/table_text.h"

#include <set>

namespace {

std::string comments(const std::vector<std::string>& heading) {
    std::string text;
    for (const std::string& line : heading) text += "# " + line + "\n";
    return text;
}

}  // namespace

bool writableName(const std::string& name) {
    if (name.empty() || name[0] == ' ') return false;
    for (char c : name) {
        if (c < ' ' || c > '~' || c == '"' || c == '\\') return false;
    }
    return true;
}

bool nameTableText(const NameRows& rows, const std::vector<std::string>& heading, std::string& text,
                   std::vector<std::string>& problems) {
    std::set<std::string> unwritable;
    text = comments(heading) + "[destination]\n";
    for (const NameRow& row : rows.destination) {
        if (!writableName(row.name)) unwritable.insert(row.name);
        text += std::to_string(row.sector) + " " + std::to_string(row.sectors) + " " + row.name + "\n";
    }
    text += "[source]\n";
    for (const NameRow& row : rows.source) {
        if (!writableName(row.name)) unwritable.insert(row.name);
        text += std::to_string(row.sector) + " " + row.name + "\n";
    }
    for (const std::string& name : unwritable) problems.push_back("the name \"" + name + "\" cannot stand in a data file");
    return unwritable.empty();
}

std::string soundTableText(const SoundRows& rows, const std::vector<std::string>& heading) {
    std::string text = comments(heading);
    for (int32_t offset : rows.offsets) text += std::to_string(offset) + "\n";
    return text + "end " + std::to_string(rows.end) + "\n";
}
