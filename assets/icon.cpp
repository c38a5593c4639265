#include "assets/icon.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace assets {

namespace {

struct Colour {
    double r, g, b, a;
};

struct Point {
    double x, y;
};

// The drawing in unit coordinates: (0, 0) top left, (1, 1) bottom right.
constexpr double kCornerRadius = 0.2;
constexpr Colour kTileTop{0.20, 0.52, 0.82, 1};
constexpr Colour kTileBottom{0.04, 0.17, 0.38, 1};
constexpr Point kTop{0.50, 0.16}, kRight{0.80, 0.50}, kBottom{0.50, 0.84}, kLeft{0.20, 0.50};
constexpr Point kNear{0.56, 0.56};  // the vertex nearest the viewer, off centre for depth
struct Face {
    Point a, b;
    Colour colour;  // lit from the top left
};
constexpr Face kFaces[] = {
    {kLeft, kTop, {1.00, 0.85, 0.45, 1}},
    {kTop, kRight, {1.00, 0.66, 0.25, 1}},
    {kRight, kBottom, {0.80, 0.40, 0.10, 1}},
    {kBottom, kLeft, {0.62, 0.28, 0.06, 1}},
};
constexpr Colour kWire{1, 1, 1, 1};

bool insideTile(Point p) {
    // A rounded square: distance from the inner square of the corners' centres.
    double dx = std::max(std::abs(p.x - 0.5) - (0.5 - kCornerRadius), 0.0);
    double dy = std::max(std::abs(p.y - 0.5) - (0.5 - kCornerRadius), 0.0);
    return dx * dx + dy * dy <= kCornerRadius * kCornerRadius;
}

double cross(Point o, Point a, Point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

bool insideTriangle(Point p, Point a, Point b, Point c) {
    double d1 = cross(a, b, p), d2 = cross(b, c, p), d3 = cross(c, a, p);
    bool negative = d1 < 0 || d2 < 0 || d3<0, positive = d1> 0 || d2 > 0 || d3 > 0;
    return !(negative && positive);
}

double distanceToSegment(Point p, Point a, Point b) {
    double vx = b.x - a.x, vy = b.y - a.y;
    double t = std::clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    double dx = p.x - (a.x + t * vx), dy = p.y - (a.y + t * vy);
    return std::sqrt(dx * dx + dy * dy);
}

// The colour of the drawing at one point; wire lines are halfWidth wide on each side.
Colour sample(Point p, double halfWidth) {
    if (!insideTile(p)) return Colour{0, 0, 0, 0};
    double t = p.y;
    Colour c{kTileTop.r + (kTileBottom.r - kTileTop.r) * t, kTileTop.g + (kTileBottom.g - kTileTop.g) * t,
             kTileTop.b + (kTileBottom.b - kTileTop.b) * t, 1};
    for (const Face& f : kFaces) {
        if (insideTriangle(p, f.a, f.b, kNear)) c = f.colour;
    }
    for (const Face& f : kFaces) {
        if (distanceToSegment(p, f.a, f.b) <= halfWidth || distanceToSegment(p, f.a, kNear) <= halfWidth) c = kWire;
    }
    return c;
}

uint8_t toByte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

void put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(uint8_t(v & 0xFF));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

using Rgb = std::array<int, 3>;

int distance2(const Rgb& a, const Rgb& b) {
    int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return dr * dr + dg * dg + db * db;
}

int nearest(const std::vector<Rgb>& palette, const Rgb& c) {
    int best = 0;
    for (size_t i = 1; i < palette.size(); ++i) {
        if (distance2(palette[i], c) < distance2(palette[size_t(best)], c)) best = int(i);
    }
    return best;
}

// Sixteen colours for the opaque pixels: a fixed number of k-means rounds
// from colours spread over the pixels in order, so the result never varies.
std::vector<Rgb> paletteOf(const std::vector<Rgb>& pixels) {
    std::vector<Rgb> palette;
    if (pixels.empty()) return std::vector<Rgb>(16, Rgb{0, 0, 0});
    std::vector<Rgb> sorted = pixels;
    std::sort(sorted.begin(), sorted.end(),
              [](const Rgb& a, const Rgb& b) { return a[0] + a[1] + a[2] < b[0] + b[1] + b[2]; });
    for (int i = 0; i < 16; ++i) palette.push_back(sorted[(sorted.size() - 1) * size_t(i) / 15]);
    for (int round = 0; round < 12; ++round) {
        std::vector<std::array<long, 4>> sums(16, {0, 0, 0, 0});
        for (const Rgb& p : pixels) {
            auto& s = sums[size_t(nearest(palette, p))];
            s[0] += p[0], s[1] += p[1], s[2] += p[2], s[3] += 1;
        }
        for (size_t i = 0; i < 16; ++i) {
            if (sums[i][3])
                palette[i] =
                    Rgb{int(sums[i][0] / sums[i][3]), int(sums[i][1] / sums[i][3]), int(sums[i][2] / sums[i][3])};
        }
    }
    return palette;
}

}  // namespace

IconPicture drawIcon(int size) {
    IconPicture picture;
    if (size < 1 || size > 1024) return picture;
    picture.size = size;
    picture.rgba.resize(size_t(size) * size_t(size) * 4);
    // Lines keep at least a pixel's width when small; 4 x 4 samples a pixel
    // smooth the edges.
    double halfWidth = std::max(0.03, 0.5 / size);
    constexpr int kSamples = 4;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    Point p{(x + (sx + 0.5) / kSamples) / size, (y + (sy + 0.5) / kSamples) / size};
                    Colour c = sample(p, halfWidth);
                    r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
                }
            }
            uint8_t* out = &picture.rgba[(size_t(y) * size_t(size) + size_t(x)) * 4];
            double n = kSamples * kSamples;
            out[0] = a > 0 ? toByte(r / a) : 0;
            out[1] = a > 0 ? toByte(g / a) : 0;
            out[2] = a > 0 ? toByte(b / a) : 0;
            out[3] = toByte(a / n);
        }
    }
    return picture;
}

