// From a person's options to the viewer's record, in a few named steps: the
// model opened, its skin found, the attachment and pictures placed where the
// viewer reads them, the played frames chosen, the view framed. Nothing here
// starts the viewer, so every command that shows a model (open, write the
// record, render) prepares it the same way.
#pragma once

#include <optional>
#include <utility>

#include "frontend/inputs/inputs.h"
#include "frontend/base/options.h"
#include "frontend/base/report.h"
#include "frontend/scene/staging.h"
#include "viewer/config.h"

namespace frontend {

struct PreparedView {
    ViewerConfig record;
    Messages messages;
    OpenedModel main;  // the model shown, as read
    // Why the main model shows nothing ("" when it has something to draw),
    // as one line: "MODEL: nothing to draw (no vertices)". Pictures of it are
    // refused; the viewer still opens it.
    std::string nothingToDraw;
};

// Everything the viewer needs for these options, as its record; files that
// must be converted or extracted go into staging. Throws a Failure.
PreparedView prepareView(const ViewOptions& options, Staging& staging);
// The same with the archives of inputs, which a run over many models opens once.
PreparedView prepareView(const ViewOptions& options, Inputs& inputs, Staging& staging);

// Plays key frames first..last of model in record instead (a range it has),
// framed as prepareView frames the played range for these options.
void playFrames(ViewerConfig& record, const Model& model, int first, int last, const ViewOptions& options);

// The key frames the options name, checked against the model: --animation
// NAME's, or --frames FIRST-LAST; none when neither is given. Throws a
// Failure for an animation the model lacks or frames past its last.
std::optional<std::pair<int, int>> chosenFrames(const ViewOptions& options, const OpenedModel& model);

// The installed default water picture ("" when it is not there).
std::string defaultWaterPicture();

}  // namespace frontend
