// The canvas: the viewer's model window, hidden, its scene drawn into
// framebuffer objects (or the window's own framebuffer where that keeps the
// picture) and read back. On Linux this file and the viewer's window code it
// links are the drawing plugin; nothing else of the program is in it.
#include "frontend/drawing/canvas.h"

#ifdef _WIN32
#include <windows.h>  // what Windows' GL/gl.h stands on
#endif
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "toolkit/mxApp.h"
#include "viewer/ModelWindow.h"
#include "viewer/startup.h"

namespace frontend {

namespace {

// The framebuffer-object calls (OpenGL 3.0), looked up in the context: the
// system's OpenGL library need not export them (Windows' exports 1.1 only).
// One context serves the process, so one table does.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC renderbufferStorageMultisample = nullptr;
    PFNGLGETRENDERBUFFERPARAMETERIVPROC getRenderbufferParameteriv = nullptr;
    bool loaded = false;
};
FramebufferCalls gl;

template <typename Call>
bool lookUp(Call& call, const char* name) {
    call = reinterpret_cast<Call>(mxGlWindow::procAddress(name));
    return call != nullptr;
}

// Every call, or false when the driver lacks one.
bool loadFramebufferCalls() {
    gl.loaded = lookUp(gl.genFramebuffers, "glGenFramebuffers") &&
                lookUp(gl.deleteFramebuffers, "glDeleteFramebuffers") &&
                lookUp(gl.bindFramebuffer, "glBindFramebuffer") &&
                lookUp(gl.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
                lookUp(gl.checkFramebufferStatus, "glCheckFramebufferStatus") &&
                lookUp(gl.blitFramebuffer, "glBlitFramebuffer") &&
                lookUp(gl.genRenderbuffers, "glGenRenderbuffers") &&
                lookUp(gl.deleteRenderbuffers, "glDeleteRenderbuffers") &&
                lookUp(gl.bindRenderbuffer, "glBindRenderbuffer") &&
                lookUp(gl.renderbufferStorage, "glRenderbufferStorage") &&
                lookUp(gl.renderbufferStorageMultisample, "glRenderbufferStorageMultisample") &&
                lookUp(gl.getRenderbufferParameteriv, "glGetRenderbufferParameteriv");
    return gl.loaded;
}

// The samples of each pixel averaged by a fragment shader of ours: the
// driver's own resolve (glBlitFramebuffer) gives the same pixels, the same
// sum of the samples taken apart the same way and written out the same way,
// but Mesa's software renderer builds its shader anew in every process (at
// the cost of the rest of a picture: 40 ms of 115 for faerie.md2 at
// 640x480), where this one it keeps in its shader cache for the next run
// (then 12 ms). Without a cache ours costs more to build than the blit's,
// and other drivers resolve in hardware: there the blit resolves.
struct ResolveCalls {
    PFNGLCREATESHADERPROC createShader = nullptr;
    PFNGLSHADERSOURCEPROC shaderSource = nullptr;
    PFNGLCOMPILESHADERPROC compileShader = nullptr;
    PFNGLGETSHADERIVPROC getShaderiv = nullptr;
    PFNGLDELETESHADERPROC deleteShader = nullptr;
    PFNGLCREATEPROGRAMPROC createProgram = nullptr;
    PFNGLATTACHSHADERPROC attachShader = nullptr;
    PFNGLLINKPROGRAMPROC linkProgram = nullptr;
    PFNGLGETPROGRAMIVPROC getProgramiv = nullptr;
    PFNGLUSEPROGRAMPROC useProgram = nullptr;
    PFNGLDELETEPROGRAMPROC deleteProgram = nullptr;
    PFNGLTEXIMAGE2DMULTISAMPLEPROC texImage2DMultisample = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D = nullptr;
};
ResolveCalls glsl;

bool loadResolveCalls() {
    return lookUp(glsl.createShader, "glCreateShader") && lookUp(glsl.shaderSource, "glShaderSource") &&
           lookUp(glsl.compileShader, "glCompileShader") && lookUp(glsl.getShaderiv, "glGetShaderiv") &&
           lookUp(glsl.deleteShader, "glDeleteShader") && lookUp(glsl.createProgram, "glCreateProgram") &&
           lookUp(glsl.attachShader, "glAttachShader") && lookUp(glsl.linkProgram, "glLinkProgram") &&
           lookUp(glsl.getProgramiv, "glGetProgramiv") && lookUp(glsl.useProgram, "glUseProgram") &&
           lookUp(glsl.deleteProgram, "glDeleteProgram") &&
           lookUp(glsl.texImage2DMultisample, "glTexImage2DMultisample") &&
           lookUp(glsl.framebufferTexture2D, "glFramebufferTexture2D");
}

// Whether the driver is Mesa's software renderer.
bool softwareRenderer() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return renderer && std::strncmp(renderer, "llvmpipe", 8) == 0;
}

// One triangle over the whole picture, from the vertex numbers alone.
const char kResolveVertices[] =
    "#version 130\n"
    "void main() {\n"
    "    gl_Position = vec4(vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1)) * 4.0 - 1.0, 0.0, 1.0);\n"
    "}\n";

// The samples summed in order, then scaled by one over their number (exact:
// 2, 4 or 8), as the blit's resolve does; precise keeps the order.
std::string resolveFragments(int samples) {
    return "#version 150\n"
           "#extension GL_ARB_gpu_shader5 : require\n"
           "uniform sampler2DMS drawn;\n"
           "out vec4 colour;\n"
           "void main() {\n"
           "    ivec2 at = ivec2(gl_FragCoord.xy);\n"
           "    precise vec4 sum = texelFetch(drawn, at, 0);\n"
           "    for (int i = 1; i < " + std::to_string(samples) + "; ++i) sum += texelFetch(drawn, at, i);\n"
           "    colour = sum * (1.0 / " + std::to_string(samples) + ".0);\n"
           "}\n";
}

GLuint compiledShader(GLenum kind, const std::string& source) {
    const GLuint shader = glsl.createShader(kind);
    const char* text = source.c_str();
    glsl.shaderSource(shader, 1, &text, nullptr);
    glsl.compileShader(shader);
    GLint compiled = GL_FALSE;
    glsl.getShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE) return shader;
    glsl.deleteShader(shader);
    return 0;
}

