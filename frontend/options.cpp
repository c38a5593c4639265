#include "frontend/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "frontend/files.h"
#include "frontend/system.h"

namespace frontend {

namespace {

const char kFiles[] = "Model and pictures";
const char kAnimation[] = "Animation";
const char kView[] = "View and window";
const char kColours[] = "Colours (R,G,B from 0 to 1, or #rrggbb)";

const char* const kModeNames[] = {"wireframe", "flat", "smooth", "textured"};

bool wholeFloat(const std::string& text, float& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != 0 || !std::isfinite(parsed) || std::fabs(parsed) > 1e30) return false;
    value = float(parsed);
    return true;
}

bool wholeInt(const std::string& text, int& value) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-')) return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = int(parsed);
    return true;
}

bool allDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A CLI11 option callback that parses its value with one of the parsers
// above; a parser's refusal becomes CLI11's message for the option.
template <typename Parse>
CLI::Option* addParsed(CLI::App& app, const std::string& name, const std::string& help, Parse parse) {
    return app.add_option_function<std::string>(
        name,
        [name, parse](const std::string& value) {
            std::string error;
            if (!parse(value, error)) throw CLI::ValidationError(name + " " + value + ": " + error);
        },
        help);
}

CLI::Option* addColour(CLI::App& app, const std::string& name, std::optional<Colour>& target, const std::string& help) {
    return addParsed(app, name, help, [&target](const std::string& value, std::string& error) {
        Colour colour;
        if (!parseColour(value, colour, error)) return false;
        target = colour;
        return true;
    });
}

}  // namespace

bool parseSize(const std::string& text, int& width, int& height, std::string& error) {
    std::vector<std::string> parts = split(text, text.find('x') != std::string::npos ? 'x' : 'X');
    int w = 0, h = 0;
    if (parts.size() != 2 || !allDigits(parts[0]) || !allDigits(parts[1]) || !wholeInt(parts[0], w) ||
        !wholeInt(parts[1], h)) {
        error = "expected WIDTHxHEIGHT in pixels, such as 800x600";
        return false;
    }
    // No display is larger; a window beyond it would only fail slowly.
    if (w < 1 || h < 1 || w > 16384 || h > 16384) {
        error = "width and height must lie between 1 and 16384";
        return false;
    }
    width = w;
    height = h;
    return true;
}

bool parseColour(const std::string& text, Colour& colour, std::string& error) {
    float rgb[3];
    if (!text.empty() && text[0] == '#') {
        if (text.size() != 7 || text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
            error = "expected #rrggbb with six hexadecimal digits";
            return false;
        }
        for (int i = 0; i < 3; ++i) rgb[i] = float(std::strtol(text.substr(1 + 2 * i, 2).c_str(), nullptr, 16)) / 255;
    } else {
        std::vector<std::string> parts = split(text, ',');
        if (parts.size() != 3 || !wholeFloat(parts[0], rgb[0]) || !wholeFloat(parts[1], rgb[1]) ||
            !wholeFloat(parts[2], rgb[2])) {
            error = "expected R,G,B with values from 0 to 1 (such as 1,0.5,0) or #rrggbb";
            return false;
        }
        for (float c : rgb)
            if (c < 0 || c > 1) {
                error = "red, green and blue must lie between 0 and 1";
                return false;
            }
    }
    colour = {rgb[0], rgb[1], rgb[2]};
    return true;
}

bool parseFrameRange(const std::string& text, std::pair<int, int>& range, std::string& error) {
    std::vector<std::string> parts = split(text, '-');
    int first = 0, last = 0;
    if (parts.size() != 2 || !allDigits(parts[0]) || !allDigits(parts[1]) || !wholeInt(parts[0], first) ||
        !wholeInt(parts[1], last)) {
        error = "expected FIRST-LAST key frame numbers from 0, such as 0-39";
        return false;
    }
    if (first > last) {
        error = "the first frame comes after the last";
        return false;
    }
    range = {first, last};
    return true;
}

