#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "image/image.h"
#include "tests/writers/bytes.h"
#include "tests/writers/pictures.h"
#include "tests/writers/scratch_dir.h"

using testdata::encodeTga;
using testdata::TgaOptions;
using Bytes = std::vector<uint8_t>;

namespace {

struct TgaReader : ::testing::Test {
    testdata::ScratchDir dir;

    std::unique_ptr<mxImage> read(const Bytes& file) {
        return std::unique_ptr<mxImage>(readTgaImage(dir.write("picture.tga", file).c_str()));
    }
    static Bytes pixels(const mxImage& image) {
        return Bytes(image.data, image.data + size_t(image.width) * image.height * 3);
    }
    // A header for width x height followed by the given bytes as they stand.
    static Bytes rawTga(int width, int height, const Bytes& after) {
        Bytes file = testdata::tgaHeader(width, height);
        file.insert(file.end(), after.begin(), after.end());
        return file;
    }
};

TEST_F(TgaReader, BottomRowFirstBgrBecomesTopRowFirstRgb) {
    auto image = read(rawTga(1, 2, {1, 2, 3, 4, 5, 6}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 1);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(image->bpp, 24);
    EXPECT_EQ(image->palette, nullptr);
    EXPECT_EQ(pixels(*image), Bytes({6, 5, 4, 3, 2, 1}));
}

TEST_F(TgaReader, WriterPicturesComeBackExactlyWithIdFieldAndFooter) {
    // Width 5: a row of 15 bytes, no alignment to lean on.
    Bytes rgb = testdata::samplePicture(5, 3).toRgb();
    TgaOptions options;
    EXPECT_EQ(pixels(*read(encodeTga(5, 3, rgb, options))), rgb);
    options.imageId = "made by a test";  // pixels start at 18 + 14
    options.footer = true;
    EXPECT_EQ(pixels(*read(encodeTga(5, 3, rgb, options))), rgb);

    // The origin bit is not consulted: a top-first file comes out upside down.
    options.topRowFirst = true;
    auto flipped = read(encodeTga(5, 3, rgb, options));
    ASSERT_NE(flipped, nullptr);
    EXPECT_EQ(Bytes(flipped->data, flipped->data + 15), Bytes(rgb.begin() + 30, rgb.end()));
}

TEST_F(TgaReader, RefusesOtherKindsOfTga) {
    Bytes rgb(4 * 3, 7);
    TgaOptions colourMapped;
    colourMapped.colorMapType = 1;
    TgaOptions runLength;
    runLength.imageType = 10;
    TgaOptions greyScale;
    greyScale.imageType = 3;
    TgaOptions withAlpha;
    withAlpha.pixelDepth = 32;
    TgaOptions highColour;
    highColour.pixelDepth = 16;
    for (const TgaOptions& options : {colourMapped, runLength, greyScale, withAlpha, highColour})
        EXPECT_EQ(read(encodeTga(2, 2, rgb, options)), nullptr);
}

TEST_F(TgaReader, EmptyPictureIsAnImageNotAFailure) {
    for (auto size : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        auto image = read(encodeTga(size.first, size.second, {}));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, size.first);
        EXPECT_EQ(image->height, size.second);
        EXPECT_EQ(image->bpp, 24);
    }
}

TEST_F(TgaReader, HeaderMustBeThere) {
    EXPECT_EQ(readTgaImage(dir.file("missing.tga").c_str()), nullptr);
    EXPECT_EQ(readTgaImage(nullptr), nullptr);
    Bytes header = testdata::tgaHeader(0, 0);
    for (size_t cut : {0, 1, 3, 12, 16}) EXPECT_EQ(read(Bytes(header.begin(), header.begin() + cut)), nullptr) << cut;
    // The descriptor byte 17 is never read, so 17 bytes are a whole header.
    auto image = read(Bytes(header.begin(), header.begin() + 17));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 0);
}

TEST_F(TgaReader, PixelBytesMissingFromACutFileAre255) {
    // 2 x 2: the bottom row is whole, then one pixel and one blue byte remain.
    auto image = read(rawTga(2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(pixels(*image), Bytes({9, 8, 7, 255, 255, 10,  // top row
                                     3, 2, 1, 6, 5, 4}));
}

TEST_F(TgaReader, RefusesHeadersTheFileCannotBack) {
    // Up to half the pixel bytes may be missing; a header claiming more than
    // twice what the file holds is not believed.
    EXPECT_NE(read(rawTga(4, 1, Bytes(6, 0))), nullptr);  // 6 of 12 bytes
    EXPECT_EQ(read(rawTga(4, 1, Bytes(5, 0))), nullptr);
    EXPECT_EQ(read(rawTga(1, 1, {})), nullptr);
    EXPECT_EQ(read(rawTga(65535, 65535, Bytes(300, 0))), nullptr);

    // The ID field does not count as pixels.
    TgaOptions options;
    options.imageId = std::string(200, 'x');
    Bytes file = testdata::tgaHeader(0, 0, options);
    testdata::putU16(file, 12, 10);
    testdata::putU16(file, 14, 10);
    EXPECT_EQ(read(file), nullptr);  // 200 bytes after the header, none of them pixels
    file.resize(file.size() + 150, 0);
    EXPECT_NE(read(file), nullptr);
}

TEST_F(TgaReader, RefusesEdgesPastTheLimit) {
    int edge = mxImage::kMaxEdge;
    Bytes row(size_t(edge + 1) * 3, 9);
    EXPECT_EQ(read(rawTga(edge + 1, 1, row)), nullptr);
    auto widest = read(rawTga(edge, 1, row));
    ASSERT_NE(widest, nullptr);
    EXPECT_EQ(widest->width, edge);
}

}  // namespace
