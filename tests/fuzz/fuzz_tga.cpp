// Any bytes as a TGA file: the reader must return a well-formed picture or
// null, never read or write outside its buffers, never leak; and a picture
// it returns must scale to a texture.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    mxImage* image = readTgaImageFromBytes(data, size);
    if (image) {
        // Touch the first and last byte of every buffer the record claims.
        size_t bytes = size_t(image->width) * size_t(image->height) * 3;
        volatile uint8_t sink = 0;
        if (bytes > 0) sink = sink + image->data[0] + image->data[bytes - 1];
        if (image->bpp != 24 || image->palette) std::abort();
        // Scaled down and up, as a texture load does; small, to stay fast.
        if (image->width > 0 && image->height > 0) {
            for (int factor : {1, 3}) {
                mxImage texture;
                const int w = image->width * factor / 2 + 1, h = image->height * factor / 2 + 1;
                if (!texture.create(w < 16 ? w : 16, h < 16 ? h : 16, 24) || !scaleImage(*image, texture)) std::abort();
            }
        }
        delete image;
    }
    return 0;
}
