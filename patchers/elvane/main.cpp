// frpatch_elvane: turns a US or European disc image of Elvane into its French version.
#include "patchers/common/patch_run.h"
#include "patchers/elvane/elvane_releases.h"

int main() {
    return runPatcher(kElvane);
}
