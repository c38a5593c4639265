// `ombrel info` on arbitrary bytes, as text and as JSON: the model check,
// the reader, the animations and the bounds on whatever a hostile file
// holds. Nothing may crash or read outside its buffers.
#include <cstdint>
#include <sstream>
#include <vector>

#include "frontend/inputs/formats.h"
#include "frontend/inputs/inputs.h"
#include "frontend/scene/describe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    frontend::OpenedModel model;
    model.bytes.assign(data, data + size);
    frontend::decodeModel(model);
    if (!model.check.hasHeader) return 0;  // refused as no model at all
    // No file to look for skins beside: only the bytes are described.
    const frontend::ModelDescription description =
        frontend::describeModel(model, "model.md2", nullptr, [](const frontend::FileRef& file) { return file.path; });
    for (bool json : {false, true}) {
        std::ostringstream out;
        frontend::printDescription(description, json, out);
    }
    return 0;
}
