// The French message that ends a rebuild which could not go on.
#pragma once

#include "patchers/common/rebuild.h"

// Prints why the rebuild stopped, naming the image or the temporary image concerned.
void printRebuildFailure(RebuildFailure failure, const char* imageDisplayName);
