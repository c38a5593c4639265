#include "viewer/config.h"

#include <cstring>

#include "common/bytes.h"
#include "common/file.h"

namespace {

// Takes the fields one after another from the record's bytes. The fields are
// packed at odd offsets, so each is decoded from its little-endian bytes on
// its own, and one that the file does not hold whole keeps its value.
class FieldReader {
public:
    FieldReader(const uint8_t* bytes, size_t size) : next_(bytes), left_(size) {}

    void int32(int32_t& field) {
        if (const uint8_t* b = take(4)) field = littleEndianI32(b);
    }

    void float32(float& field) {
        if (const uint8_t* b = take(4)) field = littleEndianF32(b);
    }

    // A colour triple is one 12-byte field: all three values or none.
    void colour(float (&field)[3]) {
        if (const uint8_t* b = take(12))
            for (int i = 0; i < 3; ++i) field[i] = littleEndianF32(b + 4 * i);
    }

    void byte(uint8_t& field) {
        if (const uint8_t* b = take(1)) field = *b;
    }

    void path(char (&field)[CONFIG_PATH_SIZE]) {
        const uint8_t* b = take(CONFIG_PATH_SIZE);
        if (!b) return;
        std::memcpy(field, b, CONFIG_PATH_SIZE);
        field[CONFIG_PATH_SIZE - 1] = 0;  // a path without its zero ends at the field's last byte
    }

private:
    // The next `size` bytes, or null (and nothing more to take) when fewer are left.
    const uint8_t* take(size_t size) {
        if (size > left_) {
            left_ = 0;
            return nullptr;
        }
        const uint8_t* field = next_;
        next_ += size;
        left_ -= size;
        return field;
    }

    const uint8_t* next_;
    size_t left_;
};

}  // namespace

bool readConfig(const char* path, ViewerConfig& config) {
    uint8_t record[CONFIG_FILE_SIZE];
    size_t size;
    {
        InputFile file(path);
        if (!file.isOpen()) return false;
        size = file.read(record, sizeof record);  // whatever follows the record is not looked at
    }
    FieldReader read(record, size);
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
    return true;
}
