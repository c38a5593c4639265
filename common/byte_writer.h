// Little-endian byte buffers: how the writers of the formats the viewer
// reads (models, pictures) lay out their numbers, on any host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ByteWriter {
public:
    ByteWriter& u8(uint8_t v) {
        data_.push_back(v);
        return *this;
    }
    ByteWriter& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    ByteWriter& i16(int16_t v) { return u16(uint16_t(v)); }
    ByteWriter& u32(uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) data_.push_back(uint8_t(v >> shift));
        return *this;
    }
    ByteWriter& i32(int32_t v) { return u32(uint32_t(v)); }
    ByteWriter& f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    ByteWriter& raw(const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        data_.insert(data_.end(), p, p + size);
        return *this;
    }
    // Writes text and pads with zero bytes up to width (cuts text longer than width).
    ByteWriter& fixedString(const std::string& text, size_t width) {
        size_t n = text.size() < width ? text.size() : width;
        raw(text.data(), n);
        return zeros(width - n);
    }
    ByteWriter& zeros(size_t count) {
        data_.insert(data_.end(), count, 0);
        return *this;
    }

    // Overwrites 4 bytes at offset (for fields known only later), growing the buffer if needed.
    void putI32(size_t offset, int32_t v) {
        uint32_t u = uint32_t(v);
        if (offset + 4 > data_.size()) data_.resize(offset + 4, 0);
        for (int i = 0; i < 4; ++i) data_[offset + i] = uint8_t(u >> (8 * i));
    }

    size_t size() const { return data_.size(); }
    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t>& data() { return data_; }

private:
    std::vector<uint8_t> data_;
};
