// The two releases of Velmora: what recognises each image.
#include "patchers/velmora/velmora_releases.h"

const ReleaseSignature kVelmoraReleases[2] = {
    {2801958912u, 10523560, "cdrom0:\\SLUS_604.18;1", 0, nullptr, 0, 0x7E2A91C5u},
    {3006791680u, 10569152, "cdrom0:\\SLES_609.51;1", 0, nullptr, 0, 0x93D60B4Fu},
};
