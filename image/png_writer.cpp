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
//
// A picture is compressed with zlib's run-length strategy: a rendered
// picture's rows, each filtered against the one above, are long runs of
// zero (its background, its flat colours), and the strategy that looks for
// nothing else makes files as small as the default strategy's at level 6
// (a tenth smaller to a tenth larger on the corpus) in a third of the time.
int zlibStrategy = Z_DEFAULT_STRATEGY;

unsigned char* deflateWithZlib(unsigned char* data, int length, int* outLength, int level) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, 15, 8, zlibStrategy) != Z_OK) return nullptr;
    uLong size = deflateBound(&stream, uLong(length));
    auto* out = static_cast<unsigned char*>(std::malloc(size));
    stream.next_in = data;
    stream.avail_in = uInt(length);
    stream.next_out = out;
    stream.avail_out = uInt(size);
    const bool done = out && deflate(&stream, Z_FINISH) == Z_STREAM_END;
    size = stream.total_out;
    deflateEnd(&stream);
    if (!done) {
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
    // A picture: zlib's run-length strategy (above). A skin: zlib's fastest
    // level, a quarter of the time of its default, a few per cent larger.
    stbi_write_png_compression_level = compression == PngCompression::Fast ? 1 : 6;
#ifdef OMBREL_PNG_ZLIB
    zlibStrategy = compression == PngCompression::Fast ? Z_DEFAULT_STRATEGY : Z_RLE;
#endif
    std::vector<uint8_t> bytes;
    if (!stbi_write_png_to_func(append, &bytes, width, height, channels, pixels, width * channels)) bytes.clear();
    return bytes;
}
