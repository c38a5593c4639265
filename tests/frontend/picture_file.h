// A picture file read back for the render tests, through stb_image.
#pragma once

#include <stb_image.h>

#include <cstdint>
#include <string>
#include <vector>

struct PictureFile {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // channels bytes a pixel, rows top first; empty when unreadable
};

inline PictureFile loadPictureFile(const std::string& path, int channels) {
    PictureFile picture;
    int stored = 0;
    if (stbi_uc* data = stbi_load(path.c_str(), &picture.width, &picture.height, &stored, channels)) {
        picture.pixels.assign(data, data + size_t(picture.width) * size_t(picture.height) * size_t(channels));
        stbi_image_free(data);
    }
    return picture;
}
