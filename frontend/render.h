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

#include "frontend/options.h"

namespace CLI {
class App;
}

namespace frontend {

// False in a build that draws no pictures.
bool picturesDrawable();

// How a picture is lit and smoothed, for every command that draws pictures.
struct PictureLook {
    bool light = false;    // lit in every render mode
    bool noLight = false;  // unlit, as the viewer starts: exactly its picture
    int samples = 4;       // samples a pixel for smooth edges (1, 2, 4 or 8)
};

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
};

// The options of `ombrel render` that opening has not, added to app (the
// view options are added separately, so they can share one ViewOptions).
void addRenderOptions(CLI::App& app, RenderRequest& request);

// Writes what the request asks for; the exit code (0). Throws a Failure
// for bad options or files, or when nothing can be drawn or written.
int renderPictures(const RenderRequest& request);

struct ThumbnailRequest {
    std::vector<std::string> sources;  // without -o, the last is the output
    int size = 0;
    std::string output;  // -o: {name} in it stands for each model's name
    float rotX = kThreeQuarterRotX, rotY = kThreeQuarterRotY;
    PictureLook look;
};

void addThumbnailOptions(CLI::App& app, ThumbnailRequest& request);

// The thumbnail of each model, size x size pixels, turned three-quarters,
// with a transparent background: textured when a skin is found, else smooth
// and lit. Output is only ever the whole picture: it is written beside its
// name and renamed.
int writeThumbnail(const ThumbnailRequest& request);

struct GalleryRequest {
    std::vector<std::string> sources;
    std::string folder;  // -o DIR
    int width = 256, height = 256;
    double framesPerSecond = 10;
    bool allAnimations = false;
    float rotX = kThreeQuarterRotX, rotY = kThreeQuarterRotY;
    PictureLook look;
};

void addGalleryOptions(CLI::App& app, GalleryRequest& request);

// Into the folder: a looping GIF of each model's first moving animation and
// a still PNG (with allAnimations a GIF of every animation), index.html
// showing them all with each model's facts, and index.json with the same.
int writeGallery(const GalleryRequest& request);

}  // namespace frontend
