// Where to put the eye so that a model fills the viewer's window, in the
// view the record describes (viewer/config.h): its field of view, its turn.
#pragma once

#include "model/draw.h"

namespace frontend {

struct ViewPlacement {
    float transX = 0, transY = 0, transZ = 50;
};

// The view that fits every vertex of key frames first..last (clamped to the
// model's frames), turned by rotX and rotY, into a window of the given
// aspect ratio (width / height) with a small margin: the model fills the
// window, and the view turns about the centre of what the eye sees. A
// distance above 0 is taken as transZ's distance part instead.
ViewPlacement frameFrames(const Model& model, int first, int last, float rotX, float rotY, float aspect,
                          float distance = 0);

}  // namespace frontend
