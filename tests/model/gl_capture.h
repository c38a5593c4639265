// An offscreen GL context for tests, and a capture of what a drawing call
// hands to GL, read back through GL's feedback mode.
#pragma once

#include <array>
#include <functional>
#include <vector>

// Creates a hidden window with a GL context on SDL's offscreen driver (no
// display needed) and makes it current; releases both when it goes.
class GlContext {
public:
    GlContext();
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;
    bool ok() const { return context_ != nullptr; }

private:
    void* window_ = nullptr;
    void* context_ = nullptr;
};

// One vertex as GL received it: position in object space, texture
// coordinate, and normal (as sent, not renormalised).
struct FedVertex {
    float x, y, z;
    float s, t;
    float nx, ny, nz;
};
using FedTriangle = std::array<FedVertex, 3>;

struct Capture {
    std::vector<FedTriangle> triangles;
    bool ok = false;  // false on feedback overflow, a clipped triangle or a GL error
};

// Runs draw twice in feedback mode, with an orthographic view of the cube
// -range..range on every axis, and returns the triangles GL assembled: the
// first pass gives positions and texture coordinates, the second the normals
// (generated as texture coordinates by GL's normal-map texture generation).
Capture captureTriangles(const std::function<void()>& draw, float range);

// A triangle's corner positions sorted, so that triangles compare by the
// place they cover whatever the corner order.
using TrianglePositions = std::array<std::array<float, 3>, 3>;
TrianglePositions positionsOf(const FedTriangle& triangle);
std::vector<TrianglePositions> sortedPositions(const std::vector<FedTriangle>& triangles);
