#include "model/md2_writer.h"

#include <algorithm>
#include <cstring>

#include "common/byte_writer.h"

namespace {

constexpr int32_t kSkinNameSize = 64;
constexpr int32_t kFrameNameSize = 16;

void appendCommand(std::vector<int32_t>& words, int32_t count, const std::vector<Md2CommandEntry>& entries) {
    words.push_back(count);
    for (const Md2CommandEntry& e : entries) {
        int32_t bits;
        std::memcpy(&bits, &e.s, 4);
        words.push_back(bits);
        std::memcpy(&bits, &e.t, 4);
        words.push_back(bits);
        words.push_back(e.vertexIndex);
    }
}

int32_t vertexCount(const Md2Model& model) {
    return model.frames.empty() ? 0 : int32_t(model.frames[0].vertices.size());
}

}  // namespace

void appendStrip(std::vector<int32_t>& words, const std::vector<Md2CommandEntry>& entries) {
    appendCommand(words, int32_t(entries.size()), entries);
}

void appendFan(std::vector<int32_t>& words, const std::vector<Md2CommandEntry>& entries) {
    appendCommand(words, -int32_t(entries.size()), entries);
}

Md2Header md2Layout(const Md2Model& model) {
    Md2Header h{};
    h.magic = kMd2Magic;
    h.version = model.version;
    h.skinWidth = model.skinWidth;
    h.skinHeight = model.skinHeight;
    h.numVertices = vertexCount(model);
    h.frameSize = kMd2FrameHeaderSize + 4 * h.numVertices + model.framePadding;
    h.numSkins = int32_t(model.skins.size());
    h.numTexCoords = int32_t(model.texCoords.size());
    h.numTriangles = int32_t(model.triangles.size());
    h.numCommands = int32_t(model.commands.size());
    h.numFrames = int32_t(model.frames.size());
    h.offsetSkins = kMd2HeaderSize;
    h.offsetTexCoords = h.offsetSkins + h.numSkins * kSkinNameSize;
    h.offsetTriangles = h.offsetTexCoords + h.numTexCoords * 4;
    h.offsetFrames = h.offsetTriangles + h.numTriangles * 12;
    h.offsetCommands = h.offsetFrames + h.numFrames * h.frameSize;
    h.offsetEnd = h.offsetCommands + h.numCommands * 4;
    return h;
}

std::vector<uint8_t> md2Bytes(const Md2Model& model, const Md2Header& header) {
    ByteWriter out;
    // One allocation for the whole file (a header given may say anything).
    const int32_t size = md2Layout(model).offsetEnd;
    if (size > 0) out.data().reserve(size_t(size));
    const int32_t fields[] = {
        header.magic,          header.version,     header.skinWidth,       header.skinHeight,      header.frameSize,
        header.numSkins,       header.numVertices, header.numTexCoords,    header.numTriangles,    header.numCommands,
        header.numFrames,      header.offsetSkins, header.offsetTexCoords, header.offsetTriangles, header.offsetFrames,
        header.offsetCommands, header.offsetEnd,
    };
    for (int32_t field : fields) out.i32(field);

    for (const std::string& skin : model.skins) out.fixedString(skin, kSkinNameSize);
    for (const Md2TexCoord& c : model.texCoords) out.i16(c.s).i16(c.t);
    for (const Md2Triangle& t : model.triangles) {
        for (int16_t v : t.vertexIndex) out.i16(v);
        for (int16_t c : t.texCoordIndex) out.i16(c);
    }
    for (const Md2Frame& frame : model.frames) {
        for (float s : frame.scale) out.f32(s);
        for (float t : frame.translate) out.f32(t);
        out.fixedString(frame.name, kFrameNameSize);
        for (const Md2PackedVertex& v : frame.vertices) out.u8(v.x).u8(v.y).u8(v.z).u8(v.normalIndex);
        out.zeros(size_t(model.framePadding));
    }
    for (int32_t word : model.commands) out.i32(word);
    return out.data();
}

std::vector<uint8_t> md2Bytes(const Md2Model& model) { return md2Bytes(model, md2Layout(model)); }

Md2Frame md2FrameFromPositions(const std::string& name, const std::vector<std::array<float, 3>>& positions,
                               uint8_t normalIndex) {
    Md2Frame frame;
    frame.name = name;
    for (int axis = 0; axis < 3; ++axis) {
        float low = 0.0f, high = 0.0f;
        if (!positions.empty()) {
            low = high = positions[0][axis];
            for (const auto& p : positions) {
                low = std::min(low, p[axis]);
                high = std::max(high, p[axis]);
            }
        }
        frame.translate[axis] = low;
        frame.scale[axis] = high > low ? (high - low) / 255.0f : 1.0f;
    }
    for (const auto& p : positions) {
        Md2PackedVertex v{};
        uint8_t* packed[3] = {&v.x, &v.y, &v.z};
        for (int axis = 0; axis < 3; ++axis) {
            float step = (p[axis] - frame.translate[axis]) / frame.scale[axis];
            *packed[axis] = uint8_t(std::clamp(step + 0.5f, 0.0f, 255.0f));
        }
        v.normalIndex = normalIndex;
        frame.vertices.push_back(v);
    }
    return frame;
}
