// `ombrel thumbnail`: the file managers' thumbnailer, one model or many.
#pragma once

#include <string>
#include <vector>

#include "frontend/base/options.h"
#include "frontend/drawing/look.h"

namespace CLI {
class App;
}

namespace frontend {

struct ThumbnailRequest {
    std::vector<std::string> sources;  // without -o, the last is the output
    int size = 0;
    std::string output;  // -o: {name} in it stands for each model's name
    float rotX = kThreeQuarterRotX, rotY = kThreeQuarterRotY;
    PictureLook look;
    int workers = 0;  // -j; 0: the default (defaultWorkers)
};

void addThumbnailOptions(CLI::App& app, ThumbnailRequest& request);

// The thumbnail of each model, size x size pixels, turned three-quarters,
// with a transparent background: textured when a skin is found, else smooth
// and lit. Output is only ever the whole picture: it is written beside its
// name and renamed.
int writeThumbnail(const ThumbnailRequest& request);

}  // namespace frontend