// The program that resolves this many samples; 0 where the driver can't make it.
GLuint resolveProgram(int samples) {
    const GLuint vertices = compiledShader(GL_VERTEX_SHADER, kResolveVertices);
    const GLuint fragments = vertices ? compiledShader(GL_FRAGMENT_SHADER, resolveFragments(samples)) : 0;
    GLuint program = 0;
    if (fragments) {
        program = glsl.createProgram();
        glsl.attachShader(program, vertices);
        glsl.attachShader(program, fragments);
        glsl.linkProgram(program);
        GLint linked = GL_FALSE;
        glsl.getProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            glsl.deleteProgram(program);
            program = 0;
        }
    }
    if (vertices) glsl.deleteShader(vertices);  // kept by the program while it lives
    if (fragments) glsl.deleteShader(fragments);
    return program;
}

// What is drawn larger to be reduced stays within this (256 MiB read back).
constexpr int kLargestDrawnEdge = 8192;

// Whether the window's own framebuffer holds every bit a picture keeps.
bool windowKeepsPicture(bool alpha) {
    GLint red = 0, green = 0, blue = 0, alphaBits = 0;
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    return red >= 8 && green >= 8 && blue >= 8 && (!alpha || alphaBits >= 8);
}

// A renderbuffer of this format, multisampled when samples is above 1.
GLuint makeRenderbuffer(GLenum format, int samples, int width, int height) {
    GLuint name = 0;
    gl.genRenderbuffers(1, &name);
    gl.bindRenderbuffer(GL_RENDERBUFFER, name);
    if (samples > 1)
        gl.renderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
    else
        gl.renderbufferStorage(GL_RENDERBUFFER, format, width, height);
    return name;
}

