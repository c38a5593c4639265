#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "image/image.h"

namespace {

void expectEmpty(const mxImage& image) {
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.bpp, 0);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(image.palette, nullptr);
}

TEST(ImageRecord, StartsEmptyAndCreatesBuffersForEachDepth) {
    mxImage image;
    expectEmpty(image);

    ASSERT_TRUE(image.create(5, 3, 8));
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(image.bpp, 8);
    ASSERT_NE(image.data, nullptr);
    ASSERT_NE(image.palette, nullptr);
    // Writing every byte of both buffers proves their sizes under the address sanitizer.
    for (int i = 0; i < 15; ++i) image.data[i] = uint8_t(i);
    for (int i = 0; i < 768; ++i) image.palette[i] = uint8_t(i);

    // Re-creating releases the old buffers (the leak checker watches) and a
    // 24-bit picture has no palette.
    ASSERT_TRUE(image.create(7, 2, 24));
    EXPECT_EQ(image.bpp, 24);
    EXPECT_EQ(image.palette, nullptr);
    for (int i = 0; i < 7 * 2 * 3; ++i) image.data[i] = 1;
}

TEST(ImageRecord, DestroysThroughBasePointerWithoutLeak) {
    mxImage* image = new mxImage;
    ASSERT_TRUE(image->create(4, 4, 8));
    delete image;
}

TEST(ImageRecord, ZeroSizedPictureIsValid) {
    mxImage image;
    ASSERT_TRUE(image.create(0, 0, 24));
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.bpp, 24);
    ASSERT_TRUE(image.create(0, 9, 8));
    EXPECT_NE(image.palette, nullptr);
}

TEST(ImageRecord, RefusedRequestsLeaveThePictureAlone) {
    mxImage image;
    ASSERT_TRUE(image.create(2, 2, 8));
    uint8_t* data = image.data;
    uint8_t* palette = image.palette;
    const int refused[][3] = {
        {-1, 4, 24},  // negative edge
        {4, -1, 24},
        {mxImage::kMaxEdge + 1, 1, 24},  // one edge too long
        {1, mxImage::kMaxEdge + 1, 8},
        {mxImage::kMaxEdge, mxImage::kMaxEdge, 24},  // edges fine, too many pixels
        {65536, 65536, 24},                          // would wrap to 0 in 32 bits
        {4, 4, 16},                                  // only 8 and 24 bits exist
        {4, 4, 0},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(image.create(r[0], r[1], r[2])) << r[0] << " x " << r[1] << " x " << r[2];
        EXPECT_EQ(image.width, 2);
        EXPECT_EQ(image.bpp, 8);
        EXPECT_EQ(image.data, data);
        EXPECT_EQ(image.palette, palette);
    }
    // The limits themselves are allowed (no allocation: one edge is 0).
    EXPECT_TRUE(image.create(mxImage::kMaxEdge, 0, 24));
    EXPECT_TRUE(image.create(0, mxImage::kMaxEdge, 24));
}

#if defined(__SANITIZE_ADDRESS__)
#define OMBREL_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OMBREL_UNDER_ASAN 1
#endif
#endif

TEST(ImageRecord, FailedAllocationLeavesAnEmptyRecord) {
#ifdef OMBREL_UNDER_ASAN
    GTEST_SKIP() << "the address sanitizer reserves huge address ranges; an address-space limit breaks it";
#else
    mxImage image;
    ASSERT_TRUE(image.create(3, 3, 8));
    // Each test case runs in its own process, so the limit ends with it.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &limit), 0);
    // 32 MiB above what the process already maps; the picture below needs 192 MiB.
    unsigned long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    ASSERT_NE(statm, nullptr);
    ASSERT_EQ(std::fscanf(statm, "%lu", &pages), 1);
    std::fclose(statm);
    limit.rlim_cur = pages * (unsigned long)sysconf(_SC_PAGESIZE) + (32ul << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
    EXPECT_FALSE(image.create(8192, 8192, 24));
    expectEmpty(image);
#endif
}

}  // namespace
