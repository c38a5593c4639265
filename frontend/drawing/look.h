// How pictures are lit and smoothed, for every command that draws them:
// the options that say so and the rules that apply them to a shown model.
#pragma once

#include "frontend/drawing/offscreen.h"
#include "viewer/config.h"

namespace CLI {
class App;
}

namespace frontend {

// How a picture is lit and smoothed, for every command that draws pictures.
struct PictureLook {
    bool light = false;    // lit in every render mode
    bool noLight = false;  // unlit, as the viewer starts: exactly its picture
    int samples = 4;       // samples a pixel for smooth edges (1, 2, 4 or 8)
};

// Adds --light, --no-light and --antialias to app.
void addPictureLookOptions(CLI::App& app, PictureLook& look);

// Lights the shown record as look says: by default flat and smooth models
// are lit (as the viewer's l would light them), wireframe and textured ones
// are not.
void applyLook(OffscreenView& view, const PictureLook& look, int renderMode);

// Thumbnails and the gallery show a model without a skin shaded, not as the
// wireframe opening shows it: a wireframe makes a poor small picture.
void shadeWhenUntextured(ViewerConfig& record);

}  // namespace frontend
