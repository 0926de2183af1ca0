// Replacing a folder's files all at once: the layout tables of a data folder, or a game's deltas.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A new version of a folder, filled beside it and then swapped in whole, so that a reader sees
// either the old folder or the new one, never a mix. Until commit() succeeds the folder is as it
// was; the new version, not committed, is removed with this object.
class StagedFolder {
public:
    StagedFolder() = default;
    ~StagedFolder();
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;

    // Makes the empty new version beside `folder`, whose parent must exist; `folder` itself need
    // not. False, with a sentence in `error`, when it cannot be made.
    bool open(const std::string& folder, std::string& error);
    // Where the new files go until the commit.
    const std::string& path() const { return fresh_; }
    const std::string& target() const { return target_; }
    // Writes a small file into the new version, durably.
    bool write(const std::string& name, const std::string& text, std::string& error);
    // Carries over every file of the old folder that the new one lacks and `carry` accepts (all by
    // default), makes the new files durable, swaps the two folders and removes the old one. False,
    // with `error`, when anything fails: the folder is then as it was. A folder inside the old one
    // is refused: it would be lost.
    bool commit(std::string& error, const std::function<bool(const std::string& name)>& carry = {});

private:
    std::string target_;
    std::string fresh_;
};

struct DataFile {
    std::string name;  // the file's name in the folder
    std::string text;
};

// Writes `files` into `folder` through a StagedFolder, the old folder's other files (its
// README.md) carried over. A folder that does not exist yet is made. False, with a sentence in
// `error`, when anything fails; the folder is then as it was and nothing is left beside it.
bool replaceDataFiles(const std::string& folder, const std::vector<DataFile>& files, std::string& error);