// A framebuffer of these renderbuffers (a colour of 0: attached by the caller).
GLuint makeFramebuffer(GLuint colour, GLuint depth) {
    GLuint name = 0;
    gl.genFramebuffers(1, &name);
    gl.bindFramebuffer(GL_FRAMEBUFFER, name);
    if (colour) gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    if (depth) gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    return name;
}

// Each scale x scale block of pixels becomes one, their average.
RgbaPicture reduce(const RgbaPicture& large, int scale) {
    RgbaPicture small;
    small.width = large.width / scale;
    small.height = large.height / scale;
    small.rgba.resize(size_t(small.width) * size_t(small.height) * 4);
    const int count = scale * scale;
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x)
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx)
                        sum += large.rgba[(size_t(y * scale + dy) * size_t(large.width) + size_t(x * scale + dx)) * 4 +
                                          size_t(c)];
                small.rgba[(size_t(y) * size_t(small.width) + size_t(x)) * 4 + size_t(c)] =
                    uint8_t((sum + count / 2) / count);
            }
    return small;
}

// A smoothed edge over a transparent background is the model's colour
// blended with the clear colour by its coverage; the clear colour is taken
// out again, so the edge keeps the model's colour (with the coverage as its
// alpha) and shows no fringe of the clear colour over whatever it is put on.
void unblendClearColour(RgbaPicture& picture, const float (&clear)[3]) {
    for (size_t i = 0; i < picture.rgba.size(); i += 4) {
        const int alpha = picture.rgba[i + 3];
        if (alpha == 0 || alpha == 255) continue;
        for (size_t c = 0; c < 3; ++c) {
            const float background = std::clamp(clear[c], 0.0f, 1.0f) * 255;
            const float own = (float(picture.rgba[i + c]) - (255 - float(alpha)) * background / 255) * 255 / float(alpha);
            picture.rgba[i + c] = uint8_t(std::lround(std::clamp(own, 0.0f, 255.0f)));
        }
    }
}

class ModelCanvas : public Canvas {
public:
    ~ModelCanvas() override;
    bool open(const OffscreenFormat& format, const CanvasSystem& system, std::string& error) override;
    void show(const CanvasScene& scene, const ViewerConfig& record) override;
    void setFlag(int bit, bool on) override { window_->setFlag(bit, on); }
    RgbaPicture draw(const FramePoint& at) override;

private:
    bool makeFramebuffers(const CanvasSystem& system, std::string& error);
    RgbaPicture readBack();

    OffscreenFormat format_;
    ModelWindow* window_ = nullptr;
    bool appStarted_ = false;
    bool shown_ = false;
    int scale_ = 1;  // the picture is drawn scale_ times wider and higher, then reduced
    int samplesGiven_ = 1;
    // drawn_: where the scene draws (0: the window's own); resolved_: the
    // single-sample copy a multisampled drawing is resolved into.
    unsigned drawn_ = 0, drawnColour_ = 0, drawnDepth_ = 0;
    unsigned resolved_ = 0, resolvedColour_ = 0;
    // Our resolve: its program, and the multisampled texture it reads
    // (drawn into instead of drawnColour_); 0 where the blit resolves.
    unsigned resolveProgram_ = 0, drawnTexture_ = 0;

    void resolve(int width, int height);
};

ModelCanvas::~ModelCanvas() {
    if (!window_) {
        if (appStarted_) mxAppClose();
        return;
    }
    window_->makeCurrent();
    if (gl.loaded) {
        gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
        const GLuint framebuffers[] = {drawn_, resolved_};
        const GLuint renderbuffers[] = {drawnColour_, drawnDepth_, resolvedColour_};
        gl.deleteFramebuffers(2, framebuffers);  // names of 0 are passed over
        gl.deleteRenderbuffers(3, renderbuffers);
    }
    if (resolveProgram_) glsl.deleteProgram(resolveProgram_);
    if (drawnTexture_) glDeleteTextures(1, &drawnTexture_);
    delete window_;
    // No loop of ours runs; the thread's own (a host program's) goes on.
    mxAppClose();
}

