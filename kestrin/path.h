// Kestrin::Dir: a path value kept in one canonical form, with its components and file name.
#pragma once

#include <cstdint>

#include "kestrin/string.h"

namespace Kestrin {

// The text of a relative or drive-rooted path in canonical form:
// - the only separator is the backslash (a slash becomes one) and the text never begins with one;
// - every directory component ends in a backslash; a last component holding a dot anywhere is a
//   file name (without a backslash after it); the empty text is the empty path;
// - a drive ("C:") is an ordinary first component; doubled separators make empty components.
// Pure text work: no input, output or system call, and no use of the error record. Every
// operation that fails returns false (or an unchanged copy) and leaves the path as it was.
//
// The component count is 8 bits wide: text that would give more than 255 components is refused
// (an assignment or insertion leaves the path unchanged; a constructor gives the empty path).
// Component indexes below count components from 0 at the start of the text; a directory index
// counts only components that end in a backslash.
class Dir {
public:
    Dir();
    // Copies the three fields as they are.
    Dir(const Dir& other);
    // The text, A to Z lower-cased when `lowerCase` is set, then normalised.
    Dir(const char* text, bool lowerCase = false);
    Dir(const String& text);
    virtual ~Dir();

    // The other path or the text, normalised.
    Dir& operator=(const Dir& other);
    Dir& operator=(const String& text);
    Dir& operator=(const StringRef& text);
    Dir& operator=(const char* text);

    // A copy of the path text.
    String getPath() const;
    uint8_t getComponentCount() const { return componentCount; }
    bool isFile() const { return fileFlag; }

    // Inserts a path fragment before component i (see path.cpp); false, unchanged, when the path
    // has no component i (i may be the count of a directory path: the very end). An empty
    // fragment changes nothing.
    bool insertPath(const String& fragment, uint32_t i);
    bool insertPath(const StringRef& fragment, uint32_t i);
    bool insertPath(const char* fragment, uint32_t i);
    // The fragment goes after the last directory, before the file name if there is one.
    Dir& operator+=(const Dir& other);
    Dir& operator+=(const String& fragment);
    Dir& operator+=(const StringRef& fragment);
    Dir& operator+=(const char* fragment);
    // The fragment goes in front.
    Dir& prepend(const String& fragment);
    Dir& prepend(const StringRef& fragment);
    Dir& prepend(const char* fragment);

    // Removes `count` components from component `first`; false, unchanged, when they are not all
    // there. Count 0 is true when component `first` starts inside (or at the end of) the text.
    bool removeComponents(uint32_t first, uint32_t count);
    // Removes the last min(n, count) components; a negative n removes nothing.
    Dir& operator-=(int32_t n);
    // Removes the last component; nothing on the empty path.
    Dir& operator--(int);
    // The components from `first`, at most `count` of them; empty when first is past the last.
    Dir getComponents(uint32_t first, uint32_t count) const;
    // The file name alone (1 component, a file), or the empty path.
    Dir getFileName() const;
    // The file name's text after its first dot; empty without a file name.
    String getExtension() const;
    bool removeFileName();
    // Replaces the file name or adds one to a directory path. The name must not be empty, must
    // hold a dot, must not end with one and must hold no separator.
    bool setFileName(const String& name);
    bool setFileName(const StringRef& name);
    bool setFileName(const char* name);
    // Replaces the text after the file name's last dot; ext holds no dot and no separator.
    bool setExtension(const char* ext);
    // For a directory path: a copy whose last directory becomes a file named after it with the
    // extension ext; otherwise an unchanged copy.
    Dir toFile(const char* ext) const;
    // For a file path: a copy whose file name, less its last dot and what follows, becomes a
    // directory; otherwise an unchanged copy.
    Dir toDirectory() const;

    // Text operations on one component. None normalises or changes the count or the file flag;
    // each returns false, unchanged, for text holding a separator or a missing component.
    bool appendToDir(const String& text, uint32_t i);
    bool appendToDir(const StringRef& text, uint32_t i);
    bool appendToDir(const char* text, uint32_t i);
    bool prependToDir(const String& text, uint32_t i);
    bool prependToDir(const StringRef& text, uint32_t i);
    bool prependToDir(const char* text, uint32_t i);
    bool setDirName(const String& text, uint32_t i);
    bool setDirName(const StringRef& text, uint32_t i);
    bool setDirName(const char* text, uint32_t i);
    // Before the file name's last dot.
    bool appendToFileName(const String& text);
    bool appendToFileName(const StringRef& text);
    bool appendToFileName(const char* text);
    bool prependToFileName(const String& text);
    bool prependToFileName(const StringRef& text);
    bool prependToFileName(const char* text);
    // The trims refuse to empty their component (n at least its length). The base name of the
    // file runs from its first character to just before its last dot.
    bool trimDirEnd(uint32_t n, uint32_t i);
    bool trimDirStart(uint32_t n, uint32_t i);
    bool trimFileNameEnd(uint32_t n);
    bool trimFileNameStart(uint32_t n);

private:
    // Puts `text` into canonical form; false when it would have more than 255 components or the
    // room for its closing backslash cannot be made.
    static bool normalize(String& text, bool& isFileName, uint8_t& count);
    // Normalises `text` and makes it this path; false, unchanged, when normalize refuses it.
    bool adopt(String& text);
    // Position just after the i-th backslash (0 for i = 0); false when the text ends first.
    bool componentStart(uint32_t i, uint32_t& position) const;
    // Start and backslash position of directory component i.
    bool directoryRange(uint32_t i, uint32_t& start, uint32_t& end) const;
    uint32_t fileNameStart() const;
    uint32_t fileNameLastDot() const;
    bool insertFragment(const char* fragment, uint32_t i);
    bool replaceText(uint32_t start, uint32_t end, const char* text);

    String path;
    bool fileFlag;
    uint8_t componentCount;
};

// Same text (case counts) and same file flag; the counts are not compared.
bool operator==(const Dir& a, const Dir& b);
bool operator!=(const Dir& a, const Dir& b);
// A copy of d, then `+= x`.
Dir operator+(const Dir& d, const Dir& x);
Dir operator+(const Dir& d, const String& x);
Dir operator+(const Dir& d, const StringRef& x);
Dir operator+(const Dir& d, const char* x);

}  // namespace Kestrin
