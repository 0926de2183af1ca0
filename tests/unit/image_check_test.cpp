// What a player whose delta stage failed is told of their image's CRC32, on images in memory.
#include "patchers/common/image_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/memory_image.h"
#include "patchers/common/decoder.h"

namespace {

const std::string kHeading = "\nV\u00e9rification du CRC32 du fichier \"game.iso\" :\n";

// What was printed, the progress lines left out; `shown` gets their percentages in order.
std::string withoutProgress(const std::string& printed, std::vector<int>* shown = nullptr) {
    static const std::regex progress("Progression : (\\d+) %\r");
    for (std::sregex_iterator line(printed.begin(), printed.end(), progress), end; shown && line != end; ++line) {
        shown->push_back(std::stoi((*line)[1]));
    }
    return std::regex_replace(printed, progress, "");
}

TEST(ImageCrc32Report, TheImagesCrc32StandsBesideThePublishedOneWithWhatThePlayerShouldDo) {
    // CRC32 check values worked out apart from zlib: "123456789" gives CBF43926, "dump 462" 00F05068.
    struct Case {
        const char* bytes;
        Release release;
        uint32_t published;
        ImageCheck check;
        std::string told;
    };
    const std::string decoder = kDecoderName;
    const Case cases[] = {
        {"123456789", US, 0xCBF43926u, ImageCheck::Published,
         "\nCRC32 du fichier : CBF43926\nCRC32 attendu pour la version US : CBF43926\n"
         "Votre fichier ISO est le bon : gardez-le. V\u00e9rifiez plut\u00f4t le fichier du patch \"VL1_Patch_v1.xdelta\" "
         "et le programme " + decoder + ".\n"},
        {"dump 462", European, 0xC24E9D06u, ImageCheck::OtherDump,
         "\nCRC32 du fichier : 00F05068\nCRC32 attendu pour la version EU : C24E9D06\n"
         "Votre fichier ISO n'est pas la copie attendue : le patch a besoin de l'ISO de la version EU dont le CRC32 "
         "est C24E9D06.\nRefaites une copie exacte de votre disque, jusqu'\u00e0 obtenir ce CRC32 : voir "
         "\"Les images accept\u00e9es\" dans LISEZMOI.txt.\n"},
    };
    for (const Case& c : cases) {
        MemorySource image(Bytes(c.bytes, c.bytes + strlen(c.bytes)));
        testing::internal::CaptureStdout();
        EXPECT_EQ(checkImageCrc32(image, "game.iso", c.release, c.published, "VL1_Patch_v1.xdelta", [] { return false; }), c.check)
            << c.bytes;
        EXPECT_EQ(withoutProgress(testing::internal::GetCapturedStdout()), kHeading + c.told) << c.bytes;
    }
}

// Fails its read number `stopAt`, or is interrupted there as a player pressing Ctrl-C would.
class StoppingSource final : public ImageSource {
public:
    StoppingSource(uint64_t size, int stopAt, bool interrupt) : zeros_(size), stopAt_(stopAt), interrupt_(interrupt) {}
    uint64_t size() const override { return zeros_.size(); }
    bool read(uint64_t offset, unsigned char* buffer, uint32_t count) override {
        if (zeros_.reads + 1 == stopAt_ && !interrupt_) return false;
        if (zeros_.reads + 1 == stopAt_) interrupted = true;
        return zeros_.read(offset, buffer, count);
    }
    int reads() const { return zeros_.reads; }
    bool interrupted = false;

private:
    MemorySource zeros_;
    int stopAt_;
    bool interrupt_;
};

ImageCheck check(StoppingSource& image) {
    return checkImageCrc32(image, "game.iso", US, 0x38773417u, "d.xdelta", [&] { return image.interrupted; });
}

TEST(ImageCrc32Report, AFullSizeReadShowsItsProgressAndStopsWhenInterruptedOrUnreadable) {
    // 20 MiB of zeros, read in pieces: their CRC32 is 38773417.
    constexpr uint64_t kSize = 20u << 20;
    std::vector<int> shown;
    StoppingSource whole(kSize, 0, false);
    testing::internal::CaptureStdout();
    EXPECT_EQ(check(whole), ImageCheck::Published);
    const std::string told = withoutProgress(testing::internal::GetCapturedStdout(), &shown);
    EXPECT_NE(told.find("\nCRC32 du fichier : 38773417\n"), std::string::npos) << told;
    EXPECT_GE(shown.size(), 2u);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.empty() ? -1 : shown.back(), 100);

    StoppingSource unreadable(kSize, 2, false);
    testing::internal::CaptureStdout();
    EXPECT_EQ(check(unreadable), ImageCheck::Unreadable);
    EXPECT_EQ(withoutProgress(testing::internal::GetCapturedStdout()),
              kHeading + "\n\nImpossible de lire le fichier ISO suivant : game.iso\n"
                         "V\u00e9rifiez que le disque qui le contient est bien branch\u00e9 et sans erreurs, puis "
                         "relancez le patcheur.\n");

    StoppingSource interrupted(kSize, 2, true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(check(interrupted), ImageCheck::Interrupted);
    EXPECT_EQ(withoutProgress(testing::internal::GetCapturedStdout()), kHeading);
    EXPECT_EQ(interrupted.reads(), 2);  // not a piece more
}

}  // namespace
