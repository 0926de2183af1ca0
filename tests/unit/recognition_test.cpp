// Recognising a release from an image's length, boot path and marker, on images in memory; and
// what the search passes over.
#include "patchers/common/recognition.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/memory_image.h"
#include "patchers/common/run_system.h"
#include "patchers/elvane/elvane_releases.h"
#include "patchers/velmora/velmora_releases.h"
#include "tests/support/scratch_folder.h"

namespace {

Bytes text(const char* bytes, size_t length) {
    return Bytes(bytes, bytes + length);
}

// An image of `size` bytes holding what `signature` looks for.
MemorySource imageOf(const ReleaseSignature& signature, uint64_t size) {
    MemorySource image(size);
    image.stamp(signature.bootPathOffset, text(signature.bootPath, strlen(signature.bootPath) + 1));
    if (signature.markerLength) image.stamp(signature.markerOffset, Bytes(signature.marker, signature.marker + signature.markerLength));
    return image;
}

TEST(Recognition, OnlyTheExactLengthBootPathAndMarkerMakeARelease) {
    const ReleaseSignature& us = kElvaneReleases[US];
    const ReleaseSignature& european = kElvaneReleases[European];
    struct Case {
        const char* what;
        MemorySource image;
        int release;
    };
    Case cases[] = {
        {"US image", imageOf(us, us.imageSize), US},
        {"European image", imageOf(european, european.imageSize), European},
        {"US image with another marker", imageOf(us, us.imageSize).stamp(us.markerOffset, {0x82, 0x62, 0x82, 0x82}), -1},
        {"US image without its marker", MemorySource(us.imageSize).stamp(us.bootPathOffset, text(us.bootPath, 22)), -1},
        {"US image with another boot path", imageOf(us, us.imageSize).stamp(us.bootPathOffset + 20, {'2'}), -1},
        {"boot path not ended by a zero byte", imageOf(us, us.imageSize).stamp(us.bootPathOffset + 21, {'x'}), -1},
        {"4 GiB longer than the US image", imageOf(us, us.imageSize + 0x100000000ull), -1},
        {"one byte shorter than the US image", imageOf(us, us.imageSize - 1), -1},
        {"European length with the US boot path", imageOf(us, european.imageSize), -1},
        {"an empty file", MemorySource(0), -1},
    };
    for (Case& c : cases) EXPECT_EQ(recogniseRelease(c.image, kElvaneReleases, 2), c.release) << c.what;

    // A game whose releases carry no marker takes the boot path alone.
    MemorySource velmora = imageOf(kVelmoraReleases[US], kVelmoraReleases[US].imageSize);
    EXPECT_EQ(recogniseRelease(velmora, kVelmoraReleases, 2), US);
    EXPECT_EQ(recogniseRelease(velmora, kElvaneReleases, 2), -1);
}

TEST(FindDiscImage, APipeNamedLikeAnImageIsPassedOverWithoutWaiting) {
    ScratchFolder folder;
    ASSERT_EQ(mkfifo(folder.file("game.iso").c_str(), 0600), 0);
    // In a child process, so that an open that waits for a writer ends the test instead of hanging it.
    EXPECT_EXIT(
        {
            alarm(10);
            platform::FileError error = platform::FileError::None;
            const bool opened = makePlatformRunSystem()->openImage(folder.file("game.iso").c_str(), error) != nullptr;
            exit(!opened && error == platform::FileError::NotAFile ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
