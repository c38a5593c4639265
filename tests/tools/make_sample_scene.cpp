// Writes the demo's sample scene (models, pictures and ombrel.cfg) into the
// folder given as the only argument.
#include <cstdio>

#include "tests/writers/sample_scene.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    if (!testdata::writeSampleScene(argv[1])) {
        std::fprintf(stderr, "could not write the sample scene into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
