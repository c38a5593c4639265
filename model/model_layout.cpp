#include "model/model_layout.h"

#include <cstddef>

#include "common/bytes.h"

namespace modelfile {

void readHeader(const uint8_t* bytes, Model& model) {
    int32_t* const fields[] = {
        &model.magic,           &model.version,         &model.skinWidth,    &model.skinHeight,
        &model.frameSize,       &model.numSkins,        &model.numVertices,  &model.numTexCoords,
        &model.numTriangles,    &model.numCommands,     &model.numFrames,    &model.offsetSkins,
        &model.offsetTexCoords, &model.offsetTriangles, &model.offsetFrames, &model.offsetCommands,
        &model.offsetEnd,
    };
    static_assert(sizeof fields / sizeof fields[0] * WORD_SIZE == MODEL_HEADER_SIZE, "17 header fields");
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i) *fields[i] = littleEndianI32(bytes + i * WORD_SIZE);
}

HeaderVerdict checkHeader(const Model& m, int64_t fileSize) {
    HeaderVerdict verdict;
    auto fault = [&verdict](HeaderFault f) {
        verdict.fault = f;
        return verdict;
    };
    if (m.magic != MODEL_MAGIC) return fault(HeaderFault::NotIdp2);
    if (m.numVertices < 0) return fault(HeaderFault::NegativeVertexCount);
    if (m.numFrames > 0) {
        verdict.frameBytesNeeded = MODEL_FRAME_HEADER_SIZE + int64_t(m.numVertices) * PACKED_VERTEX_SIZE;
        if (m.frameSize > MODEL_FRAME_BUFFER_SIZE) return fault(HeaderFault::FrameTooLarge);
        if (m.frameSize < verdict.frameBytesNeeded) return fault(HeaderFault::FrameTooSmall);
        if (int64_t(m.numFrames) * m.numVertices > MODEL_MAX_DECODED_VERTICES)
            return fault(HeaderFault::TooManyVertices);
    }
    struct Section {
        const char* name;
        int32_t offset;
        int32_t count;
        int64_t recordSize;
    };
    const Section sections[] = {
        {"skin names", m.offsetSkins, m.numSkins, MODEL_SKIN_NAME_SIZE},
        {"texture coordinates", m.offsetTexCoords, m.numTexCoords, TEXCOORD_RECORD_SIZE},
        {"triangles", m.offsetTriangles, m.numTriangles, TRIANGLE_RECORD_SIZE},
        {"frames", m.offsetFrames, m.numFrames, m.frameSize},
        {"draw commands", m.offsetCommands, m.numCommands, WORD_SIZE},
    };
    for (const Section& s : sections) {
        if (s.count <= 0) continue;
        verdict.section = s.name;
        verdict.sectionOffset = s.offset;
        verdict.sectionEnd = int64_t(s.offset) + int64_t(s.count) * s.recordSize;
        if (s.offset < 0 || s.offset >= fileSize) return fault(HeaderFault::SectionOutsideFile);
        if (verdict.sectionEnd > fileSize) return fault(HeaderFault::SectionCutShort);
    }
    return HeaderVerdict{};
}

}  // namespace modelfile
