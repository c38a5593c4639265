// What one drawing of the scene leaves in OpenGL: matrices, light, pixel
// transfer, enabled state per render mode, material, and the pixels.
#include <cmath>

#include "tests/viewer/viewer_fixture.h"

namespace viewertest {
namespace {

constexpr int kWidth = 64, kHeight = 48;

class Scene : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        window = new CountingWindow(kWidth, kHeight);
        ASSERT_TRUE(window->hasContext());
    }
    void TearDown() override {
        delete window;
        ViewerTest::TearDown();
    }
    // Draws once into the back buffer, without swapping it away.
    void drawOnce() {
        window->makeCurrent();
        window->draw();
    }
    void loadSquare(int slot, int frames, std::array<uint8_t, 3> skinColour, float half = 10, float towardViewer = 0) {
        writeModel("square" + std::to_string(slot) + ".md2", facingSquare(frames, half, towardViewer));
        ASSERT_NE(window->loadModel(("square" + std::to_string(slot) + ".md2").c_str(), slot), nullptr);
        std::string skin = "skin" + std::to_string(slot) + ".pcx";
        writePcx(skin, plainPicture(8, 8, skinColour));
        std::vector<char> path(skin.begin(), skin.end());
        path.push_back(0);
        ASSERT_EQ(window->loadTexture(path.data(), slot + 1), slot + 1);
    }
    int loadPicture(int slot, int width, int height, std::array<uint8_t, 3> colour) {
        std::string name = "picture" + std::to_string(slot) + ".pcx";
        writePcx(name, plainPicture(width, height, colour));
        std::vector<char> path(name.begin(), name.end());
        path.push_back(0);
        return window->loadTexture(path.data(), slot);
    }
    std::array<int, 3> centre() { return pixelAt(kWidth / 2, kHeight / 2); }
    std::array<int, 3> corner() { return pixelAt(1, 1); }

    CountingWindow* window = nullptr;
};

void expectNear(std::array<int, 3> got, std::array<int, 3> want, int tolerance = 2) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[size_t(c)], want[size_t(c)], tolerance) << "channel " << c;
}

std::array<float, 4> getFloats(GLenum name) {
    std::array<float, 4> v = {};
    glGetFloatv(name, v.data());
    return v;
}

TEST_F(Scene, ProjectionViewportAndStacks) {
    drawOnce();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kWidth);
    EXPECT_EQ(viewport[3], kHeight);
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    const double f = 1 / std::tan(65.0 / 2 * M_PI / 180), aspect = double(kWidth) / kHeight;
    EXPECT_NEAR(p[0], f / aspect, 1e-5);
    EXPECT_NEAR(p[5], f, 1e-5);
    EXPECT_NEAR(p[10], (1024.0 + 1) / (1 - 1024.0), 1e-5);
    EXPECT_NEAR(p[11], -1, 1e-6);
    EXPECT_NEAR(p[14], 2 * 1024.0 / (1 - 1024.0), 1e-5);
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1 : 0) << i;
}

TEST_F(Scene, WindowWithoutHeightGetsAFiniteProjection) {
    CountingWindow* flat = new CountingWindow(64, 0);
    if (!flat->hasContext()) GTEST_SKIP() << "the driver gives no context to a window of no height";
    flat->draw();
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    for (float value : p) EXPECT_TRUE(std::isfinite(value));
    const double f = 1 / std::tan(65.0 / 2 * M_PI / 180);
    EXPECT_NEAR(p[0], f / 64, 1e-5);  // the height taken as one pixel
    delete flat;
}

TEST_F(Scene, LightSitsOnTheEyeAxis) {
    window->transZ = 50;
    window->rotX = 30;
    window->lightColor[0] = 0.5f, window->lightColor[1] = 0.25f, window->lightColor[2] = 1;
    drawOnce();
    float position[4], diffuse[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    EXPECT_EQ(position[0], 0);
    EXPECT_EQ(position[1], 0);
    EXPECT_EQ(position[2], 50);
    EXPECT_EQ(position[3], 1);
    EXPECT_EQ(diffuse[0], 0.5f);
    EXPECT_EQ(diffuse[1], 0.25f);
    EXPECT_EQ(diffuse[3], 1);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));

    // With lighting off the light keeps its last parameters.
    window->setFlag(FLAG_LIGHTING, false);
    window->transZ = 80;
    drawOnce();
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    EXPECT_EQ(position[2], 50);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
}

