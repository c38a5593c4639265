// Normals for the format's table: the exact nearest entry, and normals made
// from the faces where the source has none.
#include <algorithm>
#include <cmath>

#include "model/md2_steps.h"
#include "model/model.h"

namespace {

// The table entries that can be nearest to a direction in each cell of a
// cube around the sphere (6 faces of kCells x kCells), found once: a cell
// holds the directions within its angular radius r of its centre c, so an
// entry at angle a from c is at least a - r from any of them, and the
// nearest one at most (nearest to c) + r; only entries within twice r of
// the nearest to c can win. Searching those few, in the table's order with
// the same comparison as all of it, finds the same entry.
class NormalCells {
public:
    static constexpr int kCells = 12;  // 3 entries a cell

    NormalCells() {
        // The table apart by axis, so each cell's dot products run as one loop.
        double x[MODEL_NUM_NORMALS], y[MODEL_NUM_NORMALS], z[MODEL_NUM_NORMALS];
        for (int e = 0; e < MODEL_NUM_NORMALS; ++e) {
            x[e] = modelNormals[e][0];
            y[e] = modelNormals[e][1];
            z[e] = modelNormals[e][2];
        }
        // A cell's radius is the same on every face.
        double radius[kCells][kCells];
        for (int i = 0; i < kCells; ++i)
            for (int j = 0; j < kCells; ++j) {
                double centre[3], corner[3];
                direction(0, (i + 0.5) / kCells, (j + 0.5) / kCells, centre);
                radius[i][j] = 0;
                for (int k = 0; k < 4; ++k) {
                    direction(0, double(i + (k & 1)) / kCells, double(j + (k >> 1)) / kCells, corner);
                    radius[i][j] = std::max(radius[i][j], std::acos(std::min(1.0, dot(centre, corner))));
                }
            }
        for (int face = 0; face < 6; ++face)
            for (int i = 0; i < kCells; ++i)
                for (int j = 0; j < kCells; ++j) {
                    double c[3];
                    direction(face, (i + 0.5) / kCells, (j + 0.5) / kCells, c);
                    double dots[MODEL_NUM_NORMALS];
                    for (int e = 0; e < MODEL_NUM_NORMALS; ++e) dots[e] = c[0] * x[e] + c[1] * y[e] + c[2] * z[e];
                    const double nearest = *std::max_element(dots, dots + MODEL_NUM_NORMALS);
                    // A margin of 1e-6 radians covers the rounding of all this.
                    const double reach = std::acos(std::min(1.0, nearest)) + 2 * radius[i][j] + 1e-6;
                    const double threshold = reach >= kPi ? -2.0 : std::cos(reach);
                    first_[cell(face, i, j)] = uint16_t(entries_.size());
                    for (int e = 0; e < MODEL_NUM_NORMALS; ++e)
                        if (dots[e] >= threshold) entries_.push_back(uint8_t(e));
                }
        first_[6 * kCells * kCells] = uint16_t(entries_.size());

        // A direction nearer an entry than half the least angle between two
        // entries has that entry nearest, whatever the others.
        double closest = -1;
        for (int a = 0; a < MODEL_NUM_NORMALS; ++a)
            for (int b = a + 1; b < MODEL_NUM_NORMALS; ++b) closest = std::max(closest, x[a] * x[b] + y[a] * y[b] + z[a] * z[b]);
        sureDot_ = std::cos(std::acos(closest) / 2 - 1e-6);
    }

    // True when entry e is surely the nearest to the unit direction n.
    bool surelyNearest(const double n[3], int e) const { return dotEntry(n, e) > sureDot_; }

    int nearest(const double n[3]) const {
        const double x = std::fabs(n[0]), y = std::fabs(n[1]), z = std::fabs(n[2]);
        int axis = 0;
        if (y > x && y >= z) axis = 1;
        else if (z > x && z > y) axis = 2;
        const double major = std::fabs(n[axis]);
        if (!(major > 0)) return 0;  // no direction: every entry is as near, the first wins
        static constexpr int kNext[3] = {1, 2, 0}, kAfterNext[3] = {2, 0, 1};
        const int face = 2 * axis + (n[axis] < 0);
        const double half = 0.5 * kCells / major;
        const int i = std::clamp(int(n[kNext[axis]] * half + 0.5 * kCells), 0, kCells - 1);
        const int j = std::clamp(int(n[kAfterNext[axis]] * half + 0.5 * kCells), 0, kCells - 1);
        const size_t c = cell(face, i, j);
        int best = 0;
        double bestDot = -HUGE_VAL;
        for (size_t k = first_[c]; k < first_[c + 1]; ++k) {
            const double d = dotEntry(n, entries_[k]);
            if (d > bestDot) {
                bestDot = d;
                best = entries_[k];
            }
        }
        return best;
    }

private:
    static constexpr double kPi = 3.14159265358979323846;

