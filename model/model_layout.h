// The IDP2 file's layout and the header rules every reader of it obeys:
// the model reader accepts a file exactly when checkHeader finds no fault,
// and the account of a file for people (model/model_check.h) puts the same
// fault into words, so the two can never disagree on what is usable.
#pragma once

#include <cstdint>

#include "model/model.h"

namespace modelfile {

constexpr int WORD_SIZE = 4;
constexpr int PACKED_VERTEX_SIZE = 4;  // x, y, z bytes and a normal index
constexpr int TEXCOORD_RECORD_SIZE = 4;
constexpr int TRIANGLE_RECORD_SIZE = 12;
constexpr int FRAME_TRANSLATE_OFFSET = 12;
constexpr int FRAME_NAME_OFFSET = 24;

// The 17 header fields from the first MODEL_HEADER_SIZE bytes; the
// record's pointers are left as they are.
void readHeader(const uint8_t* bytes, Model& model);

enum class HeaderFault {
    None,
    NotIdp2,
    NegativeVertexCount,
    FrameTooLarge,        // frameSize past the frame buffer
    FrameTooSmall,        // frameSize can't hold the frame header and every packed vertex
    TooManyVertices,      // frames x vertices past MODEL_MAX_DECODED_VERTICES
    SectionOutsideFile,   // a section starts before or past the file
    SectionCutShort,      // a section ends past the file
};

struct HeaderVerdict {
    HeaderFault fault = HeaderFault::None;
    const char* section = nullptr;  // the section's name for the two section faults
    int64_t sectionOffset = 0;
    int64_t sectionEnd = 0;
    int64_t frameBytesNeeded = 0;   // for FrameTooSmall
};

// Checks the header against a file of fileSize bytes: every frame fits the
// frame buffer and holds its vertices, the decoded size stays bounded, and
// every section with a positive count lies inside the file, so no count can
// drive an allocation or a read the file can't back. A count of zero or
// less describes no section.
HeaderVerdict checkHeader(const Model& header, int64_t fileSize);

}  // namespace modelfile
