// The viewer's start-up: from "ombrel.cfg" to a running window.
#pragma once

#include "viewer/config.h"

class ModelWindow;

// Copies the six configured paths into the slots' path buffers.
void storeConfiguredPaths(const ViewerConfig& config);

// Creates the model window from the settings and fills it: the default
// OpenGL format, the borderless window at (0, 0), the slots from the path
// buffers (which must already hold config's paths), then the remaining
// settings in their fixed order. Null, with nothing left behind, when the
// window got no working OpenGL context.
ModelWindow* openViewerWindow(const ViewerConfig& config);

// The whole program: returns its exit code.
int viewerMain(int argc, char** argv);

// The brightness setting (hundredths, as a float) truncated toward zero;
// values beyond the int range are held at its ends and a non-number is 0.
int brightnessHundredths(float configured);
