// Kestrin::Dir: a path value kept in one canonical form, with its components and file name.
#include "kestrin/path.h"

#include <cstdint>
#include <cstring>

namespace Kestrin {
namespace {

constexpr uint32_t kMaxComponents = 255;

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool holdsSeparator(const char* text) {
    return text && (strchr(text, '\\') || strchr(text, '/'));
}

// Text that a component operation may put into a component: no separator.
bool isComponentText(const char* text) {
    return text && !holdsSeparator(text);
}

uint32_t textLength(const char* text) {
    return text ? static_cast<uint32_t>(strlen(text)) : 0;
}

}  // namespace

Dir::Dir() : fileFlag(false), componentCount(0) {}

Dir::Dir(const Dir& other) : path(other.path), fileFlag(other.fileFlag), componentCount(other.componentCount) {}

Dir::Dir(const char* text, bool lowerCase) : fileFlag(false), componentCount(0) {
    String candidate(text, lowerCase);
    adopt(candidate);
}

Dir::Dir(const String& text) : fileFlag(false), componentCount(0) {
    String candidate(text);
    adopt(candidate);
}

Dir::~Dir() = default;

bool Dir::normalize(String& text, bool& isFileName, uint8_t& count) {
    uint32_t components = 0;
    if (text.getLength() && isSeparator(text.getText()[0])) text.erase(0, 1);
    bool lastHasDot = false;
    for (uint32_t i = 0; i < text.getLength(); ++i) {
        const char c = text.getText()[i];
        if (c == '.') {
            lastHasDot = true;
            continue;
        }
        if (!isSeparator(c)) continue;
        if (c == '/') text.setChar('\\', i);
        ++components;
        lastHasDot = false;
    }
    const uint32_t length = text.getLength();
    if (lastHasDot) {
        ++components;
        isFileName = true;
    } else {
        if (length == 0 || text.getText()[length - 1] != '\\') {
            text += "\\";
            if (text.getLength() == length) return false;
            ++components;
        }
        isFileName = false;
    }
    // The empty text, or one that began with two separators, now begins with a backslash.
    if (text.getText()[0] == '\\') {
        text.erase(0, 1);
        --components;
    }
    if (components > kMaxComponents) return false;
    count = static_cast<uint8_t>(components);
    return true;
}

bool Dir::adopt(String& text) {
    bool isFileName = false;
    uint8_t count = 0;
    if (!normalize(text, isFileName, count)) return false;
    path = text;
    if (path.getLength() != text.getLength()) return false;
    fileFlag = isFileName;
    componentCount = count;
    return true;
}

Dir& Dir::operator=(const Dir& other) {
    String candidate(other.path);
    adopt(candidate);
    return *this;
}

Dir& Dir::operator=(const String& text) {
    String candidate(text);
    adopt(candidate);
    return *this;
}

Dir& Dir::operator=(const StringRef& text) {
    return *this = text.get();
}

Dir& Dir::operator=(const char* text) {
    String candidate(text);
    adopt(candidate);
    return *this;
}

String Dir::getPath() const {
    return path;
}

bool Dir::componentStart(uint32_t i, uint32_t& position) const {
    position = 0;
    const char* text = path.getText();
    const uint32_t length = path.getLength();
    for (uint32_t found = 0; found < i; ++found) {
        while (position < length && text[position] != '\\') ++position;
        if (position == length) return false;
        ++position;
    }
    return true;
}

bool Dir::directoryRange(uint32_t i, uint32_t& start, uint32_t& end) const {
    if (!componentStart(i, start)) return false;
    const char* text = path.getText();
    end = start;
    while (end < path.getLength() && text[end] != '\\') ++end;
    return end < path.getLength();
}

uint32_t Dir::fileNameStart() const {
    const char* last = strrchr(path.getText(), '\\');
    return last ? static_cast<uint32_t>(last - path.getText()) + 1 : 0;
}

uint32_t Dir::fileNameLastDot() const {
    // A path with a file name always has a dot in it.
    const char* dot = strrchr(path.getText(), '.');
    return dot ? static_cast<uint32_t>(dot - path.getText()) : path.getLength();
}

// ---- Whole-path operations ---------------------------------------------------------------------

// The fragment (less one leading separator) goes at the start of component i. A backslash
// follows it unless it ends in a separator itself, or it is added at the very end of the path and
// its own last component is a file name (a dot past its first character).
bool Dir::insertFragment(const char* fragment, uint32_t i) {
    uint32_t position = 0;
    if (!componentStart(i, position)) return false;
    if (!fragment) return true;
    if (isSeparator(fragment[0])) ++fragment;
    const uint32_t size = textLength(fragment);
    if (size == 0) return true;

    bool separatorAfter = !isSeparator(fragment[size - 1]);
    if (separatorAfter && i == componentCount) {
        uint32_t lastStart = size;
        while (lastStart > 0 && !isSeparator(fragment[lastStart - 1])) --lastStart;
        if (strchr(fragment + lastStart + 1, '.')) separatorAfter = false;
    }
    String candidate(path);
    if (separatorAfter && !candidate.insert("\\", position, 1, 0)) return false;
    if (!candidate.insert(fragment, position, size, 0)) return false;
    return adopt(candidate);
}

bool Dir::insertPath(const String& fragment, uint32_t i) {
    return insertFragment(fragment.getText(), i);
}

bool Dir::insertPath(const StringRef& fragment, uint32_t i) {
    return insertFragment(fragment.get().getText(), i);
}

bool Dir::insertPath(const char* fragment, uint32_t i) {
    return insertFragment(fragment, i);
}

Dir& Dir::operator+=(const Dir& other) {
    const String fragment(other.path);  // `other` may be this very path
    insertFragment(fragment.getText(), fileFlag ? componentCount - 1u : componentCount);
    return *this;
}

Dir& Dir::operator+=(const String& fragment) {
    insertFragment(fragment.getText(), fileFlag ? componentCount - 1u : componentCount);
    return *this;
}

Dir& Dir::operator+=(const StringRef& fragment) {
    return *this += fragment.get();
}

Dir& Dir::operator+=(const char* fragment) {
    insertFragment(fragment, fileFlag ? componentCount - 1u : componentCount);
    return *this;
}

Dir& Dir::prepend(const String& fragment) {
    insertFragment(fragment.getText(), 0);
    return *this;
}

Dir& Dir::prepend(const StringRef& fragment) {
    return prepend(fragment.get());
}

Dir& Dir::prepend(const char* fragment) {
    insertFragment(fragment, 0);
    return *this;
}

bool Dir::removeComponents(uint32_t first, uint32_t count) {
    uint32_t start = 0;
    if (!componentStart(first, start)) return false;
    const char* text = path.getText();
    const uint32_t length = path.getLength();
    uint32_t end = start;
    bool coversFileName = false;
    for (uint32_t covered = 0; covered < count; ++covered) {
        if (end >= length) return false;
        while (end < length && text[end] != '\\') ++end;
        if (end < length) {
            ++end;  // a directory, with its backslash
        } else {
            coversFileName = true;
        }
    }
    if (end > start) path.erase(start, end - start);
    componentCount = static_cast<uint8_t>(componentCount - count);
    if (coversFileName) fileFlag = false;
    return true;
}

Dir& Dir::operator-=(int32_t n) {
    if (n <= 0) return *this;
    const uint32_t removed = static_cast<uint32_t>(n) < componentCount ? static_cast<uint32_t>(n) : componentCount;
    removeComponents(componentCount - removed, removed);
    return *this;
}

Dir& Dir::operator--(int) {
    if (componentCount) removeComponents(componentCount - 1u, 1);
    return *this;
}

Dir Dir::getComponents(uint32_t first, uint32_t count) const {
    Dir part(*this);
    if (first >= componentCount) {
        part.path.clear();
        part.fileFlag = false;
        part.componentCount = 0;
        return part;
    }
    if (count > componentCount - first) count = componentCount - first;
    part.removeComponents(0, first);
    if (part.componentCount > count) part.removeComponents(count, part.componentCount - count);
    return part;
}

Dir Dir::getFileName() const {
    Dir name;
    if (!fileFlag) return name;
    path.substring(name.path, fileNameStart(), 0);
    name.fileFlag = true;
    name.componentCount = 1;
    return name;
}

String Dir::getExtension() const {
    String extension;
    if (!fileFlag) return extension;
    const char* name = path.getText() + fileNameStart();
    const char* dot = strchr(name, '.');
    if (dot) extension = dot + 1;
    return extension;
}

bool Dir::removeFileName() {
    if (!fileFlag) return false;
    if (componentCount == 1) {
        path.clear();
        componentCount = 0;
    } else {
        const uint32_t start = fileNameStart();
        path.erase(start, path.getLength() - start);
        --componentCount;
    }
    fileFlag = false;
    return true;
}

bool Dir::setFileName(const String& name) {
    return setFileName(name.getText());
}

bool Dir::setFileName(const StringRef& name) {
    return setFileName(name.get().getText());
}

bool Dir::setFileName(const char* name) {
    const uint32_t size = textLength(name);
    if (size == 0 || holdsSeparator(name) || !strchr(name, '.') || name[size - 1] == '.') return false;
    if (!fileFlag && componentCount == kMaxComponents) return false;
    String candidate(path);
    const uint32_t start = fileNameStart();
    candidate.resize(start);
    candidate += name;
    if (candidate.getLength() != start + size) return false;
    path = candidate;
    if (!fileFlag) ++componentCount;
    fileFlag = true;
    return true;
}

bool Dir::setExtension(const char* ext) {
    if (!fileFlag || !ext || strchr(ext, '.') || holdsSeparator(ext)) return false;
    return replaceText(fileNameLastDot() + 1, path.getLength(), ext);
}

Dir Dir::toFile(const char* ext) const {
    Dir file(*this);
    if (fileFlag || componentCount == 0 || !ext || strchr(ext, '.') || holdsSeparator(ext)) return file;
    String text(path);
    text.resize(text.getLength() - 1);  // the last directory's backslash
    text += ".";
    text += ext;
    file.path = text;
    file.fileFlag = true;
    return file;
}

Dir Dir::toDirectory() const {
    Dir directory(*this);
    if (!fileFlag) return directory;
    String text(path);
    text.resize(fileNameLastDot());
    text += "\\";
    directory.path = text;
    directory.fileFlag = false;
    return directory;
}

// ---- Component-text operations -----------------------------------------------------------------

bool Dir::replaceText(uint32_t start, uint32_t end, const char* text) {
    String candidate(path);
    if (end > start && !candidate.erase(start, end - start)) return false;
    const uint32_t size = textLength(text);
    if (size && !candidate.insert(text, start, size, 0)) return false;
    path = candidate;
    return path.getLength() == candidate.getLength();
}

bool Dir::appendToDir(const String& text, uint32_t i) { return appendToDir(text.getText(), i); }
bool Dir::appendToDir(const StringRef& text, uint32_t i) { return appendToDir(text.get().getText(), i); }
bool Dir::appendToDir(const char* text, uint32_t i) {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!isComponentText(text) || !directoryRange(i, start, end)) return false;
    return replaceText(end, end, text);
}

