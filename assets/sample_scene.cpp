#include "assets/sample_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>

#include "model/model.h"

namespace {

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out.flush());
}

constexpr float kPi = 3.14159265358979f;

using Vec3 = std::array<float, 3>;
using Rgb = std::array<float, 3>;  // 0..1

Vec3 sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

float smoothstep(float edge0, float edge1, float x) {
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}
Rgb mix(const Rgb& a, const Rgb& b, float t) {
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}
Rgb scale(const Rgb& c, float k) { return {c[0] * k, c[1] * k, c[2] * k}; }

// The table entry closest in direction to n (file axes, like the table).
uint8_t nearestNormal(const Vec3& n) {
    int best = 0;
    float bestDot = -2;
    for (int i = 0; i < MODEL_NUM_NORMALS; ++i) {
        float d = n[0] * modelNormals[i][0] + n[1] * modelNormals[i][1] + n[2] * modelNormals[i][2];
        if (d > bestDot) {
            bestDot = d;
            best = i;
        }
    }
    return uint8_t(best);
}

// A closed surface sampled on a grid of rings (along the body) by segments
// (around it): ring i, segment j. The grid wraps around, not along.
struct GridSurface {
    int rings = 0;
    int segments = 0;
    std::vector<Vec3> points;  // rings x segments
    const Vec3& at(int i, int j) const { return points[size_t(i * segments + (j + segments) % segments)]; }
};

// Outward normals by central differences on the grid; the caller says which
// way is out by giving a point inside.
std::vector<uint8_t> gridNormals(const GridSurface& g, const std::vector<Vec3>& ringCentres) {
    std::vector<uint8_t> normals;
    for (int i = 0; i < g.rings; ++i) {
        for (int j = 0; j < g.segments; ++j) {
            Vec3 along = sub(g.at(std::min(i + 1, g.rings - 1), j), g.at(std::max(i - 1, 0), j));
            Vec3 around = sub(g.at(i, j + 1), g.at(i, j - 1));
            Vec3 n = cross(along, around);
            Vec3 out = sub(g.at(i, j), ringCentres[size_t(i)]);
            if (dot(n, out) < 0) n = {-n[0], -n[1], -n[2]};
            float length = std::sqrt(dot(n, n));
            if (length < 1e-6f) n = out, length = std::sqrt(dot(out, out));
            if (length < 1e-6f) n = {1, 0, 0}, length = 1;
            normals.push_back(nearestNormal({n[0] / length, n[1] / length, n[2] / length}));
        }
    }
    return normals;
}

// Triangles, texture coordinates and one strip per band between two rings,
// wound the way the format's models are (clockwise seen from outside, so the
// viewer's front-face culling keeps the outside). Texture s runs along the
// rings, t around; the seam repeats a column of texture coordinates.
void gridTopology(Md2Model& model, int rings, int segments, int vertexBase) {
    const int texBase = int(model.texCoords.size());
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j <= segments; ++j)
            model.texCoords.push_back({int16_t(std::lround(float(i) / (rings - 1) * (model.skinWidth - 1))),
                                       int16_t(std::lround(float(j) / segments * (model.skinHeight - 1)))});
    auto vertex = [&](int i, int j) { return vertexBase + i * segments + j % segments; };
    auto tex = [&](int i, int j) { return texBase + i * (segments + 1) + j; };

    for (int i = 0; i + 1 < rings; ++i) {
        // Strip order: the far ring first, so the first triangle faces inward
        // by the right-hand rule, as in the format's own models.
        std::vector<std::pair<int, int>> order;
        for (int j = 0; j <= segments; ++j) {
            order.push_back({i + 1, j});
            order.push_back({i, j});
        }
        std::vector<Md2CommandEntry> strip;
        for (const auto& [ri, sj] : order) {
            const Md2TexCoord& c = model.texCoords[size_t(tex(ri, sj))];
            strip.push_back({float(c.s) / model.skinWidth, float(c.t) / model.skinHeight, vertex(ri, sj)});
        }
        appendStrip(model.commands, strip);
        // The same triangles as the strip makes them (odd ones flipped back).
        for (size_t k = 0; k + 2 < order.size(); ++k) {
            auto a = order[k], b = order[k + 1], c = order[k + 2];
            if (k % 2 == 1) std::swap(a, b);
            model.triangles.push_back(
                {{int16_t(vertex(a.first, a.second)), int16_t(vertex(b.first, b.second)),
                  int16_t(vertex(c.first, c.second))},
                 {int16_t(tex(a.first, a.second)), int16_t(tex(b.first, b.second)), int16_t(tex(c.first, c.second))}});
        }
    }
}

