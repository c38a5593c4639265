// One complete picture of the scene: background, main model, attachment,
// water. Every call sets the state it needs from the window's fields; only
// the cull face, the texture environment and (in wireframe) the shade model
// carry over from elsewhere.
#include <GL/gl.h>
#include <GL/glu.h>

#include "model/draw.h"
#include "viewer/ModelWindow.h"

namespace {

constexpr float kOverlayAlpha = 0.3f;  // background and water
constexpr float kWaterHalfSize = 100;
constexpr float kShininess = 128;

void setDiffuse(const float rgb[3]) {
    const float rgba[4] = {rgb[0], rgb[1], rgb[2], 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, rgba);
}

const float kWhite[3] = {1, 1, 1};

// Frame numbers come from the configuration and the animation as they
// stand; a model is drawn only while both are frames it has.
bool hasFrames(const Model* model, int current, int next) {
    return current >= 0 && next >= 0 && current < model->numFrames && next < model->numFrames;
}

void drawBackground(GLuint texture) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 1, 0, 1, -1);  // (0, 0) top left, (1, 1) bottom right
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, kOverlayAlpha);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    const float corners[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (const auto& c : corners) {
        glTexCoord2f(c[0], c[1]);
        glVertex2f(c[0], c[1]);
    }
    glEnd();
    glPopMatrix();
}

void drawWater(GLuint texture) {
    glDisable(GL_LIGHTING);
    glNormal3f(0, 1, 0);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glColor4f(1, 1, 1, kOverlayAlpha);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-kWaterHalfSize, 0, -kWaterHalfSize);
    glTexCoord2f(1, 0);
    glVertex3f(kWaterHalfSize, 0, -kWaterHalfSize);
    glTexCoord2f(1, 1);
    glVertex3f(kWaterHalfSize, 0, kWaterHalfSize);
    glTexCoord2f(0, 1);
    glVertex3f(-kWaterHalfSize, 0, kWaterHalfSize);
    glEnd();
    glDisable(GL_BLEND);
}

void clearWindow(const float (&colour)[3], int width, int height) {
    glClearColor(colour[0], colour[1], colour[2], 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);
}

void setProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window of no height (or width) gets the projection of a 1-pixel
    // edge, so the aspect ratio stays finite and positive.
    const double aspect = double(width > 0 ? width : 1) / double(height > 0 ? height : 1);
    gluPerspective(VIEW_FIELD_OF_VIEW, aspect, VIEW_NEAR_PLANE, VIEW_FAR_PLANE);
}

// Given while the modelview matrix is the identity: in eye space, on the
// eye's axis, so the light stays with the viewer.
void placeLight(float transZ, const float (&colour)[3]) {
    const float position[4] = {0, 0, transZ, 1};
    const float diffuse[4] = {colour[0], colour[1], colour[2], 1};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
}

// Pixel transfer: affects textures uploaded from now on, not the drawing.
void setBrightnessScale(float brightness) {
    const float scale = 1 + 5 * brightness;
    glPixelTransferf(GL_RED_SCALE, scale);
    glPixelTransferf(GL_GREEN_SCALE, scale);
    glPixelTransferf(GL_BLUE_SCALE, scale);
}

// The model turns about its own y axis first, then about x, then moves away
// (viewTurn does the same turn for whoever frames the model).
void setView(const ModelWindow& w) {
    glTranslatef(-w.transX, -w.transY, -w.transZ);
    glRotatef(w.rotX, 1, 0, 0);
    glRotatef(w.rotY, 0, 1, 0);
}

void setMaterialAndLighting(int32_t flags) {
    const bool specular = flags & FLAG_SPECULAR;
    const float specularColor[4] = {specular ? 1.0f : 0.0f, specular ? 1.0f : 0.0f, specular ? 1.0f : 0.0f, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specularColor);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, specular ? kShininess : 0);
    if (flags & FLAG_LIGHTING) {
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
    } else {
        glDisable(GL_LIGHTING);
        glDisable(GL_LIGHT0);
    }
}

void setRenderModeState(const ModelWindow& w) {
    switch (w.renderMode) {
    case RENDER_WIREFRAME:
        setDiffuse(w.wireColor);
        glColor3f(w.wireColor[0], w.wireColor[1], w.wireColor[2]);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        break;
    case RENDER_FLAT:
    case RENDER_SMOOTH:
        glColor3f(w.modelColor[0], w.modelColor[1], w.modelColor[2]);
        setDiffuse(w.modelColor);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glShadeModel(w.renderMode == RENDER_FLAT ? GL_FLAT : GL_SMOOTH);
        break;
    case RENDER_TEXTURED:
        glColor3f(1, 1, 1);
        setDiffuse(kWhite);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glShadeModel(GL_SMOOTH);
        break;
    default:
        break;  // an unknown mode changes none of this state
    }
}

void drawModelFrames(const ModelWindow& w, const Model* model) {
    if (hasFrames(model, w.currentFrame, w.nextFrame))
        modelDrawFrame(model, w.currentFrame, w.nextFrame, w.frameFraction);
}

// The main model with its skin; true when, being textured without a skin,
// it switched texturing off.
bool drawMainModel(const ModelWindow& w) {
    bool disabledTexturing = false;
    if (w.renderMode == RENDER_TEXTURED && !w.textures[TEXTURE_MAIN_SKIN]) {
        setDiffuse(w.modelColor);
        glDisable(GL_TEXTURE_2D);
        disabledTexturing = true;
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(w.textures[TEXTURE_MAIN_SKIN]));
    drawModelFrames(w, w.models[MODEL_MAIN]);
    return disabledTexturing;
}

// An attachment with a skin of its own shows it even when the main model,
// lacking one, switched texturing off; texturing then goes back off so the
// water pass looks as it would have.
void drawAttachment(const ModelWindow& w, bool mainDisabledTexturing) {
    bool reenabledTexturing = false;
    if (w.renderMode == RENDER_TEXTURED) {
        if (!w.textures[TEXTURE_ATTACH_SKIN]) {
            setDiffuse(w.modelColor);
            glDisable(GL_TEXTURE_2D);
        } else {
            setDiffuse(kWhite);
            if (mainDisabledTexturing) {
                glEnable(GL_TEXTURE_2D);
                reenabledTexturing = true;
            }
        }
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(w.textures[TEXTURE_ATTACH_SKIN]));
    drawModelFrames(w, w.models[MODEL_ATTACH]);
    if (reenabledTexturing) glDisable(GL_TEXTURE_2D);
}

}  // namespace

void ModelWindow::draw() {
    const int width = getWidth(), height = getHeight();
    clearWindow(backgroundColor, width, height);
    if ((flags & FLAG_BACKGROUND) && textures[TEXTURE_BACKGROUND]) drawBackground(GLuint(textures[TEXTURE_BACKGROUND]));
    setProjection(width, height);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    if (flags & FLAG_LIGHTING) placeLight(transZ, lightColor);
    setBrightnessScale(brightness);
    setView(*this);
    setMaterialAndLighting(flags);
    setRenderModeState(*this);

    bool mainDisabledTexturing = false;
    if (models[MODEL_MAIN]) mainDisabledTexturing = drawMainModel(*this);
    if (models[MODEL_ATTACH]) drawAttachment(*this, mainDisabledTexturing);
    if ((flags & FLAG_WATER) && textures[TEXTURE_WATER]) drawWater(GLuint(textures[TEXTURE_WATER]));

    glPopMatrix();
}
