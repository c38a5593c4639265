// Strips and fans over an edge table.
//
// A triangle (a, b, c) has the directed edges a->b, b->c and c->a; its
// neighbour across a->b, wound the same way, is a triangle holding b->a.
// The table lists, for each corner, the edges leaving it with their
// triangles, so a neighbour is found by scanning one short list.
//
// GL draws strip triangle i as (s[i], s[i+1], s[i+2]) when i is even and
// (s[i+1], s[i], s[i+2]) when odd, and fan triangle i as (f[0], f[i+1],
// f[i+2]); a strip or fan grows by the neighbour across the edge those
// orders leave open, so every triangle keeps its winding. A strip grows
// backwards two triangles at a time (one would turn the winding of all the
// others); a fan grows backwards one at a time.
//
// The commands are chosen greedily, longest first, every remaining
// triangle tried as a start with each of its corners first, as a strip and
// as a fan. Taking a command only shortens the others, so a start's last
// length is an upper bound of its next: the starts wait in a queue by that
// bound, and only the one on top is measured again (lazy greedy), which
// keeps the cost near one measure per command.
#include <algorithm>
#include <array>
#include <queue>

#include "model/md2_steps.h"

namespace {

class Stripifier {
public:
    Stripifier(const uint32_t* triangles, size_t triangleCount, size_t cornerCount)
        : triangles_(triangles),
          count_(triangleCount),
          mark_(triangleCount, 0),
          budget_(triangleCount * 256 + (size_t(1) << 20)) {
        // The edge table: edges grouped by the corner they leave, each group
        // in order of the corner they reach, then of triangle.
        first_.assign(cornerCount + 1, 0);
        for (size_t i = 0; i < triangleCount * 3; ++i) ++first_[triangles[i] + 1];
        for (size_t c = 0; c < cornerCount; ++c) first_[c + 1] += first_[c];
        edges_.resize(triangleCount * 3);
        std::vector<size_t> fill(first_.begin(), first_.end() - 1);
        for (size_t t = 0; t < triangleCount; ++t)
            for (int k = 0; k < 3; ++k) edges_[fill[corner(t, k)]++] = {corner(t, k + 1), uint32_t(t), corner(t, k + 2)};
        for (size_t c = 0; c < cornerCount; ++c)
            std::sort(edges_.begin() + ptrdiff_t(first_[c]), edges_.begin() + ptrdiff_t(first_[c + 1]),
                      [](const Edge& a, const Edge& b) { return a.to != b.to ? a.to < b.to : a.triangle < b.triangle; });
    }

    std::vector<Md2Command> commands() {
        struct Start {
            size_t length;
            uint32_t triangle;
            bool operator<(const Start& o) const {
                return length != o.length ? length < o.length : triangle > o.triangle;
            }
        };
        std::vector<Md2Command> result;
        auto take = [&](size_t t, const Choice& choice) {
            Md2Command command;
            command.fan = choice.fan;
            grow(t, choice.rotation, choice.fan, &command.corners);
            result.push_back(std::move(command));
        };
        std::priority_queue<Start> queue;
        for (size_t t = 0; t < count_ && lookups_ < budget_; ++t) queue.push({best(t).length, uint32_t(t)});
        while (!queue.empty() && lookups_ < budget_) {
            const Start top = queue.top();
            queue.pop();
            if (mark_[top.triangle] == kTaken) continue;
            const Choice choice = best(top.triangle);
            if (choice.length < top.length)
                queue.push({choice.length, top.triangle});
            else
                take(top.triangle, choice);
        }
        // Past the budget (only a mesh of thousands of triangles on one edge
        // gets there), each triangle left starts a strip as it comes.
        for (size_t t = 0; t < count_; ++t)
            if (mark_[t] != kTaken) take(t, Choice{1, 0, false});
        return result;
    }

private:
    struct Edge {
        uint32_t to;
        uint32_t triangle;
        uint32_t third;  // the triangle's corner off the edge
    };
    struct Choice {
        size_t length = 0;
        int rotation = 0;
        bool fan = false;
    };

    uint32_t corner(size_t t, int k) const { return triangles_[3 * t + size_t(k < 3 ? k : k - 3)]; }  // k up to 5

    // A triangle not yet taken nor in the command being grown, holding the
    // edge from -> to; sets third to its other corner. count_ when none.
    // Of triangles sharing one edge the way they turn (a mesh that is not a
    // surface there), only the first few are looked at, so that a mesh of
    // such can't make the search run long.
    size_t neighbour(uint32_t from, uint32_t to, uint32_t& third) {
        constexpr int kLooks = 16;
        ++lookups_;
        const auto end = edges_.begin() + ptrdiff_t(first_[from + 1]);
        auto e = edges_.begin() + ptrdiff_t(first_[from]);
        // Most corners have a handful of edges: a look at each beats a search.
        if (end - e > 16) {
            e = std::lower_bound(e, end, to, [](const Edge& edge, uint32_t corner) { return edge.to < corner; });
        } else {
            while (e != end && e->to < to) ++e;
        }
        for (int looks = 0; e != end && e->to == to && looks < kLooks; ++e, ++looks) {
            const Edge& edge = *e;
            const uint32_t state = mark_[edge.triangle];
            if (state == stamp_ || state == kTaken) continue;
            third = edge.third;
            return edge.triangle;
        }
        return count_;
    }

