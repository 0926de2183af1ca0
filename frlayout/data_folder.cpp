// Replacing a folder's files all at once: the layout tables of a data folder, or a game's deltas.
#include "frlayout/data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string because(const std::string& what) {
    return what + ": " + strerror(errno);
}

bool writeAll(int descriptor, const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t count = ::write(descriptor, bytes + done, size - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

// The file is on disk before the folder that holds it is swapped in.
bool writeDurably(const fs::path& path, const std::string& text, std::string& error) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        error = because("cannot create " + path.string());
        return false;
    }
    const bool written = writeAll(descriptor, text.data(), text.size()) && fsync(descriptor) == 0;
    if (!written) error = because("cannot write " + path.string());
    if (close(descriptor) != 0 && written) {
        error = because("cannot write " + path.string());
        return false;
    }
    return written;
}

bool syncPath(const fs::path& path, int flags, std::string& error) {
    const int descriptor = open(path.c_str(), flags | O_CLOEXEC);
    const bool synced = descriptor >= 0 && fsync(descriptor) == 0;
    if (!synced) error = because("cannot sync " + path.string());
    if (descriptor >= 0) close(descriptor);
    return synced;
}

// A copy of an old file, for when it cannot be linked into the new folder.
bool copyDurably(const fs::path& from, const fs::path& to, std::string& error) {
    const int source = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        error = because("cannot read " + from.string());
        return false;
    }
    const int target = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool copied = target >= 0;
    char bytes[65536];
    while (copied) {
        const ssize_t count = read(source, bytes, sizeof bytes);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            copied = count == 0;
            break;
        }
        copied = writeAll(target, bytes, static_cast<size_t>(count));
    }
    copied = copied && fsync(target) == 0;
    if (!copied) error = because("cannot copy " + from.string() + " to " + to.string());
    if (target >= 0) close(target);
    close(source);
    return copied;
}

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

StagedFolder::~StagedFolder() {
    if (fresh_.empty()) return;
    std::error_code ignored;
    fs::remove_all(fresh_, ignored);
}

bool StagedFolder::open(const std::string& folder, std::string& error) {
    fs::path target = fs::absolute(folder).lexically_normal();
    if (target.filename().empty()) target = target.parent_path();
    const fs::path parent = target.parent_path();
    std::error_code failure;
    if (!fs::is_directory(parent, failure)) {
        error = "the folder " + parent.string() + " does not exist";
        return false;
    }
    if (fs::exists(target, failure) && !fs::is_directory(target, failure)) {
        error = target.string() + " is no folder";
        return false;
    }
    std::string pattern = (parent / ("." + target.filename().string() + ".new-XXXXXX")).string();
    if (!mkdtemp(&pattern[0])) {
        error = because("cannot make a folder beside " + target.string());
        return false;
    }
    target_ = target.string();
    fresh_ = pattern;
    return true;
}

bool StagedFolder::write(const std::string& name, const std::string& text, std::string& error) {
    return writeDurably(fs::path(fresh_) / name, text, error);
}

bool StagedFolder::commit(std::string& error, const std::function<bool(const std::string& name)>& carry) {
    const fs::path fresh = fresh_, target = target_;
    std::error_code failure;
    const bool exists = fs::exists(target, failure);
    std::set<std::string> made;
    for (const fs::directory_entry& entry : fs::directory_iterator(fresh, failure)) {
        made.insert(entry.path().filename().string());
        // Files written by other programs (the delta tool) are made durable here.
        if (!syncPath(entry.path(), O_RDONLY, error)) return false;
    }
    if (exists) {
        for (const fs::directory_entry& entry : fs::directory_iterator(target, failure)) {
            const std::string name = entry.path().filename().string();
            if (made.count(name) || (carry && !carry(name))) continue;
            if (!entry.is_regular_file()) {
                error = target.string() + " holds " + name + ", which is no plain file: move it away first";
                return false;
            }
            // The old folder goes once the new one is in place: its files can simply be linked.
            if (link(entry.path().c_str(), (fresh / name).c_str()) != 0 && !copyDurably(entry.path(), fresh / name, error)) {
                return false;
            }
        }
        if (failure) {
            error = "cannot list " + target.string() + ": " + failure.message();
            return false;
        }
        fs::permissions(fresh, fs::status(target).permissions(), failure);
    } else {
        fs::permissions(fresh, fs::perms(0777 & ~currentUmask()), failure);
    }
    if (!syncPath(fresh, O_RDONLY | O_DIRECTORY, error)) return false;
    if (renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, target.c_str(), exists ? RENAME_EXCHANGE : RENAME_NOREPLACE) != 0) {
        error = because("cannot put the new folder in the place of " + target.string());
        return false;
    }
    // After a swap the temporary name holds the old folder, which the destructor removes. The
    // files are on disk already; a failed sync of the parent only delays the swap's record.
    std::string ignored;
    syncPath(target.parent_path(), O_RDONLY | O_DIRECTORY, ignored);
    return true;
}

bool replaceDataFiles(const std::string& folder, const std::vector<DataFile>& files, std::string& error) {
    StagedFolder staged;
    if (!staged.open(folder, error)) return false;
    for (const DataFile& file : files) {
        if (!staged.write(file.name, file.text, error)) return false;
    }
    return staged.commit(error);
}
