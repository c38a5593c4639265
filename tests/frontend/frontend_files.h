// What the front end's tests share: small models and pictures written into
// a scratch folder, and running the ombrel program.
#pragma once

#include <string>
#include <vector>

#include "tests/writers/md2_writer.h"
#include "tests/writers/scratch_dir.h"

namespace frontendtest {

// A model with two animations ("idle01".."idle03", "walk1".."walk2") and
// the given stored skin names.
testdata::Md2Model sampleModel(const std::vector<std::string>& storedSkins = {});

// Writes sampleModel to path, making the folders on the way.
void writeModel(const std::string& path, const std::vector<std::string>& storedSkins = {});

// Writes a small 8-bit PCX (or any bytes) to path, making the folders.
void writePcx(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A PNG of width x height R, G, B pixels (rows top first).
std::vector<uint8_t> pngBytes(int width, int height, const std::vector<uint8_t>& rgb);

// A PNG of R, G, B, A pixels.
std::vector<uint8_t> pngRgbaBytes(int width, int height, const std::vector<uint8_t>& rgba);

// The same as a BMP (24-bit) or a JPEG, through the picture library's writer.
std::vector<uint8_t> bmpBytes(int width, int height, const std::vector<uint8_t>& rgb);
std::vector<uint8_t> jpegBytes(int width, int height, const std::vector<uint8_t>& rgb);

// An 8-bit RGB PNG of width x height whose compressed data inflates to
// pixelData as it is (filter bytes and rows: the caller's to get right, or
// wrong).
std::vector<uint8_t> pngWithPixelData(int width, int height, const std::vector<uint8_t>& pixelData);

// A picture with a different colour in every pixel row and column.
std::vector<uint8_t> gradientRgb(int width, int height);

struct Result {
    int status = -1;  // exit code, or 128 + signal
    std::string out, err;
};

// Runs program with the arguments, in folder, with extra "NAME=value"
// variables, and waits for it.
Result runProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& environment = {}, const std::string& folder = "");

// The lines of text, without their line ends.
std::vector<std::string> lines(const std::string& text);

}  // namespace frontendtest
