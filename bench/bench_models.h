// The two models the model benchmarks use: the real faerie.md2 and the large
// generated torus (198 frames x 2048 vertices, 4096 triangles, full command
// stream), written once per run to a temporary file.
#pragma once

#include <string>

const std::string& faerieModelPath();
const std::string& largeModelPath();
