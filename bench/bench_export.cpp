// The export of faerie.md2 (198 key frames) with its skin, in memory (the
// files' bytes, not the writing), beside loading the same model:
//   build/bin/bench --benchmark_filter='Export|Load/warm/faerie' --benchmark_repetitions=9
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_models.h"
#include "image/image.h"
#include "model/export.h"
#include "model/model.h"

namespace {

struct Subject {
    Subject()
        : model(modelLoad(faerieModelPath().c_str())),
          skin(readTgaImage((std::string(OMBREL_CORPUS_DIR) + "/faerie.tga").c_str())) {}
    ~Subject() { modelFree(model); }
    Model* model;
    std::unique_ptr<mxImage> skin;
};

const Subject& faerie() {
    static const Subject subject;
    return subject;
}

void exportFaerie(benchmark::State& state, const std::string& name, bool quantize) {
    const Subject& subject = faerie();
    if (!subject.model || !subject.skin) {
        state.SkipWithError("faerie.md2 or faerie.tga did not load");
        return;
    }
    ExportOptions options;
    options.quantize = quantize;
    options.skin = {subject.skin->data, subject.skin->width, subject.skin->height};
    size_t bytes = 0;
    for (auto _ : state) {
        const ExportResult result = name.size() > 4 && name.substr(name.size() - 4) == ".obj"
                                        ? exportObj(subject.model, 0, options, name)
                                        : exportGltf(subject.model, options, name);
        if (!result.ok) {
            state.SkipWithError(result.error.c_str());
            return;
        }
        bytes = 0;
        for (const ExportFile& file : result.files) bytes += file.bytes.size();
    }
    state.counters["bytes"] = double(bytes);
}

BENCHMARK_CAPTURE(exportFaerie, glb, std::string("faerie.glb"), false)->Name("Export/faerie/glb")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(exportFaerie, quantized, std::string("faerie.glb"), true)
    ->Name("Export/faerie/quantized_glb")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(exportFaerie, gltf, std::string("faerie.gltf"), false)->Name("Export/faerie/gltf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(exportFaerie, obj, std::string("faerie.obj"), false)->Name("Export/faerie/obj")->Unit(benchmark::kMillisecond);

}  // namespace
