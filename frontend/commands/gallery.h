// `ombrel gallery`: a page of every model's pictures and facts.
#pragma once

#include <string>
#include <vector>

#include "frontend/base/options.h"
#include "frontend/drawing/look.h"

namespace CLI {
class App;
}

namespace frontend {

struct GalleryRequest {
    std::vector<std::string> sources;
    std::string folder;  // -o DIR
    int width = 256, height = 256;
    double framesPerSecond = 10;
    bool allAnimations = false;
    float rotX = kThreeQuarterRotX, rotY = kThreeQuarterRotY;
    PictureLook look;
    int workers = 0;  // -j; 0: the default (defaultWorkers)
};

void addGalleryOptions(CLI::App& app, GalleryRequest& request);

// Into the folder: a looping GIF of each model's first moving animation and
// a still PNG (with allAnimations a GIF of every animation), index.html
// showing them all with each model's facts, and index.json with the same.
int writeGallery(const GalleryRequest& request);

}  // namespace frontend
