#include "model/model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Records are read straight into memory as the file stores them.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the model reader expects a little-endian host");
static_assert(sizeof(ModelTexCoord) == 4, "texture coordinates are 4-byte file records");
static_assert(sizeof(ModelTriangle) == 12, "triangles are 12-byte file records");

namespace {

constexpr int kWordSize = 4;
constexpr int kPackedVertexSize = 4;
constexpr int kFrameNameOffset = 24;

// Normal for a packed normal index past the table: straight up, so a vertex
// with a broken index still shades plausibly instead of going black.
constexpr float kUpNormal[3] = {0.0f, 0.0f, 1.0f};

int32_t readInt32(const uint8_t* bytes) {
    int32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

float readFloat(const uint8_t* bytes) {
    float value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Size of the open file in bytes, or -1 when it has none (a pipe, a folder).
int64_t fileSize(FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

void readHeader(const uint8_t* bytes, Model* model) {
    int32_t* const fields[] = {
        &model->magic,           &model->version,         &model->skinWidth,    &model->skinHeight,
        &model->frameSize,       &model->numSkins,        &model->numVertices,  &model->numTexCoords,
        &model->numTriangles,    &model->numCommands,     &model->numFrames,    &model->offsetSkins,
        &model->offsetTexCoords, &model->offsetTriangles, &model->offsetFrames, &model->offsetCommands,
        &model->offsetEnd,
    };
    static_assert(sizeof fields / sizeof fields[0] * kWordSize == MODEL_HEADER_SIZE, "17 header fields");
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i) *fields[i] = readInt32(bytes + i * kWordSize);
}

// A section of count records of recordSize bytes at offset must lie inside
// the file, so no count can drive an allocation or a read the file can't
// back. A count of zero or less describes no section and reads nothing.
bool sectionFits(int32_t offset, int32_t count, int64_t recordSize, int64_t size) {
    if (count <= 0) return true;
    return offset >= 0 && offset + count * recordSize <= size;
}

// Every frame is read whole into the fixed frame buffer and must hold its
// header and all packed vertices.
bool framesFit(const Model& model) {
    if (model.numFrames <= 0) return true;
    int64_t needed = MODEL_FRAME_HEADER_SIZE + int64_t(model.numVertices) * kPackedVertexSize;
    return model.frameSize <= MODEL_FRAME_BUFFER_SIZE && model.frameSize >= needed;
}

bool headerIsUsable(const Model& model, int64_t size) {
    return model.magic == MODEL_MAGIC && model.numVertices >= 0 && framesFit(model) &&
           sectionFits(model.offsetSkins, model.numSkins, MODEL_SKIN_NAME_SIZE, size) &&
           sectionFits(model.offsetTexCoords, model.numTexCoords, sizeof(ModelTexCoord), size) &&
           sectionFits(model.offsetTriangles, model.numTriangles, sizeof(ModelTriangle), size) &&
           sectionFits(model.offsetFrames, model.numFrames, model.frameSize, size) &&
           sectionFits(model.offsetCommands, model.numCommands, kWordSize, size);
}

// Reads count records of recordSize bytes at offset into a new heap block
// stored in *out; leaves *out null for a count of zero or less. False when
// the block can't be allocated or the file delivers fewer bytes than asked.
template <typename T>
bool readSection(FILE* file, int32_t offset, int32_t count, size_t recordSize, T** out) {
    if (count <= 0) return true;
    size_t bytes = size_t(count) * recordSize;
    *out = static_cast<T*>(std::malloc(bytes));
    if (!*out) return false;
    return std::fseek(file, offset, SEEK_SET) == 0 && std::fread(*out, 1, bytes, file) == bytes;
}

// Copies the name up to and including its zero; a name that fills all 16
// bytes keeps its first 15 and gets a zero, so every name is a C string.
void copyFrameName(const uint8_t* source, char* name) {
    int i = 0;
    for (; i < MODEL_FRAME_NAME_SIZE - 1 && source[i] != 0; ++i) name[i] = char(source[i]);
    name[i] = 0;
}

void decodeFrame(const uint8_t* frameBytes, int32_t numVertices, ModelFrame* frame) {
    float scale[3], translate[3];
    for (int axis = 0; axis < 3; ++axis) {
        scale[axis] = readFloat(frameBytes + axis * kWordSize);
        translate[axis] = readFloat(frameBytes + 12 + axis * kWordSize);
    }
    copyFrameName(frameBytes + kFrameNameOffset, frame->name);

    const uint8_t* packed = frameBytes + MODEL_FRAME_HEADER_SIZE;
    for (int32_t k = 0; k < numVertices; ++k, packed += kPackedVertexSize) {
        ModelVertex& vertex = frame->vertices[k];
        vertex.x = packed[0] * scale[0] + translate[0];
        vertex.y = packed[2] * scale[2] + translate[2];
        vertex.z = -(packed[1] * scale[1] + translate[1]);
        uint8_t normalIndex = packed[3];
        const float* normal = normalIndex < MODEL_NUM_NORMALS ? modelNormals[normalIndex] : kUpNormal;
        vertex.nx = normal[0];
        vertex.ny = normal[1];
        vertex.nz = normal[2];
    }
}

bool readFrames(FILE* file, Model* model) {
    if (model->numFrames <= 0) return true;
    model->frames = static_cast<ModelFrame*>(std::calloc(size_t(model->numFrames), sizeof(ModelFrame)));
    if (!model->frames) return false;
    if (std::fseek(file, model->offsetFrames, SEEK_SET) != 0) return false;

    uint8_t frameBuffer[MODEL_FRAME_BUFFER_SIZE];
    const size_t frameSize = size_t(model->frameSize);
    const size_t vertexBytes = size_t(model->numVertices) * sizeof(ModelVertex);
    for (int32_t i = 0; i < model->numFrames; ++i) {
        ModelFrame* frame = &model->frames[i];
        if (vertexBytes > 0) {
            frame->vertices = static_cast<ModelVertex*>(std::malloc(vertexBytes));
            if (!frame->vertices) return false;
        }
        // Frames lie back to back: no seek between them.
        if (std::fread(frameBuffer, 1, frameSize, file) != frameSize) return false;
        decodeFrame(frameBuffer, model->numVertices, frame);
    }
    return true;
}

bool readModel(FILE* file, Model* model) {
    int64_t size = fileSize(file);
    uint8_t header[MODEL_HEADER_SIZE];
    if (size < MODEL_HEADER_SIZE || std::fread(header, 1, sizeof header, file) != sizeof header) return false;
    readHeader(header, model);
    if (!headerIsUsable(*model, size)) return false;

    return readSection(file, model->offsetSkins, model->numSkins, MODEL_SKIN_NAME_SIZE, &model->skins) &&
           readSection(file, model->offsetTexCoords, model->numTexCoords, sizeof(ModelTexCoord), &model->texCoords) &&
           readSection(file, model->offsetTriangles, model->numTriangles, sizeof(ModelTriangle), &model->triangles) &&
           readFrames(file, model) &&
           readSection(file, model->offsetCommands, model->numCommands, kWordSize, &model->commands);
}

}  // namespace

Model* modelLoad(const char* path) {
    if (!path) return nullptr;
    // Zeroed, so that a failure part-way leaves only null or owned pointers for modelFree.
    Model* model = static_cast<Model*>(std::calloc(1, sizeof(Model)));
    if (!model) return nullptr;
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::free(model);
        return nullptr;
    }
    bool ok = readModel(file, model);
    std::fclose(file);
    if (!ok) {
        modelFree(model);
        return nullptr;
    }
    return model;
}

void modelFree(Model* model) {
    if (!model) return;
    std::free(model->skins);
    std::free(model->texCoords);
    std::free(model->triangles);
    if (model->frames) {
        for (int32_t i = 0; i < model->numFrames; ++i) std::free(model->frames[i].vertices);
        std::free(model->frames);
    }
    std::free(model->commands);
    std::free(model);
}
