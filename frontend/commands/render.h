// Pictures without a window: `ombrel render` (a PNG, a numbered PNG
// sequence or a looping GIF of the played animation), `ombrel thumbnail`
// (a small PNG for file managers) and `ombrel gallery` (a page of looping
// GIFs). Each takes one model or many (files, folders, archives), prepares
// each as opening does and draws them, one after another, with the viewer's
// own window and scene code on one offscreen context. A build without
// offscreen drawing refuses them in one line (render_unavailable.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "frontend/base/options.h"
#include "frontend/drawing/look.h"

namespace CLI {
class App;
}

namespace frontend {

// False in a build that draws no pictures.
bool picturesDrawable();

struct RenderRequest {
    ViewOptions view;                  // view.model is unused: the models are the sources
    std::vector<std::string> sources;  // models, folders, archives, ARCHIVE:PATH
    // OUT.png, a name holding {frame} or {frame:0N}, or OUT.gif; {name} in
    // it stands for each model's name (sources.h).
    std::string output;
    std::optional<int> frame;
    std::string frameGivenAs;        // "--frame N" as typed, for messages
    std::optional<double> time;      // seconds from the start of the played animation
    std::optional<double> fraction;  // of the played animation's loop, 0 to 1
    int steps = 0;                   // pictures between key frames in a sequence or GIF
    bool transparent = false;
    PictureLook look;
    int workers = 0;  // -j; 0: the default (defaultWorkers)
};

// The options of `ombrel render` that opening has not, added to app (the
// view options are added separately, so they can share one ViewOptions).
void addRenderOptions(CLI::App& app, RenderRequest& request);

// Writes what the request asks for; the exit code (0). Throws a Failure
// for bad options or files, or when nothing can be drawn or written.
int renderPictures(const RenderRequest& request);

}  // namespace frontend
