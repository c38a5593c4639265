// stb_image's code for the Windows build. On Linux it comes compiled in
// Debian's libstb; the cross build has only the header, so the code is
// made here, once.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
