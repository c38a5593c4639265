#include "image/image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/bytes.h"
#include "common/file.h"

// Size limits. Textures end at 256 texels a side, but every picture is decoded
// whole before it is scaled down, and real skins and backgrounds come larger
// than that (screen-sized backgrounds, 2048-texel skins exported for newer
// engines). 16384 is the largest edge any current graphics card takes for a
// texture, so no picture meant for one is larger. 2^26 pixels (8192 x 8192)
// caps the memory one picture can claim at 192 MiB at 24 bits (64 MiB at 8),
// and a texture load adds only the texture, at most 256 x 256 texels, since
// scaleImage reads the picture where it lies. Anything beyond is a broken or
// hostile header, and its width x height is never even multiplied in 32 bits.
static bool sizeAllowed(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width <= mxImage::kMaxEdge && height <= mxImage::kMaxEdge &&
           width * height <= mxImage::kMaxPixels;
}

mxImage::mxImage() : width(0), height(0), bpp(0), data(nullptr), palette(nullptr) {}

mxImage::~mxImage() {
    release();
    width = height = bpp = 0;
}

void mxImage::release() {
    delete[] data;
    delete[] palette;
    data = nullptr;
    palette = nullptr;
}

bool mxImage::create(int newWidth, int newHeight, int newBpp) {
    if ((newBpp != 8 && newBpp != 24) || !sizeAllowed(newWidth, newHeight)) return false;
    release();
    size_t size = size_t(newWidth) * size_t(newHeight) * size_t(newBpp / 8);
    data = new (std::nothrow) uint8_t[size];
    if (data && newBpp == 8) {
        palette = new (std::nothrow) uint8_t[768];
        if (!palette) release();
    }
    if (!data) {
        // Keeping the old size with no buffers would invite a read through null.
        width = height = bpp = 0;
        return false;
    }
    width = newWidth;
    height = newHeight;
    bpp = newBpp;
    return true;
}

namespace {

// Decodes the run-length stream from `in` until `left` pixels are written to
// `out`: a byte below 192 is one pixel, a byte c of 192 or more repeats the
// next byte c - 192 times (0 times for 192). Every byte past the end of the
// stream reads as 255, a count byte there as one pixel. Lines are not
// tracked: the stream runs on from one row into the next.
void decodePcxRuns(const uint8_t* in, const uint8_t* end, uint8_t* out, size_t left) {
    while (left > 0) {
        if (in == end) {
            std::memset(out, 255, left);
            return;
        }
        int c = *in++;
        if (c < 192) {
            *out++ = uint8_t(c);
            --left;
            continue;
        }
        size_t count = size_t(c - 192);
        int value = in < end ? *in++ : 255;
        if (count > left) count = left;  // a run past the last pixel is cut there
        std::memset(out, value, count);
        out += count;
        left -= count;
    }
}

// A header is believed only if the file could hold at least half of the
// picture it declares, packed as densely as the format allows
// (densePixels pixels in denseBytes bytes). A file cut short still decodes
// (its missing pixels read as 255), but a few bytes claiming a picture of
// hundreds of megabytes are refused before anything is allocated.
bool fileCanBack(int64_t pixels, int64_t availableBytes, int densePixels, int denseBytes) {
    if (availableBytes < 0) availableBytes = 0;
    return pixels * denseBytes <= 2 * availableBytes * densePixels;
}

const int kPcxHeaderSize = 128;
const int kPaletteSize = 768;
const int kTgaHeaderSize = 18;
const int kTgaHeaderBytesRead = 17;  // the descriptor byte 17 is never looked at

// The largest file either reader has a use for: the densest-to-loosest
// encoding of the largest picture (two bytes a pixel in a run-length PCX,
// three in a TGA), its headers and palette, and room for the trailing
// records a TGA may carry. A larger file is refused without being read.
constexpr int64_t kLargestPictureFile = 3 * mxImage::kMaxPixels + (int64_t(1) << 20);

}  // namespace

mxImage* readPcxImageFromBytes(const uint8_t* bytes, size_t size) {
    if (!bytes || size < size_t(kPcxHeaderSize) || int64_t(size) > kLargestPictureFile) return nullptr;
    const uint8_t* header = bytes;
    const int64_t fileSize = int64_t(size);
    if (fileSize < kPaletteSize) return nullptr;

    int xmin = littleEndianU16(header + 4), ymin = littleEndianU16(header + 6);
    int xmax = littleEndianU16(header + 8), ymax = littleEndianU16(header + 10);
    if (xmax < xmin || ymax < ymin) return nullptr;
    int64_t width = int64_t(xmax) - xmin + 1, height = int64_t(ymax) - ymin + 1;
    // The densest run packs 63 pixels into two bytes.
    if (!sizeAllowed(width, height) || !fileCanBack(width * height, fileSize - kPcxHeaderSize, 63, 2)) return nullptr;

    std::unique_ptr<mxImage> image(new (std::nothrow) mxImage);
    if (!image || !image->create(int(width), int(height), 8)) return nullptr;
    // The palette is the file's last 768 bytes, whatever comes before it.
    std::memcpy(image->palette, bytes + size - kPaletteSize, kPaletteSize);
    decodePcxRuns(bytes + kPcxHeaderSize, bytes + size, image->data, size_t(width * height));
    return image.release();
}

mxImage* readTgaImageFromBytes(const uint8_t* bytes, size_t size) {
    if (!bytes || size < size_t(kTgaHeaderBytesRead) || int64_t(size) > kLargestPictureFile) return nullptr;
    const uint8_t* header = bytes;
    int idLength = header[0], colorMapType = header[1], imageType = header[2];
    int width = littleEndianU16(header + 12), height = littleEndianU16(header + 14), depth = header[16];
    if (colorMapType != 0 || imageType != 2 || depth != 24) return nullptr;

    const int64_t firstPixel = kTgaHeaderSize + idLength;
    // Raw pixels: three bytes each.
    if (!sizeAllowed(width, height) || !fileCanBack(int64_t(width) * height, int64_t(size) - firstPixel, 1, 3))
        return nullptr;

    std::unique_ptr<mxImage> image(new (std::nothrow) mxImage);
    if (!image || !image->create(width, height, 24)) return nullptr;

    // The file's first row is the picture's bottom row; bytes the file does
    // not hold read as 255.
    const uint8_t* next = firstPixel < int64_t(size) ? bytes + firstPixel : bytes + size;
    const uint8_t* end = bytes + size;
    size_t rowBytes = size_t(width) * 3;
    for (int r = 0; r < height; ++r) {
        uint8_t* row = image->data + size_t(height - 1 - r) * rowBytes;
        size_t got = std::min(rowBytes, size_t(end - next));
        std::memcpy(row, next, got);
        next += got;
        std::memset(row + got, 255, rowBytes - got);
        for (size_t i = 0; i < rowBytes; i += 3) {
            uint8_t blue = row[i];
            row[i] = row[i + 2];
            row[i + 2] = blue;
        }
    }
    return image.release();
}

mxImage* readPcxImage(const char* path) {
    FileBytes file;
    if (!readWholeFile(path, kLargestPictureFile, file)) return nullptr;
    return readPcxImageFromBytes(file.data.get(), file.size);
}

mxImage* readTgaImage(const char* path) {
    FileBytes file;
    if (!readWholeFile(path, kLargestPictureFile, file)) return nullptr;
    return readTgaImageFromBytes(file.data.get(), file.size);
}
