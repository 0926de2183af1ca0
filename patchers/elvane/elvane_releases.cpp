// The two releases of Elvane: what recognises each image.
#include "patchers/elvane/elvane_releases.h"

namespace {

const unsigned char kUsMarker[] = {0x82, 0x62, 0x82, 0x81};

}  // namespace

const ReleaseSignature kElvaneReleases[2] = {
    {2599682048u, 13093328, "cdrom0:\\SLUS_603.27;1", 14500752, kUsMarker, sizeof kUsMarker, 0x5B0C3A71u},
    {2669969408u, 12693144, "cdrom0:\\SLES_608.92;1", 0, nullptr, 0, 0xC24E9D06u},
};
