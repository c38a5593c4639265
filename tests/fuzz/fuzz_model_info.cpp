// `ombrel info` on arbitrary bytes, as text and as JSON: the model check,
// the reader, the animations and the bounds on whatever a hostile file
// holds. Nothing may crash or read outside its buffers; a file that is
// refused is refused with a Failure, never with anything else that escapes.
#include <cstdint>
#include <sstream>
#include <vector>

#include "frontend/scene/describe.h"
#include "frontend/base/report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    try {
        // No file to look for skins beside: only the bytes are described.
        const frontend::ModelDescription description = frontend::describeBytes("model.md2", bytes, frontend::FileRef());
        for (bool json : {false, true}) {
            std::ostringstream out;
            frontend::printDescription(description, json, out);
        }
    } catch (const frontend::Failure&) {
    }
    return 0;
}
