#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "image/image.h"
#include "tests/support/not_regular_files.h"
#include "tests/writers/pictures.h"
#include "tests/writers/scratch_dir.h"

using testdata::pcxFile;
using Bytes = std::vector<uint8_t>;

namespace {

struct PcxReader : ::testing::Test {
    testdata::ScratchDir dir;
    Bytes palette = testdata::rampPalette();

    std::unique_ptr<mxImage> read(const Bytes& file) {
        return std::unique_ptr<mxImage>(readPcxImage(dir.write("picture.pcx", file).c_str()));
    }
    // A picture of w x 1 from a hand-made run stream.
    std::unique_ptr<mxImage> decodeRow(int width, const Bytes& data) {
        return read(pcxFile(0, 0, uint16_t(width - 1), 0, data, palette));
    }
    static Bytes pixels(const mxImage& image) {
        return Bytes(image.data, image.data + size_t(image.width) * image.height);
    }
};

TEST_F(PcxReader, SizeComesFromTheCornersAndDataIsIndices) {
    auto image = read(pcxFile(0, 0, 3, 1, {1, 2, 3, 4, 5, 6, 7, 8}, palette));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 4);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(image->bpp, 8);
    EXPECT_EQ(pixels(*image), Bytes({1, 2, 3, 4, 5, 6, 7, 8}));

    // Corners away from the origin: only their differences count; one column is width 1.
    image = read(pcxFile(100, 7, 100, 9, {9, 8, 7}, palette));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 1);
    EXPECT_EQ(image->height, 3);
    EXPECT_EQ(pixels(*image), Bytes({9, 8, 7}));
}

TEST_F(PcxReader, RunsLiteralsAndEmptyRuns) {
    auto image = decodeRow(4, {195, 7, 5});
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(pixels(*image), Bytes({7, 7, 7, 5}));

    // 192 is a run of nothing: its value byte is swallowed and decoding goes on.
    image = decodeRow(2, {192, 9, 4, 6});
    EXPECT_EQ(pixels(*image), Bytes({4, 6}));

    // Values of 192 and more can only come as a run.
    image = decodeRow(3, {193, 200, 193, 255, 1});
    EXPECT_EQ(pixels(*image), Bytes({200, 255, 1}));

    // Lines are not tracked: a run may carry on into the next row.
    image = read(pcxFile(0, 0, 1, 1, {196, 3}, palette));
    EXPECT_EQ(pixels(*image), Bytes({3, 3, 3, 3}));
}

TEST_F(PcxReader, RunPastTheLastPixelIsCut) {
    auto image = decodeRow(3, {1, 255, 42, 99, 98});  // a run of 63 into a 3-pixel picture
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(pixels(*image), Bytes({1, 42, 42}));
}

TEST_F(PcxReader, PaletteIsTheLast768BytesUnscaled) {
    // Header palette fields say nothing and no 12 marker precedes the palette:
    // only the file's last 768 bytes count, taken byte for byte (not scaled).
    Bytes file = pcxFile(0, 0, 1, 0, {4, 5, 6, 77}, {});
    for (int i = 16; i < 64; ++i) file[i] = 0xEE;
    file.insert(file.end(), palette.begin(), palette.end());
    auto image = read(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Bytes(image->palette, image->palette + 768), palette);
    EXPECT_EQ(pixels(*image), Bytes({4, 5}));
}

TEST_F(PcxReader, PixelsMissingFromTheFileAre255) {
    // No data at all: the decoder reads on through the marker and the palette
    // bytes (all literals here) and then off the end, where every pixel is 255.
    Bytes flat(768, 5);
    auto image = read(pcxFile(0, 0, 31, 31, {}, flat));  // 1024 pixels, 769 bytes after the header
    ASSERT_NE(image, nullptr);
    Bytes got = pixels(*image);
    EXPECT_EQ(got[0], 12);  // the palette marker
    for (int i = 1; i < 769; ++i) ASSERT_EQ(got[i], 5) << i;
    for (int i = 769; i < 1024; ++i) ASSERT_EQ(got[i], 255) << i;

    // A run whose value byte is missing gives 255 too.
    Bytes file = pcxFile(0, 0, 999, 0, {}, flat);
    file.back() = 197;
    image = read(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->data[767], 5);
    EXPECT_EQ(image->data[768], 255);
    EXPECT_EQ(image->data[999], 255);
}

