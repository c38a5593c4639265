// The viewer's start-up: from "ombrel.cfg" to a running window.
#pragma once

#include "viewer/ModelWindow.h"
#include "viewer/config.h"


// Copies the six configured paths into the slots' path buffers.
void storeConfiguredPaths(const ViewerConfig& config);

// Creates the model window from the settings and fills it: the default
// OpenGL format, the borderless window at (0, 0), the slots from the path
// buffers (which must already hold config's paths), then the remaining
// settings in their fixed order. Null, with nothing left behind, when the
// window got no working OpenGL context.
ModelWindow* openViewerWindow(const ViewerConfig& config);

// The steps of openViewerWindow, for a window that shows one model after
// another. createViewerWindow makes the empty window of that size (null
// without a working OpenGL context), shown or kept hidden (one that draws
// pictures no one sees), for the viewer or for pictures (ModelWindow.h). applyRecord fills
// a window that is as the constructor left it (new, or restarted) from the
// path buffers and the record's settings, exactly as the viewer starts: its
// two halves are fillSlotsFromPathBuffers and applySettings, so a window
// whose slots were filled another way (fillModelSlot, fillTextureSlot) takes
// the same settings in the same order.
enum class WindowShown { Shown, Hidden };
ModelWindow* createViewerWindow(int width, int height, WindowShown shown,
                                WindowUse use = WindowUse::Viewer);
void applyRecord(ModelWindow& window, const ViewerConfig& config);
void fillSlotsFromPathBuffers(ModelWindow& window);
void applySettings(ModelWindow& window, const ViewerConfig& config);

// The whole program: returns its exit code.
int viewerMain(int argc, char** argv);

// The brightness setting (hundredths, as a float) truncated toward zero;
// values beyond the int range are held at its ends and a non-number is 0.
int brightnessHundredths(float configured);