bool ModelCanvas::open(const OffscreenFormat& format, const CanvasSystem& system, std::string& error) {
    format_ = format;
    if (!mxAppInit(0, nullptr)) {
        error = "no offscreen video driver to draw with";
        return false;
    }
    appStarted_ = true;
    window_ = createViewerWindow(format.width, format.height, WindowShown::Hidden, WindowUse::Pictures);
    if (!window_) {
        error = "no OpenGL context to draw with";
        return false;
    }
    return makeFramebuffers(system, error);
}

bool ModelCanvas::makeFramebuffers(const CanvasSystem& system, std::string& error) {
    const int asked = std::max(format_.samples, 1);
    // The window's framebuffer has the pixel format the driver matched to
    // the viewer's request, which has no alpha and may have fewer bits.
    // Where it keeps the whole picture and no smoothing is asked for, the
    // scene draws there: the quicker way (it keeps every shader the driver
    // made for the window's first pictures).
    if (asked == 1 && system.windowKeepsPixels && windowKeepsPicture(format_.alpha)) return true;
    if (!loadFramebufferCalls()) {
        error = "the OpenGL driver has no framebuffer objects (OpenGL 3.0) to draw pictures into";
        return false;
    }

    // Smoothing by the driver's multisampling; where it offers fewer
    // samples than asked, the picture is also drawn larger and reduced.
    GLint most = 0;
    if (asked > 1) glGetIntegerv(GL_MAX_SAMPLES, &most);
    const int multisamples = std::min<int>(asked, std::max<GLint>(most, 1));
    while (multisamples * scale_ * scale_ < asked) ++scale_;
    const int width = format_.width * scale_, height = format_.height * scale_;
    if (scale_ > 1 && std::max(width, height) > kLargestDrawnEdge) {
        error = "--antialias " + std::to_string(asked) + " needs " + std::to_string(width) + "x" +
                std::to_string(height) + " pixels drawn on this driver, which offers " + std::to_string(most) +
                " samples a pixel; ask fewer samples or a smaller picture";
        return false;
    }
    if (scale_ > 1) {
        window_->setBounds(0, 0, width, height);
        if (window_->getWidth() != width || window_->getHeight() != height) {
            error = "the offscreen driver can't draw " + std::to_string(width) + "x" + std::to_string(height) +
                    " pixels for --antialias " + std::to_string(asked);
            return false;
        }
    }

    GLint given = 1;
    if (multisamples > 1 && system.shadersKept && softwareRenderer() && loadResolveCalls()) {
        // A multisampled texture for our resolve to read, when the driver
        // gives it and runs the resolve for the samples it holds.
        glGenTextures(1, &drawnTexture_);
        glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, drawnTexture_);
        glsl.texImage2DMultisample(GL_TEXTURE_2D_MULTISAMPLE, multisamples, GL_RGBA8, width, height, GL_TRUE);
        glGetTexLevelParameteriv(GL_TEXTURE_2D_MULTISAMPLE, 0, GL_TEXTURE_SAMPLES, &given);
        glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
        resolveProgram_ = glGetError() == GL_NO_ERROR && given > 1 ? resolveProgram(given) : 0;
        if (!resolveProgram_) {
            glDeleteTextures(1, &drawnTexture_);
            drawnTexture_ = 0;
            given = 1;
        }
    }
    if (!drawnTexture_) {
        drawnColour_ = makeRenderbuffer(GL_RGBA8, multisamples, width, height);
        if (multisamples > 1) {
            gl.bindRenderbuffer(GL_RENDERBUFFER, drawnColour_);
            gl.getRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_SAMPLES, &given);
        }
    }
    drawnDepth_ = makeRenderbuffer(GL_DEPTH_COMPONENT16, multisamples, width, height);
    samplesGiven_ = std::max<GLint>(given, 1) * scale_ * scale_;
    drawn_ = makeFramebuffer(drawnColour_, drawnDepth_);
    if (drawnTexture_)
        glsl.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D_MULTISAMPLE, drawnTexture_, 0);
    bool complete = gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete && multisamples > 1) {
        resolvedColour_ = makeRenderbuffer(GL_RGBA8, 1, width, height);
        resolved_ = makeFramebuffer(resolvedColour_, 0);
        complete = gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    if (!complete || glGetError() != GL_NO_ERROR) {
        error = "the offscreen driver can't draw " + std::to_string(width) + "x" + std::to_string(height) + " pixels" +
                (asked > 1 ? " with " + std::to_string(multisamples) + " samples each" : std::string());
        return false;
    }
    return true;
}

