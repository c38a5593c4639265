#include "tests/writers/archives.h"

#include <zlib.h>

#include <algorithm>

#include "tests/writers/bytes.h"

namespace testdata {

namespace {

uint32_t crcOf(const std::vector<uint8_t>& bytes) {
    return uint32_t(crc32_z(crc32(0, nullptr, 0), bytes.data(), bytes.size()));
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

std::vector<uint8_t> deflated(const std::vector<uint8_t>& bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&stream, uLong(bytes.size())));
    stream.next_in = const_cast<Bytef*>(bytes.data());
    stream.avail_in = uInt(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::vector<uint8_t> zipArchiveOf(const std::vector<ZipMember>& members) {
    Bytes out, central;
    for (const ZipMember& m : members) {
        const ZipFault fault = m.fault;
        std::vector<uint8_t> data = m.method == 8 ? deflated(m.bytes) : m.bytes;
        if (fault == ZipFault::CutShort) data.resize(data.size() / 2);
        if (fault == ZipFault::BadDeflate && !data.empty()) data[0] |= 0x06;  // block type 3
        uint32_t crc = crcOf(m.bytes), storedSize = uint32_t(data.size()), size = uint32_t(m.bytes.size());
        if (fault == ZipFault::WrongCrc) ++crc;
        if (fault == ZipFault::LongerThanStated) --size;
        if (fault == ZipFault::ShorterThanStated) ++size;
        const bool zip64 = fault == ZipFault::Zip64Sizes;
        const uint16_t version = zip64 || m.localZip64 ? 45 : m.method == 8 ? 20 : 10;
        uint16_t flags = m.descriptor ? 0x0008 : 0;
        if (fault == ZipFault::Encrypted) flags |= 0x0001;
        const uint16_t nameLength = uint16_t(m.name.size());
        // The zip64 extra field: the full size, then the compressed size.
        Bytes sizes64;
        sizes64.u16(1).u16(16).u32(size).u32(0).u32(storedSize).u32(0);

        const uint32_t offset = uint32_t(out.size());
        uint16_t localMethod = m.method;
        if (fault == ZipFault::LocalMethod) localMethod = m.method == 8 ? 0 : 8;
        out.u32(0x04034b50).u16(version).u16(flags).u16(localMethod).u16(0).u16(0x21);
        const bool localSizes64 = zip64 || m.localZip64;
        if (m.descriptor)
            out.u32(0).u32(0).u32(0);
        else if (localSizes64)
            out.u32(crc).u32(0xFFFFFFFFu).u32(0xFFFFFFFFu);
        else
            out.u32(crc).u32(storedSize).u32(size + (fault == ZipFault::LocalSizes ? 1 : 0));
        const std::vector<uint8_t>& localExtra = localSizes64 ? sizes64.data() : std::vector<uint8_t>();
        out.u16(nameLength).u16(uint16_t(localExtra.size())).raw(m.name.data(), nameLength);
        out.raw(localExtra.data(), localExtra.size()).raw(data.data(), data.size());
        if (m.descriptor) out.u32(0x08074b50).u32(crc).u32(storedSize).u32(size);

        const uint32_t mode = m.link ? 0120777u : 0100644u;
        const std::vector<uint8_t>& centralExtra = zip64 ? sizes64.data() : std::vector<uint8_t>();
        central.u32(0x02014b50).u16(0x0314).u16(version).u16(flags).u16(m.method).u16(0).u16(0x21).u32(crc);
        if (zip64)
            central.u32(0xFFFFFFFFu).u32(0xFFFFFFFFu);
        else
            central.u32(storedSize).u32(size);
        central.u16(nameLength).u16(uint16_t(centralExtra.size())).u16(0).u16(0).u16(0).u32(mode << 16);
        central.u32(fault == ZipFault::Outside ? offset + (1u << 20) : offset);
        central.raw(m.name.data(), nameLength).raw(centralExtra.data(), centralExtra.size());
    }
    const uint32_t centralOffset = uint32_t(out.size()), centralSize = uint32_t(central.size());
    out.raw(central.data().data(), central.size());
    uint16_t count16 = uint16_t(members.size());
    if (members.size() > 0xFFFF) {
        // The zip64 end record, its locator, and the classic end record full of ones.
        const uint32_t record = uint32_t(out.size());
        out.u32(0x06064b50).u32(44).u32(0).u16(45).u16(45).u32(0).u32(0);
        out.u32(uint32_t(members.size())).u32(0).u32(uint32_t(members.size())).u32(0);
        out.u32(centralSize).u32(0).u32(centralOffset).u32(0);
        out.u32(0x07064b50).u32(0).u32(record).u32(0).u32(1);
        count16 = 0xFFFF;
    }
    out.u32(0x06054b50).u16(0).u16(0).u16(count16).u16(count16);
    out.u32(centralSize).u32(centralOffset).u16(0);
    return out.data();
}

std::vector<uint8_t> zipArchive(const ArchiveFiles& files, const std::vector<std::string>& links) {
    std::vector<ZipMember> members;
    members.reserve(files.size());
    for (const auto& file : files) {
        ZipMember member;
        member.name = file.first;
        member.bytes = file.second;
        member.link = std::find(links.begin(), links.end(), file.first) != links.end();
        members.push_back(std::move(member));
    }
    return zipArchiveOf(members);
}

}  // namespace testdata
