#include "tests/writers/md2_shapes.h"

#include <cmath>

namespace testdata {

namespace {

constexpr float kPi = 3.14159265358979f;

}  // namespace

Md2Model md2PyramidModel() {
    Md2Model model;
    model.skinWidth = 64;
    model.skinHeight = 32;
    model.skins = {"models/pyramid/skin.pcx"};
    // Base corners 0..3 counter-clockwise seen from above, apex 4.
    model.texCoords = {{0, 0}, {63, 0}, {63, 31}, {0, 31}, {32, 16}};
    model.triangles = {
        {{4, 0, 1}, {4, 0, 1}}, {{4, 1, 2}, {4, 1, 2}}, {{4, 2, 3}, {4, 2, 3}},
        {{4, 3, 0}, {4, 3, 0}}, {{0, 3, 1}, {0, 3, 1}}, {{1, 3, 2}, {1, 3, 2}},
    };
    const std::vector<std::array<float, 3>> base = {{-8, -8, 0}, {8, -8, 0}, {8, 8, 0}, {-8, 8, 0}};
    for (int f = 0; f < 2; ++f) {
        std::vector<std::array<float, 3>> positions = base;
        positions.push_back({0, 0, f == 0 ? 12.0f : 20.0f});
        model.frames.push_back(md2FrameFromPositions(f == 0 ? "rise01" : "rise02", positions, 5));
    }
    auto entry = [&](int v) {
        const Md2TexCoord& c = model.texCoords[size_t(v)];
        return Md2CommandEntry{float(c.s) / model.skinWidth, float(c.t) / model.skinHeight, v};
    };
    appendFan(model.commands, {entry(4), entry(0), entry(1), entry(2), entry(3), entry(0)});
    appendStrip(model.commands, {entry(0), entry(3), entry(1), entry(2)});
    model.commands.push_back(0);
    return model;
}

Md2Model md2TorusModel(int numFrames, int ringSegments, int tubeSegments) {
    Md2Model model;
    model.skinWidth = 256;
    model.skinHeight = 256;
    model.skins = {"models/torus/skin.pcx"};
    auto vertexIndex = [&](int i, int j) { return (j % tubeSegments) * ringSegments + (i % ringSegments); };
    // Texture coordinates repeat the seam column and row so the skin wraps once.
    auto texCoordIndex = [&](int i, int j) { return j * (ringSegments + 1) + i; };
    for (int j = 0; j <= tubeSegments; ++j)
        for (int i = 0; i <= ringSegments; ++i)
            model.texCoords.push_back({int16_t(i * 255 / ringSegments), int16_t(j * 255 / tubeSegments)});

    for (int j = 0; j < tubeSegments; ++j) {
        std::vector<Md2CommandEntry> strip;
        for (int i = 0; i <= ringSegments; ++i) {
            for (int side = 0; side < 2; ++side) {
                const Md2TexCoord& c = model.texCoords[size_t(texCoordIndex(i, j + side))];
                strip.push_back(
                    {float(c.s) / model.skinWidth, float(c.t) / model.skinHeight, vertexIndex(i, j + side)});
            }
            if (i == ringSegments) break;
            // The two triangles the strip makes between columns i and i + 1, in its own order.
            model.triangles.push_back(
                {{int16_t(vertexIndex(i, j)), int16_t(vertexIndex(i, j + 1)), int16_t(vertexIndex(i + 1, j))},
                 {int16_t(texCoordIndex(i, j)), int16_t(texCoordIndex(i, j + 1)), int16_t(texCoordIndex(i + 1, j))}});
            model.triangles.push_back(
                {{int16_t(vertexIndex(i + 1, j)), int16_t(vertexIndex(i, j + 1)), int16_t(vertexIndex(i + 1, j + 1))},
                 {int16_t(texCoordIndex(i + 1, j)), int16_t(texCoordIndex(i, j + 1)),
                  int16_t(texCoordIndex(i + 1, j + 1))}});
        }
        appendStrip(model.commands, strip);
    }
    model.commands.push_back(0);

    for (int f = 0; f < numFrames; ++f) {
        const float phase = 2 * kPi * f / numFrames;
        const float ringRadius = 40.0f + 4.0f * std::sin(phase);
        const float tubeRadius = 12.0f + 2.0f * std::cos(phase);
        std::vector<std::array<float, 3>> positions;
        for (int j = 0; j < tubeSegments; ++j) {
            for (int i = 0; i < ringSegments; ++i) {
                const float u = 2 * kPi * i / ringSegments + 0.2f * std::sin(phase);
                const float v = 2 * kPi * j / tubeSegments;
                const float r = ringRadius + tubeRadius * std::cos(v);
                positions.push_back({r * std::cos(u), r * std::sin(u), tubeRadius * std::sin(v)});
            }
        }
        Md2Frame frame = md2FrameFromPositions("spin" + std::to_string(f), positions, 0);
        for (size_t k = 0; k < frame.vertices.size(); ++k)
            frame.vertices[k].normalIndex = uint8_t((k + size_t(f)) % 162);
        model.frames.push_back(frame);
    }
    return model;
}

}  // namespace testdata
