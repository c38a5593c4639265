// Welding by whole tracks: vertices are hashed by their positions in every
// frame, sorted by hash, and equal hashes compared in full, so the cost is
// one pass over the positions and a sort, whatever the model.
#include <algorithm>
#include <cstring>

#include "model/md2_steps.h"

namespace {

// The bits of a coordinate, with -0 taken as 0 (the same place).
uint32_t coordinateBits(float value) {
    if (value == 0.0f) return 0;
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

// FNV-1a's step, a coordinate at a time.
uint64_t mix(uint64_t hash, uint64_t value) { return (hash ^ value) * 0x100000001B3ull; }

bool sameTrack(const std::vector<const float*>& frames, size_t a, size_t b) {
    for (const float* frame : frames)
        for (size_t k = 0; k < 3; ++k)
            if (frame[3 * a + k] != frame[3 * b + k]) return false;
    return true;
}

}  // namespace

size_t weldTracks(const std::vector<const float*>& frames, size_t vertexCount, const uint32_t* corners,
                  size_t cornerCount, std::vector<uint32_t>& remap) {
    std::vector<bool> used(vertexCount, false);
    for (size_t i = 0; i < cornerCount; ++i) used[corners[i]] = true;

    struct Hashed {
        uint64_t hash;
        uint32_t vertex;
    };
    // Frame by frame, so the positions are read in the order they lie.
    std::vector<uint64_t> hashes(vertexCount, 0xCBF29CE484222325ull);
    for (const float* frame : frames)
        for (size_t v = 0; v < vertexCount; ++v)
            hashes[v] = mix(mix(mix(hashes[v], coordinateBits(frame[3 * v])), coordinateBits(frame[3 * v + 1])),
                            coordinateBits(frame[3 * v + 2]));
    std::vector<Hashed> hashed;
    for (size_t v = 0; v < vertexCount; ++v)
        if (used[v]) hashed.push_back({hashes[v], uint32_t(v)});
    std::sort(hashed.begin(), hashed.end(), [](const Hashed& a, const Hashed& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.vertex < b.vertex;
    });

    // Each vertex's representative: the lowest-numbered vertex of its track.
    std::vector<uint32_t> representative(vertexCount, MD2_UNUSED_VERTEX);
    for (size_t start = 0; start < hashed.size();) {
        size_t end = start;
        while (end < hashed.size() && hashed[end].hash == hashed[start].hash) ++end;
        for (size_t i = start; i < end; ++i) {
            const uint32_t v = hashed[i].vertex;
            for (size_t j = start; j < i && representative[v] == MD2_UNUSED_VERTEX; ++j) {
                const uint32_t earlier = hashed[j].vertex;
                if (representative[earlier] == earlier && sameTrack(frames, earlier, v)) representative[v] = earlier;
            }
            if (representative[v] == MD2_UNUSED_VERTEX) representative[v] = v;
        }
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
