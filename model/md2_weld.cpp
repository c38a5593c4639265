// Welding by whole tracks: the vertices sorted by their first frame's
// position, then each run that shares it sorted by its whole track (frame by
// frame, coordinate by coordinate), so that equal tracks lie side by side.
// Only vertices together in the first frame are compared further, a
// comparison ends where two tracks part, and no input can make the sorts
// take more than n log n comparisons.
#include <algorithm>
#include <cstring>

#include "model/md2_steps.h"

namespace {

// A coordinate as a number whose order is the coordinates' (-0 taken as 0,
// and anything that is not a number somewhere, consistently), so the sort
// always has a total order.
int64_t orderOf(float value) {
    if (value == 0.0f) return 0;
    int32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits >= 0 ? int64_t(bits) : -int64_t(bits & 0x7FFFFFFF);
}

// -1, 0 or 1 as track a comes before, with, or after track b, over frames
// first to last (the first frame alone: last 1).
int compareTracks(const std::vector<const float*>& frames, size_t first, size_t last, uint32_t a, uint32_t b) {
    for (size_t f = first; f < last; ++f) {
        const float* p = frames[f] + 3 * size_t(a);
        const float* q = frames[f] + 3 * size_t(b);
        for (size_t k = 0; k < 3; ++k) {
            if (p[k] == q[k]) continue;  // most often, and -0 == 0
            const int64_t x = orderOf(p[k]), y = orderOf(q[k]);
            if (x != y) return x < y ? -1 : 1;
        }
    }
    return 0;
}

}  // namespace

size_t weldTracks(const std::vector<const float*>& frames, size_t vertexCount, const uint32_t* corners,
                  size_t cornerCount, std::vector<uint32_t>& remap) {
    std::vector<bool> used(vertexCount, false);
    for (size_t i = 0; i < cornerCount; ++i) used[corners[i]] = true;
    std::vector<uint32_t> order;
    for (size_t v = 0; v < vertexCount; ++v)
        if (used[v]) order.push_back(uint32_t(v));
    const size_t frameCount = frames.size();
    auto firstFrameOrder = [&](uint32_t a, uint32_t b) {
        const int c = compareTracks(frames, 0, 1, a, b);
        return c != 0 ? c < 0 : a < b;
    };
    auto trackOrder = [&](uint32_t a, uint32_t b) {
        const int c = compareTracks(frames, 1, frameCount, a, b);
        return c != 0 ? c < 0 : a < b;
    };
    std::sort(order.begin(), order.end(), firstFrameOrder);

    // Each vertex's representative: the lowest-numbered vertex of its track
    // (the first of its run, as ties are in vertex order).
    std::vector<uint32_t> representative(vertexCount, MD2_UNUSED_VERTEX);
    for (size_t start = 0; start < order.size();) {
        size_t end = start + 1;
        while (end < order.size() && compareTracks(frames, 0, 1, order[start], order[end]) == 0) ++end;
        std::sort(order.begin() + ptrdiff_t(start), order.begin() + ptrdiff_t(end), trackOrder);
        for (size_t i = start; i < end; ++i)
            representative[order[i]] = i > start && compareTracks(frames, 1, frameCount, order[i - 1], order[i]) == 0
                                           ? representative[order[i - 1]]
                                           : order[i];
        start = end;
    }

    remap.assign(vertexCount, MD2_UNUSED_VERTEX);
    size_t count = 0;
    for (size_t i = 0; i < cornerCount; ++i) {
        const uint32_t r = representative[corners[i]];
        if (remap[r] == MD2_UNUSED_VERTEX) remap[r] = uint32_t(count++);
        remap[corners[i]] = remap[r];
    }
    return count;
}
