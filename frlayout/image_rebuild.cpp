// The temporary image of a European patcher run, written to a file of the maintainer's choosing.
#include "frlayout/image_rebuild.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "patchers/common/image_access.h"
#include "patchers/common/layout_facts.h"
#include "platform/platform.h"

namespace {

std::string failureText(RebuildFailure failure, const std::string& europeanPath, const std::string& outPath) {
    switch (failure) {
    case RebuildFailure::Allocation: return "out of memory while rebuilding " + europeanPath;
    case RebuildFailure::ReadSource: return "cannot read " + europeanPath + " to its end";
    case RebuildFailure::WriteTarget: return "cannot write beside " + outPath + " (is the disk full?)";
    case RebuildFailure::BadStep: return "the layout tables built in do not fit the rebuild plan: build frlayout again";
    case RebuildFailure::None: break;
    }
    return "the rebuild stopped";
}

bool sameFile(const std::string& one, const std::string& other) {
    struct stat first, second;
    return stat(one.c_str(), &first) == 0 && stat(other.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace

bool rebuildEuropeanImage(const Title& title, const std::string& europeanPath, const std::string& outPath,
                          const RebuildProgress& progress, std::string& error) {
    struct stat existing;
    if (stat(outPath.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        error = outPath + " exists and is no plain file";
        return false;
    }
    if (sameFile(europeanPath, outPath)) {
        error = outPath + " is the European image itself: name another file";
        return false;
    }
    const uint64_t size = rebuiltSize(*title.plan);
    uint64_t free = 0;
    if (platform::freeSpace(folderOf(outPath).c_str(), free) && free < size) {
        error = formatText("the rebuilt image takes %s, and %s has only %s free: free some space or write it to another disk",
                           sizeText(size).c_str(), folderOf(outPath).c_str(), sizeText(free).c_str());
        return false;
    }
    FileImageSource source(europeanPath.c_str());
    if (!source.isOpen()) {
        error = europeanPath + " cannot be opened for reading";
        return false;
    }
    std::string temporary = folderOf(outPath) + "/." + baseName(outPath) + ".XXXXXX";
    const int made = mkstemp(&temporary[0]);
    if (made < 0) {
        error = "cannot create a file beside " + outPath + ": " + strerror(errno);
        return false;
    }
    // mkstemp makes a private file; the image is an ordinary one.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(made, 0666 & ~mask);
    close(made);
    FileImageSink target(temporary.c_str());
    // The rebuilt image takes no more bytes once frlayout is interrupted.
    StoppableSink appending(target, [] { return platform::interrupted(); });
    RebuildContext context{source, appending, static_cast<uint32_t>(size), 1};
    context.progress = progress;
    const bool rebuilt = target.isOpen() && runRebuildPlan(*title.plan, context);
    target.close();
    if (!rebuilt) {
        error = platform::interrupted() ? "interrupted" : failureText(context.failure, europeanPath, outPath);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), outPath.c_str()) != 0) {
        error = "cannot rename the rebuilt image to " + outPath + ": " + strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string sizeText(uint64_t bytes) {
    static const char* const kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0) snprintf(text, sizeof text, "%" PRIu64 " bytes", bytes);
    else snprintf(text, sizeof text, "%.2f %s", value, kUnits[unit]);
    return text;
}
