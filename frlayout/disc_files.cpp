// The files of a disc image's file system as libcdio reads them: UDF where the image has it, ISO
// 9660 otherwise; its structures checked first, both trees of a bridge held against each other,
// and libcdio's reading held against the checked one, in a child process that a crash or a hang
// on a damaged image cannot take the program down with.
#include "frlayout/disc_files.h"

#include <cinttypes>
#include <cstring>

#include "frlayout/contained_run.h"
#include "frlayout/image_file.h"
#include "frlayout/iso_tree.h"
#include "frlayout/library_listing.h"
#include "frlayout/listing_checks.h"
#include "frlayout/udf_tree.h"
#include "patchers/common/layout_facts.h"

namespace {

// Far longer than the reading of a whole disc's folders takes.
constexpr unsigned kListingSeconds = 60;

// ", and the image is N bytes long where its VOLUME declares M: it is truncated", when it is.
std::string truncation(const TreeReading& tree, const char* system, uint64_t imageSize) {
    if (tree.declaredBytes <= imageSize) return "";
    return formatText("; the image is %" PRIu64 " bytes long where its %s volume declares %" PRIu64 " bytes: it is truncated",
                      imageSize, system, tree.declaredBytes);
}

// A listing or a refusal, as the child process sends it: 'E' and the sentence, or 'L', the kind,
// the image's size and each file (sector, size, name length, name).
template <typename T>
void put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}
template <typename T>
bool take(const std::string& in, size_t& at, T& value) {
    if (in.size() - at < sizeof value) return false;
    memcpy(&value, in.data() + at, sizeof value);
    at += sizeof value;
    return true;
}

std::string encode(bool read, const DiscListing& listing, const std::string& error) {
    if (!read) return "E" + error;
    std::string out = "L";
    put(out, static_cast<uint8_t>(listing.kind));
    put(out, listing.imageSize);
    for (const DiscFile& file : listing.files) {
        put(out, file.sector);
        put(out, file.size);
        put(out, static_cast<uint64_t>(file.name.size()));
        out += file.name;
    }
    return out;
}

bool decode(const std::string& in, DiscListing& listing, std::string& error) {
    if (!in.empty() && in[0] == 'E') {
        error = in.substr(1);
        return false;
    }
    size_t at = 1;
    uint8_t kind = 0;
    if (in.empty() || in[0] != 'L' || !take(in, at, kind) || !take(in, at, listing.imageSize)) return false;
    listing.kind = kind == static_cast<uint8_t>(FileSystemKind::Udf) ? FileSystemKind::Udf : FileSystemKind::Iso9660;
    while (at < in.size()) {
        DiscFile file;
        uint64_t length = 0;
        if (!take(in, at, file.sector) || !take(in, at, file.size) || !take(in, at, length) || in.size() - at < length) return false;
        file.name = in.substr(at, length);
        at += length;
        listing.files.push_back(std::move(file));
    }
    return true;
}

}  // namespace

bool measureImage(const std::string& path, uint64_t& size, std::string& error) {
    ImageFile image;
    if (!image.open(path, error)) return false;
    size = image.size();
    return true;
}

const char* fileSystemName(FileSystemKind kind) {
    return kind == FileSystemKind::Udf ? "UDF" : "ISO 9660";
}

bool listDiscFiles(const std::string& path, DiscListing& listing, std::string& error,
                   const std::function<void(const std::string&)>& stage) {
    listing.files.clear();
    ImageFile image;
    if (!image.open(path, error)) return false;
    listing.imageSize = image.size();
    stage("checking its UDF structures");
    const TreeReading udf = readUdfTree(image);
    stage("checking its ISO 9660 structures");
    const TreeReading iso = readIsoTree(image, udf.status == TreeStatus::Absent);
    for (const auto& [tree, system] : {std::pair{&udf, "UDF"}, std::pair{&iso, "ISO 9660"}}) {
        if (tree->status != TreeStatus::Refused) continue;
        error = path + ": " + tree->why + truncation(*tree, system, image.size());
        return false;
    }
    if (udf.status == TreeStatus::Absent && iso.status == TreeStatus::Absent) {
        error = path + ": it holds neither a UDF nor an ISO 9660 file system: is it a disc image?";
        return false;
    }
    for (const auto& [tree, system] : {std::pair{&udf, "UDF"}, std::pair{&iso, "ISO 9660"}}) {
        const std::string cut = truncation(*tree, system, image.size());
        if (tree->status == TreeStatus::Read && !cut.empty()) {
            error = path + ": its files lie inside the image" + cut;
            return false;
        }
    }
    if (udf.status == TreeStatus::Read && iso.status == TreeStatus::Read) {
        const std::string disagreement = extentDisagreement(udf.files, "UDF", iso.files, "ISO 9660");
        if (!disagreement.empty()) {
            error = path + ": its UDF and ISO 9660 trees disagree: " + disagreement;
            return false;
        }
    }
    const bool isUdf = udf.status == TreeStatus::Read;
    const TreeReading& checked = isUdf ? udf : iso;
    listing.kind = isUdf ? FileSystemKind::Udf : FileSystemKind::Iso9660;
    const std::vector<std::string> repeated = repeatedNames(checked.files);
    if (!repeated.empty()) {
        error = path + ": its " + fileSystemName(listing.kind) + " tree names more than one file " + repeated[0];
        return false;
    }
    // The listing is the library's, and only where it is, file for file, what the structures say.
    // The ISO 9660 tree of a bridge is left to the checks above: none of its names is used, and
    // its Rock Ridge entries, which libiso9660 would parse, are not checked.
    stage(isUdf ? "reading its UDF tree with libudf" : "reading its ISO 9660 tree with libiso9660");
    std::vector<DiscFile> files;
    std::string why;
    if (!(isUdf ? libudfFiles(path, files, why) : libiso9660Files(path, checked.names, files, why))) {
        error = path + ": " + why;
        return false;
    }
    why = libraryDisagreement(files, isUdf ? "libudf" : "libiso9660", namesName(checked.names), checked.files);
    if (!why.empty()) {
        error = path + ": " + why;
        return false;
    }
    listing.files = std::move(files);
    return true;
}

bool readDiscFiles(const std::string& path, DiscListing& listing, std::string& error) {
    listing.files.clear();
    // Refused here before any child is made: what is no regular file never reaches a reader.
    uint64_t size = 0;
    if (!measureImage(path, size, error)) return false;
    const ContainedEnd end = runContained(
        [&path](const StageTeller& stage) {
            DiscListing read;
            std::string why;
            const bool done = listDiscFiles(path, read, why, stage);
            return encode(done, read, why);
        },
        kListingSeconds);
    if (end.finished) {
        std::string why;
        if (decode(end.result, listing, why)) return true;
        listing.files.clear();
        error = why.empty() ? "the file system of " + path + " is damaged: its reading sent back a broken list" : why;
        return false;
    }
    const std::string stage = end.stage.empty() ? "opening it" : end.stage;
    error = "the file system of " + path + " is damaged (while " + stage + ": " + end.how + ")";
    return false;
}
