// The steps of makeMd2 (model/md2_maker.h), one to a file: plain functions
// over plain arrays, holding nothing between calls. Internal to the maker;
// the tests call them one by one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- md2_weld.cpp

constexpr uint32_t MD2_UNUSED_VERTEX = 0xFFFFFFFFu;

// One number for each distinct track: vertices whose positions are equal in
// every frame (frames: frameCount arrays of vertexCount x 3 floats; -0 is
// 0) share it, whatever the first frame alone would say. Tracks are numbered in the
// order the corners (vertex indices) first use them; remap[v] is vertex v's
// number, or MD2_UNUSED_VERTEX for a vertex no corner uses. Returns how many
// numbers there are.
size_t weldTracks(const std::vector<const float*>& frames, size_t vertexCount, const uint32_t* corners,
                  size_t cornerCount, std::vector<uint32_t>& remap);

// ---- md2_grid.cpp

// One animation's frames packed into bytes. Every frame has the same step
// (scale) on each axis and a translate a whole number of steps from the
// others', so all frames lie on one grid: a vertex that does not move
// packs to the same point of it in every frame, and decodes to the same
// place. Each position is rounded to its nearest grid point (never more
// than half a step away).
struct PackedFrames {
    std::vector<float> scale;      // 3 a frame
    std::vector<float> translate;  // 3 a frame
    std::vector<uint8_t> packed;   // 3 a vertex, frame after frame
};

// positions: frameCount x vertexCount x 3, the file's axes. With
// boxPerFrame each frame gets its own grid over its own tightest box
// instead (the least error, but vertices that do not move may step).
PackedFrames packOnGrid(const double* positions, size_t frameCount, size_t vertexCount, bool boxPerFrame);

// A packed coordinate as the model reader decodes it.
inline float decodeCoordinate(uint8_t packed, float scale, float translate) { return packed * scale + translate; }

// ---- md2_normals.cpp

// The index of the normal table entry nearest n (the largest dot product;
// of equals, the lowest index). n need not be of unit length.
int nearestNormalIndex(const double n[3]);

// The same for a unit normal, trying guess first (a vertex's entry in the
// frame before): when it lies within half the least angle between two
// entries of it, no other can be nearer, and the search is not needed.
int nearestNormalIndex(const double unit[3], int guess);

// Each vertex's normal from the faces around it, each face weighted by its
// angle at the vertex (so a face cut in two counts the same): positions
// vertexCount x 3, triangles counter-clockwise seen from outside (the
// normal is the right-handed one). Unit length; zero for a vertex that no
// face with an area touches.
void angleWeightedNormals(const double* positions, size_t vertexCount, const uint32_t* triangles,
                          size_t triangleCount, double* normals);

// ---- md2_strips.cpp

// A strip (GL's triangle strip) or fan of corners: numbers standing for a
// distinct pair of vertex and texture coordinate.
struct Md2Command {
    bool fan = false;
    std::vector<uint32_t> corners;
};

// Strips and fans covering every triangle (three corners each, in the
// winding the triangle list draws) exactly once, in the same winding,
// through the corners the triangles share (a seam, where the texture
// coordinate changes, is never crossed). Greedy: each command is the
// longest that any remaining triangle starts, grown both ways; triangles
// in another order give commands as few.
std::vector<Md2Command> makeCommands(const uint32_t* triangles, size_t triangleCount, size_t cornerCount);

// The triangles the commands draw, three corners each in their winding.
std::vector<uint32_t> expandCommands(const std::vector<Md2Command>& commands);

// True when the two lists hold the same triangles the same number of times
// (each with its own winding, from any of its three corners).
bool sameTriangles(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

// ---- md2_frame_names.cpp

struct Md2NamedAnimation {
    std::string name;                     // "" for a model that does not move
    std::vector<std::string> frameNames;  // the source's own names, "" where it has none
};

// A name for every frame, animation after animation: the frames' own names
// where an animation has them all and they keep it apart, else NAME01 ..
// NAME99, NAME100 .. after its animation (NAME cut to fit 15 bytes, set off
// by '_' when it ends in a digit, made unique with _2, _3 ..). Every name
// is unique, at most 15 bytes, and groupAnimations (model/animations.h)
// gives the animations back from them.
std::vector<std::string> md2FrameNames(const std::vector<Md2NamedAnimation>& animations);

// ---- md2_skin.cpp

struct SourcePicture;

// The part of the skin a triangle's texture coordinates lie in, in pixels.
struct SkinRegion {
    int left = 0;
    int width = 0, height = 0;
};

// The pictures side by side, in their order, tops aligned: the skin's size
// and each picture's region (width 0 for a picture not used).
struct SkinLayout {
    int width = 0, height = 0;
    std::vector<SkinRegion> regions;
};
SkinLayout layOutPictures(const std::vector<SourcePicture>& pictures, const std::vector<bool>& used);

// The skin's R, G, B, A pixels: each used picture in its region, black
// (opaque) elsewhere. Pictures without pixels leave their region black.
std::vector<uint8_t> composeSkin(const std::vector<SourcePicture>& pictures, const SkinLayout& layout);

// A triangle's corners in skin pixels: (u, v) to (u w, v h) in its
// region, rounded, and when they lie outside the region but within one
// repeat of it, moved by whole repeats into it. False when they span more
// than one repeat (or lie beyond any skin's reach).
bool trianglePixels(const double u[3], const double v[3], const SkinRegion& region, int32_t s[3], int32_t t[3]);
