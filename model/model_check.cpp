#include "model/model_check.h"

#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "common/text.h"
#include "model/model_layout.h"

namespace {

using namespace modelfile;

int32_t int32At(const uint8_t* bytes) { return littleEndianI32(bytes); }
int16_t int16At(const uint8_t* bytes) { return littleEndianI16(bytes); }

std::string plural(int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The first four bytes as text where they are printable, for "it starts with".
std::string quotedStart(const uint8_t* bytes, size_t size) {
    return "\"" + escapedBytes(std::string(reinterpret_cast<const char*>(bytes), size < 4 ? size : 4), 4) + "\"";
}

std::string headerRefusal(const Model& m, int64_t size) {
    const HeaderVerdict v = checkHeader(m, size);
    const std::string section = v.section ? v.section : "";
    switch (v.fault) {
    case HeaderFault::None:
        return "";
    case HeaderFault::NotIdp2:
        return "not an IDP2 model";
    case HeaderFault::NegativeVertexCount:
        return "a negative vertex count (" + std::to_string(m.numVertices) + ")";
    case HeaderFault::FrameTooLarge:
        return "frames of " + std::to_string(m.frameSize) + " bytes, more than the " +
               std::to_string(MODEL_FRAME_BUFFER_SIZE) + " a frame may have";
    case HeaderFault::FrameTooSmall:
        return "frames of " + std::to_string(m.frameSize) + " bytes can't hold " +
               plural(m.numVertices, "vertex", "vertices") + " (they need " + std::to_string(v.frameBytesNeeded) + ")";
    case HeaderFault::TooManyVertices:
        return plural(m.numFrames, "frame", "frames") + " of " + plural(m.numVertices, "vertex", "vertices") +
               ", more than the " + std::to_string(MODEL_MAX_DECODED_VERTICES) + " vertices a model may have";
    case HeaderFault::SectionOutsideFile:
        return "the " + section + " lie outside the file (at byte " + std::to_string(v.sectionOffset) + " of a " +
               std::to_string(size) + "-byte file)";
    case HeaderFault::SectionCutShort:
        return "cut short: the " + section + " end at byte " + std::to_string(v.sectionEnd) + " but the file has " +
               std::to_string(size) + " bytes";
    }
    return "";
}

void countNegative(std::vector<std::string>& problems, const char* what, int32_t count) {
    if (count < 0) problems.push_back(std::string("a negative count of ") + what + " (" + std::to_string(count) + ")");
}

void checkTriangles(const uint8_t* bytes, const Model& m, std::vector<std::string>& problems) {
    int64_t badVertex = 0, badTexCoord = 0;
    for (int32_t t = 0; t < m.numTriangles; ++t) {
        const uint8_t* record = bytes + m.offsetTriangles + int64_t(t) * TRIANGLE_RECORD_SIZE;
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
        int64_t count = int32At(words + at * WORD_SIZE);
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
            int32_t index = int32At(words + (at + 3 * v + 2) * WORD_SIZE);
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
        if (!std::memchr(frame + FRAME_NAME_OFFSET, 0, MODEL_FRAME_NAME_SIZE)) ++unterminated;
        const uint8_t* packed = frame + MODEL_FRAME_HEADER_SIZE;
        for (int32_t v = 0; v < m.numVertices; ++v)
            badNormals += packed[v * PACKED_VERTEX_SIZE + 3] >= MODEL_NUM_NORMALS;
    }
    if (badNormals)
        problems.push_back(plural(badNormals, "vertex has a normal index", "vertices have normal indices") +
                           " past the table of " + std::to_string(MODEL_NUM_NORMALS));
    if (unterminated)
        problems.push_back(plural(unterminated, "frame name fills", "frame names fill") +
                           " all 16 bytes without an ending zero");
}

}  // namespace

std::vector<std::string> modelEngineLimits(const Model& m) {
    std::vector<std::string> lines;
    auto over = [&](int64_t count, int limit, const std::string& what) {
        if (count > limit)
            lines.push_back(what + ", more than the " + std::to_string(limit) +
                            " that engines of the format's era take");
    };
    over(m.numVertices, MODEL_ENGINE_MAX_VERTICES, plural(m.numVertices, "vertex", "vertices") + " a frame");
    over(m.numTriangles, MODEL_ENGINE_MAX_TRIANGLES, plural(m.numTriangles, "triangle", "triangles"));
    over(m.numFrames, MODEL_ENGINE_MAX_FRAMES, plural(m.numFrames, "frame", "frames"));
    over(m.numSkins, MODEL_ENGINE_MAX_SKINS, plural(m.numSkins, "skin", "skins"));
    over(m.skinHeight, MODEL_ENGINE_MAX_SKIN_HEIGHT, "a skin " + std::to_string(m.skinHeight) + " pixels high");
    return lines;
}

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
    for (const auto& [nothing, why] : {std::pair{m.numFrames <= 0, "no frames"},
                                       std::pair{m.numFrames > 0 && m.numVertices <= 0, "no vertices"},
                                       std::pair{m.numTriangles <= 0 && m.numCommands <= 0,
                                                 "no triangles and no draw commands"}}) {
        if (!nothing) continue;
        check.problems.push_back(std::string(why) + ": there is nothing to draw");
        if (check.nothingToDraw.empty()) check.nothingToDraw = why;
    }
    if (m.skinWidth <= 0 || m.skinHeight <= 0)
        check.problems.push_back("a skin size of " + std::to_string(m.skinWidth) + "x" + std::to_string(m.skinHeight) +
                                 " in the header");
    if (!check.refusal.empty()) return check;  // the sections can't be trusted

    for (std::string& line : modelEngineLimits(m)) check.problems.push_back(std::move(line));

    checkTriangles(bytes, m, check.problems);
    checkCommands(bytes, m, check.problems);
    checkFrames(bytes, m, check.problems);
    return check;
}
