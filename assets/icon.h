// The program's icon, drawn from code at any size: a faceted gem (a model,
// shaded, with its wire frame) on a blue tile. The Windows build makes its
// 32 x 32, 16-colour "MX_ICON" resource from it; desktop icons of any size
// come from the same drawing.
#pragma once

#include <cstdint>
#include <vector>

namespace assets {

// Straight (not premultiplied) RGBA, rows top first.
struct IconPicture {
    int size = 0;
    std::vector<uint8_t> rgba;
};

// The icon at size x size pixels (1 to 1024; an empty picture otherwise).
IconPicture drawIcon(int size);

// The picture as a Windows icon file holding one 16-colour image (4 bits a
// pixel, its own 16-entry palette, transparency in the AND mask). Empty when
// the picture is larger than 256 pixels, which an icon entry cannot tell.
std::vector<uint8_t> icoFile16Colours(const IconPicture& picture);

}  // namespace assets
