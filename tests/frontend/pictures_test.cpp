// Pictures for the viewer's slots: what goes to the viewer as it is, what is
// converted (and comes out of the viewer's own reader as the picture was),
// and what is refused with a reason.
#include <gtest/gtest.h>

#include <memory>

#include "frontend/pictures.h"
#include "image/image.h"
#include "tests/frontend/frontend_files.h"
#include "tests/writers/pictures.h"

namespace {

using frontend::checkPicture;
using frontend::PictureVerdict;

// The picture as the viewer's TGA reader sees the converted file.
std::vector<uint8_t> viewerPixels(const testdata::ScratchDir& dir, const std::vector<uint8_t>& tga, int& w, int& h) {
    std::string path = dir.write("converted.tga", tga);
    std::unique_ptr<mxImage> image(readTgaImage(path.c_str()));
    if (!image) return {};
    w = image->width, h = image->height;
    return std::vector<uint8_t>(image->data, image->data + size_t(w) * size_t(h) * 3);
}

TEST(Pictures, ConvertedPicturesReachTheViewerUpright) {
    testdata::ScratchDir dir;
    const int width = 13, height = 7;  // odd width: rows are not 4-byte multiples
    const std::vector<uint8_t> rgb = frontendtest::gradientRgb(width, height);

    testdata::TgaOptions topFirst;
    topFirst.topRowFirst = true;
    testdata::TgaOptions alpha;
    alpha.pixelDepth = 32;
    // A run-length TGA: every pixel its own raw packet.
    testdata::TgaOptions rle;
    rle.imageType = 10;
    std::vector<uint8_t> runLength = testdata::tgaHeader(width, height, rle);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[size_t(y * width + x) * 3];
            runLength.insert(runLength.end(), {0, p[2], p[1], p[0]});
        }

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* format;
    } cases[] = {
        {"png", frontendtest::pngBytes(width, height, rgb), "PNG"},
        {"top-first tga", testdata::encodeTga(width, height, rgb, topFirst), "TGA stored top row first"},
        {"32-bit tga", testdata::encodeTga(width, height, rgb, alpha), "32-bit TGA"},
        {"run-length tga", runLength, "run-length TGA"},
    };
    for (const Case& c : cases) {
        frontend::PictureCheck check = checkPicture(c.bytes);
        ASSERT_EQ(check.verdict, PictureVerdict::Converted) << c.what << ": " << check.error;
        EXPECT_EQ(check.format, c.format);
        int w = 0, h = 0;
        EXPECT_EQ(viewerPixels(dir, check.tga, w, h), rgb) << c.what;
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }
}

TEST(Pictures, TheViewersOwnFormatsGoAsTheyAre) {
    testdata::ScratchDir dir;
    std::vector<uint8_t> pcx = testdata::encodePcx(testdata::samplePicture(10, 6));
    frontend::PictureCheck check = checkPicture(pcx);
    EXPECT_EQ(check.verdict, PictureVerdict::ViewerReads);
    EXPECT_EQ(check.extension, "pcx");
    EXPECT_TRUE(check.tga.empty());

    std::vector<uint8_t> tga = testdata::encodeTga(5, 3, frontendtest::gradientRgb(5, 3));
    check = checkPicture(tga);
    EXPECT_EQ(check.verdict, PictureVerdict::ViewerReads);
    EXPECT_EQ(check.extension, "tga");
}

TEST(Pictures, UnreadablePicturesSayWhy) {
    testdata::ScratchDir dir;
    auto refused = [&](const std::vector<uint8_t>& bytes) {
        frontend::PictureCheck check = checkPicture(bytes);
        EXPECT_EQ(check.verdict, PictureVerdict::Unreadable);
        return check.error;
    };
    EXPECT_EQ(refused({'h', 'e', 'l', 'l', 'o'}), "not a picture this program can read");
    EXPECT_EQ(refused({}), "an empty file");

    std::vector<uint8_t> png = frontendtest::pngBytes(8, 8, frontendtest::gradientRgb(8, 8));
    png.resize(png.size() / 2);
    EXPECT_NE(refused(png).find("a PNG that can't be decoded"), std::string::npos) << refused(png);

    // A PNG header promising an edge beyond the viewer's limit is refused
    // before any memory is asked for.
    std::vector<uint8_t> huge = frontendtest::pngBytes(8, 8, frontendtest::gradientRgb(8, 8));
    const uint8_t size[8] = {0, 0, 0x4E, 0x20, 0, 0, 0, 10};  // 20000 x 10
    std::copy(size, size + 8, huge.begin() + 16);
    EXPECT_EQ(refused(huge),
              "a PNG that is 20000x10 pixels, more than ombrel converts (16384 on an edge, 4096x4096 in all)");
    // 22 bytes of run-length TGA that would unpack to 6144 x 8196 pixels.
    const std::vector<uint8_t> bomb = {0, 0, 10,   0, 0,    0,    0, 0xFA, 0xFF, 0xFE, 0,
                                       4, 0, 0x18, 4, 0x20, 0x18, 0, 0x2B, 0,    0,    5};
    EXPECT_EQ(
        refused(bomb),
        "a run-length TGA that is 6144x8196 pixels, more than ombrel converts (16384 on an edge, 4096x4096 in all)");

    // A PCX the viewer's reader refuses (cut short) is not passed on.
    std::vector<uint8_t> pcx = testdata::encodePcx(testdata::samplePicture(10, 6));
    pcx.resize(200);
    EXPECT_NE(refused(pcx).find("damaged PCX"), std::string::npos);
}

}  // namespace
