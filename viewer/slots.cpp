// Filling and emptying the model and texture slots.
#include <GL/gl.h>
#include <cstring>
#include <memory>

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

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Whether text holds the lower-case `part` in any mix of cases.
bool containsIgnoringCase(const char* text, const char* part) {
    const size_t length = std::strlen(part);
    for (; *text; ++text) {
        size_t i = 0;
        while (i < length && lowerAscii(text[i]) == part[i]) ++i;
        if (i == length) return true;
    }
    return false;
}

// The picture file at path, through the reader its name asks for: ".tga"
// anywhere in it (in any case, a folder's name too) means TGA, otherwise
// ".pcx" means PCX. Null when neither, or when the reader gives nothing.
mxImage* readPictureFile(const char* path) {
    if (containsIgnoringCase(path, ".tga")) return readTgaImage(path);
    if (containsIgnoringCase(path, ".pcx")) return readPcxImage(path);
    return nullptr;
}

// The picture a texture path names, and in *used the path it came from:
// the path as given, or only where that gives nothing its lower-cased form
// (names written for a file system that ignores case). `lowered` holds that
// form. Null when neither gives a picture.
mxImage* readPicture(const char* path, char (&lowered)[CONFIG_PATH_SIZE], const char** used) {
    *used = path;
    if (mxImage* picture = readPictureFile(path)) return picture;
    size_t i = 0;
    for (; path[i]; ++i) lowered[i] = lowerAscii(path[i]);
    lowered[i] = 0;
    if (std::strcmp(lowered, path) == 0) return nullptr;
    *used = lowered;
    return readPictureFile(lowered);
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

void ModelWindow::emptyModelSlot(int slot) {
    if (models[slot] && !modelLent_[slot]) modelFree(models[slot]);
    models[slot] = nullptr;
    modelLent_[slot] = false;
}

Model* ModelWindow::loadModel(const char* path, int slot) {
    if (slot != MODEL_MAIN && slot != MODEL_ATTACH) return nullptr;
    char* buffer = modelPathBuffer(slot);
    if (models[slot]) {
        emptyModelSlot(slot);
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

Model* ModelWindow::fillModelSlot(Model* model, int slot) {
    if (slot != MODEL_MAIN && slot != MODEL_ATTACH) return nullptr;
    emptyModelSlot(slot);
    modelPathBuffer(slot)[0] = 0;
    models[slot] = model;
    modelLent_[slot] = model != nullptr;
    return model;
}

int ModelWindow::loadTexture(const char* path, int slot) {
    char* buffer = texturePathBuffer(slot);
    if (!buffer) return 0;
    if (!path || !path[0]) {
        textures[slot] = 0;
        buffer[0] = 0;
        return 0;
    }
    if (!fitsPathBuffer(path) || !hasContext()) return 0;

    char lowered[CONFIG_PATH_SIZE];
    const char* used = nullptr;
    std::unique_ptr<mxImage> picture(readPicture(path, lowered, &used));
    if (!picture || !uploadTexture(*picture, slot)) return 0;
    storePath(buffer, used);
    return slot;
}

int ModelWindow::fillTextureSlot(const mxImage* picture, int slot) {
    char* buffer = texturePathBuffer(slot);
    if (!buffer) return 0;
    if (!picture) return loadTexture(nullptr, slot);
    if (!hasContext() || !uploadTexture(*picture, slot)) return 0;
    buffer[0] = 0;
    return slot;
}

bool ModelWindow::uploadTexture(const mxImage& picture, int slot) {
    if (picture.width <= 0 || picture.height <= 0) return false;  // nothing to show: the slot keeps what it had
    // A limit below 1 still gives a texture, of one texel: the picture's average.
    const int limit = textureLimit < 1 ? 1 : textureLimit;
    const int width = roundTextureEdge(picture.width < limit ? picture.width : limit);
    const int height = roundTextureEdge(picture.height < limit ? picture.height : limit);
    // The texture is made (and filled) before the slot changes, so a failure
    // leaves the slot exactly as it was. It is scaled straight from the
    // picture, 8-bit ones through their palette: the only other memory a
    // load takes is the texture itself, at most 256 x 256 texels.
    mxImage texture;
    if (!texture.create(width, height, 24) || !scaleImage(picture, texture)) return false;
    textures[slot] = slot;

    // Rows are packed with no padding; OpenGL's default of 4-byte rows would
    // read past the buffer for texture edges of 1 or 2.
    GLint unpackAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, GLuint(slot));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, texture.data);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
    return true;
}
