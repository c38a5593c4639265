// 256-colour palettes made for a picture, and pictures mapped onto a
// palette: how a picture of any colours becomes an 8-bit skin.
//
// A picture of at most 256 colours gets exactly its colours, so its 8-bit
// form is lossless. A picture of more gets the palette of Wu's variance-
// minimising quantiser (boxes cut in a 32-level colour cube) refined by
// k-means passes over its full colours: each colour moves to the mean of
// the pixels nearest it until nothing moves, which lowers the mean squared
// error further than the boxes alone can.
//
// Pixels are R, G, B, A bytes, rows top first; colours are compared by the
// sum of squared R, G and B differences. Alpha counts only where a caller
// asks for a transparent index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int PALETTE_SIZE = 768;  // 256 R, G, B entries

// A palette made for the pixels' colours (alpha ignored): exactly the
// colours, in increasing R, G, B order and then black, when there are at
// most 256; else 256 colours that keep the mean squared error low.
std::vector<uint8_t> makePalette(const uint8_t* rgba, size_t pixelCount);

struct PaletteMapping {
    // The entries an opaque pixel may take: the first `entries` (1..256).
    int entries = 256;
    // >= 0: fully transparent pixels (alpha 0) take this index, whatever
    // their colour, and pass no error on; -1: alpha is ignored.
    int transparentIndex = -1;
    // Floyd-Steinberg error diffusion (rows in alternating directions);
    // off, each pixel takes its nearest entry.
    bool dither = false;
};

// The palette index of every pixel of a width x height picture; empty when
// the arguments make no sense (no pixels, a palette not of PALETTE_SIZE
// bytes, entries outside 1..256).
std::vector<uint8_t> mapToPalette(const uint8_t* rgba, int width, int height, const std::vector<uint8_t>& palette,
                                  const PaletteMapping& mapping);
