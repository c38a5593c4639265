// Pictures of many models in one run: every model the sources name is
// prepared as opening would prepare it and shown, one after another, in an
// offscreen window with one OpenGL context: in this process, or spread over
// worker processes (-j), each with its window, taking the next model as it
// finishes one. Whichever draws a model, the same files come of it; what is
// said of the models comes in their order, from this process. A model that
// fails gets its one line and the others go on; on a terminal a progress
// line shows where the run is.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "frontend/drawing/offscreen.h"
#include "frontend/scene/prepare.h"
#include "frontend/drawing/look.h"
#include "frontend/inputs/sources.h"

namespace CLI {
class App;
}

namespace frontend {

// What the picture commands write, each throwing a Failure:
// A PNG of the picture: R, G, B, or with its alpha.
void writePngFile(const std::string& path, const RgbaPicture& picture, bool alpha);
// The points a sequence or a GIF shows: every key frame of the played loop
// and steps blended pictures after each, the last leading back to the first.
std::vector<FramePoint> loopPoints(const ViewerConfig& record, int steps);
// A GIF of the shown record's loop that plays at the record's speed and loops for ever.
void writeLoopGif(const std::string& path, OffscreenView& view, const ViewerConfig& record, int steps, bool transparent);

// The files a run writes, each claimed once, in the models' order, before
// any of them is drawn: two models (or two pictures of one) never write the
// same file, whichever process draws them.
class ClaimedOutputs {
public:
    // Claims path for model (its name in messages). Throws a Failure when
    // another picture of this run claimed it.
    void claim(const std::string& path, const std::string& model);

private:
    std::set<std::string> claimed_;
};

// Makes the folders path lies in, as needed (by the process that writes
// it); throws a Failure when one can't be made.
void makeFoldersOf(const std::string& path);

// A Batch's checkCount for a run whose pictures are named by output:
// several models need {name} in it, or each would write over the last.
std::function<void(size_t count)> needNameForMany(const std::string& output);

// The worker processes a run starts by default: the cores this process may
// use (usableCores; 1 on Windows).
int defaultWorkers();

// Adds -j, --jobs N (the workers to draw with) to app.
void addWorkersOption(CLI::App& app, int& workers);

struct Batch {
    std::vector<std::string> sources;
    OffscreenFormat format;
    // What to prepare each model with (its model field is filled in here).
    ViewOptions options;
    bool showMessages = true;  // the warnings of preparing (no skin found, ...), the notes with --verbose
    // Processes drawing at once: 1 draws in this one; more start as many
    // workers (no more than there are models; none on Windows).
    int workers = 1;
    // Called once with the number of models found, before any is drawn:
    // throws a Failure for a request that can't serve that many.
    std::function<void(size_t count)> checkCount;
    // Claims the files a model writes (ClaimedOutputs), in this process, in
    // the models' order, before it is drawn: a Failure thrown is the model's.
    std::function<void(const FoundModel& model)> claim;
    // Turns the prepared record before it is shown (a thumbnail's mode).
    std::function<void(ViewerConfig& record)> adjust;
    // Draws and writes the pictures of one shown model, in whichever
    // process draws it; what it returns goes to keep.
    std::function<std::string(const FoundModel& model, const PreparedView& prepared, OffscreenView& view)> draw;
    // What draw returned, for each model drawn, in this process, in the
    // models' order (the gallery's facts of each).
    std::function<void(const FoundModel& model, const std::string& drawn)> keep;
};

// Runs the batch. A single model's failure is thrown as it is. With
// several, each failure (a source that names no model, a model that can't
// be read or drawn, a picture that can't be written) is reported in its
// line, in the models' order, and the run goes on; it ends with a Failure of
// exit 2 saying how many failed. Only drawing that can't be loaded, or the
// lack of an OpenGL context, ends it at once (exit 1). An interrupted run
// stops every worker, and ends by its signal once they ended: every file
// written is whole.
void drawEach(const Batch& batch);

}  // namespace frontend
