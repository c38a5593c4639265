// The skin: pictures side by side, and texture coordinates into them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/md2_steps.h"
#include "model/source_mesh.h"

SkinLayout layOutPictures(const std::vector<SourcePicture>& pictures, const std::vector<bool>& used) {
    SkinLayout layout;
    layout.regions.resize(pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (!used[i]) continue;
        layout.regions[i] = {layout.width, pictures[i].width, pictures[i].height};
        layout.width += pictures[i].width;
        layout.height = std::max(layout.height, pictures[i].height);
    }
    return layout;
}

std::vector<uint8_t> composeSkin(const std::vector<SourcePicture>& pictures, const SkinLayout& layout) {
    std::vector<uint8_t> skin(size_t(layout.width) * size_t(layout.height) * 4, 0);
    for (size_t i = 3; i < skin.size(); i += 4) skin[i] = 255;
    for (size_t p = 0; p < pictures.size(); ++p) {
        const SkinRegion& region = layout.regions[p];
        const SourcePicture& picture = pictures[p];
        if (region.width == 0 || picture.rgba.empty()) continue;
        const size_t row = size_t(picture.width) * 4;
        for (int y = 0; y < picture.height; ++y)
            std::memcpy(&skin[(size_t(y) * size_t(layout.width) + size_t(region.left)) * 4],
                        &picture.rgba[size_t(y) * row], row);
    }
    return skin;
}

namespace {

// Coordinates this far out are no texture a skin can hold.
constexpr double kFarthestPixel = 1 << 30;

// The repeat (0 for the region itself) holding the three pixels, on one
// axis of a region size pixels long; false when they span more than one.
bool oneRepeat(const double pixel[3], int size, int64_t& repeat) {
    const double low = std::min({pixel[0], pixel[1], pixel[2]}), high = std::max({pixel[0], pixel[1], pixel[2]});
    if (low >= 0 && high <= size) {
        repeat = 0;
        return true;
    }
    repeat = int64_t(std::floor(low / size));
    return high <= double(repeat + 1) * size;
}

}  // namespace

bool trianglePixels(const double u[3], const double v[3], const SkinRegion& region, int32_t s[3], int32_t t[3]) {
    double ps[3], pt[3];
    for (int k = 0; k < 3; ++k) {
        ps[k] = std::floor(u[k] * region.width + 0.5);
        pt[k] = std::floor(v[k] * region.height + 0.5);
        if (!(std::fabs(ps[k]) < kFarthestPixel && std::fabs(pt[k]) < kFarthestPixel)) return false;
    }
    int64_t repeatS, repeatT;
    if (!oneRepeat(ps, region.width, repeatS) || !oneRepeat(pt, region.height, repeatT)) return false;
    for (int k = 0; k < 3; ++k) {
        s[k] = int32_t(ps[k] - double(repeatS * region.width)) + region.left;
        t[k] = int32_t(pt[k] - double(repeatT * region.height));
    }
    return true;
}
