#include "model/model_check.h"

#include <cstdio>
#include <cstring>

#include "common/bytes.h"

namespace {

constexpr int kWordSize = 4;
constexpr int kPackedVertexSize = 4;
constexpr int kTexCoordSize = 4;
constexpr int kTriangleSize = 12;
constexpr int kFrameNameOffset = 24;

int32_t int32At(const uint8_t* bytes) { return littleEndianI32(bytes); }
int16_t int16At(const uint8_t* bytes) { return littleEndianI16(bytes); }

std::string plural(int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The first four bytes as text where they are printable, for "it starts with".
std::string quotedStart(const uint8_t* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size && i < 4; ++i) {
        char c = char(bytes[i]);
        if (c >= 32 && c < 127) {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", bytes[i]);
            text += hex;
        }
    }
    return "\"" + text + "\"";
}

struct Section {
    const char* name;
    int32_t offset;
    int32_t count;
    int64_t recordSize;
};

std::string sectionRefusal(const Section& s, int64_t size) {
    if (s.count <= 0) return "";
    if (s.offset < 0 || s.offset >= size)
        return std::string("the ") + s.name + " lie outside the file (at byte " + std::to_string(s.offset) + " of a " +
               std::to_string(size) + "-byte file)";
    int64_t end = int64_t(s.offset) + int64_t(s.count) * s.recordSize;
    if (end > size)
        return std::string("cut short: the ") + s.name + " end at byte " + std::to_string(end) + " but the file has " +
               std::to_string(size) + " bytes";
    return "";
}

void readHeader(const uint8_t* bytes, Model& m) {
    int32_t* const fields[] = {
        &m.magic,           &m.version,         &m.skinWidth,    &m.skinHeight,     &m.frameSize, &m.numSkins,
        &m.numVertices,     &m.numTexCoords,    &m.numTriangles, &m.numCommands,    &m.numFrames, &m.offsetSkins,
        &m.offsetTexCoords, &m.offsetTriangles, &m.offsetFrames, &m.offsetCommands, &m.offsetEnd};
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i) *fields[i] = int32At(bytes + i * kWordSize);
}

std::string headerRefusal(const Model& m, int64_t size) {
    if (m.numVertices < 0) return "a negative vertex count (" + std::to_string(m.numVertices) + ")";
    if (m.numFrames > 0) {
        int64_t needed = MODEL_FRAME_HEADER_SIZE + int64_t(m.numVertices) * kPackedVertexSize;
        if (m.frameSize > MODEL_FRAME_BUFFER_SIZE)
            return "frames of " + std::to_string(m.frameSize) + " bytes, more than the " +
                   std::to_string(MODEL_FRAME_BUFFER_SIZE) + " a frame may have";
        if (m.frameSize < needed)
            return "frames of " + std::to_string(m.frameSize) + " bytes can't hold " +
                   plural(m.numVertices, "vertex", "vertices") + " (they need " + std::to_string(needed) + ")";
        if (int64_t(m.numFrames) * m.numVertices > MODEL_MAX_DECODED_VERTICES)
            return plural(m.numFrames, "frame", "frames") + " of " + plural(m.numVertices, "vertex", "vertices") +
                   ", more than the " + std::to_string(MODEL_MAX_DECODED_VERTICES) + " vertices a model may have";
    }
    const Section sections[] = {
        {"skin names", m.offsetSkins, m.numSkins, MODEL_SKIN_NAME_SIZE},
        {"texture coordinates", m.offsetTexCoords, m.numTexCoords, kTexCoordSize},
        {"triangles", m.offsetTriangles, m.numTriangles, kTriangleSize},
        {"frames", m.offsetFrames, m.numFrames, m.frameSize},
        {"draw commands", m.offsetCommands, m.numCommands, kWordSize},
    };
    for (const Section& s : sections) {
        std::string refusal = sectionRefusal(s, size);
        if (!refusal.empty()) return refusal;
    }
    return "";
}

void countNegative(std::vector<std::string>& problems, const char* what, int32_t count) {
    if (count < 0) problems.push_back(std::string("a negative count of ") + what + " (" + std::to_string(count) + ")");
}

void checkTriangles(const uint8_t* bytes, const Model& m, std::vector<std::string>& problems) {
    int64_t badVertex = 0, badTexCoord = 0;
    for (int32_t t = 0; t < m.numTriangles; ++t) {
        const uint8_t* record = bytes + m.offsetTriangles + int64_t(t) * kTriangleSize;
        bool vertexOut = false, texCoordOut = false;
        for (int k = 0; k < 3; ++k) {
            int16_t v = int16At(record + 2 * k), tc = int16At(record + 6 + 2 * k);
            vertexOut |= v < 0 || v >= m.numVertices;
            texCoordOut |= tc < 0 || tc >= m.numTexCoords;
        }
        badVertex += vertexOut;
        badTexCoord += texCoordOut;
    }
    if (badVertex)
        problems.push_back(plural(badVertex, "triangle uses", "triangles use") +
                           " vertex indices out of range (not drawn)");
    if (badTexCoord)
        problems.push_back(plural(badTexCoord, "triangle uses", "triangles use") +
                           " texture coordinate indices out of range (not drawn)");
}

