#include "image/picture_writer.h"

#include <algorithm>

#include "common/byte_writer.h"

std::vector<uint8_t> IndexedPicture::toRgb() const {
    // Written in place: a 4096 x 4096 picture is 16 million pixels.
    std::vector<uint8_t> rgb(indices.size() * 3);
    uint8_t* out = rgb.data();
    for (uint8_t v : indices) {
        const uint8_t* colour = &palette[3 * size_t(v)];
        *out++ = colour[0];
        *out++ = colour[1];
        *out++ = colour[2];
    }
    return rgb;
}

static void appendPcxHeader(ByteWriter& out, uint16_t xmin, uint16_t ymin, uint16_t xmax, uint16_t ymax) {
    int bytesPerLine = int(xmax) - int(xmin) + 1;
    out.u8(10).u8(5).u8(1).u8(8);  // manufacturer, version 3.0+, run-length, 8 bits
    out.u16(xmin).u16(ymin).u16(xmax).u16(ymax);
    out.u16(72).u16(72);  // resolution
    out.zeros(48);        // 16-colour palette, unused at 8 bits
    out.u8(0).u8(1);      // reserved, one plane
    out.u16(uint16_t(bytesPerLine > 0 ? bytesPerLine : 0));
    out.u16(1);  // palette holds colours
    out.zeros(128 - out.size());
}

static void appendPalette(ByteWriter& out, const std::vector<uint8_t>& palette) {
    if (palette.empty()) return;
    out.u8(12);
    out.raw(palette.data(), palette.size());
}

std::vector<uint8_t> pcxFile(uint16_t xmin, uint16_t ymin, uint16_t xmax, uint16_t ymax,
                             const std::vector<uint8_t>& data, const std::vector<uint8_t>& palette) {
    ByteWriter out;
    appendPcxHeader(out, xmin, ymin, xmax, ymax);
    out.raw(data.data(), data.size());
    appendPalette(out, palette);
    return out.data();
}

std::vector<uint8_t> encodePcx(int width, int height, const std::vector<uint8_t>& indices,
                               const std::vector<uint8_t>& palette, const PcxOptions& options) {
    std::vector<uint8_t> data;
    for (int y = 0; y < height; ++y) {
        const uint8_t* line = indices.data() + size_t(y) * width;
        int x = 0;
        while (x < width) {
            int run = 1;
            if (options.runs)
                while (x + run < width && run < 63 && line[x + run] == line[x]) ++run;
            if (run == 1 && line[x] < 192) {
                data.push_back(line[x]);
            } else {
                data.push_back(uint8_t(192 + run));
                data.push_back(line[x]);
            }
            x += run;
        }
    }
    return pcxFile(options.xmin, options.ymin, uint16_t(options.xmin + width - 1), uint16_t(options.ymin + height - 1),
                   data, palette);
}

std::vector<uint8_t> encodePcx(const IndexedPicture& picture, const PcxOptions& options) {
    return encodePcx(picture.width, picture.height, picture.indices, picture.palette, options);
}

std::vector<uint8_t> tgaHeader(int width, int height, const TgaOptions& options) {
    ByteWriter out;
    out.u8(uint8_t(options.imageId.size())).u8(options.colorMapType).u8(options.imageType);
    out.zeros(5);       // colour-map first entry, length, entry size
    out.u16(0).u16(0);  // origin
    out.u16(uint16_t(width)).u16(uint16_t(height));
    out.u8(options.pixelDepth);
    out.u8(options.topRowFirst ? 0x20 : 0x00);
    out.raw(options.imageId.data(), options.imageId.size());
    return out.data();
}

std::vector<uint8_t> encodeTga(int width, int height, const std::vector<uint8_t>& rgbTopFirst,
                               const TgaOptions& options) {
    ByteWriter out;
    std::vector<uint8_t> header = tgaHeader(width, height, options);
    out.raw(header.data(), header.size());
    // Straight into a buffer of the final size: pictures may be large.
    const size_t pixelSize = options.pixelDepth == 32 ? 4 : 3;
    std::vector<uint8_t>& bytes = out.data();
    size_t at = bytes.size();
    bytes.resize(at + size_t(width > 0 ? width : 0) * size_t(height > 0 ? height : 0) * pixelSize);
    uint8_t* to = bytes.data() + at;
    for (int row = 0; row < height; ++row) {
        const int y = options.topRowFirst ? row : height - 1 - row;
        const size_t rowStart = size_t(y) * size_t(width) * 3;
        // Pixels the caller's rows hold; the rest of the row stays black.
        const size_t given = rgbTopFirst.size() > rowStart ? (rgbTopFirst.size() - rowStart) / 3 : 0;
        const size_t count = given < size_t(width) ? given : size_t(width);
        const uint8_t* from = count ? rgbTopFirst.data() + rowStart : nullptr;
        for (size_t x = 0; x < count; ++x, from += 3, to += pixelSize) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            if (pixelSize == 4) to[3] = 255;
        }
        for (size_t x = count; x < size_t(width); ++x, to += pixelSize) {
            to[0] = to[1] = to[2] = 0;
            if (pixelSize == 4) to[3] = 255;
        }
    }
    if (options.footer) {
        out.u32(0).u32(0);  // no extension area, no developer directory
        out.raw("TRUEVISION-XFILE.", 18);
    }
    return out.data();
}

void putU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
    if (offset + 2 > bytes.size()) bytes.resize(offset + 2, 0);
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
}