    static size_t cell(int face, int i, int j) { return (size_t(face) * kCells + size_t(i)) * kCells + size_t(j); }
    static double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
    static double dotEntry(const double n[3], int e) {
        const float* entry = modelNormals[e];
        return n[0] * entry[0] + n[1] * entry[1] + n[2] * entry[2];
    }

    // The unit direction at (s, t) in 0..1 on a face: the face's axis
    // (+ for even faces) and the next two axes from -1 to 1.
    static void direction(int face, double s, double t, double out[3]) {
        const int axis = face / 2;
        out[axis] = face % 2 ? -1.0 : 1.0;
        out[(axis + 1) % 3] = 2 * s - 1;
        out[(axis + 2) % 3] = 2 * t - 1;
        const double length = std::sqrt(dot(out, out));
        for (int a = 0; a < 3; ++a) out[a] /= length;
    }

    uint16_t first_[6 * kCells * kCells + 1];
    std::vector<uint8_t> entries_;
    double sureDot_ = 2;
};

const NormalCells& normalCells() {
    static const NormalCells cells;
    return cells;
}

}  // namespace

int nearestNormalIndex(const double n[3]) { return normalCells().nearest(n); }

int nearestNormalIndex(const double unit[3], int guess) {
    const NormalCells& cells = normalCells();
    return guess >= 0 && guess < MODEL_NUM_NORMALS && cells.surelyNearest(unit, guess) ? guess : cells.nearest(unit);
}

void angleWeightedNormals(const double* positions, size_t vertexCount, const uint32_t* triangles,
                          size_t triangleCount, double* normals) {
    for (size_t i = 0; i < vertexCount * 3; ++i) normals[i] = 0;
    for (size_t t = 0; t < triangleCount; ++t) {
        const uint32_t* corner = triangles + 3 * t;
        const double* p[3] = {positions + 3 * size_t(corner[0]), positions + 3 * size_t(corner[1]),
                              positions + 3 * size_t(corner[2])};
        double edge[3][3];  // edge k runs from corner k to corner k + 1
        double length[3];
        for (int k = 0; k < 3; ++k) {
            const double* from = p[k];
            const double* to = p[(k + 1) % 3];
            for (int a = 0; a < 3; ++a) edge[k][a] = to[a] - from[a];
            length[k] = std::sqrt(edge[k][0] * edge[k][0] + edge[k][1] * edge[k][1] + edge[k][2] * edge[k][2]);
        }
        // (p1 - p0) x (p2 - p0): the counter-clockwise face's outward normal, as long as twice its area.
        const double* e0 = edge[0];
        const double* e2 = edge[2];  // p0 - p2
        const double face[3] = {e2[1] * e0[2] - e2[2] * e0[1], e2[2] * e0[0] - e2[0] * e0[2],
                                e2[0] * e0[1] - e2[1] * e0[0]};
        const double area = std::sqrt(face[0] * face[0] + face[1] * face[1] + face[2] * face[2]);
        if (!(area > 0)) continue;
        for (int k = 0; k < 3; ++k) {
            // The angle at corner k, between the edge leaving it and the one arriving.
            const double* out = edge[k];
            const double* in = edge[(k + 2) % 3];
            double c = -(out[0] * in[0] + out[1] * in[1] + out[2] * in[2]) / (length[k] * length[(k + 2) % 3]);
            c = c < -1 ? -1 : (c > 1 ? 1 : c);
            const double weight = std::acos(c) / area;
            double* n = normals + 3 * size_t(corner[k]);
            for (int a = 0; a < 3; ++a) n[a] += face[a] * weight;
        }
    }
    for (size_t v = 0; v < vertexCount; ++v) {
        double* n = normals + 3 * v;
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0) {
            n[0] /= length;
            n[1] /= length;
            n[2] /= length;
        }
    }
}
