// `ombrel info` on arbitrary bytes, as text and as JSON: the model check,
// the reader, the animations, the bounds and the skin search on whatever a
// hostile file holds. Nothing may crash or read outside its buffers; a file
// that is refused is refused with a line, never with a throw that escapes.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/info.h"
#include "frontend/prepare.h"
#include "tests/writers/bytes.h"
#include "tests/writers/scratch_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private folder, so the skin search beside the model looks at
    // nothing else; it goes with the program.
    static testdata::ScratchDir dir;
    static const std::string path = dir.file("model.md2");
    if (!testdata::writeFile(path, std::vector<uint8_t>(data, data + size))) std::abort();
    for (bool json : {false, true}) {
        std::ostringstream out, errors;
        try {
            frontend::describeModel(path, json, out, errors);
        } catch (const frontend::BadInput&) {
        }
    }
    return 0;
}
