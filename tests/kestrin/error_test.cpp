// Unit tests of Kestrin::LastError: checkError and the exact bytes of every message.
#include "kestrin/error.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

using Kestrin::ArgumentError;
using Kestrin::ErrorCategory;
using Kestrin::FileError;
using Kestrin::LastError;

namespace {

// A fresh record for each test: the record itself is never reset by the library.
class ErrorRecordTest : public testing::Test {
protected:
    void SetUp() override { LastError = Kestrin::ErrorRecord(); }
    void TearDown() override { LastError = Kestrin::ErrorRecord(); }

    // Runs checkError with `input` on standard input; returns what it printed, and its result
    // and what it left unread through the out-parameters.
    std::string check(bool& result, std::string& unread, const std::string& input = "k\nrest") {
        kestrin_test::StdinFeed feed(input);
        EXPECT_TRUE(feed.ready());
        kestrin_test::CapturedOutput output;
        result = Kestrin::checkError();
        std::string text = output.text();
        unread = kestrin_test::StdinFeed::rest();
        return text;
    }
};

TEST_F(ErrorRecordTest, NoErrorPrintsNothingWhateverTheCategory) {
    for (ErrorCategory category : {ErrorCategory::None, ErrorCategory::Argument, ErrorCategory::File}) {
        LastError.category = category;
        bool result = false;
        std::string unread;
        EXPECT_EQ(check(result, unread), "");
        EXPECT_TRUE(result);
        EXPECT_EQ(unread, "k\nrest");
    }
}

TEST_F(ErrorRecordTest, CancelledStopsSilentlyWithoutReading) {
    LastError.category = ErrorCategory::File;
    LastError.code = Kestrin::Cancelled;
    bool result = true;
    std::string unread;
    EXPECT_EQ(check(result, unread), "");
    EXPECT_FALSE(result);
    EXPECT_EQ(unread, "k\nrest");
}

TEST_F(ErrorRecordTest, UnknownCategoryCountsAsNoError) {
    LastError.category = static_cast<ErrorCategory>(7);
    LastError.code = 1;
    bool result = false;
    std::string unread;
    EXPECT_EQ(check(result, unread), "");
    EXPECT_TRUE(result);
}

TEST_F(ErrorRecordTest, FileErrorMessages) {
    struct Case {
        uint32_t code;
        const char* path;
        const char* message;
    };
    const Case cases[] = {
        {1, "C:\\jeux\\image.iso", "Error: Impossible to open the file image.iso."},
        {1, "C:\\jeux\\", "Error: Impossible to open the file ."},
        {2, "a.bin", "Error: The specified position of the buffer of the object is too high."},
        {3, "x\\", "Error: Impossible to copy the file because no file is specified."},
        {4, "C:\\nowhere\\", "Error: Dir C:\\nowhere\\ doesn't exist."},
        {5, "d\\f.bin", "Error: Impossible to resize the file f.bin."},
        {0x101, "d\\f.bin", "Error: Impossible to read the file f.bin."},
        {0x102, "d\\f.bin", "Error: The specified position of the file f.bin is too high to read."},
        {0x103, "d\\f.bin", "Error: The length to read mustn't be higher than 1GB."},
        {0x104, "d\\notes.txt", "notes.txt is not a text file."},
        {0x201, "d\\f.bin", "Error: Impossible to write on the file f.bin."},
        {0x202, "d\\f.bin", "Error: The specified position of the file f.bin is too high to write."},
        {0x203, "d\\f.bin", "Unknown error."},
        {6, "d\\f.bin", "Unknown error."},
        {1, "", "Error: Impossible to open the file ."},
        {1, "d\\\xE9t\xE9.iso", "Error: Impossible to open the file \xE9t\xE9.iso."},
    };
    for (const Case& c : cases) {
        Kestrin::setFileError(static_cast<FileError>(c.code), Kestrin::Dir(c.path));
        EXPECT_EQ(LastError.category, ErrorCategory::File);
        EXPECT_EQ(LastError.code, c.code);
        bool result = true;
        std::string unread;
        const std::string expected = std::string("File      ") + Kestrin::Dir(c.path).getPath().getText() + "\n" + c.message;
        EXPECT_EQ(check(result, unread), expected) << c.code;
        EXPECT_FALSE(result) << c.code;
        EXPECT_EQ(unread, "\nrest") << "one character is read";
    }
}

TEST_F(ErrorRecordTest, ARecordStaysPendingAndPrintsAgain) {
    Kestrin::setFileError(FileError::ReadFailed, Kestrin::Dir("f.bin"));
    bool result = true;
    std::string unread;
    const std::string first = check(result, unread);
    EXPECT_EQ(check(result, unread), first);
    Kestrin::clearError();
    EXPECT_EQ(LastError.code, Kestrin::NoError);
    EXPECT_EQ(LastError.category, ErrorCategory::File);
    EXPECT_STREQ(LastError.file.getPath().getText(), "f.bin");
    EXPECT_EQ(check(result, unread), "");
    EXPECT_TRUE(result);
}

TEST_F(ErrorRecordTest, ArgumentErrorMessages) {
    struct Case {
        ArgumentError code;
        int32_t lower, upper;
        uint32_t argument;
        const char* message;
    };
    const Case cases[] = {
        {ArgumentError::ArgumentMissing, 0, 0, 2, "Error: The argument 2 is missing."},
        {ArgumentError::TooManyArguments, 0, 0, 3, "Error: Too many arguments, there must be 2 argument(s)."},
        {ArgumentError::IntRangeInverted, 0, 0, 1, "Error: Min argument of IntRange is bigger than Max argument."},
        {ArgumentError::UIntRangeInverted, 0, 0, 1, "Error: Min argument of UIntRange is bigger than Max argument."},
        {ArgumentError::NotChar, -128, 127, 1,
         "Error: The tested string argument is not a char number. Min : -128 Max : 127."},
        {ArgumentError::NotShort, -32768, 32767, 1,
         "Error: The tested string argument is not a short number. Min : -32768 Max : 32767."},
        {ArgumentError::NotLong, 0, 0, 1, "Error: The tested string argument is not a long number."},
        {ArgumentError::NotUnsigned, 0, 0, 1, "Error: The tested string argument is not a unsigned number."},
        {ArgumentError::CharOutOfRange, -5, 5, 1,
         "Error: The tested string argument is a char number but it must be between -5 and 5."},
        {ArgumentError::ShortOutOfRange, 1, 9, 1,
         "Error: The tested string argument is a short number but it must be between 1 and 9."},
        {ArgumentError::LongOutOfRange, INT32_MIN, INT32_MAX, 1,
         "Error: The tested string argument is a long number but it must be between -2147483648 and 2147483647."},
        {ArgumentError::UnsignedOutOfRange, -1, -2, 1,
         "Error: The tested string argument is a unsigned number but it must be between 4294967295 and "
         "4294967294."},
        {ArgumentError::StringDiffers, 0, 0, 1, "Error: The tested string argument is different than \"480p\"."},
        {ArgumentError::NumberDiffers, -5, 0, 1, "Error: The tested string argument is not a number equal to -5."},
        {static_cast<ArgumentError>(0x403), 0, 0, 1, "Unknown error."},
    };
    for (const Case& c : cases) {
        LastError.category = ErrorCategory::Argument;
        LastError.code = static_cast<uint32_t>(c.code);
        LastError.lower = c.lower;
        LastError.upper = c.upper;
        LastError.argument = c.argument;
        LastError.line = 12;
        LastError.expected = "480p";
        bool result = true;
        std::string unread;
        const std::string expected = "Line      12\nArgument  " + std::to_string(c.argument) + "\n" + c.message;
        EXPECT_EQ(check(result, unread), expected);
        EXPECT_FALSE(result);
        EXPECT_EQ(unread, "\nrest");
    }
}

TEST_F(ErrorRecordTest, ArgumentErrorNamesItsFileWhenOneIsSet) {
    LastError.category = ErrorCategory::Argument;
    LastError.code = static_cast<uint32_t>(ArgumentError::ArgumentMissing);
    LastError.file = Kestrin::Dir("conf\\modes.txt");
    LastError.line = 4294967295u;
    LastError.argument = 1;
    bool result = true;
    std::string unread;
    EXPECT_EQ(check(result, unread),
              "File      conf\\modes.txt\nLine      4294967295\nArgument  1\nError: The argument 1 is missing.");
}

}  // namespace
