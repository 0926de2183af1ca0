// Unit tests of FileBin::findNext and FileBin::choose on small trees in a scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "kestrin/error.h"
#include "kestrin/filebin.h"
#include "test_support.h"
#include "tests/support/scratch_folder.h"

using Kestrin::FileBin;
using Kestrin::LastError;
namespace fs = std::filesystem;

namespace {

// A system path as the library writes it on this system: the root is the drive Z:.
std::string libraryPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

std::vector<unsigned char> bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

// Every path the walk gives, in order, until it says it is exhausted (which must clear the error).
std::vector<std::string> walk(FileBin& file, const char* extension, Kestrin::PathMode mode, const char* startDir) {
    std::vector<std::string> found;
    const fs::path before = fs::current_path();
    while (file.findNext(extension, mode, startDir)) {
        found.push_back(file.getPath().getText());
        EXPECT_EQ(fs::current_path(), before) << "the caller's directory is current again";
        if (found.size() > 2000) break;
    }
    EXPECT_EQ(LastError.code, Kestrin::NoError);
    EXPECT_EQ(fs::current_path(), before);
    return found;
}

std::set<std::string> asSet(const std::vector<std::string>& paths) {
    return std::set<std::string>(paths.begin(), paths.end());
}

class FileSearchTest : public testing::Test {
protected:
    ScratchFolder scratch;
};

TEST_F(FileSearchTest, EachMatchOnceThenFalseThenTheWalkStartsOver) {
    scratch.write("a.iso");
    scratch.write("sub/b.ISO");
    scratch.write("sub/notes.txt");
    FileBin file;
    file = kestrin_test::bufferOf("buffer");
    ASSERT_TRUE(file.findNext("iso", Kestrin::RelativeToStart, nullptr));
    const std::string first = file.getPath().getText();
    ASSERT_TRUE(file.findNext("iso", Kestrin::RelativeToStart, nullptr));
    const std::string second = file.getPath().getText();
    EXPECT_EQ(asSet({first, second}), asSet({"a.iso", "sub\\b.ISO"}));
    EXPECT_TRUE(file.isFile());
    EXPECT_FALSE(file.findNext("iso", Kestrin::RelativeToStart, nullptr));
    EXPECT_EQ(LastError.code, Kestrin::NoError);
    ASSERT_TRUE(file.findNext("iso", Kestrin::RelativeToStart, nullptr));
    EXPECT_EQ(file.getPath().getText(), first);
    EXPECT_EQ(kestrin_test::bytesOf(file), "buffer") << "the search never touches the buffer";
}

TEST_F(FileSearchTest, ExtensionsMatchAfterTheLastDotInAnyCase) {
    for (const char* name : {".iso", "iso", "a.isox", "a.b.iso", "A.IsO", "noext", "x.is"}) scratch.write(name);
    FileBin file;
    EXPECT_EQ(asSet(walk(file, "iso", Kestrin::RelativeToStart, nullptr)), asSet({"a.b.iso", "A.IsO"}));
    EXPECT_EQ(asSet(walk(file, "ISO", Kestrin::RelativeToStart, nullptr)), asSet({"a.b.iso", "A.IsO"}));
    // Every file with "*"; names without a dot leave the path naming their directory only.
    EXPECT_EQ(asSet(walk(file, "*", Kestrin::RelativeToStart, nullptr)),
              asSet({".iso", "", "a.isox", "a.b.iso", "A.IsO", "x.is"}));
}

TEST_F(FileSearchTest, PathModes) {
    scratch.write("sub/x/f.iso");
    fs::create_directories(scratch.path() / "work" / "a" / "deeper");
    scratch.write("work/b/g.iso");
    scratch.write("top.iso");
    FileBin file;
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToStart, "sub"), std::vector<std::string>{"x\\f.iso"});
    EXPECT_EQ(walk(file, "iso", Kestrin::Absolute, "sub"),
              std::vector<std::string>{libraryPath(scratch.path() / "sub" / "x" / "f.iso")});
    EXPECT_EQ(walk(file, "iso", static_cast<Kestrin::PathMode>(7), "sub"),
              std::vector<std::string>{libraryPath(scratch.path() / "sub" / "x" / "f.iso")});
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToCurrent, libraryPath(scratch.path() / "sub").c_str()),
              std::vector<std::string>{"sub\\x\\f.iso"});

    fs::current_path(scratch.path() / "work" / "a");
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToCurrent, "../b"), std::vector<std::string>{"..\\b\\g.iso"});
    fs::current_path(scratch.path() / "work" / "a" / "deeper");
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToCurrent, "../../b"), std::vector<std::string>{"..\\..\\b\\g.iso"});
    const std::vector<std::string> fromDeeper = walk(file, "iso", Kestrin::RelativeToCurrent, "../../..");
    EXPECT_EQ(asSet(fromDeeper), asSet({"..\\..\\..\\top.iso", "..\\..\\..\\sub\\x\\f.iso", "..\\..\\b\\g.iso"}));
    fs::current_path(scratch.path());
}

