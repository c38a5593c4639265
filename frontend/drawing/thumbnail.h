// What a thumbnail is, wherever it is drawn: `ombrel thumbnail` over the
// models a person names, and Explorer's thumbnail provider over the bytes
// of one file. The model turned as asked (three-quarters unless told),
// size x size pixels over transparency, its first played frame; a model
// without a skin shaded smooth, and lit as the look says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/base/options.h"
#include "frontend/drawing/look.h"
#include "frontend/drawing/offscreen.h"
#include "frontend/scene/prepare.h"

namespace frontend {

// What a model is prepared with for its thumbnail.
ViewOptions thumbnailOptions(int size, float rotX = kThreeQuarterRotX, float rotY = kThreeQuarterRotY);

// The window a thumbnail is drawn in.
OffscreenFormat thumbnailFormat(int size, const PictureLook& look);

// The thumbnail of the view shown in view: prepared with thumbnailOptions,
// its record readied by shadeWhenUntextured before it was shown.
RgbaPicture drawThumbnail(OffscreenView& view, const PreparedView& shown, const PictureLook& look);

// The thumbnail of a model given only as its bytes (no skin: nothing lies
// beside them; no pictures at all), turned three-quarters with the default
// look: what `ombrel thumbnail --size size` draws of that model alone. It
// is drawn in a window of its own, made and ended here. Throws a Failure:
// exit 2 for bytes that are no model with something to draw, exit 1 when
// there is no OpenGL context that can draw it.
RgbaPicture thumbnailOfModelBytes(std::vector<uint8_t> bytes, const std::string& shownName, int size);

}  // namespace frontend
