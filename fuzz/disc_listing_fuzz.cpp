// Fuzzing of frlayout's disc listing (its checked UDF and ISO 9660 readers, then libudf and
// libiso9660 on what they let through), in this process, on damaged small disc images: no crash,
// no hang, and every listing it accepts lies inside its image with each name once.
//
// An input is an image in short: its length in sectors (4 bytes), then sectors that are not all
// zeros, each as its number (2 bytes) and its 2048 bytes. tools/run_fuzzers.sh makes the seeds so
// from images that genisoimage and xorriso write.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "frlayout/disc_files.h"

namespace {

constexpr size_t kSector = 2048;
constexpr uint32_t kMostSectors = 1 << 16;

void require(bool condition) {
    if (!condition) abort();
}

// The image the input describes, in an anonymous file that the readers open by its path.
int imageOf(const uint8_t* data, size_t size) {
    if (size < 4) return -1;
    uint32_t sectors = 0;
    memcpy(&sectors, data, 4);
    sectors = sectors % kMostSectors + 1;
    const int file = memfd_create("disc", 0);
    if (file < 0 || ftruncate(file, static_cast<off_t>(sectors) * kSector) != 0) abort();
    for (size_t at = 4; at + 2 + kSector <= size; at += 2 + kSector) {
        const uint32_t sector = (data[at] | data[at + 1] << 8) % sectors;
        if (pwrite(file, data + at + 2, kSector, static_cast<off_t>(sector) * kSector) != static_cast<ssize_t>(kSector)) abort();
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int file = imageOf(data, size);
    if (file < 0) return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(file);
    DiscListing listing;
    std::string error;
    const bool read = listDiscFiles(path, listing, error, [](const std::string&) {});
    close(file);
    require(read == error.empty());
    if (!read) return 0;
    std::set<std::string> names;
    for (const DiscFile& file : listing.files) {
        require(file.size == 0 || uint64_t{file.sector} * kSector + file.size <= listing.imageSize);
        require(!file.name.empty() && file.name.front() != '/' && file.name.back() != '/');
        require(names.insert(file.name).second);
    }
    return 0;
}
