// The file lists that libcdio's own readers (libudf, libiso9660) give of an image whose structures
// were checked first: the listing frlayout uses, once it equals the checked reading.
#include "frlayout/library_listing.h"

#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <cdio/udf.h>

#include <set>

namespace {

// libcdio reports what it does not find on stderr; the caller says it in its own words instead.
void quietLog(cdio_log_level_t, const char*) {}

std::string shownFolder(const std::string& path) {
    return path.empty() ? "/" : path;
}

// Each folder is walked once at most: whatever the library misreads, the walk stays as small as the
// checked tree.
struct Walk {
    std::vector<DiscFile>& files;
    std::string& why;
    std::set<uint32_t> met;
};

bool walkUdf(udf_dirent_t* folder, const std::string& prefix, size_t depth, Walk& walk) {
    while ((folder = udf_readdir(folder)) != nullptr) {
        if (folder->b_parent) continue;  // the link to the folder above
        const char* own = udf_get_filename(folder);
        if (!own) {
            walk.why = "libudf cannot decode the name of an entry of its UDF folder " + shownFolder(prefix);
            udf_dirent_free(folder);
            return false;
        }
        const std::string name = prefix + own;
        uint32_t start = 0, end = 0;
        if (udf_is_dir(folder)) {
            const bool once = udf_get_lba(&folder->fe, &start, &end) && walk.met.insert(folder->i_part_start + start).second;
            udf_dirent_t* inner = once && depth < kDeepestFolder ? udf_opendir(folder) : nullptr;
            if (!inner) walk.why = "libudf cannot read its UDF folder " + name + ", or meets it a second time";
            if (!inner || !walkUdf(inner, name + "/", depth + 1, walk)) {
                udf_dirent_free(folder);
                return false;
            }
            continue;
        }
        const uint64_t size = udf_get_file_length(folder);
        if (size > 0 && !udf_get_lba(&folder->fe, &start, &end)) {
            walk.why = "libudf finds no extent of the UDF file " + name;
            udf_dirent_free(folder);
            return false;
        }
        // UDF counts its blocks from the start of its partition.
        walk.files.push_back({name, size > 0 ? folder->i_part_start + start : 0, size});
    }
    return true;
}

// libiso9660 finds a folder by its path, name by name from the root; the folder found must be the
// one that the entry walked from points to (`place`): its first entry, its own record ".", says so.
bool walkIso(iso9660_t* iso, bool plain, const std::string& folder, const std::string& shown, const uint32_t* place,
             size_t depth, Walk& walk) {
    CdioList_t* entries = depth < kDeepestFolder ? iso9660_ifs_readdir(iso, folder.c_str()) : nullptr;
    if (!entries) {
        walk.why = "libiso9660 cannot read its ISO 9660 folder " + shownFolder(shown);
        return false;
    }
    bool read = true;
    for (CdioListNode_t* node = _cdio_list_begin(entries); node && read; node = _cdio_list_node_next(node)) {
        const auto* entry = static_cast<const iso9660_stat_t*>(_cdio_list_node_data(node));
        if (!entry) {
            walk.why = "libiso9660 cannot decode an entry of its ISO 9660 folder " + shownFolder(shown);
            read = false;
            break;
        }
        const std::string own = entry->filename;
        const uint32_t sector = static_cast<uint32_t>(entry->lsn);
        if (node == _cdio_list_begin(entries)) {
            read = own == "." && (!place || sector == *place) && walk.met.insert(sector).second;
            if (!read) walk.why = "libiso9660 finds another folder at " + shownFolder(shown) + " than the one its entry points to";
            continue;
        }
        if (own == "..") continue;
        const std::string name = shown + (plain ? withoutVersion(own) : own);
        if (entry->type == iso9660_stat_t::_STAT_DIR) {
            read = walkIso(iso, plain, folder + own + "/", name + "/", &sector, depth + 1, walk);
            continue;
        }
        walk.files.push_back({name, entry->size > 0 ? sector : 0, entry->size});
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
    Walk walk{files, why, {}};
    const bool read = root && walkUdf(root, "", 0, walk);
    if (!root) why = "libudf finds no UDF root folder";
    udf_close(udf);
    return read;
}

bool libiso9660Files(const std::string& path, TreeNames names, std::vector<DiscFile>& files, std::string& why) {
    cdio_log_set_handler(quietLog);
    // With a Joliet level in its mask, libiso9660 reads the Joliet tree wherever there is one, and
    // never a Rock Ridge name; without, the primary tree, with its Rock Ridge names where it has them.
    const iso_extension_mask_t mask = names == TreeNames::Joliet      ? ISO_EXTENSION_JOLIET
                                      : names == TreeNames::RockRidge ? ISO_EXTENSION_ROCK_RIDGE
                                                                      : ISO_EXTENSION_NONE;
    iso9660_t* iso = iso9660_open_ext(path.c_str(), mask);
    if (!iso) {
        why = "libiso9660 cannot open its ISO 9660 volume";
        return false;
    }
    Walk walk{files, why, {}};
    const bool read = walkIso(iso, names == TreeNames::Plain, "/", "", nullptr, 0, walk);
    iso9660_close(iso);
    return read;
}