TEST_F(FileSearchTest, RelativeToCurrentKeepsTheFullPathWhenOnlyTheRootIsShared) {
    const fs::path elsewhere = "/var/tmp";
    std::error_code error;
    const fs::path other = elsewhere / ("kestrin-search-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    if (!fs::create_directories(other / "in", error)) GTEST_SKIP() << "SKIPPED: cannot write to " << elsewhere;
    std::ofstream(other / "in" / "f.iso").put('x');
    FileBin file;
    const std::vector<std::string> found = walk(file, "iso", Kestrin::RelativeToCurrent, other.string().c_str());
    fs::remove_all(other, error);
    EXPECT_EQ(found, std::vector<std::string>{libraryPath(other / "in" / "f.iso")});
}

TEST_F(FileSearchTest, AStartDirectoryThatCannotBeEnteredLeavesTheWalkAlone) {
    scratch.write("one.iso");
    scratch.write("two.iso");
    FileBin file;
    ASSERT_TRUE(file.findNext("iso", Kestrin::RelativeToStart, nullptr));
    const std::string first = file.getPath().getText();
    EXPECT_FALSE(file.findNext("iso", Kestrin::RelativeToStart, "missing\\dir"));
    EXPECT_EQ(LastError.category, Kestrin::ErrorCategory::File);
    EXPECT_EQ(LastError.code, static_cast<uint32_t>(Kestrin::FileError::DirNotFound));
    EXPECT_STREQ(LastError.file.getPath().getText(), "missing\\dir\\");
    EXPECT_EQ(fs::current_path(), scratch.path());
    EXPECT_EQ(file.getPath().getText(), first);
    ASSERT_TRUE(file.findNext("iso", Kestrin::RelativeToStart, nullptr));
    EXPECT_NE(file.getPath().getText(), first) << "the walk went on where it was";
}

TEST_F(FileSearchTest, DirectoryNamesWithADotStayDirectories) {
    scratch.write("v1.2/disc.d/f.iso");
    FileBin file;
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToStart, nullptr), std::vector<std::string>{"v1.2\\disc.d\\f.iso"});
    EXPECT_EQ(walk(file, "iso", Kestrin::Absolute, "v1.2"),
              std::vector<std::string>{libraryPath(scratch.path() / "v1.2" / "disc.d" / "f.iso")});
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToStart, "v1.2/disc.d"), std::vector<std::string>{"f.iso"});
}

TEST_F(FileSearchTest, LinksBackToADirectoryOnTheWalkAreNotFollowed) {
    scratch.write("sub/f.iso");
    fs::create_directory_symlink(".", scratch.path() / "loop");
    fs::create_directory_symlink("..", scratch.path() / "sub" / "up");
    fs::create_directory_symlink("../sub", scratch.path() / "sub" / "self");
    FileBin file;
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToStart, nullptr), std::vector<std::string>{"sub\\f.iso"});
}

TEST_F(FileSearchTest, DirectoriesBeyondWhatAPathOrTheTableHoldsAreNotEntered) {
    std::string relative;
    for (int level = 0; level <= 260; ++level) {
        scratch.write(relative + "f.iso");
        relative += "d/";
    }
    const int rootComponents = Kestrin::Dir((libraryPath(scratch.path()) + "\\").c_str()).getComponentCount();
    const int deepest = std::min(Kestrin::MaxSearchDepth - 1, 255 - rootComponents);
    FileBin file;
    const std::vector<std::string> found = walk(file, "iso", Kestrin::RelativeToStart, nullptr);
    ASSERT_EQ(found.size(), static_cast<size_t>(deepest) + 1);
    std::string expected;
    for (int level = 0; level <= deepest; ++level) {
        EXPECT_EQ(found[level], expected + "f.iso");
        expected += "d\\";
    }
}

