// A patcher run, played against a system in memory: which files exist after each outcome and in
// which order they came and went, what the player is told, and the room a run needs.
#include "patchers/common/patch_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "patchers/common/image_crc.h"
#include "patchers/elvane/elvane_releases.h"
#include "patchers/velmora/velmora_releases.h"
#include "tests/support/fake_run_system.h"

namespace {

std::vector<std::string> artefactsOf(const Game& game, Release release, const std::string& image) {
    Artefacts artefacts;
    if (!deriveArtefacts(game, game.releases[release], image.c_str(), artefacts)) return {"refused"};
    return std::vector<std::string>(artefacts.paths, artefacts.paths + artefacts.count);
}

TEST(RunArtefacts, EachReleaseDerivesOnlyTheNamesItWritesInTheOrderItMakesThem) {
    EXPECT_EQ(artefactsOf(kElvane, US, "D:\\games\\cv.iso"),
              (std::vector<std::string>{"D:\\games\\cv_probe.tmp", "D:\\games\\cv_patched.iso"}));
    EXPECT_EQ(artefactsOf(kElvane, European, "D:\\games\\cv.iso"),
              (std::vector<std::string>{"D:\\games\\cv_probe.tmp", "D:\\games\\cv_temp.iso", "D:\\games\\cv_patched.iso"}));
    EXPECT_EQ(artefactsOf(kVelmora, US, "vl.iso"), (std::vector<std::string>{"vl_probe.tmp", "vl_patched.iso"}));
    EXPECT_EQ(artefactsOf(kVelmora, European, "vl.iso"),
              (std::vector<std::string>{"vl_probe.tmp", "vl_temp.iso", "vl_prepatched.iso", "vl_patched.iso"}));

    // At 245 characters "_patched.iso" still fits the 254 of the path buffers; "_prepatched.iso",
    // which only a European run writes, does not.
    const std::string stem = "/" + std::string(240, 'v');
    ASSERT_EQ((stem + ".iso").size(), 245u);
    EXPECT_EQ(artefactsOf(kVelmora, US, stem + ".iso"),
              (std::vector<std::string>{stem + "_probe.tmp", stem + "_patched.iso"}));
    EXPECT_EQ(artefactsOf(kVelmora, European, stem + ".iso"), std::vector<std::string>{"refused"});
}

TEST(RunSpace, TheMostARunHoldsIsAStageOutputBesideTheSourceTheRunMade) {
    EXPECT_EQ(bytesNeeded(kElvane.releases[US]), 2599682048u);       // the French image alone
    EXPECT_EQ(bytesNeeded(kElvane.releases[European]), 5199364096u); // the temporary image beside it
    EXPECT_EQ(bytesNeeded(kVelmora.releases[US]), 2802745344u);
    // The pre-patched image beside the French one; the temporary image has gone by then.
    EXPECT_EQ(bytesNeeded(kVelmora.releases[European]), 5604704256u);  // 2801958912 + 2802745344
}

// The files of an earlier run that this one replaces are room, but only from the moment the run
// replaces them: an old French image goes when its stage starts, after the rebuild.
TEST(RunSpace, FilesOfAnEarlierRunCountAsRoomOnceTheRunReplacesThem) {
    const uint64_t frenchElvane = 2599682048u, frenchVelmora = 2802745344u, usVelmora = 2801958912u;
    // probe, French image
    EXPECT_EQ(bytesNeeded(kElvane.releases[US], {0, frenchElvane}), 0u);
    EXPECT_EQ(bytesNeeded(kElvane.releases[US], {0, 1000}), frenchElvane - 1000);
    // probe, temporary image, French image
    EXPECT_EQ(bytesNeeded(kElvane.releases[European], {0, 0, frenchElvane}), 2599682048u);
    EXPECT_EQ(bytesNeeded(kElvane.releases[European], {0, 2599682048u, frenchElvane}), 0u);
    // probe, temporary, pre-patched and French images
    EXPECT_EQ(bytesNeeded(kVelmora.releases[European], {0, 0, 0, frenchVelmora}), usVelmora + usVelmora);
    EXPECT_EQ(bytesNeeded(kVelmora.releases[European], {0, 0, usVelmora, 0}), usVelmora + frenchVelmora - usVelmora);
}

// ---- The run, in memory -----------------------------------------------------------------------

// A game of tiny images, shaped as the real ones: its US release is patched at once from a delta
// found by its prefix, its European one is rebuilt, pre-patched and translated with delta files of
// fixed names beside the image.
struct TinyGame {
    static constexpr uint64_t kUsSize = 4096, kEuSize = 6144, kFrenchSize = 5000;
    static constexpr unsigned char kMarker[2] = {'U', 'S'};

