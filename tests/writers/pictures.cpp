#include "tests/writers/pictures.h"

#include "tests/writers/bytes.h"

namespace testdata {

std::vector<uint8_t> rampPalette() {
    std::vector<uint8_t> palette(768);
    for (int i = 0; i < 256; ++i) {
        palette[3 * i] = uint8_t(i);
        palette[3 * i + 1] = uint8_t(255 - i);
        palette[3 * i + 2] = uint8_t(i * 7);
    }
    return palette;
}

IndexedPicture samplePicture(int width, int height) {
    IndexedPicture picture;
    picture.width = width;
    picture.height = height;
    picture.palette = rampPalette();
    picture.indices.resize(size_t(width) * size_t(height));
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            uint8_t value;
            if ((x / 16 + y / 16) % 3 == 0)
                value = uint8_t((x / 16) * 11 + (y / 16) * 37);  // flat patches: runs
            else if ((x / 16 + y / 16) % 3 == 1)
                value = uint8_t(x + y);  // gradient: no runs
            else
                value = uint8_t(noise >> 24);  // noise, often 192 and up
            picture.indices[size_t(y) * width + x] = value;
        }
    }
    return picture;
}

bool writePcx(const std::string& path, const IndexedPicture& picture, const PcxOptions& options) {
    return writeFile(path, encodePcx(picture, options));
}

bool writeTga(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbTopFirst,
              const TgaOptions& options) {
    return writeFile(path, encodeTga(width, height, rgbTopFirst, options));
}

}  // namespace testdata
