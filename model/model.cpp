#include "model/model.h"

#include <cstdlib>
#include <cstring>

#include "common/bytes.h"
#include "common/file.h"
#include "model/model_layout.h"

// The whole file is read into memory with one call, every count and offset
// is checked against the bytes that arrived, and only then is anything
// allocated: the record, its sections, and one block that every frame's
// vertices are decoded into.

namespace {

using namespace modelfile;

// Normal for a packed normal index past the table: straight up, so a vertex
// with a broken index still shades plausibly instead of going black.
constexpr float kUpNormal[3] = {0.0f, 0.0f, 1.0f};

// The normal every possible index byte stands for, so decoding looks it up
// without a test per vertex.
struct NormalsByIndex {
    const float* entry[256];
    NormalsByIndex() {
        for (int i = 0; i < 256; ++i) entry[i] = i < MODEL_NUM_NORMALS ? modelNormals[i] : kUpNormal;
    }
};
const NormalsByIndex normalsByIndex;

// A new array of count records decoded from the file's bytes at offset by
// decode(record bytes, record); leaves *out null for a count of zero or
// less. False when the array can't be allocated.
template <typename T, typename Decode>
bool copySection(const uint8_t* file, int32_t offset, int32_t count, size_t recordSize, T** out, Decode decode) {
    if (count <= 0) return true;
    *out = static_cast<T*>(std::malloc(size_t(count) * sizeof(T)));
    if (!*out) return false;
    const uint8_t* record = file + offset;
    for (int32_t i = 0; i < count; ++i, record += recordSize) decode(record, (*out)[i]);
    return true;
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
        scale[axis] = littleEndianF32(frameBytes + axis * WORD_SIZE);
        translate[axis] = littleEndianF32(frameBytes + FRAME_TRANSLATE_OFFSET + axis * WORD_SIZE);
    }
    copyFrameName(frameBytes + FRAME_NAME_OFFSET, frame->name);

    const uint8_t* packed = frameBytes + MODEL_FRAME_HEADER_SIZE;
    ModelVertex* vertex = frame->vertices;
    for (int32_t k = 0; k < numVertices; ++k, packed += PACKED_VERTEX_SIZE, ++vertex) {
        vertex->x = packed[0] * scale[0] + translate[0];
        vertex->y = packed[2] * scale[2] + translate[2];
        vertex->z = -(packed[1] * scale[1] + translate[1]);
        const float* normal = normalsByIndex.entry[packed[3]];
        vertex->nx = normal[0];
        vertex->ny = normal[1];
        vertex->nz = normal[2];
    }
}

bool decodeFrames(const uint8_t* file, Model* model) {
    if (model->numFrames <= 0) return true;
    const size_t numFrames = size_t(model->numFrames), numVertices = size_t(model->numVertices);
    model->frames = static_cast<ModelFrame*>(std::calloc(numFrames, sizeof(ModelFrame)));
    if (!model->frames) return false;
    if (numVertices > 0) {
        model->vertexBlock = static_cast<ModelVertex*>(std::malloc(numFrames * numVertices * sizeof(ModelVertex)));
        if (!model->vertexBlock) return false;
    }
    // Frames lie back to back from offsetFrames, frameSize bytes each.
    const uint8_t* frameBytes = file + model->offsetFrames;
    for (size_t i = 0; i < numFrames; ++i, frameBytes += model->frameSize) {
        ModelFrame* frame = &model->frames[i];
        if (model->vertexBlock) frame->vertices = model->vertexBlock + i * numVertices;
        decodeFrame(frameBytes, model->numVertices, frame);
    }
    return true;
}

bool decodeModel(const uint8_t* file, int64_t size, Model* model) {
    if (size < MODEL_HEADER_SIZE) return false;
    readHeader(file, *model);
    if (checkHeader(*model, size).fault != HeaderFault::None) return false;

    auto skinName = [](const uint8_t* record, char(&name)[MODEL_SKIN_NAME_SIZE]) {
        std::memcpy(name, record, MODEL_SKIN_NAME_SIZE);
    };
    auto texCoord = [](const uint8_t* record, ModelTexCoord& c) {
        c.s = littleEndianI16(record);
        c.t = littleEndianI16(record + 2);
    };
    auto triangle = [](const uint8_t* record, ModelTriangle& t) {
        for (int k = 0; k < 3; ++k) {
            t.vertexIndex[k] = littleEndianI16(record + 2 * k);
            t.texCoordIndex[k] = littleEndianI16(record + 6 + 2 * k);
        }
    };
    auto word = [](const uint8_t* record, int32_t& w) { w = littleEndianI32(record); };

    return copySection(file, model->offsetSkins, model->numSkins, MODEL_SKIN_NAME_SIZE, &model->skins, skinName) &&
           copySection(file, model->offsetTexCoords, model->numTexCoords, TEXCOORD_RECORD_SIZE, &model->texCoords,
                       texCoord) &&
           copySection(file, model->offsetTriangles, model->numTriangles, TRIANGLE_RECORD_SIZE, &model->triangles,
                       triangle) &&
           decodeFrames(file, model) &&
           copySection(file, model->offsetCommands, model->numCommands, WORD_SIZE, &model->commands, word);
}

}  // namespace

Model* modelLoadFromBytes(const uint8_t* bytes, size_t size) {
    if (!bytes || size > size_t(MODEL_MAX_FILE_SIZE)) return nullptr;
    // Zeroed, so that a failure part-way leaves only null or owned pointers for modelFree.
    Model* model = static_cast<Model*>(std::calloc(1, sizeof(Model)));
    if (!model) return nullptr;
    if (!decodeModel(bytes, int64_t(size), model)) {
        modelFree(model);
        return nullptr;
    }
    return model;
}

Model* modelLoad(const char* path) {
    FileBytes file;
    if (!readWholeFile(path, MODEL_MAX_FILE_SIZE, file)) return nullptr;
    return modelLoadFromBytes(file.data.get(), file.size);
}

void modelFree(Model* model) {
    if (!model) return;
    std::free(model->skins);
    std::free(model->texCoords);
    std::free(model->triangles);
    if (model->vertexBlock) {
        std::free(model->vertexBlock);
    } else if (model->frames) {
        for (int32_t i = 0; i < model->numFrames; ++i) std::free(model->frames[i].vertices);
    }
    std::free(model->frames);
    std::free(model->commands);
    std::free(model);
}
