// Little-endian fields of the file formats the viewer reads, taken from bytes
// in memory at any alignment and on any host. Every reader decodes its
// numbers through these, never by laying a structure over the bytes.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t littleEndianU16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

inline int16_t littleEndianI16(const uint8_t* bytes) { return int16_t(littleEndianU16(bytes)); }

inline uint32_t littleEndianU32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

inline int32_t littleEndianI32(const uint8_t* bytes) { return int32_t(littleEndianU32(bytes)); }

// The big-endian order PNG's chunks are written in.
inline uint32_t bigEndianU32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

inline uint64_t littleEndianU64(const uint8_t* bytes) {
    return uint64_t(littleEndianU32(bytes)) | uint64_t(littleEndianU32(bytes + 4)) << 32;
}

// An IEEE single-precision number stored as its 32 bits.
inline float littleEndianF32(const uint8_t* bytes) {
    const uint32_t bits = littleEndianU32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
