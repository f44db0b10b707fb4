// What the game drew over a fixed screen: text and cursors over a dumped
// screen must stay visible when the screen's picture is replaced, with the
// letters' insides too, so the differences are closed and small holes in
// them filled.
#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/pack_state.h"
#include "graphics/scene.h"

namespace {

constexpr int box_margin = 3;
constexpr int largest_hole = 30;
constexpr int least_match = 57600;  // 90 % of the screen

const pack_layer* best_screen(const uint8_t* screen, int* matched) {
    const pack_layer* best = nullptr;
    *matched = -1;
    for (const pack_layer& l : pack.layers) {
        if (l.x != 0 || l.y != 0 || l.width != scene_width || l.height != scene_height) continue;
        int n = 0;
        for (int p = 0; p < scene_pixels; ++p) n += l.indices[static_cast<size_t>(p)] == screen[p];
        if (n > *matched) best = &l, *matched = n;
    }
    return best;
}

struct box {
    int x0, y0, w, h;
    bool edge(int x, int y) const { return x == 0 || y == 0 || x == w - 1 || y == h - 1; }
};

// Every 4-connected area of unmarked pixels that stays inside the box and
// is small enough becomes marked.
void fill_holes(std::vector<uint8_t>& m, const box& b) {
    std::vector<uint8_t> seen(m.size(), 0);
    std::vector<int> queue(m.size());
    for (size_t start = 0; start < m.size(); ++start) {
        if (m[start] || seen[start]) continue;
        size_t head = 0, tail = 0;
        bool touches = false;
        queue[tail++] = static_cast<int>(start);
        seen[start] = 1;
        while (head < tail) {
            const int p = queue[head++];
            const int x = p % b.w, y = p / b.w;
            touches = touches || b.edge(x, y);
            const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& n : next) {
                if (n[0] < 0 || n[1] < 0 || n[0] >= b.w || n[1] >= b.h) continue;
                const size_t q = static_cast<size_t>(n[1] * b.w + n[0]);
                if (m[q] || seen[q]) continue;
                seen[q] = 1;
                queue[tail++] = static_cast<int>(q);
            }
        }
        if (touches || tail > largest_hole) continue;
        for (size_t i = 0; i < tail; ++i) m[static_cast<size_t>(queue[i])] = 1;
    }
}

}  // namespace

bool screen_difference(const uint8_t* screen, uint8_t* mask) {
    int matched = 0;
    const pack_layer* l = best_screen(screen, &matched);
    if (!l || matched < least_match || matched == scene_pixels) return false;
    int left = scene_width, top = scene_height, right = -1, bottom = -1;
    for (int y = 0; y < scene_height; ++y)
        for (int x = 0; x < scene_width; ++x)
            if (l->indices[static_cast<size_t>(y * scene_width + x)] != screen[y * scene_width + x]) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    left = std::max(0, left - box_margin), top = std::max(0, top - box_margin);
    right = std::min(scene_width - 1, right + box_margin), bottom = std::min(scene_height - 1, bottom + box_margin);
    const box b{left, top, right - left + 1, bottom - top + 1};
    const size_t n = static_cast<size_t>(b.w) * b.h;
    std::vector<uint8_t> marks(n), grown(n), m(n);
    auto at = [&](int x, int y) { return static_cast<size_t>(y * b.w + x); };
    for (int y = 0; y < b.h; ++y)
        for (int x = 0; x < b.w; ++x) {
            const int s = (b.y0 + y) * scene_width + b.x0 + x;
            marks[at(x, y)] = l->indices[static_cast<size_t>(s)] != screen[s];
        }
    // A neighbour outside the box counts as unmarked when growing and as
    // marked when shrinking, so the box's edges change nothing.
    auto marked = [&](const std::vector<uint8_t>& v, int x, int y, uint8_t outside) {
        return x < 0 || y < 0 || x >= b.w || y >= b.h ? outside : v[at(x, y)];
    };
    for (int y = 0; y < b.h; ++y)
        for (int x = 0; x < b.w; ++x)
            grown[at(x, y)] = marks[at(x, y)] || marked(marks, x - 1, y, 0) || marked(marks, x + 1, y, 0) ||
                              marked(marks, x, y - 1, 0) || marked(marks, x, y + 1, 0);
    for (int y = 0; y < b.h; ++y)
        for (int x = 0; x < b.w; ++x)
            m[at(x, y)] = grown[at(x, y)] && marked(grown, x - 1, y, 1) && marked(grown, x + 1, y, 1) &&
                          marked(grown, x, y - 1, 1) && marked(grown, x, y + 1, 1);
    fill_holes(m, b);
    std::memset(mask, 0, scene_pixels);
    for (int y = 0; y < b.h; ++y)
        std::memcpy(mask + (b.y0 + y) * scene_width + b.x0, &m[at(0, y)], static_cast<size_t>(b.w));
    return true;
}
