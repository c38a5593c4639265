// The model reader, and every drawing routine on whatever it accepts, on
// arbitrary bytes. No GL context is current here, so the GL calls do nothing;
// what is exercised is that no routine reads outside the model's arrays.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/draw.h"
#include "model/model.h"

namespace {

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
    Model* model = modelLoadFromBytes(data, size);
    if (model) drawEverything(model);
    modelFree(model);
    return 0;
}