TEST_F(Scene, BrightnessSetsThePixelTransferScales) {
    for (auto [brightness, scale] : {std::pair<float, float>{0, 1}, {0.1f, 1.5f}, {0.2f, 2}, {-0.1f, 0.5f}}) {
        window->brightness = brightness;
        drawOnce();
        EXPECT_FLOAT_EQ(getFloats(GL_RED_SCALE)[0], scale);
        EXPECT_FLOAT_EQ(getFloats(GL_GREEN_SCALE)[0], scale);
        EXPECT_FLOAT_EQ(getFloats(GL_BLUE_SCALE)[0], scale);
    }
}

TEST_F(Scene, BrightnessActsOnTexturesUploadedAfterADrawing) {
    window->setBrightness(10);  // draws: scales 1.5 from now on
    ASSERT_EQ(loadPicture(1, 4, 4, {100, 40, 10}), 1);
    EXPECT_EQ(textureTexels(1)[0], 150);
    EXPECT_EQ(textureTexels(1)[1], 60);
}

TEST_F(Scene, SpecularMaterial) {
    drawOnce();
    float specular[4], shininess = -1;
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glGetMaterialfv(GL_BACK, GL_SHININESS, &shininess);
    EXPECT_EQ(specular[0], 1);
    EXPECT_EQ(shininess, 128);
    window->setFlag(FLAG_SPECULAR, false);
    drawOnce();
    glGetMaterialfv(GL_BACK, GL_SPECULAR, specular);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    EXPECT_EQ(specular[0], 0);
    EXPECT_EQ(specular[3], 1);
    EXPECT_EQ(shininess, 0);
}

