// tinygltf as this project builds it, for the export and its tests. It
// neither decodes nor encodes pictures: the skin reaches it as PNG bytes
// already made (image/png_writer.h), and stb_image's code is compiled
// elsewhere (Debian's libstb on Linux, frontend/stb_win32.cpp on Windows),
// so tinygltf's own copies of stb would clash. Its code is compiled once,
// in model/gltf.cpp.
#pragma once

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE_WRITE
#include <tiny_gltf.h>
