// Any bytes as OBJ frames (split at each line "#frame"): the reader returns
// a mesh that keeps every promise of model/source_mesh.h, or refuses in one
// line; it asks only for names beside the source. A material library asked
// for names one picture; every other file asked for is the input itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "model/import.h"
#include "tests/fuzz/source_mesh_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SourceFiles files = [&](const std::string& name, std::vector<uint8_t>& bytes, std::string&) {
        if (leavesFolder(name)) std::abort();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mtl") == 0) {
            const char library[] = "newmtl skin\nmap_Kd skin.png\n";
            bytes.assign(library, library + sizeof library - 1);
        } else {
            bytes.assign(data, data + size);
        }
        return true;
    };
    std::vector<std::vector<uint8_t>> frames(1);
    const char separator[] = "\n#frame\n";
    for (size_t i = 0; i < size; ++i) {
        if (i + sizeof separator - 1 <= size && std::memcmp(data + i, separator, sizeof separator - 1) == 0) {
            frames.emplace_back();
            i += sizeof separator - 2;
            continue;
        }
        frames.back().push_back(data[i]);
    }
    SourceMesh mesh;
    std::string error;
    if (readObjSource(frames, files, {}, mesh, error)) {
        checkSourceMesh(mesh);
    } else if (error.empty() || error.find('\n') != std::string::npos) {
        std::abort();
    }
    return 0;
}
