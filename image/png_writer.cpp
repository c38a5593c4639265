#include "image/png_writer.h"

#ifdef OMBREL_PNG_ZLIB
#include <zlib.h>

#include <cstdlib>

namespace {

// stb_image_write's own deflate takes twice as long as zlib's for the same
// picture, and a picture's PNG is a good part of what `ombrel render`
// costs: stb hands its compression to zlib, as it offers to, where the
// build has zlib (a Windows build without Debian's MinGW zlib keeps stb's
// own).
unsigned char* deflateWithZlib(unsigned char* data, int length, int* outLength, int level) {
    uLongf size = compressBound(uLong(length));
    auto* out = static_cast<unsigned char*>(std::malloc(size));
    if (!out || compress2(out, &size, data, uLong(length), level) != Z_OK) {
        std::free(out);
        return nullptr;
    }
    *outLength = int(size);
    return out;
}

}  // namespace

#define STBIW_ZLIB_COMPRESS deflateWithZlib
#endif

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

void append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

}  // namespace

std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels,
                               PngCompression compression) {
    // Each row filtered against the one above: as small as stb's choice row
    // by row for rendered pictures, without trying every filter on each.
    stbi_write_force_png_filter = 2;
    // zlib's default level, or its fastest: a quarter of the time for a
    // skin, a few per cent larger.
    stbi_write_png_compression_level = compression == PngCompression::Fast ? 1 : 6;
    std::vector<uint8_t> bytes;
    if (!stbi_write_png_to_func(append, &bytes, width, height, channels, pixels, width * channels)) bytes.clear();
    return bytes;
}
