#include "image/palette.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct Colour {
    int r, g, b;
};

int squaredDistance(const Colour& a, const Colour& b) {
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

// A colour of the picture and how many pixels have it.
struct CountedColour {
    Colour colour;
    int64_t count;
};

uint32_t keyOf(const uint8_t* pixel) { return uint32_t(pixel[0]) << 16 | uint32_t(pixel[1]) << 8 | pixel[2]; }

// The picture's colours when there are at most 256 (most skins), in
// increasing R, G, B order; false when there are more. A small open table
// finds them in one pass, without sorting every pixel.
bool fewColours(const uint8_t* rgba, size_t pixelCount, std::vector<Colour>& colours) {
    constexpr size_t kSlots = 1024;  // a quarter full at most
    constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    std::vector<uint32_t> slots(kSlots, kEmpty);
    std::vector<uint32_t> keys;
    uint32_t last = kEmpty;
    for (size_t i = 0; i < pixelCount; ++i) {
        const uint32_t key = keyOf(rgba + 4 * i);
        if (key == last) continue;
        last = key;
        size_t slot = (key * 2654435761u) >> 22;
        while (slots[slot] != kEmpty && slots[slot] != key) slot = (slot + 1) % kSlots;
        if (slots[slot] == key) continue;
        if (keys.size() == 256) return false;
        slots[slot] = key;
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    colours.clear();
    for (uint32_t key : keys) colours.push_back({int(key >> 16), int(key >> 8 & 255), int(key & 255)});
    return true;
}

// The picture's colours, each once, in increasing R, G, B order.
std::vector<CountedColour> distinctColours(const uint8_t* rgba, size_t pixelCount) {
    std::vector<uint32_t> keys(pixelCount);
    for (size_t i = 0; i < pixelCount; ++i) keys[i] = keyOf(rgba + 4 * i);
    std::sort(keys.begin(), keys.end());
    std::vector<CountedColour> colours;
    for (size_t i = 0; i < keys.size();) {
        size_t end = i;
        while (end < keys.size() && keys[end] == keys[i]) ++end;
        colours.push_back({{int(keys[i] >> 16), int(keys[i] >> 8 & 255), int(keys[i] & 255)}, int64_t(end - i)});
        i = end;
    }
    return colours;
}

// The nearest of a palette's entries to a colour, exactly: entries sorted
// by green, searched outwards from the colour's green until the green
// difference alone is past the best distance. Of entries equally near, the
// lowest index.
class NearestColour {
public:
    explicit NearestColour(const std::vector<Colour>& palette) : byIndex_(palette) {
        for (size_t i = 0; i < palette.size(); ++i) sorted_.push_back({palette[i], int(i)});
        std::sort(sorted_.begin(), sorted_.end(), [](const Entry& a, const Entry& b) {
            return a.colour.g != b.colour.g ? a.colour.g < b.colour.g : a.index < b.index;
        });
    }

    // guess: an entry likely near (the one found for a colour before), or
    // -1; it only makes the search shorter.
    int find(const Colour& c, int guess = -1) const {
        int best = -1, bestDistance = 0;
        auto consider = [&](const Colour& colour, int index) {
            const int d = squaredDistance(colour, c);
            if (best < 0 || d < bestDistance || (d == bestDistance && index < best)) {
                best = index;
                bestDistance = d;
            }
        };
        if (guess >= 0 && size_t(guess) < byIndex_.size()) consider(byIndex_[size_t(guess)], guess);
        // Outwards from the colour's green, the nearer side first, until the
        // green difference alone is past the best.
        auto up = std::lower_bound(sorted_.begin(), sorted_.end(), c.g,
                                   [](const Entry& e, int g) { return e.colour.g < g; });
        auto down = up;
        for (;;) {
            const int upGap = up != sorted_.end() ? up->colour.g - c.g : 1 << 20;
            const int downGap = down != sorted_.begin() ? c.g - (down - 1)->colour.g : 1 << 20;
            const int gap = std::min(upGap, downGap);
            if (gap == 1 << 20 || (best >= 0 && gap * gap > bestDistance)) break;
            const Entry& e = upGap <= downGap ? *up++ : *--down;
            consider(e.colour, e.index);
        }
        return best;
    }

private:
    struct Entry {
        Colour colour;
        int index;
    };
    std::vector<Colour> byIndex_;
    std::vector<Entry> sorted_;
};

// Wu's quantiser: the colour cube at 32 levels a channel, cut box by box
// where the cut lowers the summed squared error most, always cutting the
// box of the largest error next. The moments are summed over the cube
// (prefix sums), so any box's totals take eight lookups.
class WuQuantiser {
public:
    explicit WuQuantiser(const std::vector<CountedColour>& colours)
        : weight_(kCells), red_(kCells), green_(kCells), blue_(kCells), squares_(kCells) {
        for (const CountedColour& c : colours) {
            const size_t cell = at((c.colour.r >> 3) + 1, (c.colour.g >> 3) + 1, (c.colour.b >> 3) + 1);
            weight_[cell] += c.count;
            red_[cell] += c.count * c.colour.r;
            green_[cell] += c.count * c.colour.g;
            blue_[cell] += c.count * c.colour.b;
            squares_[cell] += double(c.count) * double(c.colour.r * c.colour.r + c.colour.g * c.colour.g +
                                                       c.colour.b * c.colour.b);
        }
        sumOverCube();
    }

    std::vector<Colour> palette(int wanted) {
        std::vector<Box> boxes(static_cast<size_t>(wanted));
        std::vector<double> error(static_cast<size_t>(wanted), 0.0);
        boxes[0] = {0, kLevels, 0, kLevels, 0, kLevels};
        int count = 1, next = 0;
        while (count < wanted) {
            if (cut(boxes[size_t(next)], boxes[size_t(count)])) {
                error[size_t(next)] = variance(boxes[size_t(next)]);
                error[size_t(count)] = variance(boxes[size_t(count)]);
                ++count;
            } else {
                error[size_t(next)] = 0;
            }
            next = 0;
            for (int k = 1; k < count; ++k)
                if (error[size_t(k)] > error[size_t(next)]) next = k;
            if (error[size_t(next)] <= 0) break;
        }
        std::vector<Colour> colours;
        for (int k = 0; k < count; ++k) {
            const Box& box = boxes[size_t(k)];
            const double w = double(volume(box, weight_));
            if (w <= 0) continue;
            colours.push_back({nearestByte(double(volume(box, red_)) / w), nearestByte(double(volume(box, green_)) / w),
                               nearestByte(double(volume(box, blue_)) / w)});
        }
        return colours;
    }

private:
    static constexpr int kLevels = 32;
    static constexpr int kSide = kLevels + 1;  // plane 0 stays empty: the sums' lower edge
    static constexpr size_t kCells = size_t(kSide) * kSide * kSide;

    // A box of cells: lower bounds exclusive, upper bounds inclusive.
    struct Box {
        int r0, r1, g0, g1, b0, b1;
    };
    enum Axis { kRed, kGreen, kBlue };

    static size_t at(int r, int g, int b) { return (size_t(r) * kSide + size_t(g)) * kSide + size_t(b); }
    static int nearestByte(double value) { return std::clamp(int(value + 0.5), 0, 255); }

    // Each moment summed over the cells at or below each cell on all three axes.
    void sumOverCube() {
        for (int r = 1; r <= kLevels; ++r) {
            int64_t areaW[kSide] = {}, areaR[kSide] = {}, areaG[kSide] = {}, areaB[kSide] = {};
            double areaS[kSide] = {};
            for (int g = 1; g <= kLevels; ++g) {
                int64_t lineW = 0, lineR = 0, lineG = 0, lineB = 0;
                double lineS = 0;
                for (int b = 1; b <= kLevels; ++b) {
                    const size_t cell = at(r, g, b), below = at(r - 1, g, b);
                    lineW += weight_[cell];
                    lineR += red_[cell];
                    lineG += green_[cell];
                    lineB += blue_[cell];
                    lineS += squares_[cell];
                    areaW[b] += lineW;
                    areaR[b] += lineR;
                    areaG[b] += lineG;
                    areaB[b] += lineB;
                    areaS[b] += lineS;
                    weight_[cell] = weight_[below] + areaW[b];
                    red_[cell] = red_[below] + areaR[b];
                    green_[cell] = green_[below] + areaG[b];
                    blue_[cell] = blue_[below] + areaB[b];
                    squares_[cell] = squares_[below] + areaS[b];
                }
            }
        }
    }

    template <typename T>
    static T volume(const Box& x, const std::vector<T>& m) {
        return m[at(x.r1, x.g1, x.b1)] - m[at(x.r1, x.g1, x.b0)] - m[at(x.r1, x.g0, x.b1)] + m[at(x.r1, x.g0, x.b0)] -
               m[at(x.r0, x.g1, x.b1)] + m[at(x.r0, x.g1, x.b0)] + m[at(x.r0, x.g0, x.b1)] - m[at(x.r0, x.g0, x.b0)];
    }

    // The part of volume() on the box's lower face along axis.
    template <typename T>
    static T bottom(const Box& x, Axis axis, const std::vector<T>& m) {
        switch (axis) {
        case kRed:
            return -m[at(x.r0, x.g1, x.b1)] + m[at(x.r0, x.g1, x.b0)] + m[at(x.r0, x.g0, x.b1)] - m[at(x.r0, x.g0, x.b0)];
        case kGreen:
            return -m[at(x.r1, x.g0, x.b1)] + m[at(x.r1, x.g0, x.b0)] + m[at(x.r0, x.g0, x.b1)] - m[at(x.r0, x.g0, x.b0)];
        case kBlue:
            return -m[at(x.r1, x.g1, x.b0)] + m[at(x.r1, x.g0, x.b0)] + m[at(x.r0, x.g1, x.b0)] - m[at(x.r0, x.g0, x.b0)];
        }
        return 0;
    }

    // The rest of the box's sums below position on axis.
    template <typename T>
    static T top(const Box& x, Axis axis, int position, const std::vector<T>& m) {
        switch (axis) {
        case kRed:
            return m[at(position, x.g1, x.b1)] - m[at(position, x.g1, x.b0)] - m[at(position, x.g0, x.b1)] +
                   m[at(position, x.g0, x.b0)];
        case kGreen:
            return m[at(x.r1, position, x.b1)] - m[at(x.r1, position, x.b0)] - m[at(x.r0, position, x.b1)] +
                   m[at(x.r0, position, x.b0)];
        case kBlue:
            return m[at(x.r1, x.g1, position)] - m[at(x.r1, x.g0, position)] - m[at(x.r0, x.g1, position)] +
                   m[at(x.r0, x.g0, position)];
        }
        return 0;
    }

    // The box's summed squared distance from its mean.
    double variance(const Box& x) const {
        const double w = double(volume(x, weight_));
        if (w <= 0) return 0;
        const double r = double(volume(x, red_)), g = double(volume(x, green_)), b = double(volume(x, blue_));
        return volume(x, squares_) - (r * r + g * g + b * b) / w;
    }

    // The cut along axis that leaves the two halves with the largest summed
    // squared means (so the least error); -1 in cutAt when no cut leaves
    // both halves pixels.
    double bestCut(const Box& x, Axis axis, int first, int last, int& cutAt) const {
        const int64_t baseW = bottom(x, axis, weight_), baseR = bottom(x, axis, red_);
        const int64_t baseG = bottom(x, axis, green_), baseB = bottom(x, axis, blue_);
        const int64_t wholeW = volume(x, weight_), wholeR = volume(x, red_);
        const int64_t wholeG = volume(x, green_), wholeB = volume(x, blue_);
        double best = 0;
        cutAt = -1;
        for (int i = first; i < last; ++i) {
            const int64_t halfW = baseW + top(x, axis, i, weight_);
            const int64_t otherW = wholeW - halfW;
            if (halfW == 0 || otherW == 0) continue;
            const double halfR = double(baseR + top(x, axis, i, red_)), halfG = double(baseG + top(x, axis, i, green_));
            const double halfB = double(baseB + top(x, axis, i, blue_));
            const double otherR = double(wholeR) - halfR, otherG = double(wholeG) - halfG;
            const double otherB = double(wholeB) - halfB;
            const double score = (halfR * halfR + halfG * halfG + halfB * halfB) / double(halfW) +
                                 (otherR * otherR + otherG * otherG + otherB * otherB) / double(otherW);
            if (score > best) {
                best = score;
                cutAt = i;
            }
        }
        return best;
    }

    // Splits box into itself and other; false when it holds one cell's colours.
    bool cut(Box& box, Box& other) const {
        int cutR, cutG, cutB;
        const double bestR = bestCut(box, kRed, box.r0 + 1, box.r1, cutR);
        const double bestG = bestCut(box, kGreen, box.g0 + 1, box.g1, cutG);
        const double bestB = bestCut(box, kBlue, box.b0 + 1, box.b1, cutB);
        other = box;
        if (bestR >= bestG && bestR >= bestB) {
            if (cutR < 0) return false;
            other.r0 = box.r1 = cutR;
        } else if (bestG >= bestR && bestG >= bestB) {
            if (cutG < 0) return false;
            other.g0 = box.g1 = cutG;
        } else {
            if (cutB < 0) return false;
            other.b0 = box.b1 = cutB;
        }
        return true;
    }

    std::vector<int64_t> weight_, red_, green_, blue_;
    std::vector<double> squares_;
};

// Lloyd's k-means over the picture's colours, from the given palette: every
// colour goes to its nearest entry, every entry to the mean of its colours,
// until hardly a pixel changes entry (or a bound on the passes). An entry left
// with no colour takes the colour now worst served, so none is wasted.
void refineByKMeans(const std::vector<CountedColour>& colours, std::vector<Colour>& palette) {
    constexpr int kMaxPasses = 24;
    std::vector<int> entryOf(colours.size(), -1);
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        const NearestColour nearest(palette);
        int64_t moved = 0, all = 0;
        for (size_t i = 0; i < colours.size(); ++i) {
            const int entry = nearest.find(colours[i].colour, entryOf[i]);
            if (entry != entryOf[i]) moved += colours[i].count;
            all += colours[i].count;
            entryOf[i] = entry;
        }
        // Once a pass moves fewer than one pixel in a thousand, the next
        // would lower the error by less still.
        if (moved * 1000 < all) break;
        std::vector<double> sumR(palette.size()), sumG(palette.size()), sumB(palette.size()), count(palette.size());
        for (size_t i = 0; i < colours.size(); ++i) {
            const size_t e = size_t(entryOf[i]);
            const double w = double(colours[i].count);
            sumR[e] += w * colours[i].colour.r;
            sumG[e] += w * colours[i].colour.g;
            sumB[e] += w * colours[i].colour.b;
            count[e] += w;
        }
        for (size_t e = 0; e < palette.size(); ++e) {
            if (count[e] > 0) {
                palette[e] = {int(sumR[e] / count[e] + 0.5), int(sumG[e] / count[e] + 0.5),
                              int(sumB[e] / count[e] + 0.5)};
                continue;
            }
            size_t worst = 0;
            double worstError = -1;
            for (size_t i = 0; i < colours.size(); ++i) {
                const double error =
                    double(colours[i].count) * squaredDistance(colours[i].colour, palette[size_t(entryOf[i])]);
                if (error > worstError) {
                    worstError = error;
                    worst = i;
                }
            }
            palette[e] = colours[worst].colour;
            entryOf[worst] = int(e);
        }
    }
}

// Past this many colours (a large photograph), k-means runs on the means of
// the colours in each cell of a 64-level cube instead, which bounds its time
// and moves the entries by a fraction of a level.
constexpr size_t kMostColoursRefined = 65536;

std::vector<CountedColour> coarser(const std::vector<CountedColour>& colours) {
    constexpr size_t kCells = 64 * 64 * 64;
    std::vector<int64_t> r(kCells), g(kCells), b(kCells), n(kCells);
    for (const CountedColour& c : colours) {
        const size_t cell = size_t(c.colour.r >> 2) << 12 | size_t(c.colour.g >> 2) << 6 | size_t(c.colour.b >> 2);
        r[cell] += c.count * c.colour.r;
        g[cell] += c.count * c.colour.g;
        b[cell] += c.count * c.colour.b;
        n[cell] += c.count;
    }
    std::vector<CountedColour> means;
    for (size_t cell = 0; cell < kCells; ++cell)
        if (n[cell] > 0)
            means.push_back({{int((r[cell] + n[cell] / 2) / n[cell]), int((g[cell] + n[cell] / 2) / n[cell]),
                              int((b[cell] + n[cell] / 2) / n[cell])},
                             n[cell]});
    return means;
}

std::vector<uint8_t> paletteBytes(const std::vector<Colour>& colours) {
    std::vector<uint8_t> bytes(PALETTE_SIZE, 0);
    for (size_t i = 0; i < colours.size() && i < 256; ++i) {
        bytes[3 * i] = uint8_t(colours[i].r);
        bytes[3 * i + 1] = uint8_t(colours[i].g);
        bytes[3 * i + 2] = uint8_t(colours[i].b);
    }
    return bytes;
}

}  // namespace

