#include "frontend/gif.h"

#include <gif_lib.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "frontend/files.h"

namespace frontend {

namespace {

constexpr int kTransparentIndex = 255;

}  // namespace

GifWriter::~GifWriter() {
    if (!gif_) return;
    int ignored = 0;
    EGifCloseFile(gif_, &ignored);
    ::unlink(temporary_.c_str());
}

bool GifWriter::failed(int code, std::string& error) {
    error = path_ + ": can't write the GIF (" + GifErrorString(code) + ")";
    return false;
}

bool GifWriter::open(const std::string& path, int width, int height, std::string& error) {
    path_ = path;
    int fd = createTemporaryBeside(path, temporary_, error);
    if (fd < 0) return false;
    int code = 0;
    gif_ = EGifOpenFileHandle(fd, &code);
    if (!gif_) {
        ::close(fd);
        ::unlink(temporary_.c_str());
        return failed(code, error);
    }
    EGifSetGifVersion(gif_, true);
    if (EGifPutScreenDesc(gif_, width, height, 8, 0, nullptr) == GIF_ERROR) return failed(gif_->Error, error);
    // Loop for ever: NETSCAPE2.0, sub-block 1, a loop count of 0.
    static const GifByteType application[] = "NETSCAPE2.0";
    static const GifByteType loop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, 11, application) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, 3, loop) == GIF_ERROR || EGifPutExtensionTrailer(gif_) == GIF_ERROR)
        return failed(gif_->Error, error);
    return true;
}

bool GifWriter::add(const RgbaPicture& picture, int delayHundredths, bool transparent, std::string& error) {
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
                          blue.data(), indices.data(), colours) == GIF_ERROR) {
        error = path_ + ": can't reduce a picture to 256 colours";
        return false;
    }
    if (transparent)
        for (size_t i = 0; i < pixels; ++i)
            if (picture.rgba[4 * i + 3] < 128) indices[i] = kTransparentIndex;

    GraphicsControlBlock control = {};
    control.DisposalMode = transparent ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
    control.DelayTime = delayHundredths;
    control.TransparentColor = transparent ? kTransparentIndex : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR) return failed(gif_->Error, error);

    ColorMapObject* map = GifMakeMapObject(256, colours);
    if (!map) return failed(E_GIF_ERR_NOT_ENOUGH_MEM, error);
    bool ok = EGifPutImageDesc(gif_, 0, 0, picture.width, picture.height, false, map) != GIF_ERROR;
    GifFreeMapObject(map);
    for (int y = 0; ok && y < picture.height; ++y)
        ok = EGifPutLine(gif_, &indices[size_t(y) * size_t(picture.width)], picture.width) != GIF_ERROR;
    return ok || failed(gif_->Error, error);
}

bool GifWriter::finish(std::string& error) {
    int code = 0;
    bool closed = EGifCloseFile(gif_, &code) != GIF_ERROR;
    gif_ = nullptr;
    if (!closed) {
        ::unlink(temporary_.c_str());
        return failed(code, error);
    }
    return renameInto(temporary_, path_, error);
}

}  // namespace frontend
