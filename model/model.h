// The IDP2 model record and its reader.
//
// modelLoad decodes everything once: every frame's packed vertices become
// ready-to-draw floats (positions in the viewer's axes, normals looked up in
// the normal table), so drawing never touches the packed form.
//
// What a loaded Model guarantees (the drawing routines rely on it):
//  - the header fields hold exactly what the file holds;
//  - every array is present and complete for a positive count, and null for
//    a count of zero or less: skins (numSkins x 64 bytes), texCoords
//    (numTexCoords), triangles (numTriangles), frames (numFrames, each with
//    numVertices vertices, null when numVertices is 0) and commands
//    (numCommands words, copied as stored);
//  - numVertices is not negative, and when there are frames every frame fit
//    the frame buffer: 40 + 4 x numVertices <= frameSize <= 8320, and all
//    frames together hold at most MODEL_MAX_DECODED_VERTICES vertices;
//  - every normal is a table entry or, for a normal index past the table,
//    the up normal (0, 0, 1);
//  - every frame name is zero-terminated.
// Indices inside triangles and commands are kept as stored; the drawing
// routines check them (see model/draw.h).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t MODEL_MAGIC = 0x32504449;    // "IDP2" read as a little-endian int32
constexpr int MODEL_HEADER_SIZE = 68;          // 17 int32 fields
constexpr int MODEL_FRAME_BUFFER_SIZE = 8320;  // largest frame the reader accepts, in bytes
constexpr int MODEL_FRAME_HEADER_SIZE = 40;    // scale, translate, name
constexpr int MODEL_SKIN_NAME_SIZE = 64;
constexpr int MODEL_FRAME_NAME_SIZE = 16;
constexpr int MODEL_NUM_NORMALS = 162;

// Bounds on what one model may make the reader allocate. The engines and
// tools this format comes from stop at 512 frames of 2048 vertices, so no
// real model decodes to more than 2^20 vertices (24 MiB of floats); a header
// asking for more is broken or hostile, however large the file behind it.
// The frame data of such a model is at most 4 MiB, so a model file of more
// than four times that, with room for its triangles and draw commands, is
// refused before a byte of it is read.
constexpr int64_t MODEL_MAX_DECODED_VERTICES = int64_t(512) * 2048;
constexpr int64_t MODEL_MAX_FILE_SIZE = int64_t(16) << 20;

// The normal table in its own axes (z up): entry i is (x, y, z).
extern const float modelNormals[MODEL_NUM_NORMALS][3];

struct ModelVertex {
    float x, y, z;     // position in the viewer's axes: file (x, y, z) becomes (x, z, -y)
    float nx, ny, nz;  // normal in the normal table's axes
};

struct ModelTexCoord {
    int16_t s, t;  // skin pixels
};

struct ModelTriangle {
    int16_t vertexIndex[3];
    int16_t texCoordIndex[3];
};

struct ModelFrame {
    char name[MODEL_FRAME_NAME_SIZE];
    ModelVertex* vertices;  // numVertices entries, owned by the frame
};

struct Model {
    int32_t magic;
    int32_t version;
    int32_t skinWidth;
    int32_t skinHeight;
    int32_t frameSize;
    int32_t numSkins;
    int32_t numVertices;
    int32_t numTexCoords;
    int32_t numTriangles;
    int32_t numCommands;
    int32_t numFrames;
    int32_t offsetSkins;
    int32_t offsetTexCoords;
    int32_t offsetTriangles;
    int32_t offsetFrames;
    int32_t offsetCommands;
    int32_t offsetEnd;

    char (*skins)[MODEL_SKIN_NAME_SIZE];
    ModelTexCoord* texCoords;
    ModelTriangle* triangles;
    ModelFrame* frames;
    int32_t* commands;  // draw command words; s and t entries hold float32 bits

    // The one block of numFrames x numVertices vertices that modelLoad
    // decodes into: frame i's vertices start at vertexBlock + i * numVertices.
    // Null in a record whose frames own their vertex arrays one by one.
    ModelVertex* vertexBlock;
};

// Decodes a model file held in memory (size bytes at bytes). Returns a new
// Model that the caller releases with modelFree, or null when the bytes are
// not a usable IDP2 model (wrong magic, too short, a section outside the
// file, a frame that breaks the frame limits, a negative vertex count, more
// than the bounds above, more than MODEL_MAX_FILE_SIZE bytes).
Model* modelLoadFromBytes(const uint8_t* bytes, size_t size);

// Reads the model file at path and decodes it as modelLoadFromBytes does;
// null also when the path is not a regular file that can be read.
Model* modelLoad(const char* path);

// Releases the model and everything it owns: the vertex block, or else each
// frame's own vertex array. Null does nothing.
void modelFree(Model* model);
