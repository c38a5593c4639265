// Pictures for the viewer's slots: what goes to the viewer as it is, what is
// converted (and comes out of the viewer's own reader as the picture was),
// and what is refused with a reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "frontend/inputs/pictures.h"
#include "image/image.h"
#include "tests/frontend/frontend_files.h"
#include "tests/writers/bytes.h"
#include "tests/writers/pictures.h"

namespace {

using frontend::DecodedPicture;

DecodedPicture decoded(const std::vector<uint8_t>& bytes, std::string& error) {
    DecodedPicture picture;
    if (!frontend::decodePicture(bytes, picture, error)) {
        EXPECT_FALSE(picture.image);
    }
    return picture;
}

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
        std::string error;
        const DecodedPicture picture = decoded(c.bytes, error);
        ASSERT_TRUE(picture.image) << c.what << ": " << error;
        EXPECT_EQ(picture.viewerFormat, "") << c.what;
        EXPECT_EQ(picture.format, c.format);
        // What the viewer's reader makes of the staged file is what was decoded.
        int w = 0, h = 0;
        EXPECT_EQ(viewerPixels(dir, frontend::viewerTga(*picture.image), w, h), rgb) << c.what;
        EXPECT_EQ(frontend::rgbOf(*picture.image), rgb) << c.what;
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }
}

TEST(Pictures, TheViewersOwnFormatsGoAsTheyAre) {
    testdata::ScratchDir dir;
    const IndexedPicture indexed = testdata::samplePicture(10, 6);
    std::string error;
    DecodedPicture picture = decoded(testdata::encodePcx(indexed), error);
    ASSERT_TRUE(picture.image) << error;
    EXPECT_EQ(picture.viewerFormat, "pcx");
    EXPECT_EQ(picture.image->bpp, 8);
    EXPECT_EQ(frontend::rgbOf(*picture.image), indexed.toRgb());

    std::vector<uint8_t> tga = testdata::encodeTga(5, 3, frontendtest::gradientRgb(5, 3));
    picture = decoded(tga, error);
    ASSERT_TRUE(picture.image) << error;
    EXPECT_EQ(picture.viewerFormat, "tga");
    EXPECT_EQ(frontend::rgbOf(*picture.image), frontendtest::gradientRgb(5, 3));
}

TEST(Pictures, UnreadablePicturesSayWhy) {
    testdata::ScratchDir dir;
    auto refused = [&](const std::vector<uint8_t>& bytes) {
        std::string error;
        EXPECT_FALSE(decoded(bytes, error).image);
        return error;
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

// Pictures whose files can't hold the pixels their headers declare: each was
// once decoded anyway, the missing part black, or swelled without a bound.
TEST(Pictures, FilesThatCantHoldTheirPixelsAreRefused) {
    auto refused = [&](const std::vector<uint8_t>& bytes) {
        std::string error;
        EXPECT_FALSE(decoded(bytes, error).image);
        return error;
    };
    // A 1x1 PNG whose data inflates to 4 MiB: the library took it all.
    std::vector<uint8_t> swell(size_t(4) << 20, 0);
    EXPECT_EQ(refused(frontendtest::pngWithPixelData(1, 1, swell)),
              "a PNG that has pixel data that is damaged or inflates to more than the 4 bytes its 1x1 pixels need");
    // The exact bytes decode; one more is refused.
    // Two rows of a filter byte and two pixels.
    std::vector<uint8_t> rows = {0, 10, 20, 30, 40, 50, 60, 0, 10, 20, 30, 40, 50, 60};
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    EXPECT_TRUE(frontend::decodeWithPictureLibrary(frontendtest::pngWithPixelData(2, 2, rows), w, h, rgb, error)) << error;
    EXPECT_EQ(rgb, (std::vector<uint8_t>{10, 20, 30, 40, 50, 60, 10, 20, 30, 40, 50, 60}));
    rows.push_back(0);
    EXPECT_FALSE(frontend::decodeWithPictureLibrary(frontendtest::pngWithPixelData(2, 2, rows), w, h, rgb, error));
    // A data chunk that claims a gigabyte the file doesn't hold: the library
    // asked for the gigabyte first.
    std::vector<uint8_t> claims = frontendtest::pngWithPixelData(1, 1, {0, 1, 2, 3});
    claims[33] = 0x40;  // the length of the chunk after the 33 bytes of signature and header
    EXPECT_EQ(refused(claims), "a PNG that can't be decoded (cut short: a chunk runs past the end of the file)");

    const std::vector<uint8_t> gradient = frontendtest::gradientRgb(64, 64);
    testdata::TgaOptions alpha;
    alpha.pixelDepth = 32;
    std::vector<uint8_t> tga = testdata::encodeTga(64, 64, gradient, alpha);
    tga.resize(tga.size() / 2);
    EXPECT_EQ(refused(tga), "a 32-bit TGA that is cut short: its pixels end past the file's " +
                                std::to_string(tga.size()) + " bytes");
    // Run-length: one packet of 128 pixels, where 4096 are declared.
    testdata::TgaOptions rle;
    rle.imageType = 10;
    std::vector<uint8_t> runs = testdata::tgaHeader(64, 64, rle);
    runs.insert(runs.end(), {0xFF, 1, 2, 3});
    EXPECT_EQ(refused(runs), "a run-length TGA that is cut short: its pixels end past the file's 22 bytes");
    // A header one byte short of whole, declaring 8446x1279 pixels.
    std::vector<uint8_t> header = testdata::tgaHeader(8446, 1279, rle);
    header.pop_back();
    EXPECT_EQ(refused(header), "a picture that is cut short: its pixels end past the file's 17 bytes");
    std::vector<uint8_t> bmp = frontendtest::bmpBytes(64, 64, gradient);
    bmp.resize(bmp.size() - 200);
    EXPECT_EQ(refused(bmp),
              "a BMP that is cut short: its rows end past the file's " + std::to_string(bmp.size()) + " bytes");
    // A JPEG whose header claims 4096x4096, its data a few hundred bytes
    // and an end marker: decoded as a grey 48 MB picture before.
    std::vector<uint8_t> jpeg = frontendtest::jpegBytes(16, 16, frontendtest::gradientRgb(16, 16));
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // the frame header: height and width at 5 and 7
            jpeg[i + 5] = 0x10, jpeg[i + 6] = 0, jpeg[i + 7] = 0x10, jpeg[i + 8] = 0;
            break;
        }
    EXPECT_EQ(refused(jpeg),
              "a JPEG that is cut short: " + std::to_string(jpeg.size()) + " bytes can't hold 4096x4096 pixels");
    // Cut without its end marker: the library refuses it itself.
    std::vector<uint8_t> cut = frontendtest::jpegBytes(64, 64, gradient);
    cut.resize(cut.size() - 100);
    EXPECT_NE(refused(cut).find("a JPEG that can't be decoded"), std::string::npos);
}

// The fuzz target's seeds of pictures from real encoders (interlaced and
// 16-bit PNG, progressive JPEG, GIF, BMP, run-length TGA) all convert.
TEST(Pictures, RealEncodersPicturesConvert) {
    int converted = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(OMBREL_SOURCE_DIR) + "/tests/fuzz/seeds/picture_check")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("real-", 0) != 0) continue;
        const std::vector<uint8_t> bytes = testdata::readFile(entry.path().string());
        std::string error;
        EXPECT_TRUE(decoded(bytes, error).image) << name << ": " << error;
        ++converted;
    }
    EXPECT_GE(converted, 6);
}

}  // namespace
