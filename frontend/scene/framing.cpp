#include "frontend/scene/framing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "viewer/config.h"

namespace frontend {

namespace {

constexpr float kFill = 0.9f;  // the part of the window the model takes
constexpr float kPi = 3.14159265358979f;

struct Vec {
    float x, y, z;
};

Vec turn(const Vec& p, float rotX, float rotY) {
    const float in[3] = {p.x, p.y, p.z};
    float out[3];
    viewTurn(in, rotX, rotY, out);
    return {out[0], out[1], out[2]};
}

// The view that turns the points about the centre of their box (the
// model's own centre), places that centre on the eye's axis and fits every
// point into the window, or puts the eye at distance from that centre.
ViewPlacement framePoints(const std::vector<Vec>& points, float rotX, float rotY, float aspect, float distance) {
    if (points.empty()) return {};
    Vec low = points.front(), high = points.front();
    for (const Vec& p : points) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    const Vec centre = turn({(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2}, rotX, rotY);
    const float tanVertical = std::tan(float(VIEW_FIELD_OF_VIEW) / 2 * kPi / 180) * kFill;
    const float tanHorizontal = tanVertical * (aspect > 0 ? aspect : 1);

    // The eye at distance d from the centre sees a point at turned offset
    // (x, y, z) inside the window when |y| <= (d - z) tan(fov/2), and
    // likewise for x with the aspect ratio; the nearest point must stay
    // beyond the near plane.
    float needed = 0, nearest = 0;
    for (const Vec& p : points) {
        const Vec t = turn(p, rotX, rotY);
        const Vec q{t.x - centre.x, t.y - centre.y, t.z - centre.z};
        needed = std::max({needed, q.z + std::fabs(q.y) / tanVertical, q.z + std::fabs(q.x) / tanHorizontal});
        nearest = std::max(nearest, q.z);
    }
    float d = distance > 0 ? distance : std::max(needed, nearest + 2 * float(VIEW_NEAR_PLANE));
    return {centre.x, centre.y, centre.z + d};
}

}  // namespace

ViewPlacement frameFrames(const Model& model, int first, int last, float rotX, float rotY, float aspect,
                          float distance) {
    std::vector<Vec> points;
    if (model.frames && model.numVertices > 0 && model.numFrames > 0) {
        first = std::clamp(first, 0, model.numFrames - 1);
        last = std::clamp(last, first, model.numFrames - 1);
        for (int f = first; f <= last; ++f) {
            const ModelVertex* v = model.frames[f].vertices;
            if (!v) continue;
            for (int i = 0; i < model.numVertices; ++i)
                if (std::isfinite(v[i].x) && std::isfinite(v[i].y) && std::isfinite(v[i].z))
                    points.push_back({v[i].x, v[i].y, v[i].z});
        }
    }
    if (points.empty()) points.push_back({0, 0, 0});
    return framePoints(points, rotX, rotY, aspect, distance);
}

}  // namespace frontend
