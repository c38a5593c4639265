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

// The two steps of openViewerWindow, for a window that shows one record
// after another. createViewerWindow makes the empty window of that size
// (null without a working OpenGL context), shown or kept hidden (one that
// draws pictures no one sees); applyRecord fills a window that is as the
// constructor left it (new, or restarted) from the path buffers and the
// record's settings, exactly as the viewer starts.
enum class WindowShown { Shown, Hidden };
ModelWindow* createViewerWindow(int width, int height, WindowShown shown);
void applyRecord(ModelWindow& window, const ViewerConfig& config);

// The whole program: returns its exit code.
int viewerMain(int argc, char** argv);

// The brightness setting (hundredths, as a float) truncated toward zero;
// values beyond the int range are held at its ends and a non-number is 0.
int brightnessHundredths(float configured);