bool Dir::prependToDir(const String& text, uint32_t i) { return prependToDir(text.getText(), i); }
bool Dir::prependToDir(const StringRef& text, uint32_t i) { return prependToDir(text.get().getText(), i); }
bool Dir::prependToDir(const char* text, uint32_t i) {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!isComponentText(text) || !directoryRange(i, start, end)) return false;
    return replaceText(start, start, text);
}

bool Dir::setDirName(const String& text, uint32_t i) { return setDirName(text.getText(), i); }
bool Dir::setDirName(const StringRef& text, uint32_t i) { return setDirName(text.get().getText(), i); }
bool Dir::setDirName(const char* text, uint32_t i) {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!isComponentText(text) || !directoryRange(i, start, end)) return false;
    return replaceText(start, end, text);
}

bool Dir::appendToFileName(const String& text) { return appendToFileName(text.getText()); }
bool Dir::appendToFileName(const StringRef& text) { return appendToFileName(text.get().getText()); }
bool Dir::appendToFileName(const char* text) {
    if (!isComponentText(text) || !fileFlag) return false;
    const uint32_t dot = fileNameLastDot();
    return replaceText(dot, dot, text);
}

bool Dir::prependToFileName(const String& text) { return prependToFileName(text.getText()); }
bool Dir::prependToFileName(const StringRef& text) { return prependToFileName(text.get().getText()); }
bool Dir::prependToFileName(const char* text) {
    if (!isComponentText(text) || !fileFlag) return false;
    const uint32_t start = fileNameStart();
    return replaceText(start, start, text);
}

