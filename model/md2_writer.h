// Builds IDP2 model files from plain lists (the sample scene's models, and
// every test's): packed frames, texture
// coordinates, triangles and raw command words. A well-formed file comes
// from md2Bytes(model); a malformed one from md2Bytes(model, header) with a
// header changed after md2Layout(model) (the sections stay where the
// well-formed layout puts them), or by cutting or patching the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kMd2Magic = 0x32504449;  // "IDP2"
constexpr int32_t kMd2HeaderSize = 68;
constexpr int32_t kMd2FrameHeaderSize = 40;

struct Md2PackedVertex {
    uint8_t x, y, z;  // file axes, z up
    uint8_t normalIndex;
};

struct Md2Frame {
    float scale[3] = {1.0f, 1.0f, 1.0f};
    float translate[3] = {0.0f, 0.0f, 0.0f};
    std::string name;  // cut to 16 bytes; a name of 16 or more characters has no terminator
    std::vector<Md2PackedVertex> vertices;
};

struct Md2TexCoord {
    int16_t s, t;
};

struct Md2Triangle {
    int16_t vertexIndex[3];
    int16_t texCoordIndex[3];
};

struct Md2CommandEntry {
    float s, t;
    int32_t vertexIndex;
};

struct Md2Model {
    int32_t version = 8;
    int32_t skinWidth = 64;
    int32_t skinHeight = 64;
    std::vector<std::string> skins;  // 64 bytes each in the file
    std::vector<Md2TexCoord> texCoords;
    std::vector<Md2Triangle> triangles;
    std::vector<Md2Frame> frames;   // every frame holds the same number of vertices
    std::vector<int32_t> commands;  // raw words; see appendStrip, appendFan
    int32_t framePadding = 0;       // extra bytes after each frame's packed vertices
};

// The 17 header fields in file order.
struct Md2Header {
    int32_t magic, version, skinWidth, skinHeight, frameSize;
    int32_t numSkins, numVertices, numTexCoords, numTriangles, numCommands, numFrames;
    int32_t offsetSkins, offsetTexCoords, offsetTriangles, offsetFrames, offsetCommands, offsetEnd;
};

// Appends a strip (count n) or fan (count -n) command of the given entries.
void appendStrip(std::vector<int32_t>& words, const std::vector<Md2CommandEntry>& entries);
void appendFan(std::vector<int32_t>& words, const std::vector<Md2CommandEntry>& entries);

// The header of the well-formed file: sections right after the header in
// the order skins, texture coordinates, triangles, frames, commands.
Md2Header md2Layout(const Md2Model& model);

// The file: `header` as given, then the sections where md2Layout(model)
// places them.
std::vector<uint8_t> md2Bytes(const Md2Model& model, const Md2Header& header);
std::vector<uint8_t> md2Bytes(const Md2Model& model);

// A frame holding the given positions (file axes), quantised to bytes with
// the scale and translate that span their range. All normals get normalIndex.
Md2Frame md2FrameFromPositions(const std::string& name, const std::vector<std::array<float, 3>>& positions,
                               uint8_t normalIndex);
