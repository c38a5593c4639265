// Helpers of the export tests: corpus models with their skins, an export's
// files on disk, and reading them back with tinygltf's own loader.
#pragma once

#include <string>
#include <vector>

#include "model/export.h"
#include "model/gltf.h"
#include "tests/model/model_files.h"
#include "tests/writers/md2_writer.h"
#include "tests/writers/scratch_dir.h"

// A corpus model and its TGA skin as R, G, B rows top first.
struct CorpusSubject {
    std::string name;  // "faerie"
    ModelPtr model;
    std::vector<uint8_t> skin;
    int skinWidth = 0, skinHeight = 0;

    ExportOptions options() const;  // the defaults, with the skin
};
CorpusSubject corpusSubject(const std::string& name);

// The corpus models the exports are tried on.
extern const char* const kCorpusModels[2];

// Writes every file of the result (named as paths) and returns the first one's path.
std::string writeExportFiles(const ExportResult& result);

// The export of model under dir/fileName, written and read back; the
// loader's complaint in error (empty when it loaded). Pictures decode to
// R, G, B.
bool exportAndLoad(const Model* model, const ExportOptions& options, const testdata::ScratchDir& dir,
                   const std::string& fileName, tinygltf::Model& gltf, std::string& error);

// An accessor's values, component after component, as the glTF rules read
// them (normalised integers scaled into -1..1 or 0..1).
std::vector<double> accessorValues(const tinygltf::Model& gltf, int accessor);

// A model of one triangle in `frames` frames, the third corner rising by 1
// a frame; the frames named `name`, or move1, move2... when it is empty.
Md2Model triangleModel(int frames, const std::string& name);

// A model position in glTF's axes, got as the viewer shows the model by
// default: its view turns positions -90 degrees about +Y, so the model's
// front faces the eye (+Z).
void turnedAsViewed(float x, float y, float z, double out[3]);
