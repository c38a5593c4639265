// One grid per animation, axis by axis.
//
// A frame's packed coordinate decodes to packed x scale + translate. Give
// every frame of an animation the same scale (the step) and put each
// frame's translate a whole number of steps from one base point, and all
// the frames' points lie on one grid: base + n x step for whole n. Each
// position is rounded to its nearest grid point n = round((p - base) /
// step), and a frame's translate is its lowest n, so its packed bytes are n
// minus that. A vertex that stays where it is gets the same n in every
// frame, so it decodes to the same place in every frame (to within the
// float rounding of the translate, far below a thousandth of a step), and
// its error is at most half a step, as with a box of its own.
//
// The step must be large enough for every frame's n to span at most 255:
// it starts at the widest frame's extent / 255, with the base at that
// frame's low end so the widest frame fits exactly, and grows by steps of
// 1/2048 until every frame fits, which it must by extent / 254 (a frame's n
// then spans at most extent / step + 1 = 255). So the step is at most 0.4%
// larger than the tightest box of the widest frame would have.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "model/md2_steps.h"

namespace {

// std::floor, without its library call where the number fits an integer.
double roundDown(double x) {
    if (!(std::fabs(x) < 1e18)) return std::floor(x);
    const int64_t whole = int64_t(x);
    return double(whole - (double(whole) > x));
}

constexpr double kExactWholeNumbers = 1e15;  // below 2^53

// The number of the grid point nearest p.
double gridPoint(double p, double base, double perStep) { return roundDown((p - base) * perStep + 0.5); }

// One axis of frameCount frames (coordinates at stride 3 from
// positions[axis]), written at stride 3 into the outputs.
void packAxis(const double* positions, size_t frameCount, size_t vertexCount, int axis, float* scale,
              float* translate, uint8_t* packed) {
    const size_t frameStride = vertexCount * 3;
    std::vector<double> low(frameCount, 0), high(frameCount, 0);
    size_t widest = 0;
    for (size_t f = 0; f < frameCount; ++f) {
        const double* p = positions + f * frameStride + size_t(axis);
        double lo = p[0], hi = p[0];
        for (size_t v = 1; v < vertexCount; ++v) {
            lo = std::min(lo, p[3 * v]);
            hi = std::max(hi, p[3 * v]);
        }
        low[f] = lo;
        high[f] = hi;
        if (hi - lo > high[widest] - low[widest]) widest = f;
    }
    const double extent = high[widest] - low[widest];
    float step = float(extent / 255.0);

    // Flat on this axis in every frame: each frame's translate is its plane.
    if (!(step >= FLT_MIN)) {
        for (size_t f = 0; f < frameCount; ++f) {
            scale[3 * f] = 1.0f;
            translate[3 * f] = float(low[f]);
            for (size_t v = 0; v < vertexCount; ++v) packed[(f * vertexCount + v) * 3] = 0;
        }
        return;
    }

    // Rounding keeps order, so a frame's lowest and highest grid points are
    // those of its lowest and highest coordinates.
    // Frames so far apart that their grid points pass what a double counts
    // exactly can share no grid: each gets its own.
    const double base = low[widest];
    if (frameCount > 1) {
        double farthest = 0;
        for (size_t f = 0; f < frameCount; ++f)
            farthest = std::max({farthest, std::fabs(low[f] - base), std::fabs(high[f] - base)});
        if (farthest / (extent / 256.0) > kExactWholeNumbers) {
            for (size_t f = 0; f < frameCount; ++f)
                packAxis(positions + f * frameStride, 1, vertexCount, axis, scale + 3 * f, translate + 3 * f,
                         packed + f * frameStride);
            return;
        }
    }
    for (;;) {
        const double perStep = 1.0 / double(step);
        bool fits = true;
        for (size_t f = 0; f < frameCount && fits; ++f)
            fits = gridPoint(high[f], base, perStep) - gridPoint(low[f], base, perStep) <= 255;
        if (fits) break;
        const float wider = float(double(step) * (1.0 + 1.0 / 2048));
        step = wider > step ? wider : std::nextafter(step, FLT_MAX);
    }

    const double perStep = 1.0 / double(step);
    for (size_t f = 0; f < frameCount; ++f) {
        const double first = gridPoint(low[f], base, perStep);
        scale[3 * f] = step;
        translate[3 * f] = float(base + first * double(step));
        const double* p = positions + f * frameStride + size_t(axis);
        uint8_t* out = packed + f * frameStride;
        // The steps chosen hold every point in 0..255; the clamp only keeps
        // the conversion defined whatever the rounding.
        for (size_t v = 0; v < vertexCount; ++v)
            out[3 * v] = uint8_t(std::clamp(gridPoint(p[3 * v], base, perStep) - first, 0.0, 255.0));
    }
}

}  // namespace

PackedFrames packOnGrid(const double* positions, size_t frameCount, size_t vertexCount, bool boxPerFrame) {
    PackedFrames out;
    out.scale.assign(frameCount * 3, 1.0f);
    out.translate.assign(frameCount * 3, 0.0f);
    out.packed.assign(frameCount * vertexCount * 3, 0);
    if (vertexCount == 0) return out;
    const size_t groups = boxPerFrame ? frameCount : (frameCount > 0 ? 1 : 0);
    const size_t framesPerGroup = boxPerFrame ? 1 : frameCount;
    for (size_t g = 0; g < groups; ++g) {
        const size_t f = g * framesPerGroup;
        for (int axis = 0; axis < 3; ++axis)
            packAxis(positions + f * vertexCount * 3, framesPerGroup, vertexCount, axis, &out.scale[3 * f + size_t(axis)],
                     &out.translate[3 * f + size_t(axis)], &out.packed[f * vertexCount * 3 + size_t(axis)]);
    }
    return out;
}