bool Dir::trimDirEnd(uint32_t n, uint32_t i) {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!directoryRange(i, start, end) || end - start <= n) return false;
    return replaceText(end - n, end, "");
}

bool Dir::trimDirStart(uint32_t n, uint32_t i) {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!directoryRange(i, start, end) || end - start <= n) return false;
    return replaceText(start, start + n, "");
}

bool Dir::trimFileNameEnd(uint32_t n) {
    if (!fileFlag) return false;
    const uint32_t start = fileNameStart();
    const uint32_t dot = fileNameLastDot();
    if (dot - start <= n) return false;
    return replaceText(dot - n, dot, "");
}

bool Dir::trimFileNameStart(uint32_t n) {
    if (!fileFlag) return false;
    const uint32_t start = fileNameStart();
    const uint32_t dot = fileNameLastDot();
    if (dot - start <= n) return false;
    return replaceText(start, start + n, "");
}

// ---- Comparison and concatenation --------------------------------------------------------------

bool operator==(const Dir& a, const Dir& b) {
    return a.isFile() == b.isFile() && a.getPath() == b.getPath();
}

bool operator!=(const Dir& a, const Dir& b) {
    return !(a == b);
}

Dir operator+(const Dir& d, const Dir& x) {
    Dir sum(d);
    sum += x;
    return sum;
}

Dir operator+(const Dir& d, const String& x) {
    Dir sum(d);
    sum += x;
    return sum;
}

Dir operator+(const Dir& d, const StringRef& x) {
    Dir sum(d);
    sum += x;
    return sum;
}

Dir operator+(const Dir& d, const char* x) {
    Dir sum(d);
    sum += x;
    return sum;
}

}  // namespace Kestrin
