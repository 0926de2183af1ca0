// Kestrin::LastError: the library's one error record, its codes and its English messages.
#include "kestrin/error.h"

#include "kestrin/console.h"
#include "platform/platform.h"

namespace Kestrin {

ErrorRecord LastError;

void setFileError(FileError code, const Dir& file) {
    LastError.file = file;
    LastError.category = ErrorCategory::File;
    LastError.code = static_cast<uint32_t>(code);
}

void clearError() {
    LastError.code = NoError;
}

bool checkError() {
    if (LastError.code == NoError) return true;
    if (LastError.code == Cancelled) return false;
    if (LastError.category == ErrorCategory::Argument) {
        printArgumentError();
        return false;
    }
    if (LastError.category == ErrorCategory::File) {
        printFileError();
        return false;
    }
    return true;
}

namespace {

// The line of a file error; PATH is the whole path, NAME its file name alone (empty for a
// directory).
void printFileErrorLine(uint32_t code, const String& path, const String& name) {
    switch (static_cast<FileError>(code)) {
    case FileError::OpenFailed:
        printRaw(emptyString + "Error: Impossible to open the file " + name + ".");
        return;
    case FileError::BufferPositionTooHigh:
        printRaw("Error: The specified position of the buffer of the object is too high.");
        return;
    case FileError::CopyWithoutFile:
        printRaw("Error: Impossible to copy the file because no file is specified.");
        return;
    case FileError::DirNotFound:
        printRaw(emptyString + "Error: Dir " + path + " doesn't exist.");
        return;
    case FileError::ResizeFailed:
        printRaw(emptyString + "Error: Impossible to resize the file " + name + ".");
        return;
    case FileError::ReadFailed:
        printRaw(emptyString + "Error: Impossible to read the file " + name + ".");
        return;
    case FileError::ReadPositionTooHigh:
        printRaw(emptyString + "Error: The specified position of the file " + name + " is too high to read.");
        return;
    case FileError::ReadLengthTooLarge:
        printRaw("Error: The length to read mustn't be higher than 1GB.");
        return;
    case FileError::NotTextFile:
        printRaw(emptyString + name + " is not a text file.");
        return;
    case FileError::WriteFailed:
        printRaw(emptyString + "Error: Impossible to write on the file " + name + ".");
        return;
    case FileError::WritePositionTooHigh:
        printRaw(emptyString + "Error: The specified position of the file " + name + " is too high to write.");
        return;
    }
    printRaw("Unknown error.");
}

// The line of an argument error. The bounds are signed numbers except for UnsignedOutOfRange.
void printArgumentErrorLine(const ErrorRecord& error) {
    const int lower = error.lower;
    const int upper = error.upper;
    switch (static_cast<ArgumentError>(error.code)) {
    case ArgumentError::ArgumentMissing:
        printRaw(emptyString + "Error: The argument " + error.argument + " is missing.");
        return;
    case ArgumentError::TooManyArguments:
        printRaw(emptyString + "Error: Too many arguments, there must be " + (error.argument - 1u) + " argument(s).");
        return;
    case ArgumentError::IntRangeInverted:
        printRaw("Error: Min argument of IntRange is bigger than Max argument.");
        return;
    case ArgumentError::UIntRangeInverted:
        printRaw("Error: Min argument of UIntRange is bigger than Max argument.");
        return;
    case ArgumentError::NotChar:
        printRaw(emptyString + "Error: The tested string argument is not a char number. Min : " + lower + " Max : " +
                 upper + ".");
        return;
    case ArgumentError::NotShort:
        printRaw(emptyString + "Error: The tested string argument is not a short number. Min : " + lower +
                 " Max : " + upper + ".");
        return;
    case ArgumentError::NotLong:
        printRaw("Error: The tested string argument is not a long number.");
        return;
    case ArgumentError::NotUnsigned:
        printRaw("Error: The tested string argument is not a unsigned number.");
        return;
    case ArgumentError::CharOutOfRange:
        printRaw(emptyString + "Error: The tested string argument is a char number but it must be between " + lower +
                 " and " + upper + ".");
        return;
    case ArgumentError::ShortOutOfRange:
        printRaw(emptyString + "Error: The tested string argument is a short number but it must be between " + lower +
                 " and " + upper + ".");
        return;
    case ArgumentError::LongOutOfRange:
        printRaw(emptyString + "Error: The tested string argument is a long number but it must be between " + lower +
                 " and " + upper + ".");
        return;
    case ArgumentError::UnsignedOutOfRange:
        printRaw(emptyString + "Error: The tested string argument is a unsigned number but it must be between " +
                 static_cast<uint32_t>(lower) + " and " + static_cast<uint32_t>(upper) + ".");
        return;
    case ArgumentError::StringDiffers:
        printRaw(emptyString + "Error: The tested string argument is different than \"" + error.expected + "\".");
        return;
    case ArgumentError::NumberDiffers:
        printRaw(emptyString + "Error: The tested string argument is not a number equal to " + lower + ".");
        return;
    }
    printRaw("Unknown error.");
}

}  // namespace

int printFileError() {
    const String path = LastError.file.getPath();
    const String name = LastError.file.getFileName().getPath();
    printRaw(emptyString + "File      " + path + "\n");
    printFileErrorLine(LastError.code, path, name);
    platform::readConsoleChar();
    return 0;
}

int printArgumentError() {
    if (LastError.file.getComponentCount() != 0) printRaw(emptyString + "File      " + LastError.file.getPath() + "\n");
    printRaw(emptyString + "Line      " + LastError.line + "\nArgument  " + LastError.argument + "\n");
    printArgumentErrorLine(LastError);
    platform::readConsoleChar();
    return 0;
}

}  // namespace Kestrin
