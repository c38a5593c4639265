// From a person's options to what the viewer shows, in a few named steps:
// the model opened and decoded, its skin chosen and decoded, the attachment
// and pictures likewise, the played frames chosen, the view framed. Nothing
// is written here: the offscreen window takes the decoded models and
// pictures as they are (drawing/offscreen.h), and only the viewer program
// finds them on disk, staged for it (scene/staging.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frontend/base/options.h"
#include "frontend/base/report.h"
#include "frontend/inputs/inputs.h"
#include "frontend/inputs/skins.h"
#include "viewer/config.h"

namespace frontend {

struct PreparedView {
    // The viewer's settings. Its paths are empty: staging fills them where
    // the viewer program is to read the files.
    ViewerConfig record;
    Messages messages;
    OpenedModel main;  // the model shown, as read and decoded
    SkinChoice mainSkin;
    std::optional<OpenedModel> attach;
    SkinChoice attachSkin;
    PictureRef background, water;  // null for none
    // Why the main model shows nothing ("" when it has something to draw),
    // as one line: "MODEL: nothing to draw (no vertices)". Pictures of it are
    // refused; the viewer still opens it.
    std::string nothingToDraw;
};

// Who shows what is prepared: the viewer, where a person may show the water
// and the background at any time, so both are always read; or one picture
// (render, thumbnail, gallery), which reads neither unless it shows it.
enum class ShownBy { Viewer, Picture };

// Everything the viewer shows for these options, with the archives and
// pictures of inputs (a run over many models opens each once). Throws a
// Failure.
PreparedView prepareView(const ViewOptions& options, Inputs& inputs, ShownBy shownBy = ShownBy::Viewer);

// What the viewer shows of a model given only as its bytes, with no file:
// no skin (nothing lies beside bytes) and no pictures; the rest as
// prepareView makes it for these options (whose model, skin, attachment,
// background and water are not looked at). shownName names the model in
// messages. Throws a Failure for bytes that are no model the viewer shows.
PreparedView prepareModelBytes(const ViewOptions& options, std::vector<uint8_t> bytes, const std::string& shownName);

// Plays key frames first..last of model in record instead (a range it has),
// framed as prepareView frames the played range for these options.
void playFrames(ViewerConfig& record, const Model& model, int first, int last, const ViewOptions& options);

// Throws the Failure of a key frame the model does not have (givenAs names
// the option as typed: "--frame 9").
void checkKeyFrame(const OpenedModel& model, int frame, const std::string& givenAs);

// The key frames the options name, checked against the model: --animation
// NAME's, or --frames FIRST-LAST; none when neither is given. Throws a
// Failure for an animation the model lacks or frames past its last.
std::optional<std::pair<int, int>> chosenFrames(const ViewOptions& options, const OpenedModel& model);

}  // namespace frontend