Md2Frame frameFromPoints(const std::string& name, const std::vector<Vec3>& points,
                         const std::vector<uint8_t>& normals) {
    Md2Frame frame = md2FrameFromPositions(name, points, 0);
    for (size_t k = 0; k < frame.vertices.size(); ++k) frame.vertices[k].normalIndex = normals[k];
    return frame;
}

// --- the fish ---------------------------------------------------------------

constexpr int kFishRings = 40;
constexpr int kFishSegments = 20;
constexpr float kFishLength = 64;
constexpr float kFishTailStart = 0.78f;  // where the body ends and the tail fin begins, along u
constexpr float kFishDepth = -16;        // below the water plane, which lies at height 0

// Half height and half width of the body's cross-section at u (0 nose, 1 tail tip).
void fishSection(float u, float& halfHeight, float& halfWidth) {
    if (u <= kFishTailStart) {
        float s = u / kFishTailStart;
        // Blunt nose, deepest a third of the way back, narrow before the tail.
        float p = std::pow(s, 0.45f) * std::pow(1 - s, 0.9f) / 0.423f;
        // Never thinner than a tenth before the tail, but closed at the nose.
        p = 0.9f * p + 0.1f * smoothstep(0.0f, 0.08f, s);
        halfHeight = 11 * p;
        halfWidth = 6 * p;
    } else {
        float q = (u - kFishTailStart) / (1 - kFishTailStart);
        halfHeight = 1.1f + 13 * std::pow(q, 0.8f);
        // Thin, but thicker than one step of the 8-bit positions, so the two
        // faces of the fin never swap places; the last ring closes it.
        halfWidth = q < 1 ? 0.5f : 0;
    }
}

std::vector<Vec3> fishPoints(float phase, std::vector<Vec3>& ringCentres) {
    std::vector<Vec3> points;
    ringCentres.clear();
    for (int i = 0; i < kFishRings; ++i) {
        float u = float(i) / (kFishRings - 1);
        float halfHeight, halfWidth;
        fishSection(u, halfHeight, halfWidth);
        float x = kFishLength * (0.5f - u);
        // A travelling wave that grows toward the tail; the head sways a little against it.
        float amplitude = 0.8f + 10 * u * u;
        float sway = amplitude * std::sin(2 * kPi * (phase - 0.9f * u));
        float tail = std::max(0.0f, (u - kFishTailStart) / (1 - kFishTailStart));
        ringCentres.push_back({x, sway, kFishDepth});
        for (int j = 0; j < kFishSegments; ++j) {
            float v = 2 * kPi * j / kFishSegments;
            // The tail fin forks: its top and bottom reach further back.
            float fork = -7 * tail * std::pow(std::fabs(std::sin(v)), 3.0f);
            points.push_back({x + fork, sway + halfWidth * std::cos(v), kFishDepth + halfHeight * std::sin(v)});
        }
    }
    return points;
}

// --- the bubbles --------------------------------------------------------------

constexpr int kBubbles = 4;
constexpr int kBubbleRings = 8;
constexpr int kBubbleSegments = 10;

std::vector<Vec3> bubblePoints(int frame, std::vector<Vec3>& ringCentres) {
    std::vector<Vec3> points;
    ringCentres.clear();
    for (int b = 0; b < kBubbles; ++b) {
        float t = std::fmod(float(frame) / kSampleFrames + float(b) / kBubbles, 1.0f);
        // Born at the mouth, rising and swelling, gone at the surface: no
        // jump shows when a bubble starts over.
        float radius = 2.2f * std::sin(kPi * t) * (0.6f + 0.4f * t);
        float mouth = kFishDepth + 2;
        Vec3 centre = {kFishLength * 0.5f + 3 + 5 * t, 2.0f * std::sin(2 * kPi * (2 * t + 0.3f * b)),
                       mouth - mouth * t};
        for (int i = 0; i < kBubbleRings; ++i) {
            // Rings from pole to pole; the first and last shrink to a point and close the sphere.
            float polar = kPi * i / (kBubbleRings - 1);
            ringCentres.push_back(centre);
            for (int j = 0; j < kBubbleSegments; ++j) {
                float azimuth = 2 * kPi * j / kBubbleSegments;
                points.push_back({centre[0] + radius * std::sin(polar) * std::cos(azimuth),
                                  centre[1] + radius * std::sin(polar) * std::sin(azimuth),
                                  centre[2] + radius * std::cos(polar)});
            }
        }
    }
    return points;
}

