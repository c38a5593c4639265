// Pictures of many models in one run: every model the sources name is
// prepared as opening would prepare it and shown, one after another, in one
// offscreen window with one OpenGL context. A model that fails gets its one
// line and the others go on; on a terminal a progress line shows where the
// run is.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "frontend/drawing/offscreen.h"
#include "frontend/scene/prepare.h"
#include "frontend/drawing/look.h"
#include "frontend/inputs/sources.h"

namespace frontend {

// What the picture commands write, each throwing a Failure:
// A PNG of the picture: R, G, B, or with its alpha.
void writePngFile(const std::string& path, const RgbaPicture& picture, bool alpha);
// The points a sequence or a GIF shows: every key frame of the played loop
// and steps blended pictures after each, the last leading back to the first.
std::vector<FramePoint> loopPoints(const ViewerConfig& record, int steps);
// A GIF of the shown record's loop that plays at the record's speed and loops for ever.
void writeLoopGif(const std::string& path, OffscreenView& view, const ViewerConfig& record, int steps, bool transparent);

// The files a run writes, each claimed once: two models (or two pictures of
// one) never write the same file.
class ClaimedOutputs {
public:
    // Claims path for model (its name in messages); with makeFolders the
    // folders it lies in are made as needed. Throws a Failure when another
    // picture of this run claimed it, or a folder can't be made.
    void claim(const std::string& path, const std::string& model, bool makeFolders);

private:
    std::set<std::string> claimed_;
};

// A Batch's checkCount for a run whose pictures are named by output:
// several models need {name} in it, or each would write over the last.
std::function<void(size_t count)> needNameForMany(const std::string& output);

struct Batch {
    std::vector<std::string> sources;
    OffscreenFormat format;
    // What to prepare each model with (its model field is filled in here).
    ViewOptions options;
    bool showMessages = true;  // the warnings of preparing (no skin found, ...), the notes with --verbose
    // Called once with the number of models found, before any is drawn:
    // throws a Failure for a request that can't serve that many.
    std::function<void(size_t count)> checkCount;
    // Turns the prepared record before it is shown (a thumbnail's mode).
    std::function<void(ViewerConfig& record)> adjust;
    // Draws and writes the pictures of one shown model.
    std::function<void(const FoundModel& model, const PreparedView& prepared, OffscreenView& view)> draw;
};

// Runs the batch. A single model's failure is thrown as it is. With
// several, each failure (a source that names no model, a model that can't
// be read or drawn, a picture that can't be written) is reported in its
// line and the run goes on; it ends with a Failure of exit 2 saying how many
// failed. Only the lack of an OpenGL context ends it at once. An
// interrupted run ends by its signal.
void drawEach(const Batch& batch);

}  // namespace frontend