    // The strip or fan started by triangle t with its corner `rotation`
    // first, grown both ways; its length in triangles. With corners, the
    // command's corners are stored and its triangles taken.
    size_t grow(size_t t, int rotation, bool fan, std::vector<uint32_t>* corners) {
        if (++stamp_ == kTaken) {  // the stamps ran round: no mark may look current
            for (uint32_t& mark : mark_)
                if (mark != kTaken) mark = 0;
            stamp_ = 1;
        }
        std::vector<size_t>& taken = taken_;
        std::vector<uint32_t>& front = front_;  // corners before the start, nearest first
        std::vector<uint32_t>& back = back_;    // the start's corners, then those after
        taken.assign(1, t);
        front.clear();
        back.assign({corner(t, rotation), corner(t, rotation + 1), corner(t, rotation + 2)});
        mark_[t] = stamp_;
        uint32_t third = 0;
        auto take = [&](size_t n) {
            mark_[n] = stamp_;
            taken.push_back(n);
        };
        if (fan) {
            for (size_t n; (n = neighbour(back[0], back.back(), third)) != count_;) {
                take(n);
                back.push_back(third);
            }
            // Backwards: (f0, z, f1) holds f1 -> f0.
            for (size_t n; (n = neighbour(back[1], back[0], third)) != count_;) {
                take(n);
                back.insert(back.begin() + 1, third);
            }
        } else {
            for (size_t n;;) {
                const size_t i = back.size() - 2;  // the next triangle's number in the strip
                const uint32_t a = back[i], b = back[i + 1];
                if ((n = (i % 2 == 0 ? neighbour(a, b, third) : neighbour(b, a, third))) == count_) break;
                take(n);
                back.push_back(third);
            }
            // Backwards, two at a time: (s0, y, s1) holds s1 -> s0, then (x, y, s0) holds y -> s0.
            for (;;) {
                const uint32_t s0 = front.empty() ? back[0] : front.back();
                const uint32_t s1 = front.empty() ? back[1] : front[front.size() - 2];
                uint32_t y = 0, x = 0;
                const size_t first = neighbour(s1, s0, y);
                if (first == count_) break;
                mark_[first] = stamp_;
                const size_t second = neighbour(y, s0, x);
                if (second == count_) {
                    mark_[first] = 0;
                    break;
                }
                take(first);
                take(second);
                front.push_back(y);
                front.push_back(x);
            }
        }
        if (corners) {
            corners->assign(front.rbegin(), front.rend());
            corners->insert(corners->end(), back.begin(), back.end());
            for (size_t n : taken) mark_[n] = kTaken;
        }
        return taken.size();
    }

    Choice best(size_t t) {
        Choice choice;
        for (int fan = 0; fan < 2; ++fan)
            for (int rotation = 0; rotation < 3; ++rotation) {
                const size_t length = grow(t, rotation, fan != 0, nullptr);
                if (length > choice.length) choice = {length, rotation, fan != 0};
            }
        return choice;
    }

    const uint32_t* triangles_;
    size_t count_;
    std::vector<size_t> first_;
    std::vector<Edge> edges_;
    // Per triangle: kTaken once in a command, the stamp of the command being
    // grown while in it.
    static constexpr uint32_t kTaken = 0xFFFFFFFFu;
    std::vector<uint32_t> mark_;
    uint32_t stamp_ = 0;
    // Neighbour lookups made, and how many the greedy search may make
    // before it takes the triangles left as they come.
    size_t lookups_ = 0;
    size_t budget_ = 0;
    std::vector<size_t> taken_;
    std::vector<uint32_t> front_, back_;
};

void canonicalTriangles(const std::vector<uint32_t>& list, std::vector<std::array<uint32_t, 3>>& out) {
    out.clear();
    for (size_t i = 0; i + 2 < list.size(); i += 3) {
        std::array<uint32_t, 3> t = {list[i], list[i + 1], list[i + 2]};
        // The rotation that puts the lowest corner first keeps the winding.
        while (t[0] > t[1] || t[0] > t[2]) t = {t[1], t[2], t[0]};
        out.push_back(t);
    }
    std::sort(out.begin(), out.end());
}

}  // namespace

std::vector<Md2Command> makeCommands(const uint32_t* triangles, size_t triangleCount, size_t cornerCount) {
    return Stripifier(triangles, triangleCount, cornerCount).commands();
}

std::vector<uint32_t> expandCommands(const std::vector<Md2Command>& commands) {
    std::vector<uint32_t> triangles;
    for (const Md2Command& command : commands) {
        const std::vector<uint32_t>& c = command.corners;
        for (size_t i = 0; i + 2 < c.size(); ++i) {
            if (command.fan)
                triangles.insert(triangles.end(), {c[0], c[i + 1], c[i + 2]});
            else if (i % 2 == 0)
                triangles.insert(triangles.end(), {c[i], c[i + 1], c[i + 2]});
            else
                triangles.insert(triangles.end(), {c[i + 1], c[i], c[i + 2]});
        }
    }
    return triangles;
}

bool sameTriangles(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return false;
    std::vector<std::array<uint32_t, 3>> sortedA, sortedB;
    canonicalTriangles(a, sortedA);
    canonicalTriangles(b, sortedB);
    return sortedA == sortedB;
}
