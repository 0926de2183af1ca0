// Kestrin::FileBin: the file operations; each opens its file, works and closes it again.
#include "kestrin/filebin.h"

#include <cstdint>

#include "kestrin/error.h"
#include "platform/library_path.h"
#include "platform/platform.h"

namespace Kestrin {

Buffer copyBuffer;

namespace {

// The file of one operation, closed on every path out of it.
class OpenFile {
public:
    OpenFile(const char* path, platform::FileAccess access, platform::FileCreation creation, bool sequential)
        : handle(platform::kNoFile) {
        open(path, access, creation, sequential);
    }
    ~OpenFile() { close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool open(const char* path, platform::FileAccess access, platform::FileCreation creation, bool sequential) {
        close();
        platform::openFile(platform::systemPath(path).c_str(), access, creation, platform::FileSharing::Exclusive,
                           sequential, handle);
        return isOpen();
    }
    bool isOpen() const { return handle != platform::kNoFile; }
    platform::FileHandle get() const { return handle; }
    void close() { platform::closeFile(handle); }

private:
    platform::FileHandle handle;
};

bool fail(FileError code, const Dir& file) {
    setFileError(code, file);
    return false;
}

bool succeed() {
    clearError();
    return true;
}

}  // namespace

// ---- Construction and the buffer and path operators --------------------------------------------

FileBin::FileBin() : findWalk(MaxSearchDepth, SearchPathLimit) {}

FileBin::FileBin(const FileBin& other) : FileBin() {
    Buffer::operator=(other);
    Dir::operator=(other);
}

FileBin::~FileBin() = default;

FileBin& FileBin::operator=(const FileBin& other) {
    Buffer::operator=(other);
    Dir::operator=(other);
    return *this;
}

FileBin& FileBin::operator=(const Buffer& bytes) {
    Buffer::operator=(bytes);
    return *this;
}

FileBin& FileBin::operator=(const Dir& path) {
    Dir::operator=(path);
    return *this;
}

FileBin& FileBin::operator+=(const Buffer& bytes) {
    Buffer::operator+=(bytes);
    return *this;
}

FileBin& FileBin::operator+=(const FileBin& other) {
    Buffer::operator+=(other);
    return *this;
}

FileBin& FileBin::operator+=(const Dir& path) {
    Dir::operator+=(path);
    return *this;
}

FileBin& FileBin::operator-=(const int& n) {
    Dir::operator-=(n);
    return *this;
}

bool operator==(const FileBin& a, const Dir& b) { return static_cast<const Dir&>(a) == b; }
bool operator==(const Dir& a, const FileBin& b) { return a == static_cast<const Dir&>(b); }
bool operator!=(const FileBin& a, const Dir& b) { return !(a == b); }
bool operator!=(const Dir& a, const FileBin& b) { return !(a == b); }
bool operator==(const FileBin& a, const FileBin& b) { return static_cast<const Buffer&>(a) == static_cast<const Buffer&>(b); }
bool operator==(const FileBin& a, const Buffer& b) { return static_cast<const Buffer&>(a) == b; }
bool operator==(const Buffer& a, const FileBin& b) { return a == static_cast<const Buffer&>(b); }
bool operator!=(const FileBin& a, const FileBin& b) { return !(a == b); }
bool operator!=(const FileBin& a, const Buffer& b) { return !(a == b); }
bool operator!=(const Buffer& a, const FileBin& b) { return !(a == b); }
Buffer operator+(const FileBin& a, const FileBin& b) { return static_cast<const Buffer&>(a) + static_cast<const Buffer&>(b); }
Buffer operator+(const FileBin& a, const Buffer& b) { return static_cast<const Buffer&>(a) + b; }
Buffer operator+(const Buffer& a, const FileBin& b) { return a + static_cast<const Buffer&>(b); }

// ---- Reading -----------------------------------------------------------------------------------

uint64_t FileBin::fileSize() {
    const String path = getPath();
    OpenFile file(path.getText(), platform::FileAccess::Read, platform::FileCreation::OpenExisting, true);
    uint64_t size = 0;
    if (!file.isOpen()) {
        fail(FileError::OpenFailed, *this);
        return 0;
    }
    if (!platform::fileSize(file.get(), size)) {
        fail(FileError::ReadFailed, *this);
        return 0;
    }
    succeed();
    return size;
}

bool FileBin::read(uint64_t position, uint64_t length) {
    return readInto(position, length, false);
}

bool FileBin::readAppend(uint64_t position, uint64_t length) {
    return readInto(position, length, true);
}

// read replaces the buffer from index 0; readAppend adds after the old length. The buffer grows
// to exactly the bytes it must hold plus one, and never shrinks.
bool FileBin::readInto(uint64_t position, uint64_t length, bool appending) {
    const String path = getPath();
    OpenFile file(path.getText(), platform::FileAccess::Read, platform::FileCreation::OpenExisting, true);
    if (!file.isOpen()) return fail(FileError::OpenFailed, *this);
    uint64_t size = 0;
    if (!platform::fileSize(file.get(), size)) return fail(FileError::ReadFailed, *this);
    if (length == 0) {
        if (position >= size) return fail(FileError::ReadPositionTooHigh, *this);
        length = size - position;
    } else if (length > size || position > size - length) {
        return fail(FileError::ReadPositionTooHigh, *this);
    }
    const uint64_t start = appending ? Buffer::length : 0;
    if (start + length > ReadLimit) return fail(FileError::ReadLengthTooLarge, *this);
    const uint32_t total = static_cast<uint32_t>(start + length);
    // No error code tells of memory: a block that cannot be had is a read that cannot be done.
    if (total >= capacity && !reallocateTo(total + 1)) return fail(FileError::ReadFailed, *this);
    if (position != 0 && !platform::seekFile(file.get(), position)) {
        return fail(FileError::ReadPositionTooHigh, *this);
    }
    if (platform::readFile(file.get(), data + start, static_cast<uint32_t>(length)) != platform::FileError::None) {
        return fail(FileError::ReadFailed, *this);
    }
    Buffer::length = total;
    return succeed();
}

// ---- Writing -----------------------------------------------------------------------------------

bool FileBin::writeTo(const char* target, WriteMode mode, uint64_t position, uint32_t offset, uint32_t length) {
    const Dir targetPath(target);
    const uint32_t size = getLength();
    if (length == 0) {
        if (offset > size) return fail(FileError::BufferPositionTooHigh, targetPath);
        length = size - offset;
    } else if (offset > size || length > size - offset) {
        return fail(FileError::BufferPositionTooHigh, targetPath);
    }
    const platform::FileCreation creation =
        mode == WriteMode::Emptied ? platform::FileCreation::Truncate : platform::FileCreation::OpenOrCreate;
    OpenFile file(target, platform::FileAccess::Write, creation, true);
    if (!file.isOpen()) {
        createDirectories(targetPath);
        if (!file.open(target, platform::FileAccess::Write, creation, true)) {
            return fail(FileError::OpenFailed, targetPath);
        }
    }
    if (mode == WriteMode::AtEnd) {
        platform::seekFileEnd(file.get());  // whatever its outcome, as the write reports
    } else if (position != 0 && !platform::seekFile(file.get(), position)) {
        return fail(FileError::WritePositionTooHigh, targetPath);
    }
    if (length && platform::writeFile(file.get(), data + offset, length) != platform::FileError::None) {
        return fail(FileError::WriteFailed, targetPath);
    }
    return succeed();
}

bool FileBin::write(uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(getPath().getText(), WriteMode::InPlace, position, offset, length);
}
bool FileBin::write(const char* target, uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(target, WriteMode::InPlace, position, offset, length);
}
bool FileBin::write(const String& target, uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(target.getText(), WriteMode::InPlace, position, offset, length);
}
bool FileBin::write(const Dir& target, uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(target.getPath().getText(), WriteMode::InPlace, position, offset, length);
}
bool FileBin::write(const FileBin& target, uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(target.getPath().getText(), WriteMode::InPlace, position, offset, length);
}

bool FileBin::writeNew(uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(getPath().getText(), WriteMode::Emptied, position, offset, length);
}
bool FileBin::writeNew(const char* target, uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(target, WriteMode::Emptied, position, offset, length);
}
bool FileBin::writeNew(const String& target, uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(target.getText(), WriteMode::Emptied, position, offset, length);
}
bool FileBin::writeNew(const Dir& target, uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(target.getPath().getText(), WriteMode::Emptied, position, offset, length);
}
bool FileBin::writeNew(const FileBin& target, uint64_t position, uint32_t offset, uint32_t length) {
    return writeTo(target.getPath().getText(), WriteMode::Emptied, position, offset, length);
}

bool FileBin::append(uint32_t offset, uint32_t length) {
    return writeTo(getPath().getText(), WriteMode::AtEnd, 0, offset, length);
}
bool FileBin::append(const char* target, uint32_t offset, uint32_t length) {
    return writeTo(target, WriteMode::AtEnd, 0, offset, length);
}
bool FileBin::append(const String& target, uint32_t offset, uint32_t length) {
    return writeTo(target.getText(), WriteMode::AtEnd, 0, offset, length);
}
bool FileBin::append(const Dir& target, uint32_t offset, uint32_t length) {
    return writeTo(target.getPath().getText(), WriteMode::AtEnd, 0, offset, length);
}
bool FileBin::append(const FileBin& target, uint32_t offset, uint32_t length) {
    return writeTo(target.getPath().getText(), WriteMode::AtEnd, 0, offset, length);
}

bool FileBin::resizeFile(uint32_t size) {
    const String path = getPath();
    OpenFile file(path.getText(), platform::FileAccess::Write, platform::FileCreation::OpenExisting, false);
    if (!file.isOpen()) return fail(FileError::OpenFailed, *this);
    if (!platform::seekFile(file.get(), size)) return fail(FileError::WritePositionTooHigh, *this);
    if (!platform::setFileEnd(file.get())) return fail(FileError::ResizeFailed, *this);
    return succeed();
}

// ---- Copying -----------------------------------------------------------------------------------

// The destination is opened without emptying it, and emptied only once the source is open too:
// a copy onto the file itself (into its own directory) then fails on the source, which the
// destination holds, instead of emptying the one file it would read from.
bool FileBin::copyFile(const char* target) {
    if (!isFile()) return fail(FileError::CopyWithoutFile, *this);
    copyBuffer.clear();
    Dir destination(target, false);
    if (!destination.isFile()) destination.setFileName(getFileName().getPath());
    const String destinationText = destination.getPath();
    const char* destinationPath = destinationText.getText();

    OpenFile output(destinationPath, platform::FileAccess::Write, platform::FileCreation::OpenOrCreate, true);
    if (!output.isOpen()) {
        createDirectories(destination);
        if (!output.open(destinationPath, platform::FileAccess::Write, platform::FileCreation::OpenOrCreate, true)) {
            return fail(FileError::OpenFailed, destination);
        }
    }
    const String path = getPath();
    OpenFile input(path.getText(), platform::FileAccess::Read, platform::FileCreation::OpenExisting, true);
    if (!input.isOpen()) return fail(FileError::OpenFailed, *this);

    uint64_t size = 0;
    bool transferred = platform::fileSize(input.get(), size) && platform::seekFile(output.get(), 0) &&
                       platform::setFileEnd(output.get());
    if (transferred && copyBuffer.getCapacity() < CopyChunk) transferred = setExactBlock(copyBuffer, CopyChunk);
    bool writeFailed = false;
    uint8_t* chunk = const_cast<uint8_t*>(copyBuffer.getData());
    for (uint64_t done = 0; transferred && done < size;) {
        const uint32_t count = size - done < CopyChunk ? static_cast<uint32_t>(size - done) : CopyChunk;
        if (platform::readFile(input.get(), chunk, count) != platform::FileError::None) {
            transferred = false;
            break;
        }
        if (platform::writeFile(output.get(), chunk, count) != platform::FileError::None) {
            transferred = false;
            writeFailed = true;
            break;
        }
        done += count;
    }
    if (transferred) return succeed();
    input.close();
    output.close();
    platform::removeFile(platform::systemPath(destinationPath).c_str());
    return writeFailed ? fail(FileError::WriteFailed, destination) : fail(FileError::ReadFailed, *this);
}

bool FileBin::copy(const char* target) { return copyFile(target); }
bool FileBin::copy(const String& target) { return copyFile(target.getText()); }
bool FileBin::copy(const StringRef& target) { return copyFile(target.get().getText()); }
bool FileBin::copy(const Dir& target) { return copyFile(target.getPath().getText()); }
bool FileBin::copy(const FileBin& target) { return copyFile(target.getPath().getText()); }

bool FileBin::backup() {
    String target = getPath();
    target += ".bak";
    return copyFile(target.getText());
}

void createDirectories(const Dir& path) {
    Dir directories(path);
    if (directories.isFile()) directories--;
    Dir growing;
    for (uint32_t i = 0; i < directories.getComponentCount(); ++i) {
        growing += directories.getComponents(i, 1);
        platform::makeDirectory(platform::systemPath(growing.getPath().getText()).c_str());
    }
}

void FileBin::createDirs() {
    createDirectories(*this);
}

void FileBin::padTo(uint32_t multiple) {
    if (multiple == 0) return;
    const uint32_t rest = getLength() % multiple;
    if (rest == 0) return;
    for (uint32_t added = 0; added < multiple - rest; ++added) {
        const uint8_t zero = 0;
        Buffer::insert(&zero, getLength(), 1, 0);
    }
}

uint32_t FileBin::roundUp(uint32_t value, uint32_t multiple) {
    if (multiple == 0) return value;
    const uint32_t rest = value % multiple;
    return rest == 0 ? value : value + multiple - rest;
}

}  // namespace Kestrin
