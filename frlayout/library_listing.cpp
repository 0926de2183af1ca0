// The file lists that libcdio's own readers (libudf, libiso9660) give of an image whose structures
// were checked first; held against the checked reading, they catch a misread in either.
#include "frlayout/library_listing.h"

#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <cdio/udf.h>

#include "frlayout/tree_reading.h"

namespace {

// libcdio reports what it does not find on stderr; the caller says it in its own words instead.
void quietLog(cdio_log_level_t, const char*) {}

bool walkUdf(udf_dirent_t* folder, const std::string& prefix, size_t depth, std::vector<DiscFile>& files, std::string& why) {
    while ((folder = udf_readdir(folder)) != nullptr) {
        if (folder->b_parent) continue;  // the link to the folder above
        const std::string name = prefix + udf_get_filename(folder);
        if (udf_is_dir(folder)) {
            udf_dirent_t* inner = depth < kDeepestFolder ? udf_opendir(folder) : nullptr;
            if (!inner) why = "libudf cannot read its UDF folder " + name;
            if (!inner || !walkUdf(inner, name + "/", depth + 1, files, why)) {
                udf_dirent_free(folder);
                return false;
            }
            continue;
        }
        const uint64_t size = udf_get_file_length(folder);
        uint32_t start = 0, end = 0;
        if (size > 0 && !udf_get_lba(&folder->fe, &start, &end)) {
            why = "libudf finds no extent of the UDF file " + name;
            udf_dirent_free(folder);
            return false;
        }
        // UDF counts its blocks from the start of its partition.
        files.push_back({name, size > 0 ? folder->i_part_start + start : 0, size});
    }
    return true;
}

bool walkIso(iso9660_t* iso, const std::string& folder, size_t depth, std::vector<DiscFile>& files, std::string& why) {
    CdioList_t* entries = depth < kDeepestFolder ? iso9660_ifs_readdir(iso, folder.c_str()) : nullptr;
    if (!entries) {
        why = "libiso9660 cannot read its ISO 9660 folder " + folder;
        return false;
    }
    bool read = true;
    for (CdioListNode_t* node = _cdio_list_begin(entries); node && read; node = _cdio_list_node_next(node)) {
        const auto* entry = static_cast<const iso9660_stat_t*>(_cdio_list_node_data(node));
        const std::string name = entry->filename;
        if (name == "." || name == "..") continue;
        if (entry->type == iso9660_stat_t::_STAT_DIR) {
            read = walkIso(iso, folder + name + "/", depth + 1, files, why);
            continue;
        }
        files.push_back({folder.substr(1) + name, static_cast<uint32_t>(entry->lsn), entry->size});
    }
    iso9660_filelist_free(entries);
    return read;
}

}  // namespace

bool libudfFiles(const std::string& path, std::vector<DiscFile>& files, std::string& why) {
    cdio_log_set_handler(quietLog);
    udf_t* udf = udf_open(path.c_str());
    if (!udf) {
        why = "libudf cannot open its UDF volume";
        return false;
    }
    udf_dirent_t* root = udf_get_root(udf, true, 0);
    const bool read = root && walkUdf(root, "", 0, files, why);
    if (!root) why = "libudf finds no UDF root folder";
    udf_close(udf);
    return read;
}

bool libiso9660Files(const std::string& path, std::vector<DiscFile>& files, std::string& why) {
    cdio_log_set_handler(quietLog);
    // The primary tree with its plain names: the names are not compared, and no extension is parsed.
    iso9660_t* iso = iso9660_open_ext(path.c_str(), ISO_EXTENSION_NONE);
    if (!iso) {
        why = "libiso9660 cannot open its ISO 9660 volume";
        return false;
    }
    const bool read = walkIso(iso, "/", 0, files, why);
    iso9660_close(iso);
    return read;
}