void ModelCanvas::show(const CanvasScene& scene, const ViewerConfig& record) {
    window_->makeCurrent();
    if (shown_) window_->restart();
    // The slots in the order the viewer fills them from its record; the
    // window only draws the models, it never changes or frees them.
    window_->fillModelSlot(const_cast<Model*>(scene.main), MODEL_MAIN);
    window_->fillModelSlot(const_cast<Model*>(scene.attach), MODEL_ATTACH);
    window_->fillTextureSlot(scene.mainSkin, TEXTURE_MAIN_SKIN);
    window_->fillTextureSlot(scene.attachSkin, TEXTURE_ATTACH_SKIN);
    window_->fillTextureSlot(scene.background, TEXTURE_BACKGROUND);
    window_->fillTextureSlot(scene.water, TEXTURE_WATER);
    applySettings(*window_, record);
    shown_ = true;
}

RgbaPicture ModelCanvas::draw(const FramePoint& at) {
    window_->currentFrame = at.current;
    window_->nextFrame = at.next;
    window_->frameFraction = at.fraction;
    window_->makeCurrent();
    if (gl.loaded) gl.bindFramebuffer(GL_FRAMEBUFFER, drawn_);
    window_->draw();
    if (resolved_) {
        gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, resolved_);
        const int width = format_.width * scale_, height = format_.height * scale_;
        if (resolveProgram_)
            resolve(width, height);
        else
            gl.blitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        gl.bindFramebuffer(GL_READ_FRAMEBUFFER, resolved_);
    }
    RgbaPicture picture = readBack();
    if (scale_ > 1) picture = reduce(picture, scale_);
    if (format_.alpha && samplesGiven_ > 1) unblendClearColour(picture, window_->backgroundColor);
    return picture;
}

void ModelCanvas::resolve(int width, int height) {
    // Whatever the scene left set is given back after: the next picture of
    // the same record draws on it.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_STENCIL_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glViewport(0, 0, width, height);
    glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, drawnTexture_);  // unit 0, the sampler's
    glsl.useProgram(resolveProgram_);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glsl.useProgram(0);
    glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
    glPopAttrib();
}

RgbaPicture ModelCanvas::readBack() {
    RgbaPicture picture;
    picture.width = format_.width * scale_;
    picture.height = format_.height * scale_;
    const size_t row = size_t(picture.width) * 4;
    picture.rgba.resize(row * size_t(picture.height));
    glReadPixels(0, 0, picture.width, picture.height, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    // GL's rows come bottom first.
    std::vector<uint8_t> spare(row);
    for (int top = 0, bottom = picture.height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = &picture.rgba[size_t(top) * row];
        uint8_t* b = &picture.rgba[size_t(bottom) * row];
        std::memcpy(spare.data(), a, row);
        std::memcpy(a, b, row);
        std::memcpy(b, spare.data(), row);
    }
    return picture;
}

}  // namespace

}  // namespace frontend

// The plugin's one exported name (everything else in it is hidden); linked
// in where there is no plugin.
#ifdef _WIN32
#define OMBREL_EXPORTED
#else
#define OMBREL_EXPORTED __attribute__((visibility("default")))
#endif

extern "C" OMBREL_EXPORTED frontend::Canvas* ombrelMakeCanvas(const char* build) {
    if (!build || std::strcmp(build, OMBREL_CANVAS_BUILD) != 0) return nullptr;
    return new frontend::ModelCanvas;
}
