// A looping animated GIF made picture by picture with giflib: each picture
// quantised to its own 256-colour table by giflib's quantiser, a delay of
// its own, the NETSCAPE2.0 extension for endless looping. The file is built
// in memory and appears under its name only when finished, whole, so an
// interrupted or failed render leaves nothing behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/drawing/offscreen.h"

struct GifFileType;

namespace frontend {

class GifWriter {
public:
    // Each throws a Failure naming the file when giflib refuses.
    GifWriter(const std::string& path, int width, int height);
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // transparent: pixels of alpha below one half become the one transparent
    // colour, and each picture replaces the one before instead of covering it.
    void add(const RgbaPicture& picture, int delayHundredths, bool transparent);
    // Writes the file (beside its name, then renamed into place).
    void finish();

private:
    [[noreturn]] void fail(int code);
    GifFileType* gif_ = nullptr;
    std::string path_;
    std::vector<uint8_t> bytes_;
};

}  // namespace frontend
