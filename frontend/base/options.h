// What a person can ask of a view of a model, as typed values: the options
// of `ombrel MODEL` (and of every command that shows a model the same way),
// their parsers, and the helpers every command adds its options with.
//
// Every option's value is checked by one of the parsers here as soon as
// CLI11 meets it (on the command line, or later in the settings file), and a
// refusal is a Failure that names the option and the value as typed
// ("--fps 0: expected a number from 0.01 to 1000").
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

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
    std::string framesGivenAs;                  // the option that gave them, as typed, for messages
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
// options as CLI11 parses.
void addViewOptions(CLI::App& app, ViewOptions& options);

// Parts of them, for commands that take only these: --skin; --animation,
// --frames, --fps and --no-interpolate.
void addSkinOption(CLI::App& app, ViewOptions& options);
void addAnimationOptions(CLI::App& app, ViewOptions& options);

// The long names (without "--") of the view options that name files: in the
// settings file they count from the file's folder.
const std::vector<std::string>& pathOptionNames();

// Value parsers, shared with the tests. Each returns false (with a reason
// in error) for anything but a whole, well-formed value.
bool parseSize(const std::string& text, int& width, int& height, std::string& error);
bool parseColour(const std::string& text, Colour& colour, std::string& error);
bool parseFrameRange(const std::string& text, std::pair<int, int>& range, std::string& error);
bool parseRotation(const std::string& text, float& x, float& y, std::string& error);
bool parseRenderMode(const std::string& text, int& mode, std::string& error);
// The three-quarter view: the model's front and right side, from a little
// above; the view of thumbnails and the gallery.
constexpr float kThreeQuarterRotX = 20, kThreeQuarterRotY = -55;

// A named view (front, back, left, right, top, three-quarter) as the turn
// --rotate would give.
bool parseView(const std::string& text, float& rotX, float& rotY, std::string& error);
// A number from min to max (a whole one if whole); the bounds appear in
// error as a person would type them ("from 0.01 to 1000").
bool parseNumber(const std::string& text, bool whole, double min, double max, double& value, std::string& error);

// The helpers commands add their options with. names is CLI11's "-o,--output";
// parse turns the text into the target or says why not.
using ValueParser = std::function<bool(const std::string& value, std::string& error)>;
CLI::Option* addValueOption(CLI::App& app, const std::string& names, const std::string& help, ValueParser parse);

// A number from min to max (a whole one if whole), handed to set.
CLI::Option* addNumberOption(CLI::App& app, const std::string& names, bool whole, double min, double max,
                             const std::string& help, std::function<void(double)> set);

// A colour (R,G,B from 0 to 1, or #rrggbb).
CLI::Option* addColourOption(CLI::App& app, const std::string& names, std::optional<Colour>& target,
                             const std::string& help);

// A key frame number (from 0 in the file), with the option as typed kept
// for messages ("--frame 9").
CLI::Option* addKeyFrameOption(CLI::App& app, const std::string& names, const std::string& help,
                               std::optional<int>& frame, std::string& givenAs);

// --view NAME, turning the model as parseView says; fallback is the view
// shown without it, for the help.
CLI::Option* addViewChoice(CLI::App& app, float& rotX, float& rotY, const std::string& fallback);

// A flag: set when given (in the settings file also "name = true/false").
CLI::Option* addFlagOption(CLI::App& app, const std::string& names, bool& target, const std::string& help);

}  // namespace frontend
