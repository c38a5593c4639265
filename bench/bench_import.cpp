// Reading faerie.md2's own glTF export (198 key frames, every one a morph
// target) back as a source, beside its export (bench_export.cpp):
//   build/bin/bench --benchmark_filter='Export/faerie/glb|Import' --benchmark_repetitions=9
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_models.h"
#include "image/image.h"
#include "model/export.h"
#include "model/import.h"
#include "model/model.h"

namespace {

// faerie exported with its skin, once.
std::vector<uint8_t> faerieGlb(bool quantize) {
    Model* model = modelLoad(faerieModelPath().c_str());
    std::unique_ptr<mxImage> skin(readTgaImage((std::string(OMBREL_CORPUS_DIR) + "/faerie.tga").c_str()));
    std::vector<uint8_t> bytes;
    if (model && skin) {
        ExportOptions options;
        options.quantize = quantize;
        options.skin = {skin->data, skin->width, skin->height};
        ExportResult result = exportGltf(model, options, "faerie.glb");
        if (result.ok) bytes = std::move(result.files[0].bytes);
    }
    modelFree(model);
    return bytes;
}

void importFaerie(benchmark::State& state, bool quantize) {
    const std::vector<uint8_t> glb = faerieGlb(quantize);
    if (glb.empty()) {
        state.SkipWithError("faerie.md2 or faerie.tga did not load or export");
        return;
    }
    const SourceFiles none = [](const std::string&, std::vector<uint8_t>&, std::string&) { return false; };
    size_t frames = 0;
    for (auto _ : state) {
        SourceMesh mesh;
        std::string error;
        if (!readGltfSource(glb.data(), glb.size(), none, {}, mesh, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        frames = 0;
        for (const SourceAnimation& animation : mesh.animations) frames += animation.frames.size();
    }
    state.counters["frames"] = double(frames);
}

BENCHMARK_CAPTURE(importFaerie, glb, false)->Name("Import/faerie/glb")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(importFaerie, quantized, true)->Name("Import/faerie/quantized_glb")->Unit(benchmark::kMillisecond);

}  // namespace
