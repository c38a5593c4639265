#include "viewer/config.h"

#include <cstdio>
#include <cstring>

namespace {

uint32_t littleEndian32(const unsigned char* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

float littleEndianFloat(const unsigned char* b) {
    uint32_t bits = littleEndian32(b);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

// Reads exactly size bytes, or reports that the file ended first. The file's
// fields are packed at odd offsets, so each is read on its own and decoded
// from little-endian bytes rather than mapped onto a structure.
class FieldReader {
public:
    explicit FieldReader(FILE* file) : file_(file) {}

    bool bytes(void* out, size_t size) { return std::fread(out, 1, size, file_) == size; }

    void int32(int32_t& field) {
        unsigned char b[4];
        if (bytes(b, 4)) field = int32_t(littleEndian32(b));
    }

    void float32(float& field) {
        unsigned char b[4];
        if (bytes(b, 4)) field = littleEndianFloat(b);
    }

    // A colour triple is one 12-byte field: all three values or none.
    void colour(float (&field)[3]) {
        unsigned char b[12];
        if (!bytes(b, 12)) return;
        for (int i = 0; i < 3; ++i) field[i] = littleEndianFloat(b + 4 * i);
    }

    void byte(uint8_t& field) {
        uint8_t b;
        if (bytes(&b, 1)) field = b;
    }

    void path(char (&field)[CONFIG_PATH_SIZE]) {
        char b[CONFIG_PATH_SIZE];
        if (!bytes(b, sizeof b)) return;
        b[CONFIG_PATH_SIZE - 1] = 0;  // a path without its zero ends at the field's last byte
        std::memcpy(field, b, sizeof b);
    }

private:
    FILE* file_;
};

}  // namespace

bool readConfig(const char* path, ViewerConfig& config) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    FieldReader read(file);
    read.int32(config.windowWidth);
    read.int32(config.windowHeight);
    read.byte(config.fullScreen);
    for (auto& p : config.paths) read.path(p);
    read.float32(config.rotX);
    read.float32(config.rotY);
    read.float32(config.transX);
    read.float32(config.transY);
    read.float32(config.transZ);
    read.int32(config.renderMode);
    read.float32(config.frameFraction);
    read.int32(config.currentFrame);
    read.int32(config.nextFrame);
    read.int32(config.startFrame);
    read.int32(config.endFrame);
    read.float32(config.msPerFrame);
    read.colour(config.backgroundColor);
    read.colour(config.modelColor);
    read.colour(config.wireColor);
    read.colour(config.lightColor);
    read.float32(config.brightness);
    read.int32(config.flags);
    read.int32(config.textureLimit);
    std::fclose(file);
    return true;
}
