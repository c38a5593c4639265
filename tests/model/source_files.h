// Helpers of the source reader tests: files beside a source held in memory,
// and reading a glTF document made by the test writer.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/import.h"
#include "tests/writers/gltf_writer.h"

using FileMap = std::map<std::string, std::vector<uint8_t>>;

// The files, by name; every name asked for is added to asked.
SourceFiles sourceFiles(const FileMap& files, std::vector<std::string>& asked);

// The writer's document as a .glb, read back with no files beside it.
bool readGlb(testdata::GltfWriter& writer, const SourceReadOptions& options, SourceMesh& mesh, std::string& error);
