// Writes the program's icon as a Windows icon file (one 16-colour image of
// the given size, 32 by default) for the Windows build's resources.
//   make-icon OUTPUT.ico [SIZE]
#include <cstdio>
#include <cstdlib>

#include "assets/icon.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.ico [SIZE]\n", argv[0]);
        return 2;
    }
    int size = argc == 3 ? std::atoi(argv[2]) : 32;
    std::vector<uint8_t> ico = assets::icoFile16Colours(assets::drawIcon(size));
    if (ico.empty()) {
        std::fprintf(stderr, "%s: no icon of size %s (1 to 256)\n", argv[0], argc == 3 ? argv[2] : "32");
        return 2;
    }
    FILE* file = std::fopen(argv[1], "wb");
    bool written = file && std::fwrite(ico.data(), 1, ico.size(), file) == ico.size();
    if (file && std::fclose(file) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