    Bytes us = image(kUsSize, 64, "cdrom0:\\TEST_US;1", 'u');
    Bytes european = image(kEuSize, 96, "cdrom0:\\TEST_EU;1", 'e');
    ReleaseSignature signatures[2] = {
        {kUsSize, 64, "cdrom0:\\TEST_US;1", 200, kMarker, 2, crcOf(us)},
        {kEuSize, 96, "cdrom0:\\TEST_EU;1", 0, nullptr, 0, crcOf(european)},
    };
    RebuildStep steps[2] = {{StepKind::Copy, 0, 0, 2048, nullptr, nullptr}, {StepKind::Zeros, 0, 0, 2048, nullptr, nullptr}};
    RebuildPlan plan = {steps, 2};
    StagePlan usStages[1] = {{nullptr, "_patched.iso", kFrenchSize, 1.0, 0.0}};
    StagePlan euStages[2] = {{"TST_Pre.xdelta", "_prepatched.iso", kUsSize, 3.0, 33.0},
                             {"TST_Fr.xdelta", "_patched.iso", kFrenchSize, 3.0, 67.0}};
    ReleasePlan releases[2] = {{nullptr, 0, 1, "TST_US-FR_", "Unable to find the US->FR test patch.", usStages, 1},
                               {&plan, kFrenchSize, 3, nullptr, nullptr, euStages, 2}};
    Game game = {"\n**** Test %c ****\n", signatures, releases, 2, "Impossible de trouver le fichier ISO de Test.\n",
                 "_temp.iso"};

    TinyGame() { us[200] = 'U', us[201] = 'S'; }

