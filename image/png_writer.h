// PNG files, encoded by stb_image_write: rendered pictures and exported skins.
#pragma once

#include <cstdint>
#include <vector>

// How the compression works: Small for pictures people keep and publish
// (rendered pictures, compressed for their long plain runs); Fast where the
// picture is a small part of a larger file and the time matters more (an
// exported model's skin).
enum class PngCompression { Small, Fast };

// The PNG of width x height pixels of channels bytes each (3: R, G, B; 4
// with alpha), rows top first; empty on failure.
std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels,
                               PngCompression compression = PngCompression::Small);
