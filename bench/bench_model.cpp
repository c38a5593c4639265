// modelLoad beside the least work a full load can do: read the whole file
// into memory with one call and decode every frame into one array, without
// any checks. Every model of the corpus and the large generated torus, each
// twice: with the heap as the previous load left it (warm), and with the
// allocator trimmed before every load (cold), so neither side profits from
// memory the one before it freed.
//   build/bin/bench --benchmark_filter='Load/cold' --benchmark_repetitions=9
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "bench/bench_models.h"
#include "model/model.h"

namespace {

void trimHeap() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void loadWithModelLoad(benchmark::State& state, const std::string& file) {
    Model* model = modelLoad(file.c_str());
    if (!model) {
        state.SkipWithError("modelLoad failed");
        return;
    }
    benchmark::DoNotOptimize(model->frames);
    modelFree(model);
}

int32_t headerField(const uint8_t* bytes, int index) {
    int32_t value;
    std::memcpy(&value, bytes + 4 * index, 4);
    return value;
}

void loadWithReference(benchmark::State&, const std::string& file) {
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

using Loader = void (*)(benchmark::State&, const std::string&);

void BM_Load(benchmark::State& state, Loader load, std::string file, bool cold) {
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            trimHeap();
            state.ResumeTiming();
        }
        load(state, file);
    }
}

// Every .md2 of the corpus by name, then the large torus.
std::vector<std::pair<std::string, std::string>> benchModels() {
    std::vector<std::pair<std::string, std::string>> models;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(OMBREL_CORPUS_DIR, error))
        if (entry.path().extension() == ".md2")
            models.emplace_back(entry.path().stem().string(), entry.path().string());
    std::sort(models.begin(), models.end());
    models.emplace_back("large", largeModelPath());
    return models;
}

const bool registered = [] {
    for (const auto& [name, file] : benchModels()) {
        for (bool cold : {false, true}) {
            const std::string heap = cold ? "cold/" : "warm/";
            benchmark::RegisterBenchmark(("ModelLoad/" + heap + name).c_str(), BM_Load, loadWithModelLoad, file, cold)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("ReferenceLoad/" + heap + name).c_str(), BM_Load, loadWithReference, file,
                                         cold)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    return true;
}();

}  // namespace