bool parseRotation(const std::string& text, float& x, float& y, std::string& error) {
    std::vector<std::string> parts = split(text, ',');
    if (parts.size() != 2 || !wholeFloat(parts[0], x) || !wholeFloat(parts[1], y)) {
        error = "expected X,Y in degrees, such as 20,-30";
        return false;
    }
    return true;
}

bool parseRenderMode(const std::string& text, int& mode, std::string& error) {
    for (int i = 0; i < 4; ++i)
        if (text == kModeNames[i]) {
            mode = i;
            return true;
        }
    error = "expected wireframe, flat, smooth or textured";
    return false;
}

const char* renderModeName(int mode) { return mode >= 0 && mode < 4 ? kModeNames[mode] : "unknown"; }

void addViewOptions(CLI::App& app, ViewOptions& o) {
    // A setting from the settings file comes first and the command line
    // after it: the last value given wins.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    addParsed(app, "--skin", "Skin of the model: a picture, or N for the N-th skin name stored in the model",
              [&o](const std::string& value, std::string& error) {
                  if (!allDigits(value)) {
                      o.skin = value, o.skinNumber = 0;
                      return true;
                  }
                  if (!wholeInt(value, o.skinNumber) || o.skinNumber < 1) {
                      error = "stored skins are counted from 1";
                      return false;
                  }
                  o.skin.clear();
                  return true;
              })
        ->type_name("PATH|N")
        ->group(kFiles);
    app.add_option("--attach", o.attach, "A second model shown with the first, such as its weapon")
        ->type_name("MODEL")
        ->group(kFiles);
    app.add_option("--attach-skin", o.attachSkin, "Skin of the attached model (found like the model's)")
        ->type_name("PATH")
        ->group(kFiles);
    app.add_option("--background", o.background, "Picture behind the model (shown with --show-background, or b)")
        ->type_name("PATH")
        ->group(kFiles);
    app.add_option("--water", o.water,
                   "Picture of the water surface (shown with --water-on, or w) [default: the installed water.pcx]")
        ->type_name("PATH")
        ->group(kFiles);
    addParsed(app, "--mode",
              "Render mode at start: wireframe, flat, smooth or textured [default: textured with a skin, else "
              "wireframe]",
              [&o](const std::string& value, std::string& error) {
                  int mode = 0;
                  if (!parseRenderMode(value, mode, error)) return false;
                  o.renderMode = mode;
                  return true;
              })
        ->type_name("MODE")
        ->group(kView);
    app.add_option("--animation", o.animation,
                   "Play this animation of the model (ombrel info MODEL lists them) [default: the first that moves]")
        ->type_name("NAME")
        ->group(kAnimation);
    addParsed(app, "--frames", "Play these key frames, both included",
              [&o](const std::string& value, std::string& error) {
                  std::pair<int, int> range;
                  if (!parseFrameRange(value, range, error)) return false;
                  o.frames = range;
                  return true;
              })
        ->type_name("FIRST-LAST")
        ->group(kAnimation);
    app.add_option("--fps", o.framesPerSecond, "Key frames per second, from 0.01 to 1000 [default: 10]")
        ->type_name("N")
        ->check(CLI::Range(0.01, 1000.0).description(""))
        ->group(kAnimation);
    app.add_flag("--no-interpolate", o.noInterpolate, "Jump from key frame to key frame instead of blending")
        ->group(kAnimation);
    app.add_flag("--paused", o.paused, "Start with the animation paused (p plays)")->group(kAnimation);
    app.add_flag("--triangles", o.triangles, "Draw the triangle list instead of the strips and fans")->group(kView);
    addParsed(app, "--size", "Window size in pixels [default: 800x600]",
              [&o](const std::string& value, std::string& error) { return parseSize(value, o.width, o.height, error); })
        ->type_name("WxH")
        ->group(kView);
    app.add_flag("--fullscreen", o.fullScreen, "Switch the display to the window size")->group(kView);
    addColour(app, "--background-color", o.backgroundColour, "Colour behind the model [default: 0,0,0]")
        ->type_name("COLOUR")
        ->group(kColours);
    addColour(app, "--model-color", o.modelColour, "Colour of the model in flat and smooth modes [default: 1,1,1]")
        ->type_name("COLOUR")
        ->group(kColours);
    addColour(app, "--wire-color", o.wireColour, "Colour of the wireframe [default: 1,1,1]")
        ->type_name("COLOUR")
        ->group(kColours);
    addColour(app, "--light-color", o.lightColour, "Colour of the light, which l switches on [default: 1,1,1]")
        ->type_name("COLOUR")
        ->group(kColours);
    app.add_option("--brightness", o.brightness,
                   "Brighten the skins and pictures, in hundredths from -20 to 100; 20 doubles them [default: 0]")
        ->type_name("N")
        ->check(CLI::Range(-20, 100).description(""))
        ->group(kColours);
    app.add_flag("--water-on", o.waterOn, "Show the water surface at start")->group(kView);
    app.add_flag("--show-background", o.showBackground, "Show the background picture at start")->group(kView);
    addParsed(
        app, "--rotate",
        "Turn the model X degrees about the horizontal axis, Y about the vertical [default: 0,-90, its front "
        "towards you]",
        [&o](const std::string& value, std::string& error) { return parseRotation(value, o.rotX, o.rotY, error); })
        ->type_name("X,Y")
        ->group(kView);
    app.add_option_function<float>(
           "--distance", [&o](const float& value) { o.distance = value; },
           "Distance from the eye to the model, from 1 to 1000 [default: where the model "
           "fills the window]")
        ->type_name("Z")
        ->check(CLI::Range(1.0f, 1000.0f).description(""))
        ->group(kView);
    app.add_flag("-v,--verbose", o.verbose, "Say which files were chosen and why");
}

