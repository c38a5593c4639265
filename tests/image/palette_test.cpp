// Palettes made for pictures, judged against ImageMagick's own quantiser,
// and pictures mapped onto palettes.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "image/image.h"
#include "image/palette.h"
#include "tests/writers/bytes.h"
#include "tests/writers/scratch_dir.h"

namespace {

struct Rgba {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // R, G, B, A
};

double meanSquaredError(const Rgba& picture, const std::vector<uint8_t>& rgb) {
    double sum = 0;
    for (size_t i = 0; i < size_t(picture.width) * picture.height; ++i)
        for (int c = 0; c < 3; ++c) {
            const double d = double(picture.pixels[4 * i + size_t(c)]) - rgb[3 * i + size_t(c)];
            sum += d * d;
        }
    return sum / (double(picture.width) * picture.height);
}

std::vector<uint8_t> throughPalette(const Rgba& picture, const std::vector<uint8_t>& palette, const PaletteMapping& mapping = {}) {
    const std::vector<uint8_t> indices = mapToPalette(picture.pixels.data(), picture.width, picture.height, palette, mapping);
    std::vector<uint8_t> rgb;
    for (uint8_t i : indices) rgb.insert(rgb.end(), &palette[3 * size_t(i)], &palette[3 * size_t(i)] + 3);
    return rgb;
}

// Photo-like pictures: smooth light over shapes, fine noise, and edges.
Rgba photoLike(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 6);
    Rgba p{width, height, {}};
    const double cx = width * 0.4, cy = height * 0.6;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double r = std::hypot(x - cx, y - cy) / width;
            const double light = 0.5 + 0.5 * std::cos(3.1 * r + seed);
            double c[3] = {40 + 180 * light * (0.6 + 0.4 * std::sin(x * 0.03)),
                           30 + 150 * light * (0.5 + 0.5 * std::cos(y * 0.05 + seed)),
                           60 + 120 * (1 - light) + 40 * std::sin((x + y) * 0.02)};
            if ((x / 37 + y / 29 + int(seed)) % 5 == 0) std::swap(c[0], c[2]);  // patches of another hue
            for (double& v : c) v += noise(random);
            for (int k = 0; k < 3; ++k) p.pixels.push_back(uint8_t(std::clamp(std::lround(c[k]), 0L, 255L)));
            p.pixels.push_back(255);
        }
    return p;
}

Rgba fromImage(const mxImage& image) {
    Rgba p{image.width, image.height, {}};
    for (int i = 0; i < image.width * image.height; ++i) {
        const uint8_t* c = image.bpp == 24 ? &image.data[3 * i] : &image.palette[3 * image.data[i]];
        p.pixels.insert(p.pixels.end(), {c[0], c[1], c[2], 255});
    }
    return p;
}

// A binary PPM's pixels (R, G, B, and A 255); empty when it is not one.
Rgba readPpm(const std::string& path) {
    const std::vector<uint8_t> bytes = testdata::readFile(path);
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') return {};
    // Three numbers after the magic, then one whitespace byte.
    size_t at = 2;
    int fields[3] = {};
    for (int& field : fields) {
        while (at < bytes.size() && std::isspace(bytes[at])) ++at;
        while (at < bytes.size() && std::isdigit(bytes[at])) field = field * 10 + (bytes[at++] - '0');
    }
    ++at;
    Rgba picture{fields[0], fields[1], {}};
    if (fields[2] != 255 || bytes.size() < at + size_t(picture.width) * picture.height * 3) return {};
    for (size_t i = 0; i < size_t(picture.width) * picture.height; ++i)
        picture.pixels.insert(picture.pixels.end(), {bytes[at + 3 * i], bytes[at + 3 * i + 1], bytes[at + 3 * i + 2], 255});
    return picture;
}

// What ImageMagick's convert makes of its arguments and then the picture
// file given (a P6 PPM), read back; empty when it fails.
Rgba convert(const std::string& arguments, const Rgba* picture = nullptr) {
    testdata::ScratchDir dir;
    std::string in;
    if (picture) {
        testdata::Bytes ppm;
        const std::string header = "P6\n" + std::to_string(picture->width) + " " + std::to_string(picture->height) + "\n255\n";
        ppm.raw(header.data(), header.size());
        for (size_t i = 0; i < picture->pixels.size(); i += 4) ppm.raw(&picture->pixels[i], 3);
        in = "'" + dir.write("in.ppm", ppm.data()) + "' ";
    }
    const std::string out = dir.file("out.ppm");
    const std::string command = "convert " + in + arguments + " '" + out + "'";
    if (std::system(command.c_str()) != 0) return {};
    return readPpm(out);
}

}  // namespace