// --- pictures -------------------------------------------------------------------

// A 256-colour palette for an RGB picture by a few rounds of k-means, then
// every pixel mapped to its nearest entry: smooth gradients stay smooth.
// Pixels are matched to entries through a cache of 64 x 64 x 64 colour
// cells, so each round costs the cells in use, not every pixel, times 256.
IndexedPicture quantize(int width, int height, const std::vector<Rgb>& pixels) {
    auto channel = [](float v) { return int(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
    auto cellOf = [&](const Rgb& p) {
        return (channel(p[0]) >> 2) << 12 | (channel(p[1]) >> 2) << 6 | channel(p[2]) >> 2;
    };
    // Start from colours spread evenly over the picture's brightness range.
    std::vector<Rgb> byBrightness = pixels;
    std::sort(byBrightness.begin(), byBrightness.end(),
              [](const Rgb& a, const Rgb& b) { return a[0] + a[1] + a[2] < b[0] + b[1] + b[2]; });
    std::vector<Rgb> centres(256);
    for (size_t k = 0; k < 256; ++k) centres[k] = byBrightness[(2 * k + 1) * byBrightness.size() / 512];
    std::vector<int> nearestOfCell;
    auto nearest = [&](const Rgb& p) {
        int& cached = nearestOfCell[size_t(cellOf(p))];
        if (cached < 0) {
            float bestDistance = 1e9f;
            for (int k = 0; k < 256; ++k) {
                const Rgb& c = centres[size_t(k)];
                float d = (p[0] - c[0]) * (p[0] - c[0]) + (p[1] - c[1]) * (p[1] - c[1]) + (p[2] - c[2]) * (p[2] - c[2]);
                if (d < bestDistance) bestDistance = d, cached = k;
            }
        }
        return cached;
    };
    for (int round = 0; round < 12; ++round) {
        nearestOfCell.assign(size_t(1) << 18, -1);
        std::vector<std::array<double, 4>> sums(256, {0, 0, 0, 0});
        for (const Rgb& p : pixels) {
            auto& sum = sums[size_t(nearest(p))];
            for (int c = 0; c < 3; ++c) sum[size_t(c)] += p[size_t(c)];
            sum[3] += 1;
        }
        for (size_t k = 0; k < 256; ++k)
            if (sums[k][3] > 0)
                for (size_t c = 0; c < 3; ++c) centres[k][c] = float(sums[k][c] / sums[k][3]);
    }
    nearestOfCell.assign(size_t(1) << 18, -1);
    IndexedPicture picture;
    picture.width = width;
    picture.height = height;
    for (const Rgb& p : pixels) picture.indices.push_back(uint8_t(nearest(p)));
    for (const Rgb& c : centres)
        for (float v : c) picture.palette.push_back(uint8_t(channel(v)));
    return picture;
}

// Cheap smooth noise for texture detail (value noise on a lattice).
float hashNoise(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float(h & 0xFFFF) / 65535.0f;
}
float smoothNoise(float x, float y) {
    int xi = int(std::floor(x)), yi = int(std::floor(y));
    float fx = x - xi, fy = y - yi;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    float a = hashNoise(xi, yi), b = hashNoise(xi + 1, yi), c = hashNoise(xi, yi + 1), d = hashNoise(xi + 1, yi + 1);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

}  // namespace

Md2Model sampleFishModel() {
    Md2Model model;
    model.skinWidth = 256;
    model.skinHeight = 128;
    model.skins = {"fish.pcx"};
    gridTopology(model, kFishRings, kFishSegments, 0);
    model.commands.push_back(0);
    for (int f = 0; f < kSampleFrames; ++f) {
        std::vector<Vec3> centres;
        GridSurface g{kFishRings, kFishSegments, fishPoints(float(f) / kSampleFrames, centres)};
        model.frames.push_back(frameFromPoints("swim" + std::to_string(f + 1), g.points, gridNormals(g, centres)));
    }
    return model;
}

Md2Model sampleBubblesModel() {
    Md2Model model;
    model.skinWidth = 64;
    model.skinHeight = 64;
    model.skins = {"bubbles.tga"};
    const int perBubble = kBubbleRings * kBubbleSegments;
    for (int b = 0; b < kBubbles; ++b) gridTopology(model, kBubbleRings, kBubbleSegments, b * perBubble);
    model.commands.push_back(0);
    for (int f = 0; f < kSampleFrames; ++f) {
        std::vector<Vec3> centres;
        std::vector<Vec3> points = bubblePoints(f, centres);
        std::vector<uint8_t> normals;
        for (int b = 0; b < kBubbles; ++b) {
            GridSurface g{kBubbleRings, kBubbleSegments,
                          std::vector<Vec3>(points.begin() + b * perBubble, points.begin() + (b + 1) * perBubble)};
            std::vector<Vec3> ringCentres(centres.begin() + b * kBubbleRings, centres.begin() + (b + 1) * kBubbleRings);
            std::vector<uint8_t> n = gridNormals(g, ringCentres);
            normals.insert(normals.end(), n.begin(), n.end());
        }
        model.frames.push_back(frameFromPoints("rise" + std::to_string(f + 1), points, normals));
    }
    return model;
}

IndexedPicture sampleFishSkin() {
    const int width = 256, height = 128;
    const Rgb back = {0.05f, 0.30f, 0.42f}, flank = {0.72f, 0.80f, 0.82f}, belly = {0.96f, 0.92f, 0.78f};
    const Rgb stripe = {0.98f, 0.52f, 0.12f}, fin = {0.95f, 0.40f, 0.10f}, eyeRing = {0.98f, 0.85f, 0.25f};
    std::vector<Rgb> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float u = (x + 0.5f) / width;             // along the body, nose at 0
            float v = 2 * kPi * (y + 0.5f) / height;  // around it: 0 one flank, pi/2 the back
            float up = std::sin(v);
            Rgb c = mix(flank, back, smoothstep(0.15f, 0.75f, up));
            c = mix(c, belly, smoothstep(-0.2f, -0.7f, up));
            // An orange band along each flank, fading out before the tail.
            float band = smoothstep(0.22f, 0.08f, std::fabs(up - 0.05f)) * smoothstep(kFishTailStart, 0.6f, u) *
                         smoothstep(0.12f, 0.22f, u);
            c = mix(c, stripe, band * 0.85f);
            // Scales: rows of soft crescents, darker at their rims.
            float su = u * 70, sv = v * 9;
            float row = std::floor(sv);
            float cell = su + (int(row) % 2) * 0.5f;
            float fu = cell - std::floor(cell) - 0.5f, fv = sv - row - 0.5f;
            float rim = smoothstep(0.25f, 0.45f, std::sqrt(fu * fu + fv * fv));
            if (u > 0.2f && u < kFishTailStart) c = scale(c, 1.0f - 0.18f * rim);
            // Gill arc behind the head.
            float gill = std::fabs(u - (0.2f + 0.02f * std::cos(v)));
            if (std::fabs(up) < 0.8f) c = scale(c, 1.0f - 0.5f * smoothstep(0.012f, 0.0f, gill));
            // Tail fin: orange with dark rays.
            if (u > kFishTailStart) {
                float rays = 0.5f + 0.5f * std::sin(v * 16);
                c = mix(c, scale(fin, 0.75f + 0.25f * rays), smoothstep(kFishTailStart, kFishTailStart + 0.04f, u));
            }
            // Eyes on both flanks, a little above the middle line.
            for (float eyeV : {0.35f, kPi - 0.35f}) {
                float du = (u - 0.085f) * 5.0f, dv = (v - eyeV) / (2 * kPi) * 2.2f;
                float r = std::sqrt(du * du + dv * dv) * 10;
                if (r < 1.0f) c = r < 0.55f ? (r < 0.2f ? Rgb{0.9f, 0.9f, 0.9f} : Rgb{0.02f, 0.02f, 0.03f}) : eyeRing;
            }
            float grain = 0.94f + 0.06f * smoothNoise(x * 0.25f, y * 0.25f);
            pixels.push_back(scale(c, grain));
        }
    }
    return quantize(width, height, pixels);
}