std::vector<uint8_t> icoFile16Colours(const IconPicture& picture) {
    const int n = picture.size;
    if (n < 1 || n > 256 || picture.rgba.size() != size_t(n) * size_t(n) * 4) return {};
    // Pixels at least half covered are drawn; the others show what is behind.
    std::vector<Rgb> opaque;
    for (size_t i = 0; i < picture.rgba.size(); i += 4) {
        if (picture.rgba[i + 3] >= 128)
            opaque.push_back(Rgb{picture.rgba[i], picture.rgba[i + 1], picture.rgba[i + 2]});
    }
    std::vector<Rgb> palette = paletteOf(opaque);

    const size_t colourRow = ((size_t(n) * 4 + 31) / 32) * 4;  // 4 bits a pixel, rows of whole 32-bit words
    const size_t maskRow = ((size_t(n) + 31) / 32) * 4;
    const size_t image = 40 + 16 * 4 + colourRow * size_t(n) + maskRow * size_t(n);
    std::vector<uint8_t> out;
    put16(out, 0), put16(out, 1), put16(out, 1);  // icon directory: one image
    out.push_back(uint8_t(n == 256 ? 0 : n));
    out.push_back(uint8_t(n == 256 ? 0 : n));
    out.push_back(16), out.push_back(0);  // colours, reserved
    put16(out, 1), put16(out, 4);         // planes, bits a pixel
    put32(out, uint32_t(image)), put32(out, 6 + 16);
    // BITMAPINFOHEADER: the height counts the colour image and the mask.
    put32(out, 40), put32(out, uint32_t(n)), put32(out, uint32_t(2 * n));
    put16(out, 1), put16(out, 4);
    put32(out, 0), put32(out, uint32_t(image - 40 - 64)), put32(out, 0), put32(out, 0), put32(out, 16), put32(out, 0);
    for (const Rgb& c : palette)
        out.push_back(uint8_t(c[2])), out.push_back(uint8_t(c[1])), out.push_back(uint8_t(c[0])), out.push_back(0);
    std::vector<uint8_t> colours(colourRow * size_t(n), 0), mask(maskRow * size_t(n), 0);
    for (int y = 0; y < n; ++y) {
        size_t row = size_t(n - 1 - y);  // bottom row first
        for (int x = 0; x < n; ++x) {
            const uint8_t* p = &picture.rgba[(size_t(y) * size_t(n) + size_t(x)) * 4];
            int index = 0;
            if (p[3] >= 128)
                index = nearest(palette, Rgb{p[0], p[1], p[2]});
            else
                mask[row * maskRow + size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
            colours[row * colourRow + size_t(x) / 2] |= uint8_t(x % 2 ? index : index << 4);
        }
    }
    out.insert(out.end(), colours.begin(), colours.end());
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

}  // namespace assets
