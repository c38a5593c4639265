// The front end's decoding of a picture on arbitrary bytes: the viewer's own
// readers, the picture library's decoding within the viewer's size limits,
// and the TGA a picture reaches the viewer as.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontend/inputs/pictures.h"
#include "image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    frontend::DecodedPicture picture;
    std::string error;
    if (!frontend::decodePicture(bytes, picture, error)) {
        if (picture.image || error.empty()) std::abort();
        return 0;
    }
    // The viewer's reader must give back exactly what was decoded.
    const std::vector<uint8_t> tga = frontend::viewerTga(*picture.image);
    mxImage* reread = readTgaImageFromBytes(tga.data(), tga.size());
    if (!reread || frontend::rgbOf(*reread) != frontend::rgbOf(*picture.image)) std::abort();
    delete reread;
    return 0;
}
