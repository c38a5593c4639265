// Picture decoding: readPcxImage and readTgaImage on pictures written by the
// test writers, each beside a baseline that only reads the same file into
// memory (the floor any decoder pays for its input).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "image/image.h"
#include "tests/writers/pictures.h"
#include "tests/writers/scratch_dir.h"

namespace {

enum Kind { kPcx, kTga };

// Each picture is written once per run and removed when the program ends.
const std::string& picturePath(Kind kind, int edge) {
    static testdata::ScratchDir dir;
    static std::map<std::pair<int, int>, std::string> paths;
    std::string& path = paths[{kind, edge}];
    if (path.empty()) {
        testdata::IndexedPicture picture = testdata::samplePicture(edge, edge);
        std::string name = std::to_string(edge) + (kind == kPcx ? ".pcx" : ".tga");
        path = kind == kPcx ? dir.write(name, testdata::encodePcx(picture))
                            : dir.write(name, testdata::encodeTga(edge, edge, picture.toRgb()));
    }
    return path;
}

void readWholeFile(const std::string& path, std::vector<uint8_t>& buffer) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return;
    std::fseek(file, 0, SEEK_END);
    buffer.resize(size_t(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    std::fclose(file);
    benchmark::DoNotOptimize(got);
}

template <Kind kind>
void BM_readImage(benchmark::State& state) {
    int edge = int(state.range(0));
    const std::string& path = picturePath(kind, edge);
    for (auto _ : state) {
        mxImage* image = kind == kPcx ? readPcxImage(path.c_str()) : readTgaImage(path.c_str());
        if (!image) {
            state.SkipWithError("picture not read");
            break;
        }
        benchmark::DoNotOptimize(image->data);
        delete image;
    }
    state.SetItemsProcessed(state.iterations() * int64_t(edge) * edge);
}

template <Kind kind>
void BM_readFileBaseline(benchmark::State& state) {
    const std::string& path = picturePath(kind, int(state.range(0)));
    for (auto _ : state) {
        std::vector<uint8_t> bytes;  // a fresh buffer, as a reader makes one per call
        readWholeFile(path, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_readPcxImage(benchmark::State& state) { BM_readImage<kPcx>(state); }
void BM_readTgaImage(benchmark::State& state) { BM_readImage<kTga>(state); }
void BM_readPcxFileBaseline(benchmark::State& state) { BM_readFileBaseline<kPcx>(state); }
void BM_readTgaFileBaseline(benchmark::State& state) { BM_readFileBaseline<kTga>(state); }

}  // namespace

BENCHMARK(BM_readPcxFileBaseline)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_readPcxImage)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_readTgaFileBaseline)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_readTgaImage)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
