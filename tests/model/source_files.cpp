#include "tests/model/source_files.h"

SourceFiles sourceFiles(const FileMap& files, std::vector<std::string>& asked) {
    return [&files, &asked](const std::string& name, std::vector<uint8_t>& bytes, std::string& error) {
        asked.push_back(name);
        const auto found = files.find(name);
        if (found == files.end()) {
            error = "no such file";
            return false;
        }
        bytes = found->second;
        return true;
    };
}

bool readGlb(testdata::GltfWriter& writer, const SourceReadOptions& options, SourceMesh& mesh, std::string& error) {
    const std::vector<uint8_t> glb = writer.glb();
    static const FileMap none;
    std::vector<std::string> asked;
    return readGltfSource(glb.data(), glb.size(), sourceFiles(none, asked), options, mesh, error);
}
