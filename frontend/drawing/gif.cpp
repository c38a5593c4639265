#include "frontend/drawing/gif.h"

#include <gif_lib.h>

#include "frontend/files/files.h"
#include "frontend/base/report.h"
#include "frontend/system/system.h"

namespace frontend {

namespace {

constexpr int kTransparentIndex = 255;

int appendBytes(GifFileType* gif, const GifByteType* data, int size) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(gif->UserData);
    bytes->insert(bytes->end(), data, data + size);
    return size;
}

}  // namespace

void GifWriter::fail(int code) { throw systemFailure(path_, std::string("can't write the GIF (") + GifErrorString(code) + ")"); }

GifWriter::GifWriter(const std::string& path, int width, int height) : path_(path) {
    int code = 0;
    gif_ = EGifOpen(&bytes_, appendBytes, &code);
    if (!gif_) fail(code);
    EGifSetGifVersion(gif_, true);
    if (EGifPutScreenDesc(gif_, width, height, 8, 0, nullptr) == GIF_ERROR) fail(gif_->Error);
    // Loop for ever: NETSCAPE2.0, sub-block 1, a loop count of 0.
    static const GifByteType application[] = "NETSCAPE2.0";
    static const GifByteType loop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, 11, application) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, 3, loop) == GIF_ERROR || EGifPutExtensionTrailer(gif_) == GIF_ERROR)
        fail(gif_->Error);
}

GifWriter::~GifWriter() {
    if (!gif_) return;
    int ignored = 0;
    EGifCloseFile(gif_, &ignored);
}

void GifWriter::add(const RgbaPicture& picture, int delayHundredths, bool transparent) {
    const size_t pixels = size_t(picture.width) * size_t(picture.height);
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels), indices(pixels);
    for (size_t i = 0; i < pixels; ++i) {
        red[i] = picture.rgba[4 * i];
        green[i] = picture.rgba[4 * i + 1];
        blue[i] = picture.rgba[4 * i + 2];
    }
    GifColorType colours[256] = {};
    int colourCount = transparent ? kTransparentIndex : 256;
    if (GifQuantizeBuffer(unsigned(picture.width), unsigned(picture.height), &colourCount, red.data(), green.data(),
                          blue.data(), indices.data(), colours) == GIF_ERROR)
        throw systemFailure(path_, "can't reduce a picture to 256 colours");
    if (transparent)
        for (size_t i = 0; i < pixels; ++i)
            if (picture.rgba[4 * i + 3] < 128) indices[i] = kTransparentIndex;

    GraphicsControlBlock control = {};
    control.DisposalMode = transparent ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
    control.DelayTime = delayHundredths;
    control.TransparentColor = transparent ? kTransparentIndex : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR) fail(gif_->Error);

    ColorMapObject* map = GifMakeMapObject(256, colours);
    if (!map) fail(E_GIF_ERR_NOT_ENOUGH_MEM);
    bool ok = EGifPutImageDesc(gif_, 0, 0, picture.width, picture.height, false, map) != GIF_ERROR;
    GifFreeMapObject(map);
    for (int y = 0; ok && y < picture.height; ++y)
        ok = EGifPutLine(gif_, &indices[size_t(y) * size_t(picture.width)], picture.width) != GIF_ERROR;
    if (!ok) fail(gif_->Error);
}

void GifWriter::finish() {
    int code = 0;
    const bool closed = EGifCloseFile(gif_, &code) != GIF_ERROR;
    gif_ = nullptr;
    if (!closed) fail(code);
    replaceFile(path_, bytes_);
}

}  // namespace frontend
