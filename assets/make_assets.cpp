// Writes what is made from code rather than kept as files: the default
// water picture installed with the program, and the demo's sample scene.
//   make-assets water FILE          the default water picture (8-bit PCX)
//   make-assets sample-scene FOLDER models, pictures and ombrel.cfg of the demo
#include <cstdio>
#include <cstring>
#include <fstream>

#include "assets/sample_scene.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "water") == 0) {
        const std::vector<uint8_t> bytes = encodePcx(sampleWater());
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (out.flush()) return 0;
    } else if (argc == 3 && std::strcmp(argv[1], "sample-scene") == 0) {
        if (writeSampleScene(argv[2])) return 0;
    } else {
        std::fprintf(stderr, "usage: %s water FILE | sample-scene FOLDER\n", argv[0]);
        return 2;
    }
    std::fprintf(stderr, "%s: could not write %s\n", argv[0], argv[2]);
    return 1;
}
