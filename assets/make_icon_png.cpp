// Writes the desktop icons: the program's icon drawn at each given size as
// a PNG in a hicolor theme tree, FOLDER/<N>x<N>/apps/ombrel.png.
//   make-icon-png FOLDER SIZE...
// stb_image_write from Debian's libstb, which carries its implementation.
#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "assets/icon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const assets::IconPicture icon = assets::drawIcon(size);
        if (icon.rgba.empty()) {
            std::fprintf(stderr, "%s: no icon of size %s (1 to 1024)\n", argv[0], argv[i]);
            return 2;
        }
        const std::string side = std::to_string(size);
        const std::string folder = std::string(argv[1]) + "/" + side + "x" + side + "/apps";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::string file = folder + "/ombrel.png";
        if (error || !stbi_write_png(file.c_str(), size, size, 4, icon.rgba.data(), size * 4)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], file.c_str());
            return 1;
        }
    }
    return 0;
}
