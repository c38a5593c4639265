// Pictures for tests, fuzz seeds and benchmarks: the product's PCX and TGA
// writers (image/picture_writer.h) under the tests' names, sample pictures,
// and writing them to files.
#pragma once

#include <string>
#include <vector>

#include "image/picture_writer.h"

namespace testdata {

using ::encodePcx;
using ::encodeTga;
using ::IndexedPicture;
using ::pcxFile;
using ::PcxOptions;
using ::putU16;
using ::tgaHeader;
using ::TgaOptions;

// A picture with smooth runs, edges and noise, like a skin: it compresses
// the way real skins do and touches all 256 palette entries.
IndexedPicture samplePicture(int width, int height);

// Entry i is (i, 255 - i, i * 7 mod 256): every entry differs from the others.
std::vector<uint8_t> rampPalette();

bool writePcx(const std::string& path, const IndexedPicture& picture, const PcxOptions& options = {});
bool writeTga(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbTopFirst,
              const TgaOptions& options = {});

}  // namespace testdata