TEST_F(FileSearchTest, DirectoriesThatCannotBeEnteredOrListedAreSkippedUnprivileged) {
    scratch.write("closed/x.iso");
    scratch.write("listless/y.iso");
    scratch.write("open/z.iso");
    fs::permissions(scratch.path() / "closed", fs::perms::none);
    fs::permissions(scratch.path() / "listless", fs::perms::owner_exec);
    std::error_code error;
    fs::directory_iterator probe(scratch.path() / "closed", error);
    if (!error) GTEST_SKIP() << "SKIPPED: this account can list any directory (run by the unprivileged test entry)";
    FileBin file;
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToStart, nullptr), std::vector<std::string>{"open\\z.iso"});
    EXPECT_EQ(walk(file, "iso", Kestrin::RelativeToStart, nullptr), std::vector<std::string>{"open\\z.iso"});
}

// ---- choose ------------------------------------------------------------------------------------

const char kPrompt[] = "\nWhat is the file to open ?\nEnter number (0 : none): ";

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

class ChooseTest : public FileSearchTest {
protected:
    // Runs choose with `input` on standard input; keeps what it printed and left unread.
    bool choose(const std::string& input, const char* startDir = nullptr) {
        kestrin_test::StdinFeed feed(input);
        EXPECT_TRUE(feed.ready());
        kestrin_test::CapturedOutput output;
        const bool result = file.choose("iso", Kestrin::RelativeToStart, startDir);
        printed = output.text();
        unread = kestrin_test::StdinFeed::rest();
        return result;
    }

    FileBin file;
    std::string printed;
    std::string unread;
};

TEST_F(ChooseTest, ListsNumbersAndReadsTheChosenFileWhole) {
    scratch.write("one.iso", bytes("first"));
    scratch.write("sub/two.iso", bytes("second"));
    scratch.write("three.ISO", bytes("third"));
    const std::vector<std::string> order = walk(file, "iso", Kestrin::RelativeToStart, nullptr);
    ASSERT_EQ(order.size(), 3u);
    EXPECT_TRUE(choose("4\n-1\nabc def\n2\nafter"));
    const std::string list = "1 - " + order[0] + "\n2 - " + order[1] + "\n3 - " + order[2] + "\n";
    EXPECT_EQ(printed, list + repeat(kPrompt, 4) + "\n");
    EXPECT_EQ(file.getPath().getText(), order[1]);
    std::string systemPath = order[1];
    std::replace(systemPath.begin(), systemPath.end(), '\\', '/');
    const std::vector<unsigned char> expected = scratch.read(systemPath);
    EXPECT_EQ(kestrin_test::bytesOf(file), std::string(expected.begin(), expected.end()));
    EXPECT_EQ(LastError.code, Kestrin::NoError);
    EXPECT_EQ(unread, "\nafter");
    EXPECT_EQ(fs::current_path(), scratch.path());
}

TEST_F(ChooseTest, ZeroOrTheEndOfInputChoosesNothing) {
    scratch.write("one.iso", bytes("first"));
    file = Kestrin::Dir("kept\\path.bin");
    EXPECT_FALSE(choose("0\nrest"));
    EXPECT_EQ(LastError.code, Kestrin::Cancelled);
    EXPECT_STREQ(file.getPath().getText(), "kept\\path.bin");
    EXPECT_EQ(unread, "rest") << "the end of the answer's line is read";
    EXPECT_EQ(printed, std::string("1 - one.iso\n") + kPrompt);
    EXPECT_FALSE(choose("x"));
    EXPECT_EQ(LastError.code, Kestrin::Cancelled);
    EXPECT_EQ(printed, std::string("1 - one.iso\n") + kPrompt + kPrompt);
}

TEST_F(ChooseTest, WithoutMatchesOnlyZeroIsAccepted) {
    scratch.write("notes.txt");
    EXPECT_FALSE(choose("1\n0\n"));
    EXPECT_EQ(printed, repeat(kPrompt, 2));
    EXPECT_EQ(LastError.code, Kestrin::Cancelled);
}

TEST_F(ChooseTest, ReadFailuresAndAMissingStartDirectoryAreTheirOwnErrors) {
    {
        std::ofstream big(scratch.file("big.iso"), std::ios::binary);
    }
    fs::resize_file(scratch.file("big.iso"), 1073741825);
    EXPECT_FALSE(choose("1\n"));
    EXPECT_EQ(LastError.code, static_cast<uint32_t>(Kestrin::FileError::ReadLengthTooLarge));
    EXPECT_FALSE(choose("1\n", "missing"));
    EXPECT_EQ(LastError.code, static_cast<uint32_t>(Kestrin::FileError::DirNotFound));
    EXPECT_EQ(printed, "") << "no list and no prompt for a start directory that does not exist";
}

}  // namespace
