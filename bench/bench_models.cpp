#include "bench/bench_models.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "tests/writers/bytes.h"
#include "tests/writers/md2_shapes.h"
#include "tests/writers/scratch_dir.h"

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
    // In a scratch folder that goes, with the file, when the program ends.
    static testdata::ScratchDir dir;
    static const std::string path = dir.write("large.md2", testdata::md2Bytes(testdata::md2TorusModel(198, 64, 32)));
    return path;
}
