// The front end's look at a picture on arbitrary bytes: the viewer's own
// readers, the picture library's decoding within the viewer's size limits,
// and the conversion to the viewer's TGA.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontend/inputs/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    frontend::PictureCheck check = frontend::checkPicture(bytes);
    // A conversion must be a whole 24-bit TGA: 18 header bytes and 3 a pixel.
    if (check.verdict == frontend::PictureVerdict::Converted) {
        if (check.tga.size() < 18) std::abort();
        const size_t width = check.tga[12] | check.tga[13] << 8, height = check.tga[14] | check.tga[15] << 8;
        if (check.tga.size() != 18 + width * height * 3) std::abort();
    }
    return 0;
}
