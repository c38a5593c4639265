// One complete picture of the scene: background, main model, attachment,
// water. Every call sets the state it needs from the window's fields; only
// the cull face, the texture environment and (in wireframe) the shade model
// carry over from elsewhere.
#include <GL/gl.h>
#include <GL/glu.h>

#include "model/draw.h"
#include "viewer/ModelWindow.h"

namespace {

constexpr double kFieldOfView = 65;
constexpr double kNearPlane = 1, kFarPlane = 1024;
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

}  // namespace

void ModelWindow::draw() {
    glClearColor(backgroundColor[0], backgroundColor[1], backgroundColor[2], 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const int width = getWidth(), height = getHeight();
    glViewport(0, 0, width, height);

    if ((flags & FLAG_BACKGROUND) && textures[TEXTURE_BACKGROUND]) drawBackground(GLuint(textures[TEXTURE_BACKGROUND]));

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window of no height (or width) gets the projection of a 1-pixel
    // edge, so the aspect ratio stays finite and positive.
    const double aspect = double(width > 0 ? width : 1) / double(height > 0 ? height : 1);
    gluPerspective(kFieldOfView, aspect, kNearPlane, kFarPlane);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    if (flags & FLAG_LIGHTING) {
        // In eye space, on the eye's axis: the light stays with the viewer.
        const float position[4] = {0, 0, transZ, 1};
        const float diffuse[4] = {lightColor[0], lightColor[1], lightColor[2], 1};
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    }

    // Pixel transfer: affects textures uploaded from now on, not the drawing.
    const float brightnessScale = 1 + 5 * brightness;
    glPixelTransferf(GL_RED_SCALE, brightnessScale);
    glPixelTransferf(GL_GREEN_SCALE, brightnessScale);
    glPixelTransferf(GL_BLUE_SCALE, brightnessScale);

    glTranslatef(-transX, -transY, -transZ);
    glRotatef(rotX, 1, 0, 0);
    glRotatef(rotY, 0, 1, 0);

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

    switch (renderMode) {
    case RENDER_WIREFRAME:
        setDiffuse(wireColor);
        glColor3f(wireColor[0], wireColor[1], wireColor[2]);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        break;
    case RENDER_FLAT:
    case RENDER_SMOOTH:
        glColor3f(modelColor[0], modelColor[1], modelColor[2]);
        setDiffuse(modelColor);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glShadeModel(renderMode == RENDER_FLAT ? GL_FLAT : GL_SMOOTH);
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

    const bool textured = renderMode == RENDER_TEXTURED;
    bool mainPassDisabledTexturing = false;
    if (const Model* model = models[MODEL_MAIN]) {
        if (textured && !textures[TEXTURE_MAIN_SKIN]) {
            setDiffuse(modelColor);
            glDisable(GL_TEXTURE_2D);
            mainPassDisabledTexturing = true;
        }
        glBindTexture(GL_TEXTURE_2D, GLuint(textures[TEXTURE_MAIN_SKIN]));
        if (hasFrames(model, currentFrame, nextFrame)) modelDrawFrame(model, currentFrame, nextFrame, frameFraction);
    }

    if (const Model* model = models[MODEL_ATTACH]) {
        // An attachment with a skin of its own shows it even when the main
        // model, lacking one, switched texturing off; texturing then goes
        // back off so the water pass looks as it would have.
        bool reenabledTexturing = false;
        if (textured) {
            if (!textures[TEXTURE_ATTACH_SKIN]) {
                setDiffuse(modelColor);
                glDisable(GL_TEXTURE_2D);
            } else {
                setDiffuse(kWhite);
                if (mainPassDisabledTexturing) {
                    glEnable(GL_TEXTURE_2D);
                    reenabledTexturing = true;
                }
            }
        }
        glBindTexture(GL_TEXTURE_2D, GLuint(textures[TEXTURE_ATTACH_SKIN]));
        if (hasFrames(model, currentFrame, nextFrame)) modelDrawFrame(model, currentFrame, nextFrame, frameFraction);
        if (reenabledTexturing) glDisable(GL_TEXTURE_2D);
    }

    if ((flags & FLAG_WATER) && textures[TEXTURE_WATER]) drawWater(GLuint(textures[TEXTURE_WATER]));

    glPopMatrix();
}
