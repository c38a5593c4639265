// modelLoad beside a baseline that reads the whole file into memory and
// decodes every frame into one array without any checks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench_models.h"
#include "model/model.h"

namespace {

void BM_ModelLoad(benchmark::State& state, const std::string& (*path)()) {
    const std::string& file = path();
    for (auto _ : state) {
        Model* model = modelLoad(file.c_str());
        if (!model) {
            state.SkipWithError("modelLoad failed");
            break;
        }
        benchmark::DoNotOptimize(model->frames);
        modelFree(model);
    }
}

int32_t headerField(const uint8_t* bytes, int index) {
    int32_t value;
    std::memcpy(&value, bytes + 4 * index, 4);
    return value;
}

void BM_ReadAndDecodeBaseline(benchmark::State& state, const std::string& (*path)()) {
    const std::string& file = path();
    for (auto _ : state) {
        FILE* f = std::fopen(file.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        const long size = std::ftell(f);
        std::fseek(f, 0, SEEK_SET);
        uint8_t* bytes = static_cast<uint8_t*>(std::malloc(size_t(size)));
        benchmark::DoNotOptimize(std::fread(bytes, 1, size_t(size), f));
        std::fclose(f);

        const int32_t frameSize = headerField(bytes, 4);
        const int32_t numVertices = headerField(bytes, 6);
        const int32_t numFrames = headerField(bytes, 10);
        const int32_t offsetFrames = headerField(bytes, 14);
        float* out = static_cast<float*>(std::malloc(size_t(numFrames) * size_t(numVertices) * 6 * sizeof(float)));
        float* v = out;
        for (int32_t i = 0; i < numFrames; ++i) {
            const uint8_t* frame = bytes + offsetFrames + size_t(i) * size_t(frameSize);
            float scale[3], translate[3];
            std::memcpy(scale, frame, 12);
            std::memcpy(translate, frame + 12, 12);
            const uint8_t* p = frame + 40;
            for (int32_t k = 0; k < numVertices; ++k, p += 4, v += 6) {
                v[0] = p[0] * scale[0] + translate[0];
                v[1] = p[2] * scale[2] + translate[2];
                v[2] = -(p[1] * scale[1] + translate[1]);
                v[3] = modelNormals[p[3]][0];
                v[4] = modelNormals[p[3]][1];
                v[5] = modelNormals[p[3]][2];
            }
        }
        benchmark::DoNotOptimize(out);
        std::free(out);
        std::free(bytes);
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_ModelLoad, faerie, &faerieModelPath)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadAndDecodeBaseline, faerie, &faerieModelPath)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ModelLoad, large, &largeModelPath)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadAndDecodeBaseline, large, &largeModelPath)->Unit(benchmark::kMicrosecond);
