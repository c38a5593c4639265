// What a person can ask of a view of a model, as typed values: the options
// of `ombrel MODEL` (and of any later command that shows a model the same
// way), their parsing from the command line and from the settings file.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
}

namespace frontend {

struct Colour {
    float red = 0, green = 0, blue = 0;
};

struct ViewOptions {
    std::string model;       // MODEL or ARCHIVE:PATH
    std::string skin;        // a picture ("" finds one), unless skinNumber is set
    int skinNumber = 0;      // the N-th skin name stored in the model (from 1); 0 for none
    std::string attach;      // attachment model
    std::string attachSkin;  // its skin ("" finds one)
    std::string background;
    std::string water;                          // "" takes the installed one
    std::optional<int> renderMode;              // 0..3; unset: textured with a skin, else wireframe
    std::string animation;                      // a name from the model's frame names
    std::optional<std::pair<int, int>> frames;  // first and last key frame
    double framesPerSecond = 10;
    bool noInterpolate = false;
    bool triangles = false;  // the triangle list instead of the draw commands
    bool paused = false;
    int width = 800, height = 600;
    bool fullScreen = false;
    std::optional<Colour> backgroundColour, modelColour, wireColour, lightColour;
    int brightness = 0;  // hundredths
    bool waterOn = false;
    bool showBackground = false;
    float rotX = 0, rotY = -90;  // models face +x: turned, the front faces the eye
    std::optional<float> distance;
    bool verbose = false;
};

// Adds every view option to app (a command or a subcommand), writing into
// options as CLI11 parses. Malformed values are refused by CLI11 with a
// message that names the option.
void addViewOptions(CLI::App& app, ViewOptions& options);

// The long names (without "--") of the options the settings file may set,
// and of those among them that name files.
std::vector<std::string> settingNames(CLI::App& app);
const std::vector<std::string>& pathSettingNames();

// Value parsers, shared with the tests. Each returns false (with a reason
// in error) for anything but a whole, well-formed value.
bool parseSize(const std::string& text, int& width, int& height, std::string& error);
bool parseColour(const std::string& text, Colour& colour, std::string& error);
bool parseFrameRange(const std::string& text, std::pair<int, int>& range, std::string& error);
bool parseRotation(const std::string& text, float& x, float& y, std::string& error);
bool parseRenderMode(const std::string& text, int& mode, std::string& error);

// The render mode's name as --mode takes it.
const char* renderModeName(int mode);

// The settings file: $XDG_CONFIG_HOME/ombrel/settings, else
// ~/.config/ombrel/settings; on Windows %APPDATA%\ombrel\settings.
std::string settingsPath();

// Reads the settings file at path into command-line words ("--fps=15",
// "--paused"), to be parsed before the real command line so that the latter
// wins. A missing file gives no words. Paths in it are taken relative to its
// folder ("~/" is the home folder). False, with "line N: ..." in error, for
// a line that is not "option = value" with a known option name.
bool readSettings(const std::string& path, const std::vector<std::string>& knownNames,
                  const std::vector<std::string>& pathNames, std::vector<std::string>& words, std::string& error);

}  // namespace frontend
