// Game archives for tests: the PACK format of .pak files and zip files,
// from lists of names and bytes; zip members stored or deflated (by zlib),
// as common tools write them or with one thing wrong on purpose.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

using ArchiveFiles = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// "PACK", the directory's offset and size, the files, then the directory of
// 64-byte entries (56-byte name, offset, size).
std::vector<uint8_t> pakArchive(const ArchiveFiles& files);

// What is wrong with a zip member on purpose; the local header and the
// directory agree on it unless it says otherwise.
enum class ZipFault {
    None,
    WrongCrc,           // a CRC-32 one more than its bytes'
    LongerThanStated,   // a full size one less than its bytes
    ShorterThanStated,  // a full size one more than its bytes
    Encrypted,          // the encryption flag set (its bytes as they are)
    Zip64Sizes,         // both sizes all ones, the real ones in the zip64 extra field
    LocalMethod,        // the local header says stored where the directory says deflated, or the other way
    LocalSizes,         // the local header's full size one more than the directory's
    CutShort,           // only the first half of its deflated data, its compressed size saying so
    BadDeflate,         // deflated data whose first block is of a type that does not exist
    Outside,            // the directory puts its local header a mebibyte past the end
};

struct ZipMember {
    std::string name;  // as stored: any bytes
    std::vector<uint8_t> bytes;
    uint16_t method = 0;  // 0: stored; 8: deflated here; any other: the bytes as they are, under that method
    ZipFault fault = ZipFault::None;
    bool descriptor = false;  // the CRC and sizes after the data (zeros in the local header), as zip writes to a pipe
    bool localZip64 = false;  // the local header's sizes in its zip64 field, as zip writes what it reads from a pipe
    bool link = false;        // a symbolic link (a Unix mode), its bytes the target
};

std::vector<uint8_t> zipArchiveOf(const std::vector<ZipMember>& members);

// A zip whose members are stored without compression, their names as given
// (any bytes). Members named in links are symbolic links. Past 65,535
// members the end records are zip64.
std::vector<uint8_t> zipArchive(const ArchiveFiles& files, const std::vector<std::string>& links = {});

// The bytes as raw deflate data (zlib, its default level).
std::vector<uint8_t> deflated(const std::vector<uint8_t>& bytes);

}  // namespace testdata
