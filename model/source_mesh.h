// A model as another tool made it (glTF, OBJ, or an IDP2 file to be made
// again), read into plain arrays before it becomes an IDP2 file. The readers
// (model/import.h) fill it; the maker (model/md2_maker.h) turns it into the
// file. Neither side knows the other's formats: this record is all they
// share.
//
// Axes and units are glTF's own, the ones `export` writes: +Y up, the
// model's front towards +Z, lengths in the source's units. Every frame of
// every animation holds every vertex, so a vertex is one point followed
// through time; nothing is welded yet (a glTF vertex, an OBJ corner with its
// own coordinate), the maker welds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A picture the source uses as a base colour, decoded.
struct SourcePicture {
    std::string name;  // for messages: the file it came from, or "image 2" for an embedded one
    int width = 0, height = 0;
    // width x height R, G, B, A bytes, rows top first; empty when only the
    // picture's size is known (an IDP2 model's skin that was not found):
    // texture coordinates are laid out for that size, and no skin is made.
    std::vector<uint8_t> rgba;
};

// Every vertex at one moment of an animation.
struct SourceFrame {
    // The source's own name for this shape when the sample shows exactly one
    // named shape whole (a morph target named "run6"); "" otherwise, and the
    // maker names the frame after its animation.
    std::string name;
    std::vector<float> positions;  // 3 a vertex
    std::vector<float> normals;    // 3 a vertex, unit length; empty when the source has none
};

struct SourceAnimation {
    std::string name;  // "" for a model that does not move (one frame)
    std::vector<SourceFrame> frames;
};

struct SourceMesh {
    size_t vertexCount = 0;
    // Three vertex indices a triangle, counter-clockwise seen from outside
    // (glTF's front faces).
    std::vector<uint32_t> triangles;
    // 2 a vertex: u to the right, v down from the picture's top edge (glTF's
    // convention), in the picture of the vertex's triangle; empty when the
    // source has no texture coordinates.
    std::vector<float> texCoords;
    // A triangle's picture: an index into pictures, or -1 for none.
    std::vector<int32_t> trianglePicture;
    std::vector<SourcePicture> pictures;
    // At least one animation with at least one frame, in the source's order.
    std::vector<SourceAnimation> animations;
    // What the reader left out (vertex colours, a second coordinate set,
    // materials beyond the base colour): one line each, shown with --verbose.
    std::vector<std::string> dropped;
};
