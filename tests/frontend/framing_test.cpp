// Where the eye goes so that a model fills the window, judged by projecting
// its points as the viewer does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "frontend/scene/framing.h"
#include "model/model.h"

namespace {

TEST(Framing, TheModelFillsTheWindowWithAMargin) {
    // A frame of the eight corners of a box.
    const ModelBounds box{-10, 30, 0, 100, -5, 5};
    ModelVertex corners[8] = {};
    for (int corner = 0; corner < 8; ++corner)
        corners[corner] = {corner & 1 ? box.maxX : box.minX, corner & 2 ? box.maxY : box.minY,
                           corner & 4 ? box.maxZ : box.minZ, 0, 0, 1};
    ModelFrame frame = {"box", corners};
    Model model = {};
    model.numFrames = 1;
    model.numVertices = 8;
    model.frames = &frame;
    for (float aspect : {4.0f / 3, 0.5f})
        for (float rotY : {0.0f, -90.0f, 33.0f}) {
            frontend::ViewPlacement v = frontend::frameFrames(model, 0, 0, 20, rotY, aspect);
            // Project every corner as the viewer would (65 degrees vertical).
            const float t = std::tan(32.5f * 3.14159265f / 180);
            float widest = 0;
            for (int corner = 0; corner < 8; ++corner) {
                float px = corner & 1 ? box.maxX : box.minX, py = corner & 2 ? box.maxY : box.minY,
                      pz = corner & 4 ? box.maxZ : box.minZ;
                float a = rotY * 3.14159265f / 180, b = 20 * 3.14159265f / 180;
                float x1 = px * std::cos(a) + pz * std::sin(a), z1 = -px * std::sin(a) + pz * std::cos(a);
                float y2 = py * std::cos(b) - z1 * std::sin(b), z2 = py * std::sin(b) + z1 * std::cos(b);
                float ex = x1 - v.transX, ey = y2 - v.transY, ez = z2 - v.transZ;
                ASSERT_LT(ez, -1.0f);
                float nx = ex / (-ez * t * aspect), ny = ey / (-ez * t);
                ASSERT_LE(std::fabs(nx), 1.0f);
                ASSERT_LE(std::fabs(ny), 1.0f);
                widest = std::max({widest, std::fabs(nx), std::fabs(ny)});
            }
            EXPECT_GT(widest, 0.8f) << "aspect " << aspect << ", rotY " << rotY;  // filled, not lost in the middle
        }
}

}  // namespace
