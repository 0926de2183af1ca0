// Differential fuzzing of Kestrin::Dir against a model that keeps the path as a list of components.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "kestrin/path.h"
#include "kestrin/string.h"

namespace {

void require(bool condition) {
    if (!condition) abort();
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool hasSeparator(const std::string& text) {
    return text.find_first_of("\\/") != std::string::npos;
}

// A path as its directory names and its file name, if any.
struct Model {
    std::vector<std::string> dirs;
    std::optional<std::string> file;

    size_t count() const { return dirs.size() + (file ? 1 : 0); }
    std::string text() const {
        std::string joined;
        for (const std::string& dir : dirs) joined += dir + "\\";
        if (file) joined += *file;
        return joined;
    }
};

// The canonical form, worked out on components: one leading separator is dropped, the text is
// split at every separator, a last part with a dot is the file name and any other non-empty last
// part a directory, and an empty first directory (the text began with two separators) goes.
std::optional<Model> parse(std::string text) {
    if (!text.empty() && isSeparator(text[0])) text.erase(0, 1);
    Model model;
    std::string part;
    for (char c : text) {
        if (isSeparator(c)) {
            model.dirs.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (part.find('.') != std::string::npos) {
        model.file = part;
    } else if (!part.empty()) {
        model.dirs.push_back(part);
    }
    if (!model.dirs.empty() && model.dirs[0].empty()) model.dirs.erase(model.dirs.begin());
    if (model.count() > 255) return std::nullopt;
    return model;
}

void check(const Kestrin::Dir& dir, const Model& model) {
    require(model.text() == dir.getPath().getText());
    require(dir.getComponentCount() == model.count());
    require(dir.isFile() == model.file.has_value());
}

std::string consumePathText(FuzzedDataProvider& input) {
    static const char kAlphabet[] = "ab.\\/C:x";
    std::string text;
    const size_t size = input.ConsumeIntegralInRange<size_t>(0, 10);
    for (size_t i = 0; i < size; ++i) text += kAlphabet[input.ConsumeIntegralInRange<size_t>(0, sizeof kAlphabet - 2)];
    return text;
}

// Start of component i in the text of the model (after the i-th backslash), or none.
std::optional<size_t> componentStart(const Model& model, uint32_t i) {
    if (i > model.dirs.size()) return std::nullopt;
    size_t position = 0;
    for (uint32_t k = 0; k < i; ++k) position += model.dirs[k].size() + 1;
    return position;
}

// insertPath: the fragment (less one leading separator) goes at the start of component i, with a
// backslash after it unless it ends in a separator, or it lands at the very end and its last
// part has a dot past its first character; the result is read again as a whole path.
bool modelInsert(Model& model, std::string fragment, uint32_t i) {
    const std::optional<size_t> position = componentStart(model, i);
    if (!position) return false;
    if (!fragment.empty() && isSeparator(fragment[0])) fragment.erase(0, 1);
    if (fragment.empty()) return true;
    bool separatorAfter = !isSeparator(fragment.back());
    if (separatorAfter && i == model.count()) {
        const size_t lastStart = fragment.find_last_of("\\/") == std::string::npos ? 0 : fragment.find_last_of("\\/") + 1;
        if (fragment.find('.', lastStart + 1) != std::string::npos) separatorAfter = false;
    }
    std::string text = model.text();
    text.insert(*position, fragment + (separatorAfter ? "\\" : ""));
    const std::optional<Model> parsed = parse(text);
    if (!parsed) return false;
    model = *parsed;
    return true;
}

// removeComponents: component `first` must start inside the text (after the first-th
// backslash), and all `count` components from it must be there.
bool modelRemove(Model& model, uint32_t first, uint32_t count) {
    if (first > model.dirs.size()) return false;
    if (static_cast<uint64_t>(first) + count > model.count()) return false;
    const uint32_t end = first + count;
    if (model.file && end == model.count()) model.file.reset();
    model.dirs.erase(model.dirs.begin() + first, model.dirs.begin() + std::min<size_t>(end, model.dirs.size()));
    return true;
}

uint32_t pickIndex(FuzzedDataProvider& input) {
    const uint8_t choice = input.ConsumeIntegral<uint8_t>();
    if (choice >= 250) return UINT32_MAX - (choice - 250);
    return choice % 8;
}

std::string consumeName(FuzzedDataProvider& input) {
    static const char kAlphabet[] = "abc.x";
    std::string text;
    const size_t size = input.ConsumeIntegralInRange<size_t>(0, 5);
    for (size_t i = 0; i < size; ++i) text += kAlphabet[input.ConsumeIntegralInRange<size_t>(0, sizeof kAlphabet - 2)];
    if (input.ConsumeIntegralInRange(0, 15) == 0) text += input.ConsumeBool() ? "\\" : "/";
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string start = consumePathText(input);
    Kestrin::Dir dir(start.c_str());
    Model model = parse(start).value_or(Model());
    check(dir, model);

    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 17)) {
        case 0: {
            const std::string text = consumePathText(input);
            const std::optional<Model> parsed = parse(text);
            if (parsed) model = *parsed;
            dir = text.c_str();
            break;
        }
        case 1: {
            const std::string fragment = consumePathText(input);
            const uint32_t i = pickIndex(input);
            require(dir.insertPath(fragment.c_str(), i) == modelInsert(model, fragment, i));
            break;
        }
        case 2: {  // +=: before the file name if there is one
            const std::string fragment = consumePathText(input);
            modelInsert(model, fragment, static_cast<uint32_t>(model.dirs.size()));
            dir += fragment.c_str();
            break;
        }
        case 3: {  // += itself
            const std::string fragment = model.text();
            modelInsert(model, fragment, static_cast<uint32_t>(model.dirs.size()));
            dir += dir;
            break;
        }
        case 4: {
            const std::string fragment = consumePathText(input);
            modelInsert(model, fragment, 0);
            dir.prepend(Kestrin::String(fragment.c_str()));
            break;
        }
        case 5: {
            const uint32_t first = pickIndex(input);
            const uint32_t count = pickIndex(input);
            require(dir.removeComponents(first, count) == modelRemove(model, first, count));
            break;
        }
        case 6: {
            const int32_t n = input.ConsumeIntegralInRange<int32_t>(-2, 9);
            if (n > 0) {
                const uint32_t removed = std::min<uint32_t>(n, model.count());
                modelRemove(model, static_cast<uint32_t>(model.count()) - removed, removed);
            }
            dir -= n;
            break;
        }
        case 7:
            if (model.count()) modelRemove(model, static_cast<uint32_t>(model.count()) - 1, 1);
            dir--;
            break;
        case 8: {  // sub-paths and the file name
            const uint32_t first = pickIndex(input);
            const uint32_t count = pickIndex(input);
            Model part;
            if (first < model.count()) {
                part = model;
                const uint32_t kept = std::min<uint64_t>(count, model.count() - first);
                modelRemove(part, 0, first);
                if (part.count() > kept) modelRemove(part, kept, static_cast<uint32_t>(part.count()) - kept);
            }
            check(dir.getComponents(first, count), part);
            Model name;
            if (model.file) name.file = model.file;
            check(dir.getFileName(), name);
            const std::string extension =
                model.file && model.file->find('.') != std::string::npos ? model.file->substr(model.file->find('.') + 1) : "";
            require(extension == dir.getExtension().getText());
            break;
        }
        case 9: {
            const std::string name = consumeName(input);
            const bool valid = !name.empty() && !hasSeparator(name) && name.find('.') != std::string::npos &&
                               name.back() != '.' && (model.file || model.count() < 255);
            if (valid) model.file = name;
            require(dir.setFileName(name.c_str()) == valid);
            break;
        }
        case 10: {
            const bool had = model.file.has_value();
            model.file.reset();
            require(dir.removeFileName() == had);
            break;
        }
        case 11: {  // toFile and toDirectory
            const std::string ext = consumeName(input);
            Model file = model;
            if (!model.file && model.count() > 0 && ext.find_first_of(".\\/") == std::string::npos) {
                file.file = file.dirs.back() + "." + ext;
                file.dirs.pop_back();
            }
            check(dir.toFile(ext.c_str()), file);
            Model directory = model;
            if (model.file) {
                directory.dirs.push_back(model.file->substr(0, model.file->rfind('.')));
                directory.file.reset();
            }
            check(dir.toDirectory(), directory);
            break;
        }
        case 12: {  // text added to, put before or replacing a directory name
            const std::string text = consumeName(input);
            const uint32_t i = pickIndex(input);
            const int how = input.ConsumeIntegralInRange(0, 2);
            const bool valid = !hasSeparator(text) && i < model.dirs.size();
            bool result = false;
            if (how == 0) result = dir.appendToDir(text.c_str(), i);
            if (how == 1) result = dir.prependToDir(text.c_str(), i);
            if (how == 2) result = dir.setDirName(text.c_str(), i);
            require(result == valid);
            if (!valid) break;
            std::string& name = model.dirs[i];
            name = how == 0 ? name + text : how == 1 ? text + name : text;
            break;
        }
        case 13: {  // text added to the file name
            const std::string text = consumeName(input);
            const bool before = input.ConsumeBool();
            const bool valid = !hasSeparator(text) && model.file;
            require((before ? dir.prependToFileName(text.c_str()) : dir.appendToFileName(text.c_str())) == valid);
            if (!valid) break;
            std::string& name = *model.file;
            if (before) name = text + name;
            else name.insert(name.rfind('.'), text);
            break;
        }
        case 14: {  // trims of a directory name
            const uint32_t n = pickIndex(input);
            const uint32_t i = pickIndex(input);
            const bool atEnd = input.ConsumeBool();
            const bool valid = i < model.dirs.size() && model.dirs[i].size() > n;
            require((atEnd ? dir.trimDirEnd(n, i) : dir.trimDirStart(n, i)) == valid);
            if (!valid) break;
            std::string& name = model.dirs[i];
            name = atEnd ? name.substr(0, name.size() - n) : name.substr(n);
            break;
        }
        case 15: {  // trims of the base name
            const uint32_t n = pickIndex(input);
            const bool atEnd = input.ConsumeBool();
            const size_t base = model.file ? model.file->rfind('.') : 0;
            const bool valid = model.file && base > n;
            require((atEnd ? dir.trimFileNameEnd(n) : dir.trimFileNameStart(n)) == valid);
            if (!valid) break;
            std::string& name = *model.file;
            name.erase(atEnd ? base - n : 0, n);
            break;
        }
        case 16: {
            const std::string ext = consumeName(input);
            const bool valid = model.file && ext.find_first_of(".\\/") == std::string::npos;
            require(dir.setExtension(ext.c_str()) == valid);
            if (valid) model.file = model.file->substr(0, model.file->rfind('.') + 1) + ext;
            break;
        }
        default: {  // copies and comparison
            const Kestrin::Dir copy(dir);
            check(copy, model);
            Kestrin::Dir assigned("z\\");
            assigned = dir;
            const std::optional<Model> again = parse(model.text());
            require(again.has_value());
            check(assigned, *again);
            require((assigned == dir) == (again->text() == model.text() && again->file.has_value() == model.file.has_value()));
            break;
        }
        }
        check(dir, model);
    }
    return 0;
}