    static Bytes image(uint64_t size, size_t bootOffset, const char* bootPath, unsigned char fill) {
        Bytes bytes(size, fill);
        memcpy(bytes.data() + bootOffset, bootPath, strlen(bootPath) + 1);
        return bytes;
    }
    static uint32_t crcOf(const Bytes& bytes) {
        MemorySource source(bytes);
        uint32_t crc = 0;
        imageCrc32(source, crc, [](double) { return true; });
        return crc;
    }
    // The player's folder: the image of `release` with the delta files of its run.
    void place(FakeRunSystem& system, Release release) {
        Bytes image = release == US ? us : european;
        if (release == US) image[200] = 'U', image[201] = 'S';
        system.files["/jeux/game.iso"] = image;
        for (const char* delta : release == US ? std::vector<const char*>{"TST_US-FR_1.xdelta"}
                                               : std::vector<const char*>{"TST_Pre.xdelta", "TST_Fr.xdelta"}) {
            system.files[std::string("/jeux/") + delta] = Bytes(10, 'd');
        }
    }
};

// What a run printed, its progress lines left out.
std::string withoutProgress(const std::string& printed) {
    return std::regex_replace(printed, std::regex("Progression : \\d+ %\r"), "");
}

struct RunCase {
    const char* what;
    Release release;
    std::function<void(FakeRunSystem&)> setUp;
    std::vector<std::string> log;    // what the run did to the files, in order, and the key wait
    std::vector<std::string> files;  // the files left, beside the image and the deltas
    std::vector<std::string> told;   // what the player reads, in this order
};

TEST(PatchRun, EachOutcomeLeavesItsFilesAndSaysWhatHappened) {
    using Outcome = StageOutcome;
    const std::string interrupted = "Le patchage a \u00e9t\u00e9 interrompu.";
    const std::string success = "Le patch a \u00e9t\u00e9 appliqu\u00e9 avec succ\u00e8s !";
    const std::string failure = "Le patchage a \u00e9chou\u00e9";
    const std::string rightImage = "Votre fichier ISO est le bon";
    const RunCase cases[] = {
        {"a US image patched", US, [](FakeRunSystem&) {},
         {"create game_probe.tmp", "remove game_probe.tmp", "stage game_patched.iso", "key"}, {"game_patched.iso"},
         {"Version US d\u00e9tect\u00e9e : game.iso", success, "\"game_patched.iso\""}},
        {"a European image rebuilt, pre-patched and translated", European, [](FakeRunSystem&) {},
         {"create game_probe.tmp", "remove game_probe.tmp", "create game_temp.iso", "stage game_prepatched.iso",
          "remove game_temp.iso", "stage game_patched.iso", "remove game_prepatched.iso", "key"},
         {"game_patched.iso"}, {"Version europ\u00e9enne", success}},
        {"a failed pre-patch: the image is right, its own release's CRC32 says", European,
         [](FakeRunSystem& system) { system.stageOutcomes = {Outcome::Failed}; },
         {"create game_probe.tmp", "remove game_probe.tmp", "create game_temp.iso", "stage game_prepatched.iso",
          "remove game_temp.iso", "remove game_prepatched.iso", "key"},
         {}, {failure, "CRC32 attendu pour la version EU", rightImage, "TST_Pre.xdelta"}},
        {"a failed translation after the pre-patch", European,
         [](FakeRunSystem& system) { system.stageOutcomes = {Outcome::Done, Outcome::Failed}; },
         {"create game_probe.tmp", "remove game_probe.tmp", "create game_temp.iso", "stage game_prepatched.iso",
          "remove game_temp.iso", "stage game_patched.iso", "remove game_prepatched.iso", "remove game_patched.iso", "key"},
         {}, {failure, rightImage, "TST_Fr.xdelta"}},
        {"an image that is another dump", US,
         [](FakeRunSystem& system) {
             system.files["/jeux/game.iso"][300] ^= 1;
             system.stageOutcomes = {Outcome::Failed};
         },
         {"create game_probe.tmp", "remove game_probe.tmp", "stage game_patched.iso", "remove game_patched.iso", "key"},
         {}, {failure, "CRC32 attendu pour la version US"}},
        {"Ctrl-C during the rebuild", European, [](FakeRunSystem& system) { system.interruptAtAppend = 1; },
         {"create game_probe.tmp", "remove game_probe.tmp", "create game_temp.iso", "remove game_temp.iso", "key"}, {},
         {interrupted}},
        {"the program told to end during a stage: no one answers a prompt", US,
         [](FakeRunSystem& system) {
             system.stageOutcomes = {Outcome::Interrupted};
             system.interruptAs = platform::Interruption::Ended;
         },
         {"create game_probe.tmp", "remove game_probe.tmp", "stage game_patched.iso", "remove game_patched.iso"}, {},
         {interrupted}},
        {"no decoder", European, [](FakeRunSystem& system) { system.decoder = false; }, {"key"}, {},
         {"Impossible de trouver le programme"}},
        {"no delta file", US, [](FakeRunSystem& system) { system.files.erase("/jeux/TST_US-FR_1.xdelta"); }, {"key"}, {},
         {"Unable to find the US->FR test patch."}},
        {"too little room", European,
         [](FakeRunSystem& system) {
             system.knowsFreeSpace = true;
             system.free = 9095;  // a byte short of the temporary image beside the pre-patched one
         },
         {"key"}, {}, {"Pas assez d'espace libre", "9 096 octets", "9 095"}},
        {"a re-run beside its old French image on a nearly full disk", US,
         [](FakeRunSystem& system) {
             system.files["/jeux/game_patched.iso"] = Bytes(TinyGame::kFrenchSize, 'o');
             system.knowsFreeSpace = true;
             system.free = 10;
         },
         {"create game_probe.tmp", "remove game_probe.tmp", "stage game_patched.iso", "key"}, {"game_patched.iso"},
         {success}},
        {"a folder that refuses new files", US, [](FakeRunSystem& system) { system.folderWritable = false; }, {"key"}, {},
         {"prot\u00e9g\u00e9 en \u00e9criture"}},
        {"a file of the player's under the probe's name", US,
         [](FakeRunSystem& system) { system.files["/jeux/game_probe.tmp"] = Bytes(3, 'p'); },
         {"stage game_patched.iso", "key"}, {"game_patched.iso", "game_probe.tmp"}, {success}},
        {"a pipe named like an image is passed over", US,
         [](FakeRunSystem& system) { system.pipes.insert("/jeux/a.iso"); },
         {"create game_probe.tmp", "remove game_probe.tmp", "stage game_patched.iso", "key"}, {"game_patched.iso"},
         {success}},
    };
    for (const RunCase& c : cases) {
        TinyGame tiny;
        FakeRunSystem system;
        tiny.place(system, c.release);
        std::set<std::string> inputs;
        for (const std::string& name : system.names()) inputs.insert(name);
        c.setUp(system);
        testing::internal::CaptureStdout();
        runPatcher(tiny.game, system);
        const std::string told = withoutProgress(testing::internal::GetCapturedStdout());
        EXPECT_EQ(system.log, c.log) << c.what;
        std::vector<std::string> left;
        for (const std::string& name : system.names()) {
            if (!inputs.count(name) || name == "game_patched.iso" || name == "game_probe.tmp") left.push_back(name);
        }
        EXPECT_EQ(left, c.files) << c.what;
        // The player's image is closed while the prompt waits: on Windows it can then be moved.
        if (!c.log.empty() && c.log.back() == "key") {
            EXPECT_EQ(system.openImagesAtKey, 0) << c.what;
        }
        size_t at = 0;
        for (const std::string& line : c.told) {
            const size_t found = told.find(line, at);
            EXPECT_NE(found, std::string::npos) << c.what << ": not told \"" << line << "\" in order:\n" << told;
            if (found != std::string::npos) at = found + line.size();
        }
        if (c.told.front() != interrupted) {
            EXPECT_EQ(told.find(interrupted), std::string::npos) << c.what;
        }
    }
}

// The whole not-found message stands as it is; what players most often meet follows it: the
// program started from inside an archive, or the game kept in another form.
TEST(PatchRun, HintsFollowTheWholeNotFoundMessage) {
    TinyGame tiny;
    char crcs[64];
    snprintf(crcs, sizeof crcs, "%08X pour la version US.\n%08X pour la version EU.\n", tiny.signatures[US].crc32,
             tiny.signatures[European].crc32);
    const std::string notFound = "\n**** Test \u00e7 ****\nImpossible de trouver le fichier ISO de Test.\n\n"
                                 "La taille du fichier doit \u00eatre la suivante :\n4 096 octets pour la version US.\n"
                                 "6 144 octets pour la version EU.\n\nLe CRC32 doit \u00eatre le suivant :\n" +
                                 std::string(crcs);
    const std::string closing = "\nAppuyez sur n'importe quelle touche pour quitter le programme.";
    const std::string zipView =
        "\nLe programme a \u00e9t\u00e9 lanc\u00e9 depuis l'int\u00e9rieur d'une archive (\"Temp1_frpatch-1.0.0-windows-x64.zip\").\n"
        "Extrayez d'abord toute l'archive (clic droit sur le fichier, \u00ab Extraire tout \u00bb), puis lancez le programme "
        "depuis le dossier extrait.\n";
    const std::string otherFormats =
        "\nAucune image .iso n'a \u00e9t\u00e9 trouv\u00e9e, mais ces fichiers peuvent contenir votre jeu :\n"
        "- \"Elvane (USA).7z\" est une archive : extrayez-en l'image .iso dans ce dossier.\n"
        "- \"Elvane.CHD\" est une image compress\u00e9e : reconvertissez-la en .iso avec l'outil qui l'a faite.\n"
        "- \"sub/disc.bin\" est une image d'un autre format, qui n'est pas accept\u00e9e : refaites une copie .iso de "
        "votre disque.\nVoyez la partie 3 de LISEZMOI.txt.\n";
    struct Case {
        const char* what;
        std::string start;
        std::vector<std::string> files;
        std::string hints;
    };
    const Case cases[] = {
        {"nothing but notes", "/jeux", {"notes.txt", "readme"}, ""},
        {"Windows' zip view", "/tmp/Temp1_frpatch-1.0.0-windows-x64.zip/frpatch-1.0.0-windows-x64", {}, zipView},
        {"the game kept in other forms, the first three named", "/jeux",
         {"Elvane (USA).7z", "Elvane.CHD", "notes.txt", "sub/disc.bin", "zz.img"}, otherFormats},
    };
    for (const Case& c : cases) {
        FakeRunSystem system;
        system.start = c.start;
        for (const std::string& name : c.files) system.files[c.start + "/" + name] = Bytes(16, 'x');
        testing::internal::CaptureStdout();
        runPatcher(tiny.game, system);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), notFound + c.hints + closing) << c.what;
    }
}

}  // namespace
