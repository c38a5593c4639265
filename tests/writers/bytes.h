// Little-endian byte buffers for building test files by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

class Bytes {
public:
    Bytes& u8(uint8_t v);
    Bytes& u16(uint16_t v);
    Bytes& i16(int16_t v);
    Bytes& i32(int32_t v);
    Bytes& u32(uint32_t v);
    Bytes& f32(float v);
    Bytes& raw(const void* data, size_t size);
    // Writes text and pads with zero bytes up to width (cuts text longer than width).
    Bytes& fixedString(const std::string& text, size_t width);
    Bytes& zeros(size_t count);

    // Overwrites 4 bytes at offset (for patching header fields afterwards).
    void putI32(size_t offset, int32_t v);

    size_t size() const { return data_.size(); }
    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t>& data() { return data_; }

private:
    std::vector<uint8_t> data_;
};

// Writes bytes to path, replacing the file. Returns false on any failure.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);

}  // namespace testdata