std::vector<uint8_t> sampleBubbleSkinRgb(int& width, int& height) {
    width = height = 64;
    std::vector<uint8_t> rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // s around the bubble, t from top to bottom: a bright cap and a
            // glint on one side, clear blue-green elsewhere.
            float t = (y + 0.5f) / height, s = (x + 0.5f) / width;
            Rgb c = mix({0.85f, 0.97f, 1.0f}, {0.35f, 0.70f, 0.85f}, smoothstep(0.0f, 0.8f, t));
            float glint = smoothstep(0.18f, 0.0f, std::hypot(s - 0.3f, t - 0.3f));
            c = mix(c, {1, 1, 1}, glint);
            for (float channel : c) rgb.push_back(uint8_t(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255)));
        }
    }
    return rgb;
}

IndexedPicture sampleBackground() {
    const int width = 256, height = 256;
    std::vector<Rgb> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float u = (x + 0.5f) / width, v = (y + 0.5f) / height;  // v = 0 at the top
            Rgb c = mix({0.10f, 0.42f, 0.58f}, {0.01f, 0.06f, 0.16f}, std::pow(v, 0.8f));
            // Shafts of light slanting down from the surface.
            float shafts = std::pow(0.5f + 0.5f * std::sin((u + 0.35f * v) * 23 + 2 * std::sin(u * 7)), 6.0f);
            c = mix(c, {0.55f, 0.80f, 0.85f}, shafts * 0.35f * (1 - v) * (1 - v));
            // Sandy floor.
            float floor = smoothstep(0.82f, 0.9f, v + 0.02f * std::sin(u * 19));
            c = mix(c, scale({0.45f, 0.40f, 0.28f}, 0.6f + 0.4f * smoothNoise(x * 0.15f, y * 0.6f)), floor * 0.8f);
            // Drifting specks.
            if (hashNoise(x, y) > 0.996f) c = mix(c, {0.8f, 0.9f, 0.9f}, 0.5f);
            pixels.push_back(c);
        }
    }
    return quantize(width, height, pixels);
}

