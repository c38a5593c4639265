#include "tests/writers/bytes.h"

#include <cstdio>
#include <cstring>

namespace testdata {

Bytes& Bytes::u8(uint8_t v) {
    data_.push_back(v);
    return *this;
}

Bytes& Bytes::u16(uint16_t v) {
    data_.push_back(uint8_t(v));
    data_.push_back(uint8_t(v >> 8));
    return *this;
}

Bytes& Bytes::i16(int16_t v) { return u16(uint16_t(v)); }

Bytes& Bytes::u32(uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) data_.push_back(uint8_t(v >> shift));
    return *this;
}

Bytes& Bytes::i32(int32_t v) { return u32(uint32_t(v)); }

Bytes& Bytes::f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
}

Bytes& Bytes::raw(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    data_.insert(data_.end(), p, p + size);
    return *this;
}

Bytes& Bytes::fixedString(const std::string& text, size_t width) {
    size_t n = text.size() < width ? text.size() : width;
    raw(text.data(), n);
    return zeros(width - n);
}

Bytes& Bytes::zeros(size_t count) {
    data_.insert(data_.end(), count, 0);
    return *this;
}

void Bytes::putI32(size_t offset, int32_t v) {
    uint32_t u = uint32_t(v);
    if (offset + 4 > data_.size()) data_.resize(offset + 4, 0);
    for (int i = 0; i < 4; ++i) data_[offset + i] = uint8_t(u >> (8 * i));
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

}  // namespace testdata
