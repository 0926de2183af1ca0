// The files of a disc image's file system, read with libcdio: UDF where the image has it, ISO 9660
// otherwise.
#include "frlayout/disc_files.h"

#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <cdio/udf.h>

#include <cinttypes>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

constexpr uint64_t kSector = 2048;

// libcdio reports what it does not find on stderr; the caller says it in its own words instead.
void quietLog(cdio_log_level_t, const char*) {}

bool walkUdf(udf_dirent_t* folder, const std::string& prefix, std::vector<DiscFile>& files, std::string& error) {
    while ((folder = udf_readdir(folder)) != nullptr) {
        if (folder->b_parent) continue;  // the link to the folder above
        const std::string name = prefix + udf_get_filename(folder);
        if (udf_is_dir(folder)) {
            udf_dirent_t* inner = udf_opendir(folder);
            if (!inner) error = "its UDF folder " + name + " cannot be read";
            if (!inner || !walkUdf(inner, name + "/", files, error)) {
                udf_dirent_free(folder);
                return false;
            }
            continue;
        }
        const uint64_t size = udf_get_file_length(folder);
        uint32_t start = 0, end = 0;
        if (size > 0 && !udf_get_lba(&folder->fe, &start, &end)) {
            error = "the UDF file " + name + " keeps no extent of its own";
            udf_dirent_free(folder);
            return false;
        }
        // UDF counts its blocks from the start of its partition.
        files.push_back({name, size > 0 ? folder->i_part_start + start : 0, size});
    }
    return true;
}

bool readUdf(udf_t* udf, std::vector<DiscFile>& files, std::string& error) {
    udf_dirent_t* root = udf_get_root(udf, true, 0);
    if (!root) {
        error = "its UDF file system has no root folder";
        return false;
    }
    return walkUdf(root, "", files, error);
}

// "NAME.EXT;1" is "NAME.EXT", and "NAME.;1" is "NAME".
std::string withoutVersion(std::string name) {
    const size_t semicolon = name.rfind(';');
    if (semicolon == std::string::npos || name.find_first_not_of("0123456789", semicolon + 1) != std::string::npos) return name;
    name.erase(semicolon);
    if (!name.empty() && name.back() == '.') name.pop_back();
    return name;
}

bool walkIso(iso9660_t* iso, const std::string& folder, std::vector<DiscFile>& files, std::string& error) {
    CdioList_t* entries = iso9660_ifs_readdir(iso, folder.c_str());
    if (!entries) {
        error = "its ISO 9660 folder " + folder + " cannot be read";
        return false;
    }
    bool read = true;
    for (CdioListNode_t* node = _cdio_list_begin(entries); node && read; node = _cdio_list_node_next(node)) {
        const auto* entry = static_cast<const iso9660_stat_t*>(_cdio_list_node_data(node));
        const std::string name = entry->filename;
        if (name == "." || name == "..") continue;
        if (entry->type == iso9660_stat_t::_STAT_DIR) {
            read = walkIso(iso, folder + name + "/", files, error);
            continue;
        }
        files.push_back({folder.substr(1) + withoutVersion(name), static_cast<uint32_t>(entry->lsn), entry->size});
    }
    iso9660_filelist_free(entries);
    return read;
}

}  // namespace

bool measureImage(const std::string& path, uint64_t& size, std::string& error) {
    std::error_code failure;
    if (std::filesystem::is_directory(path, failure)) {
        error = path + " is a folder, not a disc image";
        return false;
    }
    FILE* image = fopen(path.c_str(), "rb");
    if (!image) {
        error = path + " cannot be opened for reading: " + strerror(errno);
        return false;
    }
    const bool measured = fseeko(image, 0, SEEK_END) == 0 && ftello(image) >= 0;
    if (measured) size = static_cast<uint64_t>(ftello(image));
    else error = path + " cannot be measured: " + strerror(errno);
    fclose(image);
    return measured;
}

const char* fileSystemName(FileSystemKind kind) {
    return kind == FileSystemKind::Udf ? "UDF" : "ISO 9660";
}

bool readDiscFiles(const std::string& path, DiscListing& listing, std::string& error) {
    listing.files.clear();
    if (!measureImage(path, listing.imageSize, error)) return false;
    cdio_log_set_handler(quietLog);
    std::string why;
    bool read = false;
    if (udf_t* udf = udf_open(path.c_str())) {
        listing.kind = FileSystemKind::Udf;
        read = readUdf(udf, listing.files, why);
        udf_close(udf);
    } else if (iso9660_t* iso = iso9660_open_ext(path.c_str(), ISO_EXTENSION_ALL)) {
        listing.kind = FileSystemKind::Iso9660;
        read = walkIso(iso, "/", listing.files, why);
        iso9660_close(iso);
    } else {
        why = "it holds neither a UDF nor an ISO 9660 file system: is it a disc image?";
    }
    if (!read) {
        error = path + ": " + why;
        return false;
    }
    for (const DiscFile& file : listing.files) {
        const uint64_t end = file.sector * kSector + file.size;
        if (file.size > 0 && end > listing.imageSize) {
            char numbers[128];
            snprintf(numbers, sizeof numbers, " reaches to byte %" PRIu64 ", past the image's end at byte %" PRIu64, end,
                     listing.imageSize);
            error = path + ": its file " + file.name + numbers + ": the image is truncated";
            return false;
        }
    }
    return true;
}
