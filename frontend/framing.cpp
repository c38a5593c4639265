#include "frontend/framing.h"

#include <algorithm>
#include <cmath>

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

}  // namespace

ModelBounds boundsOfFrames(const Model& model, int first, int last) {
    ModelBounds box{0, 0, 0, 0, 0, 0};
    if (!model.frames || model.numVertices <= 0 || model.numFrames <= 0) return box;
    first = std::clamp(first, 0, model.numFrames - 1);
    last = std::clamp(last, first, model.numFrames - 1);
    bool any = false;
    for (int f = first; f <= last; ++f) {
        const ModelVertex* v = model.frames[f].vertices;
        if (!v) continue;
        for (int i = 0; i < model.numVertices; ++i) {
            if (!std::isfinite(v[i].x) || !std::isfinite(v[i].y) || !std::isfinite(v[i].z)) continue;
            if (!any) {
                box = {v[i].x, v[i].x, v[i].y, v[i].y, v[i].z, v[i].z};
                any = true;
            }
            box.minX = std::min(box.minX, v[i].x), box.maxX = std::max(box.maxX, v[i].x);
            box.minY = std::min(box.minY, v[i].y), box.maxY = std::max(box.maxY, v[i].y);
            box.minZ = std::min(box.minZ, v[i].z), box.maxZ = std::max(box.maxZ, v[i].z);
        }
    }
    return box;
}

ViewPlacement frameBox(const ModelBounds& box, float rotX, float rotY, float aspect, float distance) {
    const Vec centre{(box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2, (box.minZ + box.maxZ) / 2};
    const Vec turnedCentre = turn(centre, rotX, rotY);
    const float tanVertical = std::tan(float(VIEW_FIELD_OF_VIEW) / 2 * kPi / 180) * kFill;
    const float tanHorizontal = tanVertical * (aspect > 0 ? aspect : 1);

    // The eye at distance d from the centre sees a corner at turned offset
    // (x, y, z) inside the window when |y| <= (d - z) tan(fov/2), and
    // likewise for x with the aspect ratio; the nearest corner must stay
    // beyond the near plane.
    float needed = 0, nearest = 0;
    for (int corner = 0; corner < 8; ++corner) {
        Vec p{corner & 1 ? box.maxX : box.minX, corner & 2 ? box.maxY : box.minY, corner & 4 ? box.maxZ : box.minZ};
        Vec t = turn(p, rotX, rotY);
        Vec q{t.x - turnedCentre.x, t.y - turnedCentre.y, t.z - turnedCentre.z};
        needed = std::max({needed, q.z + std::fabs(q.y) / tanVertical, q.z + std::fabs(q.x) / tanHorizontal});
        nearest = std::max(nearest, q.z);
    }
    float d = distance > 0 ? distance : std::max(needed, nearest + 2 * float(VIEW_NEAR_PLANE));
    return {turnedCentre.x, turnedCentre.y, turnedCentre.z + d};
}

}  // namespace frontend
