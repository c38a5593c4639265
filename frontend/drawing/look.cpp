#include "frontend/drawing/look.h"

#include <CLI/CLI.hpp>

#include "frontend/base/options.h"

namespace frontend {

void addPictureLookOptions(CLI::App& app, PictureLook& look) {
    const char kLook[] = "Light and edges";
    CLI::Option* light = addFlagOption(app, "--light", look.light, "Light the model in every render mode, textured too")
                             ->group(kLook);
    CLI::Option* noLight = addFlagOption(app, "--no-light", look.noLight,
                                         "Leave the model unlit, as the viewer starts: exactly the viewer's picture "
                                         "[default: flat and smooth models are lit]")
                               ->group(kLook);
    light->excludes(noLight);
    addValueOption(app, "--antialias",
                   "Smooth the edges with N samples a pixel: 1 (none, as the viewer draws), 2, 4 or 8 [default: 4]",
                   [&look](const std::string& value, std::string& error) {
                       for (int samples : {1, 2, 4, 8})
                           if (value == std::to_string(samples)) {
                               look.samples = samples;
                               return true;
                           }
                       error = "expected 1, 2, 4 or 8 samples a pixel";
                       return false;
                   })
        ->type_name("N")
        ->group(kLook);
}

void applyLook(OffscreenView& view, const PictureLook& look, int renderMode) {
    const bool lit = look.noLight ? false : look.light ? true : renderMode == RENDER_FLAT || renderMode == RENDER_SMOOTH;
    view.setFlag(FLAG_LIGHTING, lit);
}

void shadeWhenUntextured(ViewerConfig& record) {
    if (record.renderMode == RENDER_WIREFRAME) record.renderMode = RENDER_SMOOTH;
}

}  // namespace frontend
