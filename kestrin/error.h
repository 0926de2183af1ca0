// Kestrin::LastError: the library's one error record, its codes and its English messages.
#pragma once

#include <cstdint>

#include "kestrin/path.h"
#include "kestrin/string.h"

namespace Kestrin {

enum class ErrorCategory : uint32_t { None = 0, Argument = 1, File = 2 };

// The second byte groups the codes: 0x00nn general, 0x01nn reading, 0x02nn writing.
enum class FileError : uint32_t {
    OpenFailed = 1,
    BufferPositionTooHigh = 2,
    CopyWithoutFile = 3,
    DirNotFound = 4,
    ResizeFailed = 5,
    ReadFailed = 0x101,
    ReadPositionTooHigh = 0x102,
    ReadLengthTooLarge = 0x103,
    NotTextFile = 0x104,
    WriteFailed = 0x201,
    WritePositionTooHigh = 0x202,
};

// The second byte groups the codes: 0x00nn general, 0x01nn text that is no number of the type,
// 0x02nn a number outside its range, 0x04nn equality.
enum class ArgumentError : uint32_t {
    ArgumentMissing = 1,
    TooManyArguments = 2,
    IntRangeInverted = 3,
    UIntRangeInverted = 4,
    NotChar = 0x101,
    NotShort = 0x102,
    NotLong = 0x103,
    NotUnsigned = 0x104,
    CharOutOfRange = 0x201,
    ShortOutOfRange = 0x202,
    LongOutOfRange = 0x203,
    UnsignedOutOfRange = 0x204,
    StringDiffers = 0x401,
    NumberDiffers = 0x402,
};

// Values of ErrorRecord::code outside the two tables.
constexpr uint32_t NoError = 0;
// The user asked for no file (FileBin::choose): stops the driver without a message.
constexpr uint32_t Cancelled = 0xFFFFFFFF;

// One error at a time; a new failure overwrites the previous one. Only `code` tells whether an
// error is pending: nothing else is ever reset.
struct ErrorRecord {
    Dir file;               // the file or directory concerned (argument errors: the text file)
    uint32_t line = 0;      // argument errors: line of the checked argument
    String expected;        // StringDiffers: the text the argument had to equal
    int32_t upper = 0;      // argument errors: upper bound of the range
    int32_t lower = 0;      // argument errors: lower bound, or the number to equal (NumberDiffers)
    uint32_t argument = 0;  // argument errors: number of the argument
    ErrorCategory category = ErrorCategory::None;
    uint32_t code = NoError;
};

extern ErrorRecord LastError;

// Records a file error about `file`; the caller then returns false.
void setFileError(FileError code, const Dir& file);
// No error pending; category and details are left as they are.
void clearError();

// Called by the driver after each library call. True when no error is pending (or its category
// is unknown). False for Cancelled, silently; false after printing the pending error's message
// and reading one character from standard input otherwise. The record is left as it is.
bool checkError();
// Print the pending error of their category, untranslated, then read one character; return 0.
int printFileError();
int printArgumentError();

}  // namespace Kestrin