std::vector<uint8_t> makePalette(const uint8_t* rgba, size_t pixelCount) {
    std::vector<Colour> palette;
    if (fewColours(rgba, pixelCount, palette)) return paletteBytes(palette);
    const std::vector<CountedColour> colours = distinctColours(rgba, pixelCount);
    palette = WuQuantiser(colours).palette(256);
    refineByKMeans(colours.size() > kMostColoursRefined ? coarser(colours) : colours, palette);
    return paletteBytes(palette);
}

std::vector<uint8_t> mapToPalette(const uint8_t* rgba, int width, int height, const std::vector<uint8_t>& palette,
                                  const PaletteMapping& mapping) {
    if (!rgba || width <= 0 || height <= 0 || palette.size() != size_t(PALETTE_SIZE) || mapping.entries < 1 ||
        mapping.entries > 256 || mapping.transparentIndex > 255)
        return {};
    std::vector<Colour> entries;
    for (int i = 0; i < mapping.entries; ++i)
        entries.push_back({palette[size_t(3 * i)], palette[size_t(3 * i + 1)], palette[size_t(3 * i + 2)]});
    const NearestColour nearest(entries);
    const size_t w = size_t(width);
    std::vector<uint8_t> indices(w * size_t(height));

    // Without dither, a colour seen lately (most of a skin's pixels) is
    // not looked up again: a table of the last colour found in each slot.
    if (!mapping.dither) {
        constexpr size_t kSlots = 4096;
        std::vector<uint32_t> slotKey(kSlots, 0xFFFFFFFFu);
        std::vector<uint8_t> slotIndex(kSlots, 0);
        for (size_t i = 0; i < indices.size(); ++i) {
            const uint8_t* p = rgba + 4 * i;
            if (mapping.transparentIndex >= 0 && p[3] == 0) {
                indices[i] = uint8_t(mapping.transparentIndex);
                continue;
            }
            const uint32_t key = keyOf(p);
            const size_t slot = (key * 2654435761u) >> 20;
            if (slotKey[slot] != key) {
                slotKey[slot] = key;
                slotIndex[slot] = uint8_t(nearest.find({p[0], p[1], p[2]}, slotIndex[slot]));
            }
            indices[i] = slotIndex[slot];
        }
        return indices;
    }

    // Floyd-Steinberg: each pixel's error (in sixteenths) goes 7 ahead, and
    // 3, 5 and 1 to the row below, behind, under and ahead; rows alternate
    // direction so the error does not drift one way. Two rows of error,
    // with a spare column each side.
    std::vector<int> errorRows[2] = {std::vector<int>((w + 2) * 3, 0), std::vector<int>((w + 2) * 3, 0)};
    for (int y = 0; y < height; ++y) {
        std::vector<int>& here = errorRows[y & 1];
        std::vector<int>& below = errorRows[(y + 1) & 1];
        std::fill(below.begin(), below.end(), 0);
        const bool forwards = (y & 1) == 0;
        for (size_t step = 0; step < w; ++step) {
            const size_t x = forwards ? step : w - 1 - step;
            const size_t i = size_t(y) * w + x;
            const uint8_t* p = rgba + 4 * i;
            if (mapping.transparentIndex >= 0 && p[3] == 0) {
                indices[i] = uint8_t(mapping.transparentIndex);
                continue;
            }
            int* carried = &here[(x + 1) * 3];
            const Colour wanted{std::clamp(p[0] + carried[0] / 16, 0, 255), std::clamp(p[1] + carried[1] / 16, 0, 255),
                                std::clamp(p[2] + carried[2] / 16, 0, 255)};
            // The pixel before in this row's direction is a good guess.
            const size_t before = forwards ? (x > 0 ? i - 1 : i) : (x + 1 < w ? i + 1 : i);
            const int index = nearest.find(wanted, indices[before]);
            indices[i] = uint8_t(index);
            const Colour& got = entries[size_t(index)];
            const int error[3] = {wanted.r - got.r, wanted.g - got.g, wanted.b - got.b};
            const ptrdiff_t ahead = forwards ? 3 : -3;
            int* next = carried + ahead;
            int* under = &below[(x + 1) * 3];
            for (int c = 0; c < 3; ++c) {
                next[c] += 7 * error[c];
                under[c - ahead] += 3 * error[c];
                under[c] += 5 * error[c];
                under[c + ahead] += error[c];
            }
        }
    }
    return indices;
}
