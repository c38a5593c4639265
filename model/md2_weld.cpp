// Welding by whole tracks: the vertices sorted by their tracks (frame by
// frame, coordinate by coordinate), so that equal tracks lie side by side.
// Most comparisons end at the first frame; none reads further than where
// two tracks part, and no input can make the sort take more than n log n
// of them.
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

// -1, 0 or 1 as track a comes before, with, or after track b.
int compareTracks(const std::vector<const float*>& frames, uint32_t a, uint32_t b) {
    for (const float* frame : frames)
        for (size_t k = 0; k < 3; ++k) {
            const int64_t x = orderOf(frame[3 * size_t(a) + k]), y = orderOf(frame[3 * size_t(b) + k]);
            if (x != y) return x < y ? -1 : 1;
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
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const int c = compareTracks(frames, a, b);
        return c != 0 ? c < 0 : a < b;
    });

    // Each vertex's representative: the lowest-numbered vertex of its track
    // (the first of its run, as ties are in vertex order).
    std::vector<uint32_t> representative(vertexCount, MD2_UNUSED_VERTEX);
    for (size_t i = 0; i < order.size(); ++i)
        representative[order[i]] =
            i > 0 && compareTracks(frames, order[i - 1], order[i]) == 0 ? representative[order[i - 1]] : order[i];

    remap.assign(vertexCount, MD2_UNUSED_VERTEX);
    size_t count = 0;
    for (size_t i = 0; i < cornerCount; ++i) {
        const uint32_t r = representative[corners[i]];
        if (remap[r] == MD2_UNUSED_VERTEX) remap[r] = uint32_t(count++);
        remap[corners[i]] = remap[r];
    }
    return count;
}
