#include "viewer/config.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "common/file.h"
#include "common/wide_text.h"

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

void viewTurn(const float p[3], float rotX, float rotY, float turned[3]) {
    const double pi = 3.14159265358979323846;
    const double ay = rotY * pi / 180, ax = rotX * pi / 180;
    const double x = p[0] * std::cos(ay) + p[2] * std::sin(ay), y = p[1], z = -p[0] * std::sin(ay) + p[2] * std::cos(ay);
    turned[0] = float(x);
    turned[1] = float(y * std::cos(ax) - z * std::sin(ax));
    turned[2] = float(y * std::sin(ax) + z * std::cos(ax));
}

void readConfigFromBytes(const uint8_t* bytes, size_t size, ViewerConfig& config) {
    FieldReader read(bytes, size < size_t(CONFIG_FILE_SIZE) ? size : size_t(CONFIG_FILE_SIZE));
    visitConfigFields(config, read);
}

bool readConfig(const char* path, ViewerConfig& config) {
    uint8_t record[CONFIG_FILE_SIZE];
    size_t size;
    {
        InputFile file(path);
        if (!file.isOpen()) return false;
        size = file.read(record, sizeof record);  // whatever follows the record is not looked at
    }
    readConfigFromBytes(record, size, config);
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
#ifdef _WIN32
    FILE* file = _wfopen(wideText(path).c_str(), L"wb");  // paths are UTF-8
#else
    FILE* file = std::fopen(path.c_str(), "wb");
#endif
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

void setConfigPath(ViewerConfig& config, ConfigPath which, const std::string& path) {
    char* field = config.paths[which];
    std::memset(field, 0, CONFIG_PATH_SIZE);
    std::memcpy(field, path.data(), path.size() < size_t(CONFIG_PATH_SIZE) ? path.size() : CONFIG_PATH_SIZE - 1);
}
