// The parsers of option values on any text: size, colour, frame range,
// rotation, render mode, numbers and the {frame} pattern of an output name.
// Each must take a whole well-formed value or refuse it with a reason, and
// what it takes must lie within the option's limits.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "frontend/base/options.h"
#include "frontend/base/report.h"
#include "frontend/files/names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    int width = 0, height = 0;
    if (frontend::parseSize(text, width, height, error)) {
        if (width < 1 || height < 1 || width > 16384 || height > 16384) std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    frontend::Colour colour;
    if (frontend::parseColour(text, colour, error))
        for (float c : {colour.red, colour.green, colour.blue})
            if (!(c >= 0 && c <= 1)) std::abort();
    std::pair<int, int> range;
    if (frontend::parseFrameRange(text, range, error) && (range.first < 0 || range.first > range.second)) std::abort();
    float x = 0, y = 0;
    if (frontend::parseRotation(text, x, y, error) && (!std::isfinite(x) || !std::isfinite(y))) std::abort();
    int mode = -1;
    if (frontend::parseRenderMode(text, mode, error) && (mode < 0 || mode > 3)) std::abort();
    double number = 0;
    if (frontend::parseNumber(text, false, 0.01, 1000, number, error) && !(number >= 0.01 && number <= 1000))
        std::abort();
    if (frontend::parseNumber(text, true, -20, 100, number, error) && (number != std::floor(number) || number < -20))
        std::abort();
    try {
        const std::string name = frontend::sequenceName(text, 7);
        if (!name.empty() && name.find('7') == std::string::npos) std::abort();
    } catch (const frontend::Failure&) {
    }
    return 0;
}
