#include "frontend/base/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "frontend/base/report.h"

namespace frontend {

namespace {

const char kFiles[] = "Model and pictures";
const char kAnimation[] = "Animation";
const char kView[] = "View and window";
const char kColours[] = "Colours (R,G,B from 0 to 1, or #rrggbb)";

const char* const kModeNames[] = {"wireframe", "flat", "smooth", "textured"};

// A finite number, the whole text of it (no NaN, no infinity, nothing after).
bool wholeDouble(const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != 0 || !std::isfinite(parsed) || std::fabs(parsed) > 1e30) return false;
    value = parsed;
    return true;
}

bool wholeFloat(const std::string& text, float& value) {
    double parsed = 0;
    if (!wholeDouble(text, parsed)) return false;
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

// A bound as a person would type it: 0.01, 1000, -20.
std::string typed(double number) {
    std::ostringstream out;
    out.precision(15);
    out << number;
    return out.str();
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

namespace {

struct NamedView {
    const char* name;
    float rotX, rotY;
};

// Models face +x with y up; the view turns them about y, then tips them
// about x (positive tips the top towards the eye: seen from above).
const NamedView kViews[] = {
    {"front", 0, -90}, {"back", 0, 90}, {"left", 0, 180}, {"right", 0, 0}, {"top", 90, -90},
    {"three-quarter", kThreeQuarterRotX, kThreeQuarterRotY},
};

}  // namespace

bool parseView(const std::string& text, float& rotX, float& rotY, std::string& error) {
    for (const NamedView& view : kViews)
        if (text == view.name) {
            rotX = view.rotX, rotY = view.rotY;
            return true;
        }
    error = "expected front, back, left, right, top or three-quarter";
    return false;
}

bool parseNumber(const std::string& text, bool whole, double min, double max, double& value, std::string& error) {
    double asDouble = 0;
    int asInt = 0;
    const bool ok = whole ? wholeInt(text, asInt) : wholeDouble(text, asDouble);
    const double number = whole ? double(asInt) : asDouble;
    if (!ok || number < min || number > max) {
        error = std::string("expected a ") + (whole ? "whole " : "") + "number from " + typed(min) + " to " + typed(max);
        return false;
    }
    value = number;
    return true;
}

CLI::Option* addValueOption(CLI::App& app, const std::string& names, const std::string& help, ValueParser parse) {
    // The option's long name is known once CLI11 has made the option.
    auto longName = std::make_shared<std::string>();
    CLI::Option* option = app.add_option_function<std::string>(
        names,
        [longName, parse](const std::string& value) {
            std::string error;
            if (!parse(value, error)) throw badOptionValue(*longName, value, error);
        },
        help);
    *longName = option->get_lnames().empty() ? option->get_name() : option->get_lnames().front();
    // Checked when met: a bad value on the command line is refused before the
    // settings file is read, and one in the file while it is applied.
    option->trigger_on_parse();
    return option;
}

CLI::Option* addNumberOption(CLI::App& app, const std::string& names, bool whole, double min, double max,
                             const std::string& help, std::function<void(double)> set) {
    return addValueOption(app, names, help, [whole, min, max, set](const std::string& value, std::string& error) {
        double number = 0;
        if (!parseNumber(value, whole, min, max, number, error)) return false;
        set(number);
        return true;
    });
}

CLI::Option* addKeyFrameOption(CLI::App& app, const std::string& names, const std::string& help,
                               std::optional<int>& frame, std::string& givenAs) {
    return addValueOption(app, names, help, [&frame, &givenAs, names](const std::string& value, std::string& error) {
        double number = 0;
        if (!parseNumber(value, true, 0, 1e9, number, error)) {
            error = "expected a key frame number, counted from 0";
            return false;
        }
        frame = int(number);
        givenAs = names.substr(names.rfind(',') + 1) + " " + value;
        return true;
    });
}

CLI::Option* addFlagOption(CLI::App& app, const std::string& names, bool& target, const std::string& help) {
    return app.add_flag(names, target, help);
}

CLI::Option* addViewChoice(CLI::App& app, float& rotX, float& rotY, const std::string& fallback) {
    return addValueOption(app, "--view",
                          "Turn the model to show its front, back, left or right side, top, or three-quarter (its front and "
                          "right side, from a little above), framed to fill the picture [default: " +
                              fallback + "]",
                          [&rotX, &rotY](const std::string& value, std::string& error) {
                              return parseView(value, rotX, rotY, error);
                          })
        ->type_name("VIEW");
}

CLI::Option* addColourOption(CLI::App& app, const std::string& name, std::optional<Colour>& target, const std::string& help) {
    return addValueOption(app, name, help, [&target](const std::string& value, std::string& error) {
        Colour colour;
        if (!parseColour(value, colour, error)) return false;
        target = colour;
        return true;
    });
}

void addSkinOption(CLI::App& app, ViewOptions& o) {
    addValueOption(app, "--skin", "Skin of the model: a picture, or N for the N-th skin name stored in the model",
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
}

void addAnimationOptions(CLI::App& app, ViewOptions& o) {
    app.add_option("--animation", o.animation,
                   "Play this animation of the model (ombrel info MODEL lists them) [default: the first that moves]")
        ->type_name("NAME")
        ->group(kAnimation);
    addValueOption(app, "--frames", "Play these key frames, both included",
                   [&o](const std::string& value, std::string& error) {
                       std::pair<int, int> range;
                       if (!parseFrameRange(value, range, error)) return false;
                       o.frames = range;
                       o.framesGivenAs = "--frames " + value;
                       return true;
                   })
        ->type_name("FIRST-LAST")
        ->group(kAnimation);
    addNumberOption(app, "--fps", false, 0.01, 1000, "Key frames per second, from 0.01 to 1000 [default: 10]",
                    [&o](double value) { o.framesPerSecond = value; })
        ->type_name("N")
        ->group(kAnimation);
    addFlagOption(app, "--no-interpolate", o.noInterpolate, "Jump from key frame to key frame instead of blending")
        ->group(kAnimation);
}

void addViewOptions(CLI::App& app, ViewOptions& o) {
    // A setting from the settings file comes first and the command line
    // after it: the last value given wins.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    addSkinOption(app, o);
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
    addValueOption(app, "--mode",
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
    addAnimationOptions(app, o);
    addFlagOption(app, "--paused", o.paused, "Start with the animation paused (p plays)")->group(kAnimation);
    addFlagOption(app, "--triangles", o.triangles, "Draw the triangle list instead of the strips and fans")
        ->group(kView);
    addValueOption(app, "--size", "Window size in pixels [default: 800x600]",
                   [&o](const std::string& value, std::string& error) {
                       return parseSize(value, o.width, o.height, error);
                   })
        ->type_name("WxH")
        ->group(kView);
    addFlagOption(app, "--fullscreen", o.fullScreen, "Switch the display to the window size")->group(kView);
    addColourOption(app, "--background-color", o.backgroundColour, "Colour behind the model [default: 0,0,0]")
        ->type_name("COLOUR")
        ->group(kColours);
    addColourOption(app, "--model-color", o.modelColour, "Colour of the model in flat and smooth modes [default: 1,1,1]")
        ->type_name("COLOUR")
        ->group(kColours);
    addColourOption(app, "--wire-color", o.wireColour, "Colour of the wireframe [default: 1,1,1]")
        ->type_name("COLOUR")
        ->group(kColours);
    addColourOption(app, "--light-color", o.lightColour, "Colour of the light, which l switches on [default: 1,1,1]")
        ->type_name("COLOUR")
        ->group(kColours);
    addNumberOption(app, "--brightness", true, -20, 100,
                    "Brighten the skins and pictures, in hundredths from -20 to 100; 20 doubles them [default: 0]",
                    [&o](double value) { o.brightness = int(value); })
        ->type_name("N")
        ->group(kColours);
    addFlagOption(app, "--water-on", o.waterOn, "Show the water surface at start")->group(kView);
    addFlagOption(app, "--show-background", o.showBackground, "Show the background picture at start")->group(kView);
    addValueOption(app, "--rotate",
                   "Turn the model X degrees about the horizontal axis, Y about the vertical [default: 0,-90, its front "
                   "towards you]",
                   [&o](const std::string& value, std::string& error) {
                       return parseRotation(value, o.rotX, o.rotY, error);
                   })
        ->type_name("X,Y")
        ->group(kView);
    addViewChoice(app, o.rotX, o.rotY, "front")->group(kView);
    addNumberOption(app, "--distance", false, 1, 1000,
                    "Distance from the eye to the model, from 1 to 1000 [default: where the model fills the window]",
                    [&o](double value) { o.distance = float(value); })
        ->type_name("Z")
        ->group(kView);
    addFlagOption(app, "-v,--verbose", o.verbose, "Say which files were chosen and why");
}

const std::vector<std::string>& pathOptionNames() {
    static const std::vector<std::string> names = {"skin", "attach", "attach-skin", "background", "water"};
    return names;
}

}  // namespace frontend
