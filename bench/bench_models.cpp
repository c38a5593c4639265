#include "bench/bench_models.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "tests/writers/bytes.h"
#include "tests/writers/md2_shapes.h"

namespace {

// glibc adapts its mmap and trim thresholds to the sizes it has seen, so
// whether a loop iteration gets its memory back from the heap or takes fresh
// zeroed pages from the kernel depends on what ran before. Fixed thresholds
// let modelLoad and its baseline both reuse the heap, so the figures compare
// reading and decoding, not the order the benchmarks ran in.
const bool kFixedMallocThresholds = [] {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    return true;
}();

}  // namespace

const std::string& faerieModelPath() {
    static const std::string path = std::string(OMBREL_CORPUS_DIR) + "/faerie.md2";
    return path;
}

const std::string& largeModelPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string p =
            std::string(dir && *dir ? dir : "/tmp") + "/ombrel_bench_large_" + std::to_string(getpid()) + ".md2";
        testdata::writeFile(p, testdata::md2Bytes(testdata::md2TorusModel(198, 64, 32)));
        std::atexit([] { std::remove(largeModelPath().c_str()); });
        return p;
    }();
    return path;
}
