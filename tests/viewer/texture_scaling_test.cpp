// Texture preparation: the picture is resampled by our own filter, which
// must give GLU's bytes, and a load must cost little more memory than the
// decoded picture itself (GLU's scaling call took twice the picture again,
// and an uninitialised texture was uploaded when that failed).
#include <GL/glu.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "image/image.h"
#include "tests/viewer/viewer_fixture.h"

namespace viewertest {
namespace {

using TextureScaling = ViewerTest;

std::vector<uint8_t> gluScaled(const std::vector<uint8_t>& rgb, int width, int height, int toWidth, int toHeight) {
    std::vector<uint8_t> out(size_t(toWidth) * size_t(toHeight) * 3);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    EXPECT_EQ(gluScaleImage(GL_RGB, width, height, GL_UNSIGNED_BYTE, rgb.data(), toWidth, toHeight, GL_UNSIGNED_BYTE,
                            out.data()),
              0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
}

TEST_F(TextureScaling, SameBytesAsGluForEveryKindOfResize) {
    CountingWindow window;  // GLU reads the pixel-store state of a current context
    ASSERT_TRUE(window.hasContext());
    std::mt19937 random(7);
    // Shrinking by odd and even factors, exact halving, enlarging (edges
    // wrap), one-pixel pictures and textures, widths that are no multiple of 4.
    const int sizes[][4] = {{300, 200, 256, 256},  {64, 48, 64, 64}, {100, 100, 64, 64}, {400, 3, 256, 4},
                            {512, 512, 256, 256},  {16, 8, 8, 4},    {5, 4, 8, 4},       {1, 1, 1, 1},
                            {220, 193, 256, 256},  {7, 13, 1, 1},    {3, 3, 4, 4},       {129, 65, 256, 128},
                            {1000, 999, 256, 256}, {2, 2, 1, 1},     {33, 17, 32, 16},   {6, 2, 2, 2}};
    for (const auto& s : sizes) {
        const int width = s[0], height = s[1], toWidth = s[2], toHeight = s[3];
        mxImage rgb, indexed, texture;
        ASSERT_TRUE(rgb.create(width, height, 24));
        ASSERT_TRUE(indexed.create(width, height, 8));
        for (int i = 0; i < 768; ++i) indexed.palette[i] = uint8_t(random());
        const size_t pixels = size_t(width) * size_t(height);
        for (size_t i = 0; i < pixels; ++i) {
            indexed.data[i] = uint8_t(random());
            for (int c = 0; c < 3; ++c) rgb.data[3 * i + size_t(c)] = indexed.palette[3 * indexed.data[i] + c];
        }
        const std::vector<uint8_t> expected =
            gluScaled(std::vector<uint8_t>(rgb.data, rgb.data + 3 * pixels), width, height, toWidth, toHeight);
        const std::string what = std::to_string(width) + "x" + std::to_string(height) + " to " +
                                 std::to_string(toWidth) + "x" + std::to_string(toHeight);
        ASSERT_TRUE(texture.create(toWidth, toHeight, 24));
        ASSERT_TRUE(scaleImage(rgb, texture)) << what;
        EXPECT_EQ(std::vector<uint8_t>(texture.data, texture.data + expected.size()), expected) << what << ", 24 bits";
        ASSERT_TRUE(scaleImage(indexed, texture)) << what;
        EXPECT_EQ(std::vector<uint8_t>(texture.data, texture.data + expected.size()), expected) << what << ", 8 bits";
    }
    mxImage empty, texture;
    ASSERT_TRUE(texture.create(4, 4, 24));
    EXPECT_FALSE(scaleImage(empty, texture));
}

// The most memory the process has held since the last reset, in bytes; -1
// where the system can't say.
long long peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    return -1;
}

bool resetPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

// A 4096 x 4096 skin is 48 MiB at 24 bits and 16 MiB at 8; a load must stay
// near that, however the texture is made from it.
TEST_F(TextureScaling, LoadingALargeSkinCostsLittleMoreThanThePicture) {
    const int edge = 4096;
    const size_t pixels = size_t(edge) * edge;
    testdata::IndexedPicture picture;  // one colour: palette entry 0
    picture.width = picture.height = edge;
    picture.palette.assign(768, 0);
    picture.palette[0] = 10, picture.palette[1] = 200, picture.palette[2] = 30;
    picture.indices.assign(pixels, 0);
    writeTga("large.tga", picture);
    writePcx("large.pcx", picture);
    picture = testdata::IndexedPicture();
    std::vector<uint8_t> plainTexels;
    for (int i = 0; i < 256 * 256; ++i) plainTexels.insert(plainTexels.end(), {10, 200, 30});
    CountingWindow window;
    ASSERT_TRUE(window.hasContext());
    if (!resetPeakResident() || peakResidentBytes() < 0) GTEST_SKIP() << "the peak resident size can't be reset here";
    for (auto [name, pictureBytes] : {std::make_pair("large.tga", 3 * pixels), std::make_pair("large.pcx", pixels)}) {
        ASSERT_TRUE(resetPeakResident());
        const long long before = peakResidentBytes();
        ASSERT_EQ(window.loadTexture(name, TEXTURE_MAIN_SKIN), TEXTURE_MAIN_SKIN) << name;
        const long long grown = peakResidentBytes() - before;
        std::printf("%s: peak grew by %.1f MiB for a %.1f MiB picture\n", name, grown / 1048576.0,
                    pictureBytes / 1048576.0);
        EXPECT_LT(grown, (long long)(pictureBytes * 5 / 4 + (16 << 20))) << name;
        EXPECT_EQ(textureTexels(TEXTURE_MAIN_SKIN), plainTexels) << name;
    }
}

}  // namespace
}  // namespace viewertest