TEST_F(Scene, RenderModeState) {
    window->setWireColor(0.1f, 0.2f, 0.3f);
    window->setModelColor(0.4f, 0.5f, 0.6f);
    struct Mode {
        int mode;
        GLint polygon;
        bool texture, cull, depth;
        GLint shade;
        float colour[3];
    } modes[] = {
        {RENDER_FLAT, GL_FILL, false, true, true, GL_FLAT, {0.4f, 0.5f, 0.6f}},
        {RENDER_WIREFRAME, GL_LINE, false, false, false, GL_FLAT, {0.1f, 0.2f, 0.3f}},  // keeps the last shade model
        {RENDER_SMOOTH, GL_FILL, false, true, true, GL_SMOOTH, {0.4f, 0.5f, 0.6f}},
        {RENDER_TEXTURED, GL_FILL, true, true, true, GL_SMOOTH, {1, 1, 1}},
    };
    for (const Mode& m : modes) {
        window->setRenderMode(m.mode);
        drawOnce();
        GLint polygon[2], shade;
        glGetIntegerv(GL_POLYGON_MODE, polygon);
        glGetIntegerv(GL_SHADE_MODEL, &shade);
        EXPECT_EQ(polygon[0], m.polygon) << m.mode;
        EXPECT_EQ(polygon[1], m.polygon) << m.mode;
        EXPECT_EQ(bool(glIsEnabled(GL_TEXTURE_2D)), m.texture) << m.mode;
        EXPECT_EQ(bool(glIsEnabled(GL_CULL_FACE)), m.cull) << m.mode;
        EXPECT_EQ(bool(glIsEnabled(GL_DEPTH_TEST)), m.depth) << m.mode;
        EXPECT_EQ(shade, m.shade) << m.mode;
        std::array<float, 4> colour = getFloats(GL_CURRENT_COLOR);
        float diffuse[4];
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
        for (int c = 0; c < 3; ++c) {
            EXPECT_FLOAT_EQ(colour[size_t(c)], m.colour[c]) << m.mode;
            EXPECT_FLOAT_EQ(diffuse[c], m.colour[c]) << m.mode;
        }
        EXPECT_EQ(diffuse[3], 1);
    }
    // An unknown mode changes none of the mode state.
    window->setRenderMode(9);
    drawOnce();
    GLint polygon[2];
    glGetIntegerv(GL_POLYGON_MODE, polygon);
    EXPECT_EQ(polygon[0], GL_FILL);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

// The view as the user sets it: turned about y, then about x, then moved
// away by transZ and aside by transX and transY. The square's corners are
// projected here by hand and compared with what GL's feedback mode reports.
TEST_F(Scene, ViewTransformTurnsAboutYThenXThenMovesAway) {
    loadSquare(0, 1, {255, 255, 255}, 10);
    window->setRenderMode(RENDER_WIREFRAME);  // no culling: every edge comes back
    window->transX = 3, window->transY = -2, window->transZ = 60;
    window->rotX = 20, window->rotY = 35;
    drawOnce();

    const double rx = 20 * M_PI / 180, ry = 35 * M_PI / 180;
    const double f = 1 / std::tan(65.0 / 2 * M_PI / 180), aspect = double(kWidth) / kHeight;
    std::vector<std::array<double, 2>> expected;
    for (auto [x, y] : {std::pair<double, double>{-10, -10}, {10, -10}, {10, 10}, {-10, 10}}) {
        double z = 0;
        // Ry, then Rx, then the translation.
        double x1 = x * std::cos(ry) + z * std::sin(ry), z1 = -x * std::sin(ry) + z * std::cos(ry);
        double y2 = y * std::cos(rx) - z1 * std::sin(rx), z2 = y * std::sin(rx) + z1 * std::cos(rx);
        double ex = x1 - 3, ey = y2 + 2, ez = z2 - 60;
        double ndcX = f / aspect * ex / -ez, ndcY = f * ey / -ez;
        expected.push_back({(ndcX + 1) / 2 * kWidth, (ndcY + 1) / 2 * kHeight});
    }

    std::vector<GLfloat> feedback(4096);
    glFeedbackBuffer(GLsizei(feedback.size()), GL_3D, feedback.data());
    glRenderMode(GL_FEEDBACK);
    window->draw();
    const GLint count = glRenderMode(GL_RENDER);
    ASSERT_GT(count, 0);
    std::vector<bool> seen(expected.size(), false);
    int vertices = 0;
    for (GLint i = 0; i < count;) {
        const GLfloat token = feedback[size_t(i++)];
        ASSERT_TRUE(token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) << token;
        for (int k = 0; k < 2; ++k, i += 3, ++vertices) {
            const double x = feedback[size_t(i)], y = feedback[size_t(i + 1)];
            bool matched = false;
            for (size_t e = 0; e < expected.size(); ++e) {
                if (std::fabs(x - expected[e][0]) < 0.05 && std::fabs(y - expected[e][1]) < 0.05) {
                    seen[e] = matched = true;
                }
            }
            EXPECT_TRUE(matched) << "vertex at " << x << ", " << y;
        }
    }
    EXPECT_GT(vertices, 0);
    for (size_t e = 0; e < expected.size(); ++e) EXPECT_TRUE(seen[e]) << "corner " << e;
}

TEST_F(Scene, Pixels) {
    window->setBackgroundColor(0, 0, 1);
    window->setFlag(FLAG_LIGHTING, false);
    drawOnce();
    expectNear(centre(), {0, 0, 255});

    loadSquare(0, 1, {0, 255, 0});
    window->setWireColor(1, 0, 0);
    window->setRenderMode(RENDER_WIREFRAME);
    drawOnce();
    // Outline only: the centre keeps the background, the edge is red.
    expectNear(centre(), {0, 0, 255});

    window->setRenderMode(RENDER_TEXTURED);
    drawOnce();
    expectNear(centre(), {0, 255, 0});
    expectNear(corner(), {0, 0, 255});

    window->setModelColor(1, 1, 0);
    window->setRenderMode(RENDER_FLAT);
    drawOnce();
    expectNear(centre(), {255, 255, 0});
}

TEST_F(Scene, WireframeOutlineHasTheWireColour) {
    window->setFlag(FLAG_LIGHTING, false);
    loadSquare(0, 1, {0, 255, 0}, 10);
    window->setWireColor(1, 0, 0);
    window->setRenderMode(RENDER_WIREFRAME);
    drawOnce();
    // Scan the middle row for the square's left and right edges.
    int red = 0;
    for (int x = 0; x < kWidth; ++x)
        if (pixelAt(x, kHeight / 2)[0] > 200) ++red;
    EXPECT_GE(red, 2);
}

TEST_F(Scene, BackgroundPictureCoversTheWindow) {
    ASSERT_EQ(loadPicture(TEXTURE_BACKGROUND, 8, 8, {250, 128, 0}), TEXTURE_BACKGROUND);
    window->setBackgroundColor(0, 0, 1);
    drawOnce();
    expectNear(corner(), {0, 0, 255});  // FLAG_BACKGROUND off
    window->setFlag(FLAG_BACKGROUND, true);
    for (int mode : {RENDER_WIREFRAME, RENDER_TEXTURED}) {
        window->setRenderMode(mode);
        drawOnce();
        expectNear(corner(), {250, 128, 0});
        expectNear(pixelAt(kWidth - 1, kHeight - 1), {250, 128, 0});
    }
    // The flag without a picture draws nothing.
    window->loadTexture(nullptr, TEXTURE_BACKGROUND);
    drawOnce();
    expectNear(corner(), {0, 0, 255});
}

TEST_F(Scene, BackgroundPictureRowZeroIsAtTheTop) {
    writePcx("bands.pcx", rowsPicture(4, {{255, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 255, 0}}));
    char path[] = "bands.pcx";
    ASSERT_EQ(window->loadTexture(path, TEXTURE_BACKGROUND), TEXTURE_BACKGROUND);
    window->setFlag(FLAG_BACKGROUND, true);
    drawOnce();
    // Away from the edges, where the repeating texture blends with its other side.
    expectNear(pixelAt(kWidth / 2, kHeight * 3 / 4), {255, 0, 0}, 40);  // upper half of the window
    expectNear(pixelAt(kWidth / 2, kHeight / 4), {0, 255, 0}, 40);
}

TEST_F(Scene, WaterIsTranslucentOverTheModels) {
    window->setFlag(FLAG_LIGHTING, false);
    loadSquare(0, 1, {0, 200, 0}, 30);  // fills the view
    ASSERT_EQ(loadPicture(TEXTURE_WATER, 8, 8, {0, 0, 250}), TEXTURE_WATER);
    window->setRenderMode(RENDER_TEXTURED);
    // Tilted toward the viewer, the square's lower half lies beyond the
    // water plane (seen through it) and its upper half in front of it.
    window->rotX = 30;
    const int lowerY = kHeight / 4, upperY = kHeight * 3 / 4;
    drawOnce();
    const std::array<int, 3> lowerDry = pixelAt(kWidth / 2, lowerY), upperDry = pixelAt(kWidth / 2, upperY);
    expectNear(lowerDry, {0, 200, 0});
    window->setFlag(FLAG_WATER, true);
    drawOnce();
    // 0.3 of the water over 0.7 of the model; the depth test keeps the near half.
    expectNear(pixelAt(kWidth / 2, lowerY), {0, 140, 75}, 3);
    expectNear(pixelAt(kWidth / 2, upperY), upperDry, 0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

    // Flat mode: texturing is off, so the water is a translucent white square.
    window->setRenderMode(RENDER_FLAT);
    window->setModelColor(0, 0, 0);
    drawOnce();
    expectNear(pixelAt(kWidth / 2, lowerY), {77, 77, 77}, 3);
}

TEST_F(Scene, FramesOutOfRangeSkipOnlyThatModel) {
    window->setFlag(FLAG_LIGHTING, false);
    window->setRenderMode(RENDER_TEXTURED);
    loadSquare(0, 20, {0, 200, 0}, 20);
    loadSquare(1, 10, {200, 0, 0}, 5, 2);  // smaller, in front of the main square's centre
    window->currentFrame = 0, window->nextFrame = 1;
    drawOnce();
    expectNear(centre(), {200, 0, 0});
    window->currentFrame = 9, window->nextFrame = 10;  // past the attachment's 10 frames
    drawOnce();
    expectNear(centre(), {0, 200, 0});
    window->currentFrame = -1, window->nextFrame = 0;  // no such frame for either
    window->setBackgroundColor(0, 0, 0);
    drawOnce();
    expectNear(centre(), {0, 0, 0});
}

TEST_F(Scene, AttachmentWithItsOwnSkinIsTexturedEvenWhenTheMainModelHasNone) {
    window->setFlag(FLAG_LIGHTING, false);
    window->setRenderMode(RENDER_TEXTURED);
    window->setModelColor(1, 1, 0);
    loadSquare(0, 1, {0, 200, 0}, 20);
    loadSquare(1, 1, {200, 0, 0}, 5, 2);
    window->loadTexture(nullptr, TEXTURE_MAIN_SKIN);  // the main model loses its skin
    ASSERT_EQ(loadPicture(TEXTURE_WATER, 8, 8, {0, 0, 250}), TEXTURE_WATER);
    window->setFlag(FLAG_WATER, true);
    drawOnce();
    // The main model shows white (lighting off), the attachment its skin.
    expectNear(pixelAt(kWidth / 2 + 12, kHeight / 2), {255, 255, 255}, 80);
    expectNear(centre(), {200, 0, 0}, 80);
    // Texturing goes back off afterwards, so the water pass is untextured as before.
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

}  // namespace
}  // namespace viewertest
