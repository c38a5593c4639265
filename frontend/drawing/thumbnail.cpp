#include "frontend/drawing/thumbnail.h"

#include <utility>

namespace frontend {

ViewOptions thumbnailOptions(int size, float rotX, float rotY) {
    ViewOptions options;
    options.width = options.height = size;
    options.rotX = rotX;
    options.rotY = rotY;
    return options;
}

OffscreenFormat thumbnailFormat(int size, const PictureLook& look) { return {size, size, true, look.samples}; }

RgbaPicture drawThumbnail(OffscreenView& view, const PreparedView& shown, const PictureLook& look) {
    applyLook(view, look, shown.record.renderMode);
    return view.draw({shown.record.currentFrame, shown.record.currentFrame, 0});
}

RgbaPicture thumbnailOfModelBytes(std::vector<uint8_t> bytes, const std::string& shownName, int size) {
    PreparedView prepared = prepareModelBytes(thumbnailOptions(size), std::move(bytes), shownName);
    // A picture of nothing would be an empty square, never a model's.
    if (!prepared.nothingToDraw.empty()) throw badInput("", prepared.nothingToDraw);
    shadeWhenUntextured(prepared.record);
    const PictureLook look;
    OffscreenView view;
    std::string error;
    if (!view.open(thumbnailFormat(size, look), error)) throw systemFailure("", error);
    view.show(prepared);
    return drawThumbnail(view, prepared, look);
}

}  // namespace frontend
