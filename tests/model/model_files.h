// Helpers shared by the model tests: loading models from bytes through a
// temporary file, and reading the raw corpus files independently of the reader.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/model.h"

struct ModelDeleter {
    void operator()(Model* model) const { modelFree(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

// Writes bytes to a temporary file and loads it.
ModelPtr loadModelBytes(const std::vector<uint8_t>& bytes);

ModelPtr loadCorpusModel(const std::string& name);
std::string corpusPath(const std::string& name);

// The normal table as published in the data folder, parsed here.
std::vector<std::vector<float>> publishedNormals();

// Little-endian reads from raw file bytes.
int32_t rawInt32(const std::vector<uint8_t>& bytes, size_t offset);
float rawFloat(const std::vector<uint8_t>& bytes, size_t offset);
