// Which release of which game a disc image is, and the CRC32 of the whole image.
#include "frlayout/disc_identity.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "frlayout/disc_files.h"
#include "patchers/common/image_access.h"
#include "patchers/common/image_crc.h"
#include "patchers/common/layout_facts.h"

namespace {

bool bytesAt(const std::string& path, uint32_t offset, const void* expected, uint32_t count) {
    FileImageSource image(path.c_str());
    std::vector<unsigned char> found(count);
    return image.read(offset, found.data(), count) && memcmp(found.data(), expected, count) == 0;
}

bool holdsBootPath(const std::string& path, const ReleaseSignature& release) {
    return bytesAt(path, release.bootPathOffset, release.bootPath, static_cast<uint32_t>(strlen(release.bootPath)) + 1);
}

}  // namespace

const char* releaseName(Release release) {
    return release == US ? "US" : "European";
}

bool identifyImage(const std::string& path, ImageIdentity& identity, std::string& error) {
    uint64_t size = 0;
    if (!measureImage(path, size, error)) return false;
    for (const Title& title : kTitles) {
        for (Release release : {US, European}) {
            const ReleaseSignature& signature = title.game->signatures[release];
            if (!holdsBootPath(path, signature)) continue;
            const std::string what = std::string(title.displayName) + " " + releaseName(release);
            if (size < signature.imageSize) {
                error = formatText("%s is a truncated %s image: %" PRIu64 " bytes of %" PRIu64, path.c_str(), what.c_str(), size,
                                   signature.imageSize);
                return false;
            }
            if (size != signature.imageSize) {
                error = formatText("%s holds the boot path of the %s release, but is %" PRIu64 " bytes long, not %" PRIu64,
                                   path.c_str(), what.c_str(), size, signature.imageSize);
                return false;
            }
            if (signature.markerLength > 0 && !bytesAt(path, signature.markerOffset, signature.marker, signature.markerLength)) {
                error = path + " holds the boot path of the " + what + " release, but not its marker";
                return false;
            }
            identity = {&title, release};
            return true;
        }
    }
    error = path + " is no Elvane or Velmora disc image: no boot path of their releases lies in its place";
    return false;
}

bool imageCrc32(const std::string& path, uint32_t& crc, std::string& error, const std::function<void(double)>& progress) {
    uint64_t size = 0;
    if (!measureImage(path, size, error)) return false;
    FileImageSource image(path.c_str());
    if (!image.isOpen()) {
        error = path + " cannot be opened for reading";
        return false;
    }
    uint64_t done = 0;
    const bool read = ::imageCrc32(image, crc, [&](double share) {
        done = static_cast<uint64_t>(share * static_cast<double>(size));
        progress(share);
        return true;
    });
    if (!read) {
        error = formatText("%s cannot be read to its end: %" PRIu64 " bytes of %" PRIu64 " read", path.c_str(), done, size);
        return false;
    }
    return true;
}
