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
    visitConfigFields(config, read);
    std::fclose(file);
    return true;
}

namespace {

// Appends each field in the record's little-endian packed form.
class FieldWriter {
public:
    explicit FieldWriter(std::vector<uint8_t>& out) : out_(out) {}

    void int32(int32_t field) { append32(uint32_t(field)); }

    void float32(float field) {
        uint32_t bits;
        std::memcpy(&bits, &field, 4);
        append32(bits);
    }

    void colour(const float (&field)[3]) {
        for (float value : field) float32(value);
    }

    void byte(uint8_t field) { out_.push_back(field); }

    // All 256 bytes as they stand (setConfigPath leaves zeros after the path).
    void path(const char (&field)[CONFIG_PATH_SIZE]) { out_.insert(out_.end(), field, field + CONFIG_PATH_SIZE); }

private:
    void append32(uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) out_.push_back(uint8_t(v >> shift));
    }
    std::vector<uint8_t>& out_;
};

}  // namespace

std::vector<uint8_t> configBytes(const ViewerConfig& config) {
    std::vector<uint8_t> bytes;
    bytes.reserve(CONFIG_FILE_SIZE);
    FieldWriter write(bytes);
    visitConfigFields(config, write);
    return bytes;
}

bool writeConfig(const std::string& path, const ViewerConfig& config) {
    const std::vector<uint8_t> bytes = configBytes(config);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

void setConfigPath(ViewerConfig& config, ConfigPath which, const std::string& path) {
    char* field = config.paths[which];
    std::memset(field, 0, CONFIG_PATH_SIZE);
    std::memcpy(field, path.data(), path.size() < size_t(CONFIG_PATH_SIZE) ? path.size() : CONFIG_PATH_SIZE - 1);
}
