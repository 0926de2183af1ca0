// Replacing the table files of a data folder all at once.
#pragma once

#include <string>
#include <vector>

struct DataFile {
    std::string name;  // the file's name in the folder
    std::string text;
};

// Writes `files` into `folder` so that a reader sees either the old folder or the new one, never a
// mix: the new folder is made beside the old one, with the old one's other files (its README.md)
// copied in, and the two are swapped in one step; the old one is then removed. A folder that does
// not exist yet is made. False, with a sentence in `error`, when anything fails; the folder is
// then as it was and nothing is left beside it.
bool replaceDataFiles(const std::string& folder, const std::vector<DataFile>& files, std::string& error);
