// Pictures made by other programs.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "image/image.h"
#include "tests/writers/bytes.h"

using Bytes = std::vector<uint8_t>;

namespace {

std::string corpus(const char* name) { return std::string(OMBREL_CORPUS_DIR) + "/" + name; }

std::unique_ptr<mxImage> readPcx(const char* name) {
    return std::unique_ptr<mxImage>(readPcxImage(corpus(name).c_str()));
}
std::unique_ptr<mxImage> readTga(const char* name) {
    return std::unique_ptr<mxImage>(readTgaImage(corpus(name).c_str()));
}

TEST(CorpusPictures, FaeriePcxAndTgaHoldTheSamePixels) {
    auto pcx = readPcx("faerie.pcx");
    auto tga = readTga("faerie.tga");
    ASSERT_NE(pcx, nullptr);
    ASSERT_NE(tga, nullptr);
    ASSERT_EQ(pcx->width, 220);  // a 660-byte RGB row: not a multiple of 4
    ASSERT_EQ(pcx->height, 193);
    ASSERT_EQ(pcx->bpp, 8);
    ASSERT_EQ(tga->width, 220);
    ASSERT_EQ(tga->height, 193);
    ASSERT_EQ(tga->bpp, 24);

    Bytes file = testdata::readFile(corpus("faerie.pcx"));
    ASSERT_GE(file.size(), 768u);
    EXPECT_EQ(Bytes(pcx->palette, pcx->palette + 768), Bytes(file.end() - 768, file.end()));

    size_t count = 220 * 193;
    Bytes expanded;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = pcx->palette + 3 * pcx->data[i];
        expanded.insert(expanded.end(), entry, entry + 3);
    }
    Bytes decoded(tga->data, tga->data + count * 3);
    ASSERT_EQ(expanded.size(), decoded.size());
    size_t differing = 0;
    for (size_t i = 0; i < decoded.size(); ++i) differing += expanded[i] != decoded[i];
    EXPECT_EQ(differing, 0u);
}

TEST(CorpusPictures, FaerieTgaRowsAreFlippedAndSwizzled) {
    // Checked against the file's own bytes: the file holds B, G, R bottom row first.
    auto tga = readTga("faerie.tga");
    ASSERT_NE(tga, nullptr);
    Bytes file = testdata::readFile(corpus("faerie.tga"));
    const int w = 220, h = 193;
    for (auto [x, y] :
         {std::pair{0, 0}, std::pair{219, 0}, std::pair{0, 192}, std::pair{219, 192}, std::pair{101, 77}}) {
        const uint8_t* stored = file.data() + 18 + (size_t(h - 1 - y) * w + x) * 3;
        const uint8_t* pixel = tga->data + (size_t(y) * w + x) * 3;
        EXPECT_EQ(pixel[0], stored[2]) << x << "," << y;
        EXPECT_EQ(pixel[1], stored[1]) << x << "," << y;
        EXPECT_EQ(pixel[2], stored[0]) << x << "," << y;
    }
}

TEST(CorpusPictures, SydneyTgaHasItsSize) {
    auto tga = readTga("sydney.tga");
    ASSERT_NE(tga, nullptr);
    EXPECT_EQ(tga->width, 308);
    EXPECT_EQ(tga->height, 193);
    EXPECT_EQ(tga->bpp, 24);
    // The last pixel of the file's first row is the picture's bottom-right pixel.
    Bytes file = testdata::readFile(corpus("sydney.tga"));
    const uint8_t* stored = file.data() + 18 + 307 * 3;
    const uint8_t* pixel = tga->data + (size_t(192) * 308 + 307) * 3;
    EXPECT_EQ(Bytes(pixel, pixel + 3), Bytes({stored[2], stored[1], stored[0]}));
}

// Pictures the front end already holds in memory (read once, or from an
// archive) decode as the same files on disk do.
TEST(CorpusPictures, BytesInMemoryGiveTheSamePictureAsThePath) {
    for (const char* name : {"faerie.pcx", "faerie.tga", "sydney.tga"}) {
        const Bytes file = testdata::readFile(corpus(name));
        const bool pcx = std::string(name).find(".pcx") != std::string::npos;
        std::unique_ptr<mxImage> fromPath = pcx ? readPcx(name) : readTga(name);
        std::unique_ptr<mxImage> fromBytes(pcx ? readPcxImageFromBytes(file.data(), file.size())
                                               : readTgaImageFromBytes(file.data(), file.size()));
        ASSERT_NE(fromPath, nullptr) << name;
        ASSERT_NE(fromBytes, nullptr) << name;
        ASSERT_EQ(fromBytes->width, fromPath->width);
        ASSERT_EQ(fromBytes->height, fromPath->height);
        ASSERT_EQ(fromBytes->bpp, fromPath->bpp);
        const size_t size = size_t(fromPath->width) * size_t(fromPath->height) * size_t(fromPath->bpp / 8);
        EXPECT_EQ(Bytes(fromBytes->data, fromBytes->data + size), Bytes(fromPath->data, fromPath->data + size)) << name;
    }
}

}  // namespace
