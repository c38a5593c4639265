#include "model/draw.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>

#include <cstring>

int useCommands = 1;
int useInterpolation = 1;

namespace {

constexpr int kWordsPerCommandEntry = 3;  // s, t, vertex index

// The vertices of frame `frame`, or null when the model has no such frame
// or its frames have no vertices.
const ModelVertex* frameVertices(const Model* model, int frame) {
    if (!model || !model->frames || frame < 0 || frame >= model->numFrames || model->numVertices <= 0) return nullptr;
    return model->frames[frame].vertices;
}

bool indexBelow(int index, int32_t count) { return index >= 0 && index < count; }

// The triangle list as far as it can be used: its records, how many, and
// how many texture coordinates its indices may reach.
struct TriangleList {
    const ModelTriangle* triangles = nullptr;
    int32_t count = 0;
    const ModelTexCoord* texCoords = nullptr;
    int32_t numTexCoords = 0;
    float skinWidth = 1.0f;
    float skinHeight = 1.0f;
};

// A skin size of 0 would turn every texture coordinate into infinity or NaN.
float skinDivisor(int32_t size) { return size != 0 ? float(size) : 1.0f; }

TriangleList triangleList(const Model* model) {
    TriangleList list;
    if (model->triangles && model->numTriangles > 0) {
        list.triangles = model->triangles;
        list.count = model->numTriangles;
    }
    if (model->texCoords && model->numTexCoords > 0) {
        list.texCoords = model->texCoords;
        list.numTexCoords = model->numTexCoords;
    }
    list.skinWidth = skinDivisor(model->skinWidth);
    list.skinHeight = skinDivisor(model->skinHeight);
    return list;
}

bool triangleInRange(const ModelTriangle& triangle, int32_t numVertices, int32_t numTexCoords) {
    for (int k = 0; k < 3; ++k)
        if (!indexBelow(triangle.vertexIndex[k], numVertices) || !indexBelow(triangle.texCoordIndex[k], numTexCoords))
            return false;
    return true;
}

void sendNormal(float nx, float ny, float nz) { glNormal3f(nx, nz, -ny); }

void sendBlendedVertex(const ModelVertex& a, const ModelVertex& b, float f) {
    const float g = 1.0f - f;
    sendNormal(g * a.nx + f * b.nx, g * a.ny + f * b.ny, g * a.nz + f * b.nz);
    glVertex3f(a.x + f * (b.x - a.x), a.y + f * (b.y - a.y), a.z + f * (b.z - a.z));
}

float wordAsFloat(int32_t word) {
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

bool hasCommandStream(const Model* model) { return model->commands && model->numCommands > 0; }

// Walks the triangle list and draws every triangle whose indices are all in
// range, between one glBegin and glEnd (issued even for an empty list),
// calling emit(s, t, vertexIndex) for its three corners in order, s and t
// already divided by the skin size. Every vertex index handed to emit is
// below numVertices.
template <typename EmitCorner>
void walkTriangles(const Model* model, EmitCorner emit) {
    const TriangleList list = triangleList(model);
    glBegin(GL_TRIANGLES);
    for (int32_t i = 0; i < list.count; ++i) {
        const ModelTriangle& triangle = list.triangles[i];
        if (!triangleInRange(triangle, model->numVertices, list.numTexCoords)) continue;
        for (int k = 0; k < 3; ++k) {
            const ModelTexCoord& c = list.texCoords[triangle.texCoordIndex[k]];
            emit(c.s / list.skinWidth, c.t / list.skinHeight, triangle.vertexIndex[k]);
        }
    }
    glEnd();
}

// Walks the command stream and draws every well-formed strip and fan,
// calling emit(s, t, vertexIndex) for each of its entries between glBegin
// and glEnd. Every vertex index handed to emit is below numVertices.
template <typename EmitEntry>
void walkCommands(const Model* model, EmitEntry emit) {
    if (!hasCommandStream(model)) return;
    const int32_t* words = model->commands;
    const int64_t end = model->numCommands;
    int64_t next = 0;
    while (next < end) {
        const int32_t n = words[next++];
        if (n == 0) break;
        const int64_t count = n > 0 ? int64_t(n) : -int64_t(n);
        if (count > (end - next) / kWordsPerCommandEntry) break;  // runs past the stream's end
        const int32_t* entries = words + next;
        next += count * kWordsPerCommandEntry;

        bool inRange = true;
        for (int64_t i = 0; i < count && inRange; ++i)
            inRange = indexBelow(entries[i * kWordsPerCommandEntry + 2], model->numVertices);
        if (!inRange) continue;

        glBegin(n > 0 ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN);
        for (int64_t i = 0; i < count; ++i, entries += kWordsPerCommandEntry)
            emit(wordAsFloat(entries[0]), wordAsFloat(entries[1]), entries[2]);
        glEnd();
    }
}

}  // namespace

void setDrawPath(int commands, int interpolation) {
    useCommands = commands;
    useInterpolation = interpolation;
}

void modelDrawFrame(const Model* model, int a, int b, float fraction) {
    if (!model) return;
    // A model without a command stream still shows, from its triangle list.
    const bool commands = useCommands && hasCommandStream(model);
    if (commands && useInterpolation)
        drawCommandsLerp(model, a, b, fraction);
    else if (commands)
        drawCommands(model, a);
    else if (useInterpolation)
        drawTrianglesLerp(model, a, b, fraction);
    else
        drawTriangles(model, a);
}

void drawTriangles(const Model* model, int a) {
    const ModelVertex* vertices = frameVertices(model, a);
    if (!vertices) return;
    walkTriangles(model, [vertices](float s, float t, int32_t index) {
        const ModelVertex& v = vertices[index];
        sendNormal(v.nx, v.ny, v.nz);
        glTexCoord2f(s, t);
        glVertex3f(v.x, v.y, v.z);
    });
}

void drawTrianglesLerp(const Model* model, int a, int b, float fraction) {
    const ModelVertex* verticesA = frameVertices(model, a);
    const ModelVertex* verticesB = frameVertices(model, b);
    if (!verticesA || !verticesB) return;
    walkTriangles(model, [verticesA, verticesB, fraction](float s, float t, int32_t index) {
        glTexCoord2f(s, t);
        sendBlendedVertex(verticesA[index], verticesB[index], fraction);
    });
}

void drawCommands(const Model* model, int a) {
    const ModelVertex* vertices = frameVertices(model, a);
    if (!vertices) return;
    walkCommands(model, [vertices](float s, float t, int32_t index) {
        const ModelVertex& v = vertices[index];
        glTexCoord2f(s, t);
        sendNormal(v.nx, v.ny, v.nz);
        glVertex3f(v.x, v.y, v.z);
    });
}

void drawCommandsLerp(const Model* model, int a, int b, float fraction) {
    const ModelVertex* verticesA = frameVertices(model, a);
    const ModelVertex* verticesB = frameVertices(model, b);
    if (!verticesA || !verticesB) return;
    walkCommands(model, [verticesA, verticesB, fraction](float s, float t, int32_t index) {
        glTexCoord2f(s, t);
        sendBlendedVertex(verticesA[index], verticesB[index], fraction);
    });
}
