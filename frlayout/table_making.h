// A game's layout tables made from its two discs: derived, proved, checked, compared and written.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "frlayout/data_folder.h"
#include "frlayout/disc_files.h"
#include "frlayout/layout_derivation.h"
#include "frlayout/titles.h"

struct TitleTables {
    NameRows names;
    std::vector<SoundRows> sounds;  // one per sound run of the plan
};

// Derives the tables of `title` from the two images and their file lists at the places of its
// plan, and proves each sound run by a rebuild. `status` hears what is being done, in a few words.
TitleTables deriveTitleTables(const Title& title, ImageSource& usImage, const DiscListing& us, ImageSource& europeanImage,
                              const DiscListing& european, Findings& findings,
                              const std::function<void(const std::string&)>& status);

// Every published fact of the title's layouts that the tables break, one line each.
std::vector<std::string> brokenFacts(const Title& title, const TitleTables& tables);

// How the tables differ from those built into the program, one line per list or run that differs;
// empty when they are the same.
std::vector<std::string> differencesFromBuiltIn(const Title& title, const TitleTables& tables);

// The data files of the tables, each opening with `heading` and a line of its own. False, with the
// problems, when a name cannot be written.
bool titleDataFiles(const Title& title, const TitleTables& tables, const std::vector<std::string>& heading,
                    std::vector<DataFile>& files, std::vector<std::string>& problems);
