// Filling and emptying the model and texture slots.
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstring>

#include "image/image.h"
#include "model/model.h"
#include "viewer/ModelWindow.h"
#include "viewer/paths.h"

namespace {

// The path into its slot's buffer. Callers pass the buffer itself as often
// as not, hence memmove; paths longer than a buffer never get here.
void storePath(char* buffer, const char* path) {
    if (buffer != path) std::memmove(buffer, path, std::strlen(path) + 1);
}

bool fitsPathBuffer(const char* path) { return std::memchr(path, 0, CONFIG_PATH_SIZE) != nullptr; }

void lowerCaseAscii(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = char(*text - 'A' + 'a');
}

// An 8-bit picture expanded through its palette to R, G, B bytes; null when
// the 24-bit picture cannot be made.
mxImage* expandPalette(const mxImage& indexed) {
    mxImage* rgb = new mxImage;
    if (!rgb->create(indexed.width, indexed.height, 24)) {
        delete rgb;
        return nullptr;
    }
    const size_t pixels = size_t(indexed.width) * size_t(indexed.height);
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* entry = indexed.palette + 3 * size_t(indexed.data[i]);
        rgb->data[3 * i] = entry[0];
        rgb->data[3 * i + 1] = entry[1];
        rgb->data[3 * i + 2] = entry[2];
    }
    return rgb;
}

// The picture a texture path names, as 24-bit RGB, or null. The ".tga" test
// comes first and sees the path as given; only then is the path lower-cased
// (in the caller's string) for the ".pcx" test.
mxImage* readPicture(char* path) {
    if (std::strstr(path, ".tga")) return readTgaImage(path);
    lowerCaseAscii(path);
    if (!std::strstr(path, ".pcx")) return nullptr;
    mxImage* indexed = readPcxImage(path);
    if (!indexed) return nullptr;
    mxImage* rgb = expandPalette(*indexed);
    delete indexed;
    return rgb;
}

}  // namespace

int roundTextureEdge(int edge) {
    if (edge > 128) return 256;
    if (edge > 64) return 128;
    if (edge > 32) return 64;
    if (edge > 16) return 32;
    if (edge > 8) return 16;
    if (edge > 4) return 8;
    if (edge > 2) return 4;
    if (edge == 2) return 2;
    return edge;
}

Model* ModelWindow::loadModel(const char* path, int slot) {
    if (slot != MODEL_MAIN && slot != MODEL_ATTACH) return nullptr;
    char* buffer = modelPathBuffer(slot);
    if (models[slot]) {
        modelFree(models[slot]);
        models[slot] = nullptr;
        buffer[0] = 0;
    }
    if (!path || !path[0]) return nullptr;
    if (!fitsPathBuffer(path)) {
        // A cut path would name another file; the slot stays empty, and its
        // buffer says so rather than holding a path it never tried.
        buffer[0] = 0;
        return nullptr;
    }
    models[slot] = modelLoad(path);
    storePath(buffer, path);
    return models[slot];
}

int ModelWindow::loadTexture(char* path, int slot) {
    if (slot < TEXTURE_MAIN_SKIN || slot > TEXTURE_WATER) return 0;
    char* buffer = texturePathBuffer(slot);
    if (!path || !path[0]) {
        textures[slot] = 0;
        buffer[0] = 0;
        return 0;
    }
    if (!fitsPathBuffer(path) || !hasContext()) return 0;

    mxImage* picture = readPicture(path);
    if (!picture) return 0;
    if (picture->width <= 0 || picture->height <= 0) {
        delete picture;  // nothing to show; the slot keeps what it had
        return 0;
    }
    // A limit below 1 still gives a texture, of one texel: the picture's average.
    const int limit = textureLimit < 1 ? 1 : textureLimit;
    const int width = roundTextureEdge(picture->width < limit ? picture->width : limit);
    const int height = roundTextureEdge(picture->height < limit ? picture->height : limit);
    // The scaled picture is made before the slot changes, so running out of
    // memory leaves the slot exactly as it was.
    mxImage* scaled = new mxImage;
    if (!scaled->create(width, height, 24)) {
        delete scaled;
        delete picture;
        return 0;
    }

    storePath(buffer, path);
    textures[slot] = slot;

    // Rows are packed with no padding; OpenGL's default of 4-byte rows would
    // read and write past the buffers for widths that are not a multiple of 4.
    GLint packAlignment = 4, unpackAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    gluScaleImage(GL_RGB, picture->width, picture->height, GL_UNSIGNED_BYTE, picture->data, width, height,
                  GL_UNSIGNED_BYTE, scaled->data);
    delete picture;

    glBindTexture(GL_TEXTURE_2D, GLuint(slot));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, scaled->data);
    glBindTexture(GL_TEXTURE_2D, 0);

    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
    delete scaled;
    return slot;
}
