#include "tests/writers/archives.h"

#include <algorithm>

#include "tests/writers/bytes.h"

namespace testdata {

namespace {

uint32_t crc32(const std::vector<uint8_t>& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace

std::vector<uint8_t> pakArchive(const ArchiveFiles& files) {
    Bytes out;
    out.raw("PACK", 4).u32(0).u32(0);
    std::vector<uint32_t> offsets;
    for (const auto& file : files) {
        offsets.push_back(uint32_t(out.size()));
        out.raw(file.second.data(), file.second.size());
    }
    const uint32_t directory = uint32_t(out.size());
    for (size_t i = 0; i < files.size(); ++i)
        out.fixedString(files[i].first, 56).u32(offsets[i]).u32(uint32_t(files[i].second.size()));
    out.putI32(4, int32_t(directory));
    out.putI32(8, int32_t(files.size() * 64));
    return out.data();
}

std::vector<uint8_t> zipArchive(const ArchiveFiles& files, const std::vector<std::string>& links) {
    Bytes out, central;
    for (const auto& file : files) {
        const uint32_t offset = uint32_t(out.size()), crc = crc32(file.second);
        const uint32_t size = uint32_t(file.second.size());
        const uint16_t nameLength = uint16_t(file.first.size());
        // Local header: version 10, no flags, stored, no time, crc, sizes, name.
        out.u32(0x04034b50).u16(10).u16(0).u16(0).u16(0).u16(0x21).u32(crc).u32(size).u32(size);
        out.u16(nameLength).u16(0).raw(file.first.data(), nameLength).raw(file.second.data(), size);
        central.u32(0x02014b50).u16(0x0314).u16(10).u16(0).u16(0).u16(0).u16(0x21).u32(crc).u32(size).u32(size);
        const bool link = std::find(links.begin(), links.end(), file.first) != links.end();
        const uint32_t mode = link ? 0120777u : 0100644u;
        central.u16(nameLength).u16(0).u16(0).u16(0).u16(0).u32(mode << 16).u32(offset);
        central.raw(file.first.data(), nameLength);
    }
    const uint32_t centralOffset = uint32_t(out.size()), centralSize = uint32_t(central.size());
    out.raw(central.data().data(), central.size());
    uint16_t count16 = uint16_t(files.size());
    if (files.size() > 0xFFFF) {
        // The zip64 end record, its locator, and the classic end record full of ones.
        const uint32_t record = uint32_t(out.size());
        out.u32(0x06064b50).u32(44).u32(0).u16(45).u16(45).u32(0).u32(0);
        out.u32(uint32_t(files.size())).u32(0).u32(uint32_t(files.size())).u32(0);
        out.u32(centralSize).u32(0).u32(centralOffset).u32(0);
        out.u32(0x07064b50).u32(0).u32(record).u32(0).u32(1);
        count16 = 0xFFFF;
    }
    out.u32(0x06054b50).u16(0).u16(0).u16(count16).u16(count16);
    out.u32(centralSize).u32(centralOffset).u16(0);
    return out.data();
}

}  // namespace testdata
