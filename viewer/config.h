// The viewer's configuration file "ombrel.cfg": a packed little-endian record
// of 1653 bytes, written by a program outside the viewer and only read here.
#pragma once

#include <cstdint>

constexpr int CONFIG_FILE_SIZE = 1653;
constexpr int CONFIG_PATH_SIZE = 256;

// Index of each path field, in file order.
enum ConfigPath {
    PATH_MAIN_MODEL,
    PATH_MAIN_SKIN,
    PATH_ATTACH_MODEL,
    PATH_ATTACH_SKIN,
    PATH_BACKGROUND,
    PATH_WATER,
    PATH_COUNT
};

// Every field of the file. The initial values are the model window's own
// defaults (and a 640 x 480 window), so that a field the file does not hold
// whole leaves the viewer as if the field had said nothing.
struct ViewerConfig {
    int32_t windowWidth = 640;
    int32_t windowHeight = 480;
    uint8_t fullScreen = 0;
    char paths[PATH_COUNT][CONFIG_PATH_SIZE] = {};
    float rotX = 0, rotY = 0;
    float transX = 0, transY = 0, transZ = 50;
    int32_t renderMode = 0;
    float frameFraction = 0;
    int32_t currentFrame = 0, nextFrame = 0, startFrame = 0, endFrame = 0;
    float msPerFrame = 125;
    float backgroundColor[3] = {0, 0, 0};
    float modelColor[3] = {1, 1, 1};
    float wireColor[3] = {1, 1, 1};
    float lightColor[3] = {1, 1, 1};
    float brightness = 0;  // in hundredths, as stored in the file
    int32_t flags = 0x1E;
    int32_t textureLimit = 256;
};

// Reads the file field by field in file order. Returns false only when the
// path is not a regular file that can be opened (missing, a folder, a FIFO,
// a device): the viewer then says the configuration could not be loaded. A file shorter than a whole record keeps the
// initial value of every field it does not hold completely; a path whose 256 bytes hold no zero ends at its 255th
// character.
bool readConfig(const char* path, ViewerConfig& config);
