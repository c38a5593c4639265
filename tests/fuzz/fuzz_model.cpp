// The model reader, and every drawing routine on whatever it accepts, on
// arbitrary bytes. No GL context is current here, so the GL calls do nothing;
// what is exercised is that no routine reads outside the model's arrays.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "model/draw.h"
#include "model/model.h"

namespace {

// The reader takes a path: every input goes through one temporary file.
const std::string& inputPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string p = std::string(dir && *dir ? dir : "/tmp") + "/fuzz_model_" + std::to_string(getpid()) + ".md2";
        std::atexit([] { std::remove(inputPath().c_str()); });
        return p;
    }();
    return path;
}

void drawEverything(const Model* model) {
    const int last = model->numFrames > 0 ? model->numFrames - 1 : 0;
    for (int commands = 0; commands < 2; ++commands) {
        for (int interpolation = 0; interpolation < 2; ++interpolation) {
            setDrawPath(commands, interpolation);
            modelDrawFrame(model, 0, last, 0.5f);
        }
    }
    drawTriangles(model, last);
    drawTrianglesLerp(model, last, 0, 1.5f);
    drawCommands(model, 0);
    drawCommandsLerp(model, 0, last, -0.5f);
    ModelBounds bounds;
    modelBounds(model, &bounds);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(inputPath().c_str(), "wb");
    if (!file) return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written) return 0;
    Model* model = modelLoad(inputPath().c_str());
    if (model) drawEverything(model);
    modelFree(model);
    return 0;
}
