// Pictures without a window: `ombrel render` (one PNG, a numbered PNG
// sequence or a looping GIF of the played animation) and `ombrel
// thumbnail` (a small PNG for file managers). Both prepare the view as
// opening does and draw it with the viewer's own window and scene code on
// an offscreen context. A build without offscreen drawing refuses both in
// one line (render_unavailable.cpp).
#pragma once

#include <optional>
#include <string>

#include "frontend/options.h"

namespace CLI {
class App;
}

namespace frontend {

// False in a build that draws no pictures.
bool picturesDrawable();

struct RenderRequest {
    ViewOptions view;
    std::string output;  // OUT.png, a name holding {frame} or {frame:0N}, or OUT.gif
    std::optional<int> frame;
    std::string frameGivenAs;        // "--frame N" as typed, for messages
    std::optional<double> time;      // seconds from the start of the played animation
    std::optional<double> fraction;  // of the played animation's loop, 0 to 1
    int steps = 0;                   // pictures between key frames in a sequence or GIF
    bool transparent = false;
};

// The options of `ombrel render` that opening has not, added to app (the
// view options are added separately, so they can share one ViewOptions).
void addRenderOptions(CLI::App& app, RenderRequest& request);

// Writes what the request asks for; the exit code (0). Throws a Failure
// for bad options or files, or when nothing can be drawn or written.
int renderPictures(const RenderRequest& request);

struct ThumbnailRequest {
    std::string model;
    int size = 0;
    std::string output;
};

void addThumbnailOptions(CLI::App& app, ThumbnailRequest& request);

// The thumbnail of the model, at most size x size pixels, with a transparent
// background: textured when a skin is found, else smooth and lit. Output is
// only ever the whole picture: it is written beside output and renamed.
int writeThumbnail(const ThumbnailRequest& request);

}  // namespace frontend
