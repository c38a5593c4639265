// The icon drawn from code: any size, and the 16-colour icon file the
// Windows resources are made of holds the same picture.
#include <gtest/gtest.h>

#include <cstdlib>

#include "assets/icon.h"

namespace {

const uint8_t* pixel(const assets::IconPicture& p, int x, int y) {
    return &p.rgba[(size_t(y) * size_t(p.size) + size_t(x)) * 4];
}

unsigned read16(const std::vector<uint8_t>& b, size_t at) { return b[at] | unsigned(b[at + 1]) << 8; }
unsigned read32(const std::vector<uint8_t>& b, size_t at) { return read16(b, at) | read16(b, at + 2) << 16; }

TEST(Icon, DrawsAtAnySizeATileWithTransparentCorners) {
    for (int size : {1, 16, 32, 48, 256, 512}) {
        SCOPED_TRACE(size);
        assets::IconPicture p = assets::drawIcon(size);
        ASSERT_EQ(p.size, size);
        ASSERT_EQ(p.rgba.size(), size_t(size) * size_t(size) * 4);
        if (size < 16) continue;
        EXPECT_EQ(pixel(p, 0, 0)[3], 0);  // rounded corners
        EXPECT_EQ(pixel(p, size - 1, size - 1)[3], 0);
        const uint8_t* tile = pixel(p, size * 12 / 100, size / 2);  // left of the gem: the tile, blue
        EXPECT_EQ(tile[3], 255);
        EXPECT_GT(tile[2], tile[0] + 60);
        const uint8_t* gem = pixel(p, size * 40 / 100, size * 40 / 100);  // a lit face, orange
        EXPECT_GT(gem[0], 200);
        EXPECT_GT(gem[0], gem[2] + 60);
    }
    EXPECT_EQ(assets::drawIcon(0).size, 0);
    EXPECT_EQ(assets::drawIcon(1025).size, 0);
}

TEST(Icon, SixteenColourIconFileHoldsThePicture) {
    assets::IconPicture p = assets::drawIcon(32);
    std::vector<uint8_t> ico = assets::icoFile16Colours(p);
    ASSERT_EQ(ico.size(), 6u + 16 + 40 + 64 + 32 * 16 + 32 * 4);
    EXPECT_EQ(read16(ico, 2), 1u);  // an icon
    EXPECT_EQ(read16(ico, 4), 1u);  // one image
    EXPECT_EQ(ico[6], 32);
    EXPECT_EQ(ico[7], 32);
    EXPECT_EQ(ico[8], 16);           // colours
    EXPECT_EQ(read16(ico, 12), 4u);  // bits a pixel
    EXPECT_EQ(read32(ico, 14), ico.size() - 22);
    EXPECT_EQ(read32(ico, 18), 22u);
    EXPECT_EQ(read32(ico, 22 + 8), 64u);  // colour image and mask
    // Decoded back: transparent exactly where the drawing is less than half
    // covered, and close to the drawing's colours elsewhere.
    const size_t palette = 22 + 40, colours = palette + 64, mask = colours + 32 * 16;
    long error = 0;
    int opaque = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            size_t row = size_t(31 - y);
            bool transparent = ico[mask + row * 4 + size_t(x) / 8] & (0x80 >> (x % 8));
            const uint8_t* drawn = pixel(p, x, y);
            ASSERT_EQ(transparent, drawn[3] < 128) << x << "," << y;
            if (transparent) continue;
            uint8_t both = ico[colours + row * 16 + size_t(x) / 2];
            size_t index = x % 2 ? both & 0x0F : both >> 4;
            const uint8_t* bgr = &ico[palette + index * 4];
            error += std::abs(bgr[2] - drawn[0]) + std::abs(bgr[1] - drawn[1]) + std::abs(bgr[0] - drawn[2]);
            ++opaque;
        }
    }
    EXPECT_GT(opaque, 700);
    EXPECT_LT(double(error) / opaque / 3, 8.0) << "mean error per channel";
    EXPECT_TRUE(assets::icoFile16Colours(assets::drawIcon(300)).empty());
    EXPECT_TRUE(assets::icoFile16Colours(assets::IconPicture{}).empty());
}

}  // namespace