std::vector<std::string> settingNames(CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames())
            if (name != "help" && name != "version" && name != "write-config" && name != "no-config")
                names.push_back(name);
    }
    return names;
}

const std::vector<std::string>& pathSettingNames() {
    static const std::vector<std::string> names = {"skin", "attach", "attach-skin", "background", "water"};
    return names;
}

bool readSettings(const std::string& path, const std::vector<std::string>& knownNames,
                  const std::vector<std::string>& pathNames, std::vector<std::string>& words, std::string& error) {
    words.clear();
    if (fileKind(path) == FileKind::Missing) return true;
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, 1 << 20, bytes, error)) return false;
    const std::string text(bytes.begin(), bytes.end());
    const std::string folder = folderOf(absolutePath(path));
    std::vector<std::string> lines = split(text, '\n');
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string line = trimmed(lines[n]);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        const std::string where = "line " + std::to_string(n + 1) + ": ";
        size_t equals = line.find('=');
        std::string name = trimmed(line.substr(0, equals));
        if (name.rfind("--", 0) == 0) name.erase(0, 2);
        if (std::find(knownNames.begin(), knownNames.end(), name) == knownNames.end()) {
            error = where + (name.empty() ? "expected \"option = value\"" : "no option named \"" + name + "\"");
            return false;
        }
        if (equals == std::string::npos) {
            words.push_back("--" + name);  // a flag on its own line is set
            continue;
        }
        std::string value = trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        if (value.empty()) {
            error = where + "no value for " + name;
            return false;
        }
        bool isPath = std::find(pathNames.begin(), pathNames.end(), name) != pathNames.end();
        if (isPath && !(name == "skin" && allDigits(value))) {
            std::string home;
            if (value.rfind("~/", 0) == 0 && homeFolder(home)) value = home + value.substr(1);
            if (rootLength(value) == 0) value = folder + "/" + value;
        }
        words.push_back("--" + name + "=" + value);
    }
    return true;
}

}  // namespace frontend
