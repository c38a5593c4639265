// Game archives for tests: the PACK format of .pak files and plain stored
// (uncompressed) zip files, from lists of names and bytes.
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

// A zip whose members are stored without compression, their names as given
// (any bytes). Members named in links are symbolic links (a Unix mode), their
// bytes the link's target. Past 65,535 members the end records are zip64.
std::vector<uint8_t> zipArchive(const ArchiveFiles& files, const std::vector<std::string>& links = {});

}  // namespace testdata
