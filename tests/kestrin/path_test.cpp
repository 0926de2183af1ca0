// Unit tests of Kestrin::Dir: canonical form, whole-path and component operations.
#include "kestrin/path.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kestrin/string.h"

using Kestrin::Dir;
using Kestrin::String;

namespace {

struct Shape {
    const char* text;
    int components;
    bool file;
};

void expectShape(const Dir& dir, const Shape& shape, const std::string& context) {
    EXPECT_STREQ(dir.getPath().getText(), shape.text) << context;
    EXPECT_EQ(dir.getComponentCount(), shape.components) << context;
    EXPECT_EQ(dir.isFile(), shape.file) << context;
}

TEST(DirNormalize, CanonicalFormOfTexts) {
    struct Case {
        const char* input;
        Shape shape;
    };
    const Case cases[] = {
        {"a/b/c.txt", {"a\\b\\c.txt", 3, true}},
        {"\\tools", {"tools\\", 1, false}},
        {"C:", {"C:\\", 1, false}},
        {"", {"", 0, false}},
        {"\\", {"", 0, false}},
        {"/", {"", 0, false}},
        {"\\\\server\\share", {"server\\share\\", 2, false}},
        {"readme", {"readme\\", 1, false}},
        {"readme.txt", {"readme.txt", 1, true}},
        {"a\\..", {"a\\..", 2, true}},
        {"a\\..\\", {"a\\..\\", 2, false}},
        {"a\\\\b", {"a\\\\b\\", 3, false}},
        {"a.b\\c", {"a.b\\c\\", 2, false}},
        {"a\\.cfg", {"a\\.cfg", 2, true}},
        {"C:\\jeux\\image.iso", {"C:\\jeux\\image.iso", 3, true}},
        {"x/", {"x\\", 1, false}},
    };
    for (const Case& c : cases) {
        expectShape(Dir(c.input), c.shape, c.input);
        expectShape(Dir(String(c.input)), c.shape, c.input);
        Dir assigned("old\\");
        assigned = c.input;
        expectShape(assigned, c.shape, c.input);
    }
}

TEST(DirNormalize, LowerCaseFlagAndCaseSensitiveComparison) {
    const Dir lower("ABC.TXT", true);
    expectShape(lower, {"abc.txt", 1, true}, "lower");
    EXPECT_TRUE(lower != Dir("ABC.TXT"));
    EXPECT_TRUE(lower == Dir("abc.txt"));
    EXPECT_TRUE(Dir("a\\b") == Dir("a/b/"));
    EXPECT_FALSE(Dir("a\\b.c") == Dir("a\\b.c\\"));
}

TEST(DirNormalize, MoreThan255ComponentsAreRefused) {
    std::string deep;
    for (int i = 0; i < 255; ++i) deep += "d\\";
    const Dir full(deep.c_str());
    EXPECT_EQ(full.getComponentCount(), 255);
    const Dir tooDeep((deep + "e\\").c_str());
    expectShape(tooDeep, {"", 0, false}, "constructor");
    Dir kept("x\\");
    kept = (deep + "e.txt").c_str();
    expectShape(kept, {"x\\", 1, false}, "assignment");
    Dir grown(full);
    EXPECT_FALSE(grown.insertPath("more", 255));
    EXPECT_FALSE(grown.setFileName("f.bin"));
    EXPECT_EQ(grown.getComponentCount(), 255);
    Dir withFile((deep.substr(2) + "f.bin").c_str());
    EXPECT_EQ(withFile.getComponentCount(), 255);
    EXPECT_TRUE(withFile.setFileName("g.bin"));
}

TEST(DirInsert, FragmentsGoBeforeTheComponent) {
    struct Case {
        const char* path;
        const char* fragment;
        int i;
        bool result;
        Shape shape;
    };
    const Case cases[] = {
        {"a\\", "x.iso", 1, true, {"a\\x.iso", 2, true}},
        {"a\\b.txt", "c", 1, true, {"a\\c\\b.txt", 3, true}},
        {"a\\b.txt", "c\\d\\", 1, true, {"a\\c\\d\\b.txt", 4, true}},
        {"", "tools", 0, true, {"tools\\", 1, false}},
        {"a\\b.txt", "C:", 0, true, {"C:\\a\\b.txt", 3, true}},
        {"a\\", ".cfg", 1, true, {"a\\.cfg\\", 2, false}},
        {"a\\b\\", "/x", 1, true, {"a\\x\\b\\", 3, false}},
        {"a\\b\\", "x/y.z", 2, true, {"a\\b\\x\\y.z", 4, true}},
        {"a\\b\\", "x.d", 1, true, {"a\\x.d\\b\\", 3, false}},
        {"a\\b\\", "q", 3, false, {"a\\b\\", 2, false}},
        {"a\\b.txt", "q", 2, false, {"a\\b.txt", 2, true}},
        {"a\\b\\", "", 1, true, {"a\\b\\", 2, false}},
        {"a\\b\\", "\\", 2, true, {"a\\b\\", 2, false}},
    };
    for (const Case& c : cases) {
        Dir dir(c.path);
        EXPECT_EQ(dir.insertPath(c.fragment, c.i), c.result) << c.path << " + " << c.fragment;
        expectShape(dir, c.shape, std::string(c.path) + " + " + c.fragment);
    }
}

TEST(DirInsert, AppendAndPrependInEveryForm) {
    Dir dir("a\\b.txt");
    dir += "c";
    dir += String("d");
    dir += Kestrin::emptyString + "e";
    dir += Dir("f\\");
    expectShape(dir, {"a\\c\\d\\e\\f\\b.txt", 6, true}, "appends");
    dir.prepend("C:").prepend(String("")).prepend(Kestrin::emptyString + "");
    expectShape(dir, {"C:\\a\\c\\d\\e\\f\\b.txt", 7, true}, "prepends");
    Dir onlyFile("x.bin");
    onlyFile += "sub";
    expectShape(onlyFile, {"sub\\x.bin", 2, true}, "before a lone file name");
    Dir twice("a\\b\\");
    twice += twice;
    expectShape(twice, {"a\\b\\a\\b\\", 4, false}, "self");
    expectShape(Dir("a\\") + "b.c" + "d", {"a\\d\\b.c", 3, true}, "operator+");
    expectShape(Dir("a\\") + Dir("x\\"), {"a\\x\\", 2, false}, "operator+ Dir");
}

TEST(DirRemove, ComponentsAndTheirResults) {
    struct Case {
        const char* path;
        uint32_t first, count;
        bool result;
        Shape shape;
    };
    const Case cases[] = {
        {"a\\b\\c.txt", 0, 5, false, {"a\\b\\c.txt", 3, true}},
        {"a\\b\\c.txt", 1, 1, true, {"a\\c.txt", 2, true}},
        {"a\\b\\c.txt", 1, 2, true, {"a\\", 1, false}},
        {"a\\b\\c.txt", 0, 3, true, {"", 0, false}},
        {"a\\b\\c.txt", 2, 0, true, {"a\\b\\c.txt", 3, true}},
        {"a\\b\\c.txt", 3, 0, false, {"a\\b\\c.txt", 3, true}},
        {"a\\b\\", 2, 0, true, {"a\\b\\", 2, false}},
        {"a\\b\\", 2, 1, false, {"a\\b\\", 2, false}},
        {"a\\\\b\\", 1, 1, true, {"a\\b\\", 2, false}},
        {"a\\b\\", 0, UINT32_MAX, false, {"a\\b\\", 2, false}},
        {"a\\b\\", UINT32_MAX, 1, false, {"a\\b\\", 2, false}},
    };
    for (const Case& c : cases) {
        Dir dir(c.path);
        EXPECT_EQ(dir.removeComponents(c.first, c.count), c.result) << c.path << " " << c.first << "," << c.count;
        expectShape(dir, c.shape, c.path);
    }
    Dir dir("a\\b\\c.txt");
    dir -= 2;
    expectShape(dir, {"a\\", 1, false}, "-= 2");
    dir -= 9;
    expectShape(dir, {"", 0, false}, "-= 9");
    dir -= -1;
    Dir file("x.bin");
    file--;
    expectShape(file, {"", 0, false}, "-- on a lone file");
    file--;
    expectShape(file, {"", 0, false}, "-- on the empty path");
}

TEST(DirComponents, SubPathsAndTheFileName) {
    struct Case {
        const char* path;
        uint32_t first, count;
        Shape shape;
    };
    const Case cases[] = {
        {"a\\b\\c.txt", 1, 1, {"b\\", 1, false}},   {"a\\b\\c.txt", 0, 2, {"a\\b\\", 2, false}},
        {"a\\b\\c.txt", 1, 9, {"b\\c.txt", 2, true}}, {"a\\b\\c.txt", 2, 1, {"c.txt", 1, true}},
        {"a\\b\\", 5, 1, {"", 0, false}},            {"a\\b\\", 0, 0, {"", 0, false}},
        {"a\\b\\", 1, UINT32_MAX, {"b\\", 1, false}},
    };
    for (const Case& c : cases) {
        expectShape(Dir(c.path).getComponents(c.first, c.count), c.shape, c.path);
    }
    expectShape(Dir("a\\b\\c.txt").getFileName(), {"c.txt", 1, true}, "file name");
    expectShape(Dir("a\\b\\").getFileName(), {"", 0, false}, "no file name");
    EXPECT_STREQ(Dir("x\\archive.tar.gz").getExtension().getText(), "tar.gz");
    EXPECT_STREQ(Dir("x\\.cfg").getExtension().getText(), "cfg");
    EXPECT_STREQ(Dir("x.y\\").getExtension().getText(), "");
}

TEST(DirFileName, SetRemoveAndExtension) {
    struct Case {
        const char* path;
        const char* name;
        bool result;
        Shape shape;
    };
    const Case cases[] = {
        {"a\\b\\", "x.bin", true, {"a\\b\\x.bin", 3, true}},
        {"a\\b.txt", "x.bin", true, {"a\\x.bin", 2, true}},
        {"a\\", "data", false, {"a\\", 1, false}},
        {"a\\", "x.", false, {"a\\", 1, false}},
        {"a\\", ".cfg", true, {"a\\.cfg", 2, true}},
        {"a\\", "s\\x.bin", false, {"a\\", 1, false}},
        {"a\\", "s/x.bin", false, {"a\\", 1, false}},
        {"a\\", "", false, {"a\\", 1, false}},
        {"", "x.bin", true, {"x.bin", 1, true}},
        {"y.bin", "x.bin", true, {"x.bin", 1, true}},
    };
    for (const Case& c : cases) {
        Dir dir(c.path);
        EXPECT_EQ(dir.setFileName(c.name), c.result) << c.path << " " << c.name;
        expectShape(dir, c.shape, std::string(c.path) + " name " + c.name);
    }
    Dir dir("a\\b.txt");
    EXPECT_TRUE(dir.setFileName(String("c.d")));
    EXPECT_TRUE(dir.setFileName(Kestrin::emptyString + "e.f"));
    EXPECT_TRUE(dir.setExtension("iso"));
    expectShape(dir, {"a\\e.iso", 2, true}, "extension");
    EXPECT_FALSE(dir.setExtension("i.so"));
    EXPECT_FALSE(dir.setExtension("i\\so"));
    EXPECT_TRUE(dir.removeFileName());
    expectShape(dir, {"a\\", 1, false}, "removed");
    EXPECT_FALSE(dir.removeFileName());
    EXPECT_FALSE(dir.setExtension("iso"));
    Dir lone("x.bin");
    EXPECT_TRUE(lone.removeFileName());
    expectShape(lone, {"", 0, false}, "lone removed");
}

TEST(DirFileName, ToFileAndToDirectory) {
    const Dir image = Dir("a\\image\\").toFile("iso");
    expectShape(image, {"a\\image.iso", 2, true}, "toFile");
    expectShape(image.toDirectory(), {"a\\image\\", 2, false}, "toDirectory");
    expectShape(Dir("a\\image\\").toFile("i.so"), {"a\\image\\", 2, false}, "ext with a dot");
    expectShape(Dir("").toFile("iso"), {"", 0, false}, "empty");
    expectShape(Dir("a\\x.iso").toFile("bin"), {"a\\x.iso", 2, true}, "already a file");
    expectShape(Dir("a\\\\").toDirectory(), {"a\\\\", 2, false}, "already a directory");
    expectShape(Dir("a\\x.tar.gz").toDirectory(), {"a\\x.tar\\", 2, false}, "last dot");
}

TEST(DirComponentText, EditsOfOneComponent) {
    struct Case {
        const char* name;
        const char* path;
        bool (*edit)(Dir&);
        bool result;
        const char* text;
    };
    const Case cases[] = {
        {"appendToDir", "a\\b\\c.txt", [](Dir& d) { return d.appendToDir("X", 1); }, true, "a\\bX\\c.txt"},
        {"appendToDir missing", "a\\b\\c.txt", [](Dir& d) { return d.appendToDir("X", 2); }, false, "a\\b\\c.txt"},
        {"appendToDir separator", "a\\b\\", [](Dir& d) { return d.appendToDir("X/", 0); }, false, "a\\b\\"},
        {"prependToDir", "a\\b\\", [](Dir& d) { return d.prependToDir(String("X"), 0); }, true, "Xa\\b\\"},
        {"setDirName", "a\\b\\c.txt", [](Dir& d) { return d.setDirName("new", 1); }, true, "a\\new\\c.txt"},
        {"setDirName missing", "a\\", [](Dir& d) { return d.setDirName("new", 1); }, false, "a\\"},
        {"appendToFileName", "a\\name.txt", [](Dir& d) { return d.appendToFileName("_2"); }, true,
         "a\\name_2.txt"},
        {"appendToFileName last dot", "a.tar.gz", [](Dir& d) { return d.appendToFileName("X"); }, true,
         "a.tarX.gz"},
        {"appendToFileName no file", "a\\", [](Dir& d) { return d.appendToFileName("X"); }, false, "a\\"},
        {"prependToFileName", "x.bin", [](Dir& d) { return d.prependToFileName("new_"); }, true, "new_x.bin"},
        {"prependToFileName separator", "x.bin", [](Dir& d) { return d.prependToFileName("a\\"); }, false,
         "x.bin"},
        {"trimDirEnd", "abcd\\e\\", [](Dir& d) { return d.trimDirEnd(3, 0); }, true, "a\\e\\"},
        {"trimDirEnd whole", "abcd\\e\\", [](Dir& d) { return d.trimDirEnd(4, 0); }, false, "abcd\\e\\"},
        {"trimDirEnd zero", "abcd\\", [](Dir& d) { return d.trimDirEnd(0, 0); }, true, "abcd\\"},
        {"trimDirEnd empty component", "a\\\\b\\", [](Dir& d) { return d.trimDirEnd(0, 1); }, false, "a\\\\b\\"},
        {"trimDirStart", "abcd\\e\\", [](Dir& d) { return d.trimDirStart(2, 0); }, true, "cd\\e\\"},
        {"trimDirStart file name", "a\\e.txt", [](Dir& d) { return d.trimDirStart(1, 1); }, false, "a\\e.txt"},
        {"trimFileNameEnd", "a\\name.txt", [](Dir& d) { return d.trimFileNameEnd(3); }, true, "a\\n.txt"},
        {"trimFileNameEnd whole", "a\\name.txt", [](Dir& d) { return d.trimFileNameEnd(4); }, false,
         "a\\name.txt"},
        {"trimFileNameStart", "a\\name.txt", [](Dir& d) { return d.trimFileNameStart(2); }, true, "a\\me.txt"},
        {"trimFileNameStart huge", "a\\name.txt", [](Dir& d) { return d.trimFileNameStart(UINT32_MAX); }, false,
         "a\\name.txt"},
    };
    for (const Case& c : cases) {
        Dir dir(c.path);
        const int components = dir.getComponentCount();
        const bool file = dir.isFile();
        EXPECT_EQ(c.edit(dir), c.result) << c.name;
        EXPECT_STREQ(dir.getPath().getText(), c.text) << c.name;
        EXPECT_EQ(dir.getComponentCount(), components) << c.name;
        EXPECT_EQ(dir.isFile(), file) << c.name;
    }
}

}  // namespace
