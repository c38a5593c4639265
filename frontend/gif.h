// A looping animated GIF written picture by picture with giflib: each
// picture quantised to its own 256-colour table by giflib's quantiser, a
// delay of its own, the NETSCAPE2.0 extension for endless looping. The file
// appears under its name only when finished.
#pragma once

#include <string>

#include "frontend/offscreen.h"

struct GifFileType;

namespace frontend {

class GifWriter {
public:
    GifWriter() = default;
    ~GifWriter();  // an unfinished file is removed
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Each returns false with the reason in error.
    bool open(const std::string& path, int width, int height, std::string& error);
    // transparent: pixels of alpha below one half become the one transparent
    // colour, and each picture replaces the one before instead of covering it.
    bool add(const RgbaPicture& picture, int delayHundredths, bool transparent, std::string& error);
    bool finish(std::string& error);

private:
    bool failed(int code, std::string& error);
    GifFileType* gif_ = nullptr;
    std::string path_, temporary_;
};

}  // namespace frontend
