// Full-screen layers drawn over game frames and fixed screens: a layer's
// picture replaces the game pixels where the dumped screen still shows,
// unless a screen drawn later covers them or the game drew over them, and
// it follows the game's palette fades.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "graphics/pack_state.h"

namespace {

// Rebuilt at every call: the layer drawing runs on the main thread only.
uint8_t difference[scene_pixels];
uint8_t cover[scene_pixels];

enum class mode { in_game, fixed_screen };

// Calls f(layer offset, screen offset) for the layer's pixels on the screen.
template <typename F>
void each_pixel(const pack_layer& l, F f) {
    // Positions come from the index file: any 32-bit value.
    for (int ly = 0; ly < l.height; ++ly) {
        const int64_t y = int64_t(l.y) + ly;
        if (y < 0 || y >= scene_height) continue;
        for (int lx = 0; lx < l.width; ++lx) {
            const int64_t x = int64_t(l.x) + lx;
            if (x < 0 || x >= scene_width) continue;
            f(static_cast<size_t>(ly) * l.width + lx, static_cast<int>(y * scene_width + x));
        }
    }
}

// The layer's screen is on show: its indices hold at 60 % of its mask.
bool shown(const pack_layer& l, const uint8_t* frame) {
    int64_t same = 0;
    each_pixel(l, [&](size_t i, int p) { same += l.mask[i] && l.indices[i] == frame[p]; });
    return same * 5 >= int64_t(l.mask_count) * 3;
}

// What the screens drawn after this layer hide of it.
bool build_cover(size_t layer, const std::vector<char>& on_show) {
    bool any = false;
    std::memset(cover, 0, sizeof cover);
    for (size_t j = 0; j < pack.layers.size(); ++j) {
        const pack_layer& h = pack.layers[j];
        if (!on_show[j] || h.order <= pack.layers[layer].order) continue;
        any = true;
        each_pixel(h, [&](size_t i, int p) { cover[p] |= h.mask[i]; });
    }
    return any;
}

// 256 is full brightness; a dumped screen darker than when it was dumped
// is being faded by the game.
int brightness(const pack_layer& l, const palette_zone* zones, int zone_count) {
    if (l.palette_sum <= 0 || zone_count <= 0) return 256;
    const int64_t line = std::min<int64_t>(int64_t(l.y) + l.height / 2, scene_height - 1);
    int z = 0;
    for (int q = 0; q < zone_count; ++q)
        if (int64_t(zones[q].line) <= line) z = q;
    uint8_t rgb[48];
    pal_to_rgb(zones[z].palette, rgb);
    int sum = 0;
    for (uint8_t c : rgb) sum += c;
    const double ratio = static_cast<double>(sum) / l.palette_sum;
    return ratio < 1.0 ? static_cast<int>(std::lround(ratio * 256)) : 256;
}

void draw(const pack_layer& l, const uint8_t* frame, bool covered, bool differs, int b, int s, uint8_t* rgb) {
    const size_t stride = static_cast<size_t>(scene_width) * s * 3;
    const size_t picture_stride = static_cast<size_t>(l.width) * s * 4;
    each_pixel(l, [&](size_t i, int p) {
        if (!l.mask[i] || l.indices[i] != frame[p]) return;
        if ((covered && cover[p]) || (differs && difference[p])) return;
        const size_t lx = i % static_cast<size_t>(l.width), ly = i / static_cast<size_t>(l.width);
        const size_t gx = static_cast<size_t>(p % scene_width), gy = static_cast<size_t>(p / scene_width);
        for (int j = 0; j < s; ++j)
            for (int k = 0; k < s; ++k) {
                const uint8_t* src = &l.picture[(ly * s + j) * picture_stride + (lx * s + k) * 4];
                const unsigned a = src[3];
                if (!a) continue;
                uint8_t* dst = rgb + (gy * s + j) * stride + (gx * s + k) * 3;
                if (a == 255 && b == 256) {
                    std::memcpy(dst, src, 3);
                    continue;
                }
                for (int c = 0; c < 3; ++c) {
                    const unsigned sum = dst[c] * (255 - a) + a * ((src[c] * static_cast<unsigned>(b)) >> 8) + 127;
                    dst[c] = static_cast<uint8_t>(std::min(255u, sum / 255));
                }
            }
    });
}

void apply_layers(uint8_t* rgb, const uint8_t* frame, const palette_zone* zones, int zone_count, int s, mode m) {
    if (s != pack.scale) {
        if (pack.layers.empty()) return;
        pack.scale = s;
        pack_lock();
        rescan_locked();
        pack_unlock();
    }
    if (pack.layers.empty()) return;
    const bool fixed = m == mode::fixed_screen;
    const bool differs = fixed && screen_difference(frame, difference);
    std::vector<char> on_show(pack.layers.size(), 0);
    if (fixed)
        for (size_t j = 0; j < pack.layers.size(); ++j) on_show[j] = shown(pack.layers[j], frame);
    for (size_t n = 0; n < pack.layers.size(); ++n) {
        const pack_layer& l = pack.layers[n];
        if (l.picture.empty() || (!fixed && !l.ingame)) continue;
        const bool covered = fixed && build_cover(n, on_show);
        int64_t free_pixels = 0, same = 0;
        each_pixel(l, [&](size_t i, int p) {
            if (!l.mask[i] || (covered && cover[p])) return;
            free_pixels += 1;
            same += l.indices[i] == frame[p];
        });
        if (free_pixels * 4 < l.mask_count || same * 5 < free_pixels * 3) continue;
        draw(l, frame, covered, differs, brightness(l, zones, zone_count), s, rgb);
    }
}

}  // namespace

void cb_hud(uint8_t* rgb, const uint8_t* indices, const palette_zone* zones, int zone_count, int scale) {
    apply_layers(rgb, indices, zones, zone_count, scale, mode::in_game);
}

void present_static_hook(const uint8_t* indices, const palette_zone* zones, int zone_count, int scale,
                         uint8_t* rgb) {
    if (pack.layers.empty()) return;
    apply_layers(rgb, indices, zones, zone_count, scale, mode::fixed_screen);
}