IndexedPicture sampleWater() {
    const int width = 128, height = 128;
    std::vector<Rgb> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float u = 2 * kPi * x / width, v = 2 * kPi * y / height;
            // Caustic net: bright where two wave patterns cross their crests. Periodic, so it tiles.
            float w1 = std::sin(3 * u + 2 * std::sin(2 * v)), w2 = std::sin(4 * v + 2 * std::sin(3 * u + v));
            float net = std::pow(1 - std::fabs(w1 + w2) * 0.5f, 5.0f);
            Rgb c = mix({0.05f, 0.35f, 0.60f}, {0.75f, 0.95f, 1.0f}, net);
            pixels.push_back(c);
        }
    }
    return quantize(width, height, pixels);
}

ViewerConfig sampleSceneConfig(const std::string&) {
    ViewerConfig c;
    c.windowWidth = 800;
    c.windowHeight = 600;
    setConfigPath(c, PATH_MAIN_MODEL, "fish.md2");
    setConfigPath(c, PATH_MAIN_SKIN, "fish.pcx");
    setConfigPath(c, PATH_ATTACH_MODEL, "bubbles.md2");
    setConfigPath(c, PATH_ATTACH_SKIN, "bubbles.tga");
    setConfigPath(c, PATH_BACKGROUND, "background.pcx");
    setConfigPath(c, PATH_WATER, "water.pcx");
    // A little from above and ahead, looking down through the water at the fish.
    c.rotX = 16;
    c.rotY = -32;
    c.transX = 0;
    c.transY = -12;
    c.transZ = 82;
    c.renderMode = 3;
    c.frameFraction = 0;
    c.currentFrame = 0;
    c.nextFrame = 1;
    c.startFrame = 0;
    c.endFrame = kSampleFrames - 1;
    c.msPerFrame = 70;
    const float background[3] = {0.02f, 0.10f, 0.20f}, model[3] = {0.95f, 0.62f, 0.30f};
    const float wire[3] = {0.45f, 0.95f, 0.85f}, light[3] = {1.0f, 0.97f, 0.92f};
    std::memcpy(c.backgroundColor, background, sizeof background);
    std::memcpy(c.modelColor, model, sizeof model);
    std::memcpy(c.wireColor, wire, sizeof wire);
    std::memcpy(c.lightColor, light, sizeof light);
    c.brightness = 10;
    c.flags = 0x1E | 0x40 | 0x01;  // the defaults plus the background picture and the water
    c.textureLimit = 256;
    return c;
}

bool writeSampleScene(const std::string& dir) {
    const std::string d = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    int bubbleWidth = 0, bubbleHeight = 0;
    std::vector<uint8_t> bubbleSkin = sampleBubbleSkinRgb(bubbleWidth, bubbleHeight);
    return writeFile(d + "fish.md2", md2Bytes(sampleFishModel())) &&
           writeFile(d + "bubbles.md2", md2Bytes(sampleBubblesModel())) &&
           writeFile(d + "fish.pcx", encodePcx(sampleFishSkin())) &&
           writeFile(d + "bubbles.tga", encodeTga(bubbleWidth, bubbleHeight, bubbleSkin)) &&
           writeFile(d + "background.pcx", encodePcx(sampleBackground())) &&
           writeFile(d + "water.pcx", encodePcx(sampleWater())) &&
           writeConfig(d + "ombrel.cfg", sampleSceneConfig(dir));
}
