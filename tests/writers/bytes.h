// Little-endian byte buffers and whole files, for building test files by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_writer.h"

namespace testdata {

// The product's byte writer, under the name the tests have always used.
using Bytes = ::ByteWriter;

// Writes bytes to path, replacing the file. Returns false on any failure.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);

}  // namespace testdata
