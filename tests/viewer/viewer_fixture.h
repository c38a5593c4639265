// Shared set-up of the viewer's GL tests: a fresh scratch folder as the
// current directory (the viewer resolves "water.pcx" and "ombrel.cfg"
// there), the toolkit initialised, and helpers that write small models and
// pictures and read back what OpenGL holds.
#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/writers/md2_shapes.h"
#include "tests/writers/md2_writer.h"
#include "tests/writers/pictures.h"
#include "tests/writers/scratch_dir.h"
#include "toolkit/mxApp.h"
#include "viewer/ModelWindow.h"

namespace viewertest {

// A picture of one colour per row (R, G, B bytes per row), so scaling
// across a row keeps the colour and a mix-up of rows shows at once.
inline testdata::IndexedPicture rowsPicture(int width, const std::vector<std::array<uint8_t, 3>>& rowColours) {
    testdata::IndexedPicture picture;
    picture.width = width;
    picture.height = int(rowColours.size());
    picture.palette.assign(768, 0);
    for (size_t row = 0; row < rowColours.size(); ++row) {
        for (int c = 0; c < 3; ++c) picture.palette[3 * row + size_t(c)] = rowColours[row][size_t(c)];
        picture.indices.insert(picture.indices.end(), size_t(width), uint8_t(row));
    }
    return picture;
}

inline testdata::IndexedPicture plainPicture(int width, int height, std::array<uint8_t, 3> colour = {200, 100, 50}) {
    return rowsPicture(width, std::vector<std::array<uint8_t, 3>>(size_t(height), colour));
}

// The colour of the pixel at (x, y), y counted from the bottom as GL does.
inline std::array<int, 3> pixelAt(int x, int y) {
    unsigned char rgba[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

// A square of side 2 * half facing the viewer (the viewer's +z), centred on
// the origin and wound so that front-face culling keeps it: file axes are
// (x, y, z) with z up, so the square lies in the file's y = 0 plane. Frame
// f moves it f units up; towardViewer moves it nearer. The skin is 8 x 8;
// texture coordinates span it.
inline testdata::Md2Model facingSquare(int frames, float half = 10, float towardViewer = 0) {
    testdata::Md2Model model;
    model.skinWidth = 8;
    model.skinHeight = 8;
    model.texCoords = {{0, 8}, {8, 8}, {8, 0}, {0, 0}};
    model.triangles = {{{0, 3, 1}, {0, 3, 1}}, {{1, 3, 2}, {1, 3, 2}}};
    for (int f = 0; f < frames; ++f) {
        const float up = float(f);
        // The normal index 104 is the table's (0, -1, 0): toward the viewer once mapped.
        testdata::Md2Frame frame = testdata::md2FrameFromPositions("f" + std::to_string(f),
                                                                   {{-half, -towardViewer, -half + up},
                                                                    {half, -towardViewer, -half + up},
                                                                    {half, -towardViewer, half + up},
                                                                    {-half, -towardViewer, half + up}},
                                                                   104);
        model.frames.push_back(frame);
    }
    const int order[4] = {0, 3, 1, 2};
    std::vector<testdata::Md2CommandEntry> strip;
    for (int v : order) strip.push_back({model.texCoords[size_t(v)].s / 8.0f, model.texCoords[size_t(v)].t / 8.0f, v});
    testdata::appendStrip(model.commands, strip);
    model.commands.push_back(0);
    return model;
}

// Width and height of the image held by texture object `texture`.
inline std::pair<int, int> textureSize(int texture) {
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, GLuint(texture));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glBindTexture(GL_TEXTURE_2D, 0);
    return {width, height};
}

// The texels of texture object `texture`, R, G, B, rows bottom first as GL keeps them.
inline std::vector<uint8_t> textureTexels(int texture) {
    auto [width, height] = textureSize(texture);
    std::vector<uint8_t> texels(size_t(width) * size_t(height) * 3);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, GLuint(texture));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return texels;
}

// A model window that counts its drawings.
class CountingWindow : public ModelWindow {
public:
    CountingWindow(int width = 64, int height = 48) : ModelWindow(nullptr, 0, 0, width, height, "", mxWindow::Popup) {}
    void draw() override {
        ++draws;
        ModelWindow::draw();
    }
    int draws = 0;
};

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path().empty());
        ASSERT_EQ(chdir(scratch.path().c_str()), 0);
        ASSERT_EQ(mxAppInit(0, nullptr), 1);
    }
    void TearDown() override { (void)chdir("/"); }

    std::string writeModel(const std::string& name, const testdata::Md2Model& model) {
        return scratch.write(name, testdata::md2Bytes(model));
    }
    std::string writePcx(const std::string& name, const testdata::IndexedPicture& picture) {
        return scratch.write(name, testdata::encodePcx(picture));
    }
    std::string writeTga(const std::string& name, const testdata::IndexedPicture& picture) {
        return scratch.write(name, testdata::encodeTga(picture.width, picture.height, picture.toRgb()));
    }
    // A model with `frames` frames (a small torus).
    std::string writeModelWithFrames(const std::string& name, int frames) {
        return writeModel(name, testdata::md2TorusModel(frames, 8, 4));
    }

    testdata::ScratchDir scratch;
};

}  // namespace viewertest