TEST_F(PcxReader, RefusesFilesItCannotTrust) {
    EXPECT_EQ(readPcxImage(dir.file("missing.pcx").c_str()), nullptr);
    EXPECT_EQ(readPcxImage(nullptr), nullptr);

    Bytes good = pcxFile(0, 0, 3, 1, {1, 2, 3, 4, 5, 6, 7, 8}, palette);
    EXPECT_EQ(read(Bytes(good.begin(), good.begin() + 127)), nullptr);  // header cut
    EXPECT_EQ(read(Bytes(good.begin(), good.begin() + 700)), nullptr);  // no room for a palette

    EXPECT_EQ(read(pcxFile(5, 0, 4, 0, {1}, palette)), nullptr);  // xmax below xmin
    EXPECT_EQ(read(pcxFile(0, 5, 0, 4, {1}, palette)), nullptr);  // ymax below ymin
}

TEST_F(PcxReader, RefusesAbsurdSizesBeforeAllocating) {
    // 65536 x 65536 would wrap to 0 in 32 bits; one edge past the limit is
    // refused even when the file is large enough to back it.
    Bytes longRuns(2 * 300, 0);
    for (size_t i = 0; i < longRuns.size(); i += 2) longRuns[i] = 255;
    EXPECT_EQ(read(pcxFile(0, 0, 65535, 65535, longRuns, palette)), nullptr);
    EXPECT_EQ(read(pcxFile(0, 0, mxImage::kMaxEdge, 0, longRuns, palette)), nullptr);
    auto widest = read(pcxFile(0, 0, mxImage::kMaxEdge - 1, 0, longRuns, palette));
    ASSERT_NE(widest, nullptr);
    EXPECT_EQ(widest->width, mxImage::kMaxEdge);
}

TEST_F(PcxReader, RefusesHeadersTheFileCannotBack) {
    // Runs pack at most 63 pixels into two bytes. Header and palette alone
    // (896 bytes, 768 after the header) may stand for up to 63 x 768 pixels
    // counting pixels lost off the end; a little more is not believed.
    auto edge = read(pcxFile(0, 0, 191, 251, {}, Bytes(767, 0)));  // 192 x 252 = 63 x 768
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(read(pcxFile(0, 0, 192, 251, {}, Bytes(767, 0))), nullptr);
    EXPECT_EQ(read(pcxFile(0, 0, 4095, 4095, {}, palette)), nullptr);
}

TEST_F(PcxReader, WriterPicturesComeBackExactly) {
    // Odd sizes, runs across all values (192 and up included), literal-only encoding.
    testdata::IndexedPicture picture = testdata::samplePicture(37, 23);
    for (bool runs : {true, false}) {
        testdata::PcxOptions options;
        options.runs = runs;
        options.xmin = 3;
        auto image = read(testdata::encodePcx(picture, options));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 37);
        EXPECT_EQ(image->height, 23);
        EXPECT_EQ(pixels(*image), picture.indices);
        EXPECT_EQ(Bytes(image->palette, image->palette + 768), picture.palette);
    }
}

}  // namespace

namespace {

// A FIFO would hang either reader in its open call, a device feed it for ever.
TEST(PictureReaders, RefuseWhatIsNotARegularFile) {
    testdata::ScratchDir dir;
    ASSERT_TRUE(testsupport::makeFifo(dir.file("fifo.pcx")));
    ASSERT_TRUE(testsupport::makeFifo(dir.file("fifo.tga")));
    testsupport::EndsWithin guard(10);
    std::vector<std::string> paths = testsupport::endlessDevices();
    paths.insert(paths.end(), {dir.path(), "/dev/null"});
    for (const std::string& path : paths) {
        EXPECT_EQ(readPcxImage(path.c_str()), nullptr) << path;
        EXPECT_EQ(readTgaImage(path.c_str()), nullptr) << path;
    }
    EXPECT_EQ(readPcxImage(dir.file("fifo.pcx").c_str()), nullptr);
    EXPECT_EQ(readTgaImage(dir.file("fifo.tga").c_str()), nullptr);
}

}  // namespace
