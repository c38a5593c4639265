#include "tests/model/model_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "tests/writers/bytes.h"
#include "tests/writers/scratch_dir.h"

ModelPtr loadModelBytes(const std::vector<uint8_t>& bytes) {
    testdata::ScratchDir dir;
    const std::string path = dir.write("model.md2", bytes);
    EXPECT_FALSE(path.empty());
    return ModelPtr(modelLoad(path.c_str()));
}

std::string corpusPath(const std::string& name) { return std::string(OMBREL_CORPUS_DIR) + "/" + name; }

ModelPtr loadCorpusModel(const std::string& name) { return ModelPtr(modelLoad(corpusPath(name).c_str())); }

std::vector<std::vector<float>> publishedNormals() {
    std::ifstream in(std::string(OMBREL_DATA_DIR) + "/vertex-normals.txt");
    std::vector<std::vector<float>> normals;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::vector<float> n(3);
        fields >> n[0] >> n[1] >> n[2];
        normals.push_back(n);
    }
    return normals;
}

int32_t rawInt32(const std::vector<uint8_t>& bytes, size_t offset) {
    return int32_t(uint32_t(bytes.at(offset)) | uint32_t(bytes.at(offset + 1)) << 8 |
                   uint32_t(bytes.at(offset + 2)) << 16 | uint32_t(bytes.at(offset + 3)) << 24);
}

float rawFloat(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t bits = uint32_t(rawInt32(bytes, offset));
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}
