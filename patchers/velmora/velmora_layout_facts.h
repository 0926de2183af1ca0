// What is published of the two Velmora disc layouts, checked on any name table.
#pragma once

#include <string>
#include <vector>

#include "patchers/common/rebuild.h"

// Every published fact of the Velmora layouts that the table breaks, one line of text each (empty
// when it holds them all). The places it is checked against are those of the rebuild plan.
std::vector<std::string> brokenVelmoraLayoutFacts(const NameTable& names);
