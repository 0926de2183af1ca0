// Making a game's delta files from the team's US, European and French images, and proving them
// with the game's own patcher before they are written.
#include "frlayout/delta_making.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "frlayout/child_process.h"
#include "frlayout/data_folder.h"
#include "frlayout/delta_header.h"
#include "frlayout/disc_identity.h"
#include "frlayout/image_compare.h"
#include "frlayout/image_rebuild.h"
#include "patchers/common/image_crc.h"
#include "patchers/common/layout_facts.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

const char* const kEncoderOptions[] = {"-e", "-c", "-A", "-S", "djw", "-B", "2147483648"};
const size_t kEncoderOptionCount = sizeof kEncoderOptions / sizeof kEncoderOptions[0];

namespace {

constexpr size_t kHeaderBytes = 512;
constexpr const char* kDecoderLink = "xdelta3";  // where the POSIX patcher looks first

double now() {
    timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

bool endsWithCaseless(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && strcasecmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// A folder of the run's own, removed with everything in it when the run ends, however it ends.
class ScratchFolder {
public:
    ~ScratchFolder() {
        if (path_.empty()) return;
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    bool make(const std::string& parent, std::string& error) {
        std::string pattern = parent + "/.frlayout-deltas-XXXXXX";
        if (!mkdtemp(&pattern[0])) {
            error = "cannot make a scratch folder in " + parent + ": " + strerror(errno);
            return false;
        }
        path_ = pattern;
        return true;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// What is known of an input image, to tell afterwards that it was not changed.
struct Stamp {
    uint64_t size = 0;
    timespec modified{};
    dev_t device = 0;
    ino_t inode = 0;
};

bool stampOf(const std::string& path, Stamp& stamp, std::string& error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = path + " cannot be read: " + strerror(errno);
        return false;
    }
    // A pipe or a device would block the reads below, or never end: refused before any open.
    if (!S_ISREG(info.st_mode)) {
        error = path + " is no plain file (a folder, a pipe or a device), not a disc image";
        return false;
    }
    stamp = {static_cast<uint64_t>(info.st_size), info.st_mtim, info.st_dev, info.st_ino};
    return true;
}

bool sameStamp(const Stamp& one, const Stamp& other) {
    return one.size == other.size && one.modified.tv_sec == other.modified.tv_sec &&
           one.modified.tv_nsec == other.modified.tv_nsec && one.device == other.device && one.inode == other.inode;
}

// The output of a patcher without its progress lines, indented, for a message.
std::string patcherWords(const std::string& output) {
    std::string words;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t cut = line.rfind('\r');
        if (cut != std::string::npos) line = line.substr(cut + 1);
        if (line.find_first_not_of(' ') == std::string::npos) continue;
        words += "\n    " + line;
    }
    return words;
}

// The last percentage a patcher's progress line showed in `output`, or -1.
int lastProgress(const std::string& output) {
    static const char kProgress[] = "Progression : ";
    const size_t at = output.rfind(kProgress);
    if (at == std::string::npos) return -1;
    int value = -1;
    return sscanf(output.c_str() + at + sizeof kProgress - 1, "%d", &value) == 1 ? value : -1;
}

// The position of the file at descriptor `fd` of process `child`, as the system tells it.
bool readPosition(pid_t child, int fd, uint64_t& position) {
    std::ifstream info("/proc/" + std::to_string(child) + "/fdinfo/" + std::to_string(fd));
    std::string key;
    while (info >> key) {
        if (key == "pos:") return static_cast<bool>(info >> position);
        info.ignore(1 << 16, '\n');
    }
    return false;
}

class DeltaMaking {
public:
    DeltaMaking(const DeltaRequest& request, DeltaProgress& progress, DeltaReport& report)
        : request_(request), title_(*request.title), game_(*request.title->game), progress_(progress), report_(report) {}

    bool run() {
        const bool done = check() && rebuild() && makeAll() && prove(US) && prove(European) && unchanged() && commit();
        if (!done && platform::interrupted()) report_.error = "interrupted";
        return done;
    }

private:
    bool check();
    bool checkImage(const std::string& path, Release release);
    bool outFolderApart();
    bool readCrc32s();
    bool prepareScratch();
    bool rebuild();
    bool makeAll();
    bool encode(const DeltaJob& job);
    bool decodeBack(const DeltaJob& job);
    bool prove(Release release);
    bool unchanged();
    bool commit();

    bool fail(const std::string& error) {
        report_.error = error;
        return false;
    }
    void begin(const std::string& what) {
        finish();
        stepStarted_ = now();
        stepOpen_ = true;
        report_.steps.push_back({what, 0});
        progress_.step(what);
    }
    void finish() {
        if (stepOpen_) report_.steps.back().seconds = now() - stepStarted_;
        stepOpen_ = false;
    }
    const std::string& pathOf(DeltaImage image) const {
        switch (image) {
        case DeltaImage::Us: return request_.usImage;
        case DeltaImage::RebuiltEuropean: return rebuilt_;
        case DeltaImage::French: return request_.frenchImage;
        }
        return request_.frenchImage;
    }
    std::string proofFolder(Release release) const { return scratch_.path() + (release == US ? "/us" : "/eu"); }
    static const char* proofImage(Release release) { return release == US ? "us.iso" : "eu.iso"; }
    std::string patcher() const { return request_.programFolder + "/frpatch_" + title_.name; }
    std::string runName(Release release) const {
        return std::string("the ") + releaseName(release) + " run of frpatch_" + title_.name;
    }

    const DeltaRequest& request_;
    const Title& title_;
    const Game& game_;
    DeltaProgress& progress_;
    DeltaReport& report_;
    std::vector<DeltaJob> jobs_;
    Stamp stamps_[3];  // US, European, French
    StagedFolder staged_;
    ScratchFolder scratch_;
    std::string rebuilt_;
    double stepStarted_ = 0;
    bool stepOpen_ = false;
};

bool DeltaMaking::check() {
    begin("checking the three images");
    const std::string* inputs[3] = {&request_.usImage, &request_.europeanImage, &request_.frenchImage};
    std::string error;
    for (int i = 0; i < 3; ++i) {
        if (!stampOf(*inputs[i], stamps_[i], error)) return fail(error);
        for (int j = 0; j < i; ++j) {
            if (stamps_[i].device == stamps_[j].device && stamps_[i].inode == stamps_[j].inode) {
                return fail(*inputs[j] + " and " + *inputs[i] + " are the same file: give the US, the European and the French image");
            }
        }
    }
    if (!checkImage(request_.usImage, US) || !checkImage(request_.europeanImage, European)) return false;
    const uint64_t frenchSize = game_.releases[US].stages[game_.releases[US].stageCount - 1].expectedSize;
    if (stamps_[2].size != frenchSize) {
        return fail(formatText("%s is %" PRIu64 " bytes long; the French image of %s is %" PRIu64 " bytes: is it the finished French image?",
                               request_.frenchImage.c_str(), stamps_[2].size, title_.displayName, frenchSize));
    }
    if (access(patcher().c_str(), X_OK) != 0) {
        return fail(patcher() + " is missing: build the programs first (cmake --build build), as the deltas are proved with it");
    }
    jobs_ = deltaJobs(game_, request_.version);
    if (jobs_.empty()) return fail(std::string("the game data of ") + title_.displayName + " names one delta file for two pairs of images");
    if (!outFolderApart()) return false;
    if (!staged_.open(request_.outFolder, error)) return fail(error);
    return prepareScratch() && readCrc32s();
}

// The output folder is replaced whole: it must hold neither an image nor the scratch folder.
bool DeltaMaking::outFolderApart() {
    std::error_code failure;
    const fs::path out = fs::weakly_canonical(request_.outFolder, failure);
    const auto inside = [&](const fs::path& path) {
        const fs::path canonical = fs::weakly_canonical(path, failure);
        const auto [end, rest] = std::mismatch(out.begin(), out.end(), canonical.begin(), canonical.end());
        return end == out.end();
    };
    for (const std::string* image : {&request_.usImage, &request_.europeanImage, &request_.frenchImage}) {
        if (inside(*image)) return fail(request_.outFolder + " holds " + *image + ": give --out a folder of its own for the delta files");
    }
    if (inside(request_.scratchParent)) {
        return fail("the scratch folder would lie inside " + request_.outFolder + ": give --scratch a folder outside it");
    }
    return true;
}

// The image is the release it must be, as frlayout tells it and as the patcher recognises it.
bool DeltaMaking::checkImage(const std::string& path, Release release) {
    ImageIdentity identity{};
    std::string error;
    if (!identifyImage(path, identity, error)) return fail(error);
    if (identity.title != &title_) {
        return fail(formatText("%s is a %s image; frlayout deltas %s takes %s images", path.c_str(), identity.title->displayName,
                               title_.name, title_.displayName));
    }
    if (identity.release != release) {
        return fail(formatText("%s is the %s image of %s where the %s one is due: give the US, the European and the French image, in that order",
                               path.c_str(), releaseName(identity.release), title_.displayName, releaseName(release)));
    }
    FileImageSource image(path.c_str());
    if (recogniseRelease(image, game_.signatures, game_.releaseCount) != release) {
        return fail(path + " is not recognised by frpatch_" + title_.name + " as its " + releaseName(release) + " image");
    }
    return true;
}

// The scratch folder holds the rebuilt image, then each release's run: on the file system of the
// images, which are hard-linked into it, never copied.
bool DeltaMaking::prepareScratch() {
    std::string error;
    if (!scratch_.make(request_.scratchParent, error)) return fail(error);
    uint64_t needed = 0;
    for (int release = 0; release < game_.releaseCount; ++release) {
        needed = std::max(needed, bytesNeeded(game_.releases[release]));
    }
    uint64_t free = 0;
    if (platform::freeSpace(scratch_.path().c_str(), free) && free < needed) {
        return fail(formatText("%s has %s free, and making and proving the deltas needs %s there: free some space, or give "
                               "--scratch a folder on another disk (on the file system of the images)",
                               request_.scratchParent.c_str(), sizeText(free).c_str(), sizeText(needed).c_str()));
    }
    rebuilt_ = scratch_.path() + "/rebuilt.iso";
    for (Release release : {US, European}) {
        const std::string folder = proofFolder(release);
        const std::string& image = release == US ? request_.usImage : request_.europeanImage;
        if (mkdir(folder.c_str(), 0755) != 0) return fail("cannot make " + folder + ": " + strerror(errno));
        if (link(image.c_str(), (folder + "/" + proofImage(release)).c_str()) != 0) {
            if (errno == EXDEV) {
                return fail("cannot hard-link " + image + " into " + request_.scratchParent +
                            ": they lie on different file systems; give --scratch a folder on the file system of the images");
            }
            return fail("cannot hard-link " + image + " into " + request_.scratchParent + ": " + strerror(errno));
        }
    }
    return true;
}

bool DeltaMaking::readCrc32s() {
    begin("reading the three images for their CRC32");
    const std::string* inputs[3] = {&request_.usImage, &request_.europeanImage, &request_.frenchImage};
    const uint64_t total = stamps_[0].size + stamps_[1].size + stamps_[2].size;
    uint64_t before = 0;
    uint32_t crcs[3] = {};
    for (int i = 0; i < 3; ++i) {
        FileImageSource image(inputs[i]->c_str());
        const bool read = image.isOpen() && imageCrc32(image, crcs[i], [&](double share) {
            progress_.share((static_cast<double>(before) + share * static_cast<double>(stamps_[i].size)) / static_cast<double>(total));
            return !platform::interrupted();
        });
        if (!read) return fail(platform::interrupted() ? "interrupted" : *inputs[i] + " cannot be read to its end");
        before += stamps_[i].size;
        if (i == 2) break;
        const uint32_t published = title_.game->signatures[i].crc32;
        if (crcs[i] != published) {
            report_.warnings.push_back(formatText("the CRC32 of %s is %08" PRIX32 ", not %08" PRIX32 ", the published one of the %s %s disc: "
                                                  "this disc is another revision, or a damaged dump, and the deltas fit only it",
                                                  inputs[i]->c_str(), crcs[i], published, releaseName(static_cast<Release>(i)),
                                                  title_.displayName));
        }
    }
    if (crcs[2] == crcs[0] && stamps_[2].size == stamps_[0].size) {
        return fail(request_.frenchImage + " has the CRC32 of the US image " + request_.usImage + ": give the finished French image");
    }
    const auto verdict = [&](int i) { return crcs[i] == title_.game->signatures[i].crc32 ? ", the published one" : ", not the published one"; };
    report_.notes.push_back(formatText("CRC32 of the US image %08" PRIX32 "%s, of the European image %08" PRIX32 "%s, of the French image %08" PRIX32,
                                       crcs[0], verdict(0), crcs[1], verdict(1), crcs[2]));
    return true;
}

bool DeltaMaking::rebuild() {
    begin("rebuilding the European image into the US layout");
    std::string error;
    if (!rebuildEuropeanImage(title_, request_.europeanImage, rebuilt_, [&](double percent) { progress_.share(percent / 100); },
                              error)) {
        return fail(error);
    }
    return true;
}

bool DeltaMaking::makeAll() {
    for (const DeltaJob& job : jobs_) {
        if (!encode(job) || !decodeBack(job)) return false;
    }
    // The proof's runs rebuild the European image themselves, from the player's image.
    unlink(rebuilt_.c_str());
    return true;
}

// The delta tool reads the target on its standard input, so that how far it has come is the
// position of that file, and writes the delta on its standard output, into the new folder.
bool DeltaMaking::encode(const DeltaJob& job) {
    begin("making " + job.name + " from " + deltaImageName(job.from) + " to " + deltaImageName(job.to));
    const std::string& target = pathOf(job.to);
    const std::string deltaPath = staged_.path() + "/" + job.name;
    const int input = open(target.c_str(), O_RDONLY | O_CLOEXEC);
    const int output = open(deltaPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (input < 0 || output < 0) {
        const std::string why = strerror(errno);
        if (input >= 0) close(input);
        if (output >= 0) close(output);
        return fail("cannot open " + (input < 0 ? target : deltaPath) + ": " + why);
    }
    struct stat info;
    const double size = fstat(input, &info) == 0 && info.st_size > 0 ? static_cast<double>(info.st_size) : 1;
    ChildRun run;
    run.argv = {request_.decoder};
    run.argv.insert(run.argv.end(), kEncoderOptions, kEncoderOptions + kEncoderOptionCount);
    run.argv.insert(run.argv.end(), {"-s", pathOf(job.from)});
    run.input = input;
    run.output = output;
    run.onTick = [&](pid_t child) {
        uint64_t position = 0;
        if (readPosition(child, STDIN_FILENO, position)) progress_.share(static_cast<double>(position) / size);
    };
    const ChildEnd end = runChild(run);
    close(input);
    const bool closed = close(output) == 0;
    if (!end.succeeded() || !closed) {
        return fail("the delta tool " + request_.decoder + " could not make " + job.name + ": it " + end.describe() +
                    (end.errors.empty() ? "" : "; it said: " + end.errors));
    }
    unsigned char header[kHeaderBytes];
    std::ifstream delta(deltaPath, std::ios::binary);
    delta.read(reinterpret_cast<char*>(header), sizeof header);
    const std::string problem = deltaHeaderProblem(readDeltaHeader(header, static_cast<size_t>(delta.gcount())));
    if (!problem.empty()) return fail(job.name + " cannot be shipped: " + problem);
    report_.deltas.push_back({job, static_cast<uint64_t>(fs::file_size(deltaPath))});
    return true;
}

// The new delta, decoded alone, gives its target back byte for byte: a wrong delta is named here,
// before any patcher run.
bool DeltaMaking::decodeBack(const DeltaJob& job) {
    begin("decoding " + job.name + " back to " + deltaImageName(job.to));
    StreamComparison comparison;
    std::string error;
    if (!comparison.open(pathOf(job.to), error)) return fail(error);
    ChildRun run;
    run.argv = {request_.decoder, "-d", "-c", "-s", pathOf(job.from), staged_.path() + "/" + job.name};
    run.onOutput = [&](const char* bytes, size_t count) { comparison.take(bytes, count); };
    run.onTick = [&](pid_t) {
        progress_.share(static_cast<double>(comparison.compared()) / static_cast<double>(std::max<uint64_t>(comparison.fileSize(), 1)));
    };
    const ChildEnd end = runChild(run);
    if (!end.succeeded()) {
        return fail("the delta tool cannot decode " + job.name + " against " + deltaImageName(job.from) + ": it " + end.describe() +
                    (end.errors.empty() ? "" : "; it said: " + end.errors));
    }
    if (!comparison.equal()) {
        return fail(job.name + " does not turn " + deltaImageName(job.from) + " into " + deltaImageName(job.to) +
                    ": what it decodes to " + comparison.difference());
    }
    return true;
}

// The release's image, as a player has it, patched by the built patcher with the new deltas and
// Debian's decoder beside them: the French image must come out byte for byte.
bool DeltaMaking::prove(Release release) {
    begin("proving the deltas: frpatch_" + std::string(title_.name) + " on the " + releaseName(release) + " image");
    const std::string folder = proofFolder(release);
    std::set<std::string> inputs = {proofImage(release), kDecoderLink};
    for (const MadeDelta& made : report_.deltas) {
        const std::string from = staged_.path() + "/" + made.job.name, to = folder + "/" + made.job.name;
        std::error_code failure;
        if (link(from.c_str(), to.c_str()) != 0 && !fs::copy_file(from, to, failure)) {
            return fail("cannot put " + made.job.name + " into " + folder + ": " + failure.message());
        }
        inputs.insert(made.job.name);
    }
    if (symlink(request_.decoder.c_str(), (folder + "/" + kDecoderLink).c_str()) != 0) {
        return fail("cannot link the decoder into " + folder + ": " + strerror(errno));
    }
    const ReleasePlan& plan = game_.releases[release];
    std::string image = proofImage(release);
    const std::string output = image.substr(0, image.size() - 4) + plan.stages[plan.stageCount - 1].outputSuffix;

    std::string said;
    ChildRun run;
    run.argv = {patcher()};
    run.folder = folder;
    run.onOutput = [&](const char* bytes, size_t count) {
        said.append(bytes, count);
        const int shown = lastProgress(said);
        if (shown >= 0) progress_.share(shown / 100.0);
    };
    const double started = now();
    const ChildEnd end = runChild(run);
    if (!end.started || (!end.exited && !end.interrupted)) return fail(runName(release) + " " + end.describe());
    if (end.interrupted) return fail("interrupted");
    const double seconds = now() - started;
    struct stat info;
    if (stat((folder + "/" + output).c_str(), &info) != 0) {
        return fail(runName(release) + " wrote no French image; it said:" + patcherWords(said));
    }
    begin("comparing the French image of the " + std::string(releaseName(release)) + " run with " + baseName(request_.frenchImage));
    bool stopped = false;
    const std::string difference = compareFiles(folder + "/" + output, request_.frenchImage, [&](double share) {
        progress_.share(share);
        return !platform::interrupted();
    }, stopped);
    if (stopped) return fail("interrupted");
    if (!difference.empty()) {
        return fail(runName(release) + " gave a French image that " + difference + "; it said:" + patcherWords(said));
    }
    inputs.insert(output);
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, failure)) {
        const std::string name = entry.path().filename().string();
        if (!inputs.count(name)) return fail(runName(release) + " left " + name + " behind beside the image");
    }
    unlink((folder + "/" + output).c_str());  // room for the next run
    report_.proof.push_back(formatText("frpatch_%s on the %s image gave %s byte for byte (%.0f s)", title_.name, releaseName(release),
                                       baseName(request_.frenchImage).c_str(), seconds));
    return true;
}

bool DeltaMaking::unchanged() {
    const std::string* inputs[3] = {&request_.usImage, &request_.europeanImage, &request_.frenchImage};
    for (int i = 0; i < 3; ++i) {
        Stamp now;
        std::string error;
        if (!stampOf(*inputs[i], now, error) || !sameStamp(now, stamps_[i])) {
            return fail(*inputs[i] + " changed while the deltas were made: nothing was written, run again");
        }
    }
    return true;
}

bool DeltaMaking::commit() {
    begin("writing " + request_.outFolder);
    std::string error;
    std::vector<std::string> replaced;
    const bool committed = staged_.commit(error, [&](const std::string& name) {
        if (!isDeltaOfGame(game_, name)) return true;
        replaced.push_back(name);
        return false;
    });
    if (!committed) return fail(error);
    for (const std::string& name : replaced) report_.notes.push_back(name + ", an older delta of " + title_.displayName + ", was replaced");
    finish();
    return true;
}

}  // namespace

std::vector<DeltaJob> deltaJobs(const Game& game, const std::string& version) {
    std::vector<DeltaJob> jobs;
    for (int release = 0; release < game.releaseCount; ++release) {
        const ReleasePlan& plan = game.releases[release];
        DeltaImage from = plan.rebuild ? DeltaImage::RebuiltEuropean : DeltaImage::Us;
        for (int stage = 0; stage < plan.stageCount; ++stage) {
            const StagePlan& step = plan.stages[stage];
            const DeltaImage to = stage + 1 == plan.stageCount ? DeltaImage::French : DeltaImage::Us;
            // A stage before the last makes the exact US image, and nothing else.
            if (to == DeltaImage::Us && step.expectedSize != game.signatures[US].imageSize) return {};
            const std::string name = step.deltaName ? step.deltaName : std::string(plan.deltaPrefix) + version + ".xdelta";
            bool known = false;
            for (const DeltaJob& job : jobs) {
                if (job.name != name) continue;
                if (job.from != from || job.to != to) return {};
                known = true;
            }
            if (!known) jobs.push_back({name, from, to});
            from = to;
        }
    }
    return jobs;
}

const char* deltaImageName(DeltaImage image) {
    switch (image) {
    case DeltaImage::Us: return "the US image";
    case DeltaImage::RebuiltEuropean: return "the rebuilt European image";
    case DeltaImage::French: return "the French image";
    }
    return "";
}

bool isDeltaOfGame(const Game& game, const std::string& fileName) {
    for (int release = 0; release < game.releaseCount; ++release) {
        const ReleasePlan& plan = game.releases[release];
        if (plan.deltaPrefix && strncmp(fileName.c_str(), plan.deltaPrefix, strlen(plan.deltaPrefix)) == 0 &&
            endsWithCaseless(fileName, ".xdelta")) {
            return true;
        }
        for (int stage = 0; stage < plan.stageCount; ++stage) {
            if (plan.stages[stage].deltaName && strcasecmp(fileName.c_str(), plan.stages[stage].deltaName) == 0) return true;
        }
    }
    return false;
}

bool makeDeltas(const DeltaRequest& request, DeltaProgress& progress, DeltaReport& report) {
    platform::catchInterruptions();
    bool done = false;
    {
        DeltaMaking making(request, progress, report);
        done = making.run();
    }
    platform::releaseInterruptions();
    return done;
}
