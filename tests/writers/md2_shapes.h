// Ready-made IDP2 models for tests, fuzz seeds, the bench and the demo.
#pragma once

#include "tests/writers/md2_writer.h"

namespace testdata {

// A square pyramid: 5 vertices, 6 triangles, 2 frames (the apex rises in the
// second), one skin name, and a command stream (a fan around the apex, a
// strip for the base) that covers the same 6 triangles.
Md2Model md2PyramidModel();

// A torus of ringSegments x tubeSegments vertices and twice as many
// triangles, animated over numFrames frames (it breathes and twists). Its
// command stream holds one strip per tube band, covering every triangle of
// the list. md2TorusModel(198, 64, 32) is the large benchmark model: 198
// frames x 2048 vertices, 4096 triangles.
Md2Model md2TorusModel(int numFrames, int ringSegments, int tubeSegments);

}  // namespace testdata
