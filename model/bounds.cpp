// The box around a model's first key frame: what framing and ombrel info
// need of a model without drawing it, so it links no GL.
#include "model/draw.h"

namespace {

constexpr float kEmptyBoundsMin = 999999.0f;
constexpr float kEmptyBoundsMax = -999999.0f;

}  // namespace

void modelBounds(const Model* model, ModelBounds* bounds) {
    if (!bounds) return;
    *bounds = {kEmptyBoundsMin, kEmptyBoundsMax, kEmptyBoundsMin, kEmptyBoundsMax, kEmptyBoundsMin, kEmptyBoundsMax};
    if (!model || !model->frames || model->numFrames < 1 || model->numVertices <= 0) return;
    const ModelVertex* vertices = model->frames[0].vertices;
    for (int32_t k = 0; k < model->numVertices; ++k) {
        const ModelVertex& v = vertices[k];
        // Each coordinate is tested against both bounds, so a single vertex sets both.
        if (v.x < bounds->minX) bounds->minX = v.x;
        if (v.x > bounds->maxX) bounds->maxX = v.x;
        if (v.y < bounds->minY) bounds->minY = v.y;
        if (v.y > bounds->maxY) bounds->maxY = v.y;
        if (v.z < bounds->minZ) bounds->minZ = v.z;
        if (v.z > bounds->maxZ) bounds->maxZ = v.z;
    }
}
