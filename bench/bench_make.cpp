// makeMd2 of the corpus models made again from themselves (the sources read
// once, before timing), beside the export of faerie.md2 the other way:
//   build/bin/bench --benchmark_filter='Make/|Export/faerie/glb$' --benchmark_repetitions=9
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "image/image.h"
#include "model/import.h"
#include "model/md2_maker.h"
#include "model/model.h"

namespace {

// The source of a corpus model and its skin, as `convert` of the model would have it.
SourceMesh corpusSource(const std::string& model, const std::string& skin) {
    SourceMesh mesh;
    Model* loaded = modelLoad((std::string(OMBREL_CORPUS_DIR) + "/" + model).c_str());
    std::unique_ptr<mxImage> picture(readTgaImage((std::string(OMBREL_CORPUS_DIR) + "/" + skin).c_str()));
    std::string error;
    if (loaded && picture) readMd2Source(*loaded, picture->data, picture->width, picture->height, {}, mesh, error);
    modelFree(loaded);
    return mesh;
}

void makeCorpusModel(benchmark::State& state, const std::string& model, const std::string& skin) {
    const SourceMesh mesh = corpusSource(model, skin);
    if (mesh.animations.empty()) {
        state.SkipWithError((model + " or its skin did not load").c_str());
        return;
    }
    size_t bytes = 0;
    for (auto _ : state) {
        const Md2MakeResult made = makeMd2(mesh, {});
        if (!made.ok) {
            state.SkipWithError(made.error.c_str());
            return;
        }
        bytes = made.model.size() + made.skin.size();
    }
    state.counters["bytes"] = double(bytes);
}

BENCHMARK_CAPTURE(makeCorpusModel, faerie, std::string("faerie.md2"), std::string("faerie.tga"))
    ->Name("Make/faerie")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(makeCorpusModel, sydney, std::string("sydney.md2"), std::string("sydney.tga"))
    ->Name("Make/sydney")
    ->Unit(benchmark::kMillisecond);

}  // namespace
