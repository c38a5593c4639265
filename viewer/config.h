// The viewer's configuration file "ombrel.cfg": a packed little-endian record
// of 1653 bytes. The viewer only reads it; the front end (and the tests)
// write it, both through the one description of its layout below.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the record's values mean, for the viewer that shows them and for
// whoever writes a record and must know what it will show.

// Toggle bits of the flags field (and of ModelWindow::flags).
enum {
    FLAG_WATER = 0x01,
    FLAG_LIGHTING = 0x02,
    FLAG_SPECULAR = 0x04,
    FLAG_INTERPOLATE = 0x08,
    FLAG_COMMANDS = 0x10,
    FLAG_PAUSED = 0x20,
    FLAG_BACKGROUND = 0x40
};

// Render modes.
enum { RENDER_WIREFRAME = 0, RENDER_FLAT = 1, RENDER_SMOOTH = 2, RENDER_TEXTURED = 3 };

// The view: a perspective of this vertical field of view (degrees) between
// these planes, the eye looking down -z; the model turned by rotY degrees
// about its y axis first, then by rotX about the x axis, then moved by
// -trans (so trans is where the eye sits in the turned model's space).
constexpr double VIEW_FIELD_OF_VIEW = 65;
constexpr double VIEW_NEAR_PLANE = 1, VIEW_FAR_PLANE = 1024;

// A point turned as the view turns the model: about y by rotY, then about x
// by rotX (degrees).
void viewTurn(const float point[3], float rotX, float rotY, float turned[3]);

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

// The record's layout, once for reading and writing: every field in file
// order, each handed to the visitor's operation for its type (byte, int32,
// float32, a 256-byte path, a 12-byte colour triple). Config is ViewerConfig
// or const ViewerConfig.
template <typename Config, typename Visitor>
void visitConfigFields(Config& c, Visitor& field) {
    field.int32(c.windowWidth);  // offset 0
    field.int32(c.windowHeight);
    field.byte(c.fullScreen);                     // 8: every later field starts at an odd offset
    for (auto& path : c.paths) field.path(path);  // 9, 265, 521, 777, 1033, 1289
    field.float32(c.rotX);                        // 1545
    field.float32(c.rotY);
    field.float32(c.transX);
    field.float32(c.transY);
    field.float32(c.transZ);
    field.int32(c.renderMode);  // 1565
    field.float32(c.frameFraction);
    field.int32(c.currentFrame);
    field.int32(c.nextFrame);
    field.int32(c.startFrame);
    field.int32(c.endFrame);
    field.float32(c.msPerFrame);  // 1589
    field.colour(c.backgroundColor);
    field.colour(c.modelColor);
    field.colour(c.wireColor);
    field.colour(c.lightColor);
    field.float32(c.brightness);  // 1641
    field.int32(c.flags);
    field.int32(c.textureLimit);  // 1649, the last 4 bytes
}

// Reads the file field by field in file order. Returns false only when the
// path is not a regular file that can be opened (missing, a folder, a FIFO,
// a device): the viewer then says the configuration could not be loaded.
// A file shorter than a whole record keeps the initial value of every field
// it does not hold completely; a path whose 256 bytes hold no zero ends at
// its 255th character.
bool readConfig(const char* path, ViewerConfig& config);

// The same, field by field, from the record's bytes in memory (whatever
// follows the record is not looked at).
void readConfigFromBytes(const uint8_t* bytes, size_t size, ViewerConfig& config);

// The record for these settings: exactly CONFIG_FILE_SIZE bytes.
std::vector<uint8_t> configBytes(const ViewerConfig& config);

// Writes the record to path, replacing the file. False on any failure.
bool writeConfig(const std::string& path, const ViewerConfig& config);

// Sets a path field (cut to 255 characters, the rest of the field zero).
void setConfigPath(ViewerConfig& config, ConfigPath which, const std::string& path);
