// frpatch_velmora: turns a US or European disc image of Velmora into its French version.
#include "patchers/common/patch_run.h"
#include "patchers/velmora/velmora_releases.h"

int main() {
    return runPatcher(kVelmora);
}
