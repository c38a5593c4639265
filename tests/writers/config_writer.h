// Writes "ombrel.cfg" records from named settings, so tests say what they
// configure by name instead of by byte offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/config.h"

namespace testdata {

// The 1653-byte record for these settings, in the file's packed layout.
std::vector<uint8_t> configBytes(const ViewerConfig& config);

// Sets a path field from a string (cut to fit, always zero-terminated).
void setConfigPath(ViewerConfig& config, ConfigPath which, const std::string& path);

// Writes the record to path; keepBytes < 1653 writes only the first bytes,
// as a truncated file would hold them.
bool writeConfig(const std::string& path, const ViewerConfig& config, size_t keepBytes = CONFIG_FILE_SIZE);

}  // namespace testdata
