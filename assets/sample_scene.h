// The sample scene of the demo, and the default water picture installed
// with the program: a swimming fish with a patterned skin,
// bubbles rising from its mouth as the attachment, an underwater background
// and a water picture, all made here from code.
#pragma once

#include <string>
#include <vector>

#include "image/picture_writer.h"
#include "model/md2_writer.h"
#include "viewer/config.h"

constexpr int kSampleFrames = 24;  // one tail beat; the bubbles loop with it

Md2Model sampleFishModel();
Md2Model sampleBubblesModel();
IndexedPicture sampleFishSkin();
// The bubbles' skin as R, G, B bytes, rows top first (written as TGA).
std::vector<uint8_t> sampleBubbleSkinRgb(int& width, int& height);
IndexedPicture sampleBackground();
IndexedPicture sampleWater();  // the default water picture

// The settings the demo starts with, naming the files written into dir.
ViewerConfig sampleSceneConfig(const std::string& dir);

// Writes fish.md2, fish.pcx, bubbles.md2, bubbles.tga, background.pcx,
// water.pcx and ombrel.cfg into dir (which must exist). False on any failure.
bool writeSampleScene(const std::string& dir);
