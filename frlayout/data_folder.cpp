// Replacing the table files of a data folder all at once.
#include "frlayout/data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string because(const std::string& what) {
    return what + ": " + strerror(errno);
}

// The file is on disk before the folder that holds it is swapped in.
bool writeDurably(const fs::path& path, const std::string& text, std::string& error) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        error = because("cannot create " + path.string());
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = write(descriptor, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        done += static_cast<size_t>(count);
    }
    const bool written = done == text.size() && fsync(descriptor) == 0;
    if (!written) error = because("cannot write " + path.string());
    if (close(descriptor) != 0 && written) {
        error = because("cannot write " + path.string());
        return false;
    }
    return written;
}

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

bool syncFolder(const fs::path& folder, std::string& error) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = descriptor >= 0 && fsync(descriptor) == 0;
    if (!synced) error = because("cannot sync the folder " + folder.string());
    if (descriptor >= 0) close(descriptor);
    return synced;
}

bool readWhole(const fs::path& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) {
        error = "cannot read " + path.string();
        return false;
    }
    text = bytes.str();
    return true;
}

// Fills the new folder: the given files, then every other file of the old folder.
bool fill(const fs::path& fresh, const fs::path& old, bool oldExists, const std::vector<DataFile>& files, std::string& error) {
    std::set<std::string> written;
    for (const DataFile& file : files) {
        if (!writeDurably(fresh / file.name, file.text, error)) return false;
        written.insert(file.name);
    }
    if (!oldExists) return true;
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(old, failure)) {
        const std::string name = entry.path().filename().string();
        if (written.count(name)) continue;
        if (!entry.is_regular_file()) {
            error = old.string() + " holds " + name + ", which is no plain file: move it away first";
            return false;
        }
        std::string text;
        if (!readWhole(entry.path(), text, error) || !writeDurably(fresh / name, text, error)) return false;
    }
    if (failure) {
        error = "cannot list " + old.string() + ": " + failure.message();
        return false;
    }
    fs::permissions(fresh, fs::status(old).permissions(), failure);
    return true;
}

}  // namespace

bool replaceDataFiles(const std::string& folder, const std::vector<DataFile>& files, std::string& error) {
    fs::path target = fs::absolute(folder).lexically_normal();
    if (target.filename().empty()) target = target.parent_path();
    const fs::path parent = target.parent_path();
    std::error_code failure;
    if (!fs::is_directory(parent, failure)) {
        error = "the folder " + parent.string() + " does not exist";
        return false;
    }
    const bool exists = fs::exists(target, failure);
    if (exists && !fs::is_directory(target, failure)) {
        error = target.string() + " is no folder";
        return false;
    }
    std::string pattern = (parent / ("." + target.filename().string() + ".new-XXXXXX")).string();
    if (!mkdtemp(&pattern[0])) {
        error = because("cannot make a folder beside " + target.string());
        return false;
    }
    const fs::path fresh = pattern;
    if (!exists) fs::permissions(fresh, fs::perms(0777 & ~currentUmask()), failure);
    bool swapped = fill(fresh, target, exists, files, error) && syncFolder(fresh, error);
    if (swapped && renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, target.c_str(), exists ? RENAME_EXCHANGE : RENAME_NOREPLACE) != 0) {
        error = because("cannot put the new folder in the place of " + target.string());
        swapped = false;
    }
    // After a swap the temporary name holds the old folder.
    fs::remove_all(fresh, failure);
    if (!swapped) return false;
    // The files are on disk already; a failed sync of the parent only delays the swap's record.
    std::string ignored;
    syncFolder(parent, ignored);
    return true;
}