// At most 256 colours: exactly those, and every pixel comes back.
TEST(Palette, PicturesOfFewColoursAreKeptExactly) {
    std::mt19937 random(3);
    Rgba picture{37, 23, {}};
    std::vector<std::array<uint8_t, 3>> colours(256);
    for (auto& c : colours) c = {uint8_t(random()), uint8_t(random()), uint8_t(random())};
    for (int i = 0; i < 37 * 23; ++i) {
        const auto& c = colours[size_t(i < 256 ? i : random() % 256)];
        picture.pixels.insert(picture.pixels.end(), {c[0], c[1], c[2], uint8_t(random())});
    }
    const std::vector<uint8_t> palette = makePalette(picture.pixels.data(), 37 * 23);
    ASSERT_EQ(palette.size(), 768u);
    EXPECT_EQ(meanSquaredError(picture, throughPalette(picture, palette)), 0.0);
    PaletteMapping dithered;
    dithered.dither = true;
    EXPECT_EQ(meanSquaredError(picture, throughPalette(picture, palette, dithered)), 0.0) << "no error to spread";

    // Fewer colours: sorted, then black.
    const uint8_t two[] = {9, 8, 7, 255, 1, 2, 3, 255, 9, 8, 7, 0};
    const std::vector<uint8_t> small = makePalette(two, 3);
    EXPECT_EQ(std::vector<uint8_t>(small.begin(), small.begin() + 9), (std::vector<uint8_t>{1, 2, 3, 9, 8, 7, 0, 0, 0}));
}

// More than 256 colours: no worse than ImageMagick 6's quantiser without
// dither, on the corpus skins and on photo-like pictures.
TEST(Palette, ManyColoursLoseNoMoreThanImageMagick) {
    std::vector<std::pair<std::string, Rgba>> pictures;
    for (const char* name : {"sydney.tga", "faerie.tga"}) {
        std::unique_ptr<mxImage> image(readTgaImage((std::string(OMBREL_CORPUS_DIR) + "/" + name).c_str()));
        ASSERT_TRUE(image) << name;
        pictures.emplace_back(name, fromImage(*image));
    }
    for (unsigned seed : {1u, 2u, 3u}) pictures.emplace_back("photo-like " + std::to_string(seed), photoLike(256, 192, seed));
    pictures.emplace_back("photo-like 400x300", photoLike(400, 300, 4));  // more colours than k-means takes one by one
    // ImageMagick's own photograph, as it is and enlarged (its colours blended).
    pictures.emplace_back("rose:", convert("rose:"));
    pictures.emplace_back("rose: -resize 400%", convert("rose: -resize 400%"));
    for (const auto& [name, picture] : pictures) {
        ASSERT_GT(picture.width, 0) << name;
        const Rgba theirs = convert("-colors 256 +dither", &picture);
        ASSERT_EQ(theirs.pixels.size(), picture.pixels.size()) << "ImageMagick's convert failed on " << name;
        std::vector<uint8_t> theirRgb;
        for (size_t i = 0; i < theirs.pixels.size(); i += 4) theirRgb.insert(theirRgb.end(), &theirs.pixels[i], &theirs.pixels[i] + 3);
        const double ours = meanSquaredError(picture, throughPalette(picture, makePalette(picture.pixels.data(), picture.pixels.size() / 4)));
        const double magick = meanSquaredError(picture, theirRgb);
        std::cout << name << ": mean squared error " << ours << ", ImageMagick's " << magick << "\n";
        EXPECT_LE(ours, magick) << name;
    }
}

// A palette given: nearest entries among those allowed, transparent pixels
// on their own index; dither keeps a gradient's average where plain
// mapping bands it.
TEST(Palette, MappingOntoAGivenPalette) {
    std::vector<uint8_t> greys(768, 0);
    for (int i = 0; i < 256; ++i) greys[size_t(3 * i)] = greys[size_t(3 * i + 1)] = greys[size_t(3 * i + 2)] = uint8_t(i);
    const uint8_t pixels[] = {255, 255, 255, 255, 255, 255, 255, 0, 100, 100, 103, 255};
    PaletteMapping mapping;
    mapping.entries = 255;
    mapping.transparentIndex = 255;
    EXPECT_EQ(mapToPalette(pixels, 3, 1, greys, mapping), (std::vector<uint8_t>{254, 255, 101}));
    mapping.entries = 0;
    EXPECT_TRUE(mapToPalette(pixels, 3, 1, greys, mapping).empty());
    EXPECT_TRUE(mapToPalette(pixels, 3, 1, std::vector<uint8_t>(767), {}).empty());

    // Black and white only, a ramp from one to the other.
    std::vector<uint8_t> bw(768, 0);
    bw[3] = bw[4] = bw[5] = 255;
    Rgba ramp{64, 16, {}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) ramp.pixels.insert(ramp.pixels.end(), {uint8_t(x * 4), uint8_t(x * 4), uint8_t(x * 4), 255});
    PaletteMapping plain, dither;
    plain.entries = dither.entries = 2;
    dither.dither = true;
    // The worst difference of a block of 8 columns' mean from the ramp's.
    auto blockError = [&](const std::vector<uint8_t>& rgb) {
        double worst = 0;
        for (int block = 0; block < 8; ++block) {
            double mean = 0, wanted = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = block * 8; x < block * 8 + 8; ++x) {
                    mean += rgb[size_t(3 * (y * 64 + x))];
                    wanted += x * 4;
                }
            worst = std::max(worst, std::fabs(mean - wanted) / 128);
        }
        return worst;
    };
    EXPECT_GT(blockError(throughPalette(ramp, bw, plain)), 100);
    EXPECT_LT(blockError(throughPalette(ramp, bw, dither)), 16);
}
