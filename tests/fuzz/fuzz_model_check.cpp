// The model check on arbitrary bytes: it must read nothing outside them, and
// it must never call usable a file that the reader refuses.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/model_check.h"
#include "tests/writers/bytes.h"
#include "tests/writers/scratch_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ModelCheck check = modelCheck(data, size);
    if (!check.refusal.empty()) {
        // A refusal is a promise that the reader refuses the file too.
        // The reader takes a path: the input goes through one file in a
        // scratch folder that goes with the program.
        static testdata::ScratchDir dir;
        static const std::string path = dir.file("input.md2");
        if (!testdata::writeFile(path, std::vector<uint8_t>(data, data + size))) std::abort();
        Model* model = modelLoad(path.c_str());
        if (model) std::abort();
    }
    return 0;
}
