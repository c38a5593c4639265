// Any bytes as a .glb or .gltf: the reader returns a mesh that keeps every
// promise of model/source_mesh.h, or refuses in one line; it asks only for
// names beside the source, and never reads outside its buffers. Every file
// asked for is the input itself again (so a buffer or picture of any kind
// is reachable).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/import.h"
#include "tests/fuzz/source_mesh_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SourceFiles files = [&](const std::string& name, std::vector<uint8_t>& bytes, std::string&) {
        if (leavesFolder(name)) std::abort();
        bytes.assign(data, data + size);
        return true;
    };
    SourceReadOptions options;
    options.rate = size > 0 ? 1 + data[size - 1] % 30 : 10;
    SourceMesh mesh;
    std::string error;
    if (readGltfSource(data, size, files, options, mesh, error)) {
        checkSourceMesh(mesh);
    } else if (error.empty() || error.find('\n') != std::string::npos) {
        std::abort();
    }
    return 0;
}