void checkCommands(const uint8_t* bytes, const Model& m, std::vector<std::string>& problems) {
    if (m.numCommands <= 0) return;
    const uint8_t* words = bytes + m.offsetCommands;
    int64_t at = 0, badCommands = 0;
    bool ended = false, overruns = false;
    while (at < m.numCommands) {
        int64_t count = int32At(words + at * kWordSize);
        ++at;
        if (count == 0) {
            ended = true;
            break;
        }
        int64_t vertices = count < 0 ? -count : count;
        if (vertices * 3 > m.numCommands - at) {
            overruns = true;
            break;
        }
        bool out = false;
        for (int64_t v = 0; v < vertices; ++v) {
            int32_t index = int32At(words + (at + 3 * v + 2) * kWordSize);
            out |= index < 0 || index >= m.numVertices;
        }
        badCommands += out;
        at += vertices * 3;
    }
    if (overruns) problems.push_back("a draw command runs past the end of the command stream");
    if (!ended && !overruns) problems.push_back("the draw-command stream has no end marker (a count of 0)");
    if (badCommands)
        problems.push_back(plural(badCommands, "draw command uses", "draw commands use") +
                           " vertex indices out of range (not drawn)");
}

void checkFrames(const uint8_t* bytes, const Model& m, std::vector<std::string>& problems) {
    int64_t badNormals = 0, unterminated = 0;
    for (int32_t f = 0; f < m.numFrames; ++f) {
        const uint8_t* frame = bytes + m.offsetFrames + int64_t(f) * m.frameSize;
        if (!std::memchr(frame + kFrameNameOffset, 0, MODEL_FRAME_NAME_SIZE)) ++unterminated;
        const uint8_t* packed = frame + MODEL_FRAME_HEADER_SIZE;
        for (int32_t v = 0; v < m.numVertices; ++v)
            badNormals += packed[v * kPackedVertexSize + 3] >= MODEL_NUM_NORMALS;
    }
    if (badNormals)
        problems.push_back(plural(badNormals, "vertex has a normal index", "vertices have normal indices") +
                           " past the table of " + std::to_string(MODEL_NUM_NORMALS));
    if (unterminated)
        problems.push_back(plural(unterminated, "frame name fills", "frame names fill") +
                           " all 16 bytes without an ending zero");
}

}  // namespace

ModelCheck modelCheck(const uint8_t* bytes, size_t size) {
    ModelCheck check;
    const int64_t fileSize = int64_t(size);
    if (size >= 4 && int32At(bytes) != MODEL_MAGIC) {
        check.refusal = "not an IDP2 model (it starts with " + quotedStart(bytes, size) + ", not \"IDP2\")";
        return check;
    }
    if (size == 0) {
        check.refusal = "an empty file";
        return check;
    }
    if (size < size_t(MODEL_HEADER_SIZE)) {
        check.refusal = "cut short: " + plural(fileSize, "byte", "bytes") + ", less than the " +
                        std::to_string(MODEL_HEADER_SIZE) + "-byte header";
        return check;
    }
    if (fileSize > MODEL_MAX_FILE_SIZE) {
        check.refusal = "a file of " + plural(fileSize, "byte", "bytes") + ", more than the " +
                        std::to_string(MODEL_MAX_FILE_SIZE) + " a model file may have";
        return check;
    }
    check.hasHeader = true;
    Model& m = check.header;
    readHeader(bytes, m);
    check.refusal = headerRefusal(m, fileSize);

    countNegative(check.problems, "skin names", m.numSkins);
    countNegative(check.problems, "texture coordinates", m.numTexCoords);
    countNegative(check.problems, "triangles", m.numTriangles);
    countNegative(check.problems, "draw-command words", m.numCommands);
    countNegative(check.problems, "frames", m.numFrames);
    if (m.numFrames <= 0) check.problems.push_back("no frames: there is nothing to draw");
    if (m.numTriangles <= 0 && m.numCommands <= 0)
        check.problems.push_back("no triangles and no draw commands: there is nothing to draw");
    if (m.skinWidth <= 0 || m.skinHeight <= 0)
        check.problems.push_back("a skin size of " + std::to_string(m.skinWidth) + "x" + std::to_string(m.skinHeight) +
                                 " in the header");
    if (!check.refusal.empty()) return check;  // the sections can't be trusted

    checkTriangles(bytes, m, check.problems);
    checkCommands(bytes, m, check.problems);
    checkFrames(bytes, m, check.problems);
    return check;
}
