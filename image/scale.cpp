// Resampling a picture to a texture's size. The filter is the one GLU's
// gluScaleImage applies to 8-bit RGB pictures, computed the same way so the
// texels come out byte for byte as they did through it, but read straight
// from the picture (through its palette at 8 bits per pixel): GLU first
// copies the whole picture at 16 bits per channel, which for a large skin
// is twice the picture again, and can fail.
#include <cmath>

#include "image/image.h"

namespace {

constexpr int kChannels = 3;

// Channel values at 16 bits, as GLU widens bytes: 0..255 becomes 0..65535.
struct RgbPixels {
    const uint8_t* data;
    int width;
    int value(int x, int y, int channel) const { return 257 * data[(size_t(y) * width + x) * kChannels + channel]; }
};

struct PalettePixels {
    const uint8_t* data;
    const uint8_t* palette;
    int width;
    int value(int x, int y, int channel) const {
        return 257 * palette[kChannels * data[size_t(y) * width + x] + channel];
    }
};

// Back to a byte, as GLU narrows: the high byte.
uint8_t narrow(unsigned value16) { return uint8_t(value16 >> 8); }

// Exactly half the size both ways: each texel the rounded mean of a 2 x 2 block.
template <typename Pixels>
void halve(const Pixels& in, mxImage& out) {
    uint8_t* texel = out.data;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < kChannels; ++c) {
                const int sum = in.value(2 * x, 2 * y, c) + in.value(2 * x + 1, 2 * y, c) +
                                in.value(2 * x, 2 * y + 1, c) + in.value(2 * x + 1, 2 * y + 1, c);
                *texel++ = narrow(unsigned((sum + 2) / 4));
            }
}

// The box a texel covers in picture pixels along one axis: the texel's
// share of the picture when shrinking, one pixel around its centre when
// enlarging (in single precision, as GLU has it).
void texelBox(int texel, float conv, bool shrinking, float* low, float* high) {
    const float centre = float(conv * (texel + 0.5));
    if (shrinking) {
        *low = centre - conv / 2;
        *high = centre + conv / 2;
    } else {
        *low = float(centre - 0.5);
        *high = float(centre + 0.5);
    }
}

// Every texel the area-weighted mean of the pixels its box covers; the box
// reaches across the picture's edges to the other side, as the texture
// itself repeats.
template <typename Pixels>
void boxFilter(const Pixels& in, int inWidth, int inHeight, mxImage& out) {
    const float convY = float(inHeight) / float(out.height);
    const float convX = float(inWidth) / float(out.width);
    uint8_t* texel = out.data;
    for (int i = 0; i < out.height; ++i) {
        float lowY, highY;
        texelBox(i, convY, inHeight > out.height, &lowY, &highY);
        for (int j = 0; j < out.width; ++j) {
            float lowX, highX;
            texelBox(j, convX, inWidth > out.width, &lowX, &highX);
            float totals[kChannels] = {0, 0, 0};
            float area = 0;
            float y = lowY;
            for (int yInt = int(std::floor(y)); y < highY; y = float(++yInt)) {
                const int row = (yInt + inHeight) % inHeight;
                const float yShare = highY < yInt + 1 ? highY - y : yInt + 1 - y;
                float x = lowX;
                for (int xInt = int(std::floor(x)); x < highX; x = float(++xInt)) {
                    const int column = (xInt + inWidth) % inWidth;
                    const float xShare = highX < xInt + 1 ? highX - x : xInt + 1 - x;
                    const float share = xShare * yShare;
                    area += share;
                    for (int c = 0; c < kChannels; ++c) totals[c] += in.value(column, row, c) * share;
                }
            }
            for (int c = 0; c < kChannels; ++c) *texel++ = narrow(unsigned((totals[c] + 0.5) / area));
        }
    }
}

template <typename Pixels>
void resample(const Pixels& in, int inWidth, int inHeight, mxImage& out) {
    if (inWidth == 2 * out.width && inHeight == 2 * out.height)
        halve(in, out);
    else
        boxFilter(in, inWidth, inHeight, out);
}

}  // namespace

bool scaleImage(const mxImage& picture, mxImage& texture) {
    if (picture.width <= 0 || picture.height <= 0 || texture.width <= 0 || texture.height <= 0 || texture.bpp != 24 ||
        !picture.data || !texture.data)
        return false;
    if (picture.bpp == 24) {
        resample(RgbPixels{picture.data, picture.width}, picture.width, picture.height, texture);
        return true;
    }
    if (picture.bpp == 8 && picture.palette) {
        resample(PalettePixels{picture.data, picture.palette, picture.width}, picture.width, picture.height, texture);
        return true;
    }
    return false;
}
