// The playfield background of a rendered frame at the interpolated scroll:
// the vertical ring (or a pack's whole-level picture) and the horizontal
// ground band, zone by zone in the zone's colours.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/render_cache.h"
#include "graphics/render_internal.h"

namespace {

// The cached conversion of this palette, made when absent; a full cache
// hands out a scratch conversion instead.
converted_background* background_for(render_cache* cache, const uint8_t* palette, converted_background& scratch,
                                     bool& fresh) {
    for (int i = 0; i < cache->background_count; ++i)
        if (std::memcmp(cache->backgrounds[i].palette, palette, 32) == 0) {
            fresh = false;
            return &cache->backgrounds[i];
        }
    fresh = true;
    converted_background* bg = cache->background_count < 8 ? &cache->backgrounds[cache->background_count++] : &scratch;
    std::memcpy(bg->palette, palette, 32);
    return bg;
}

void blend_line(uint8_t* out, const uint8_t* line, const uint8_t* next, int w256, size_t bytes) {
    if (w256 == 0) {
        std::memcpy(out, line, bytes);
        return;
    }
    for (size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>((w256 * next[i] + (256 - w256) * line[i] + 128) / 256);
}

} // namespace

void draw_zone_lines(const scene_frame* f, int scale, int zone, int* first, int* end) {
    const int64_t top = static_cast<int64_t>(f->zones[zone].line) * scale;
    const int64_t bottom = zone + 1 < f->zone_count ? static_cast<int64_t>(f->zones[zone + 1].line) * scale
                                                    : static_cast<int64_t>(scene_height) * scale;
    *first = static_cast<int>(std::clamp<int64_t>(top, 0, scene_height * scale));
    *end = static_cast<int>(std::clamp<int64_t>(bottom, 0, scene_height * scale));
}

void render_horizontal_band(const frame_pair& fp, uint8_t* output) {
    const int s = fp.scale;
    const scene_frame* base = fp.base;
    render_cache* cache = fcache(const_cast<scene_frame*>(base), s);
    const double scroll = s * (fp.a->hscroll + (static_cast<double>(fp.b->hscroll) - fp.a->hscroll) * fp.t);
    const double whole = std::floor(scroll + 1e-9);
    double frac = scroll - whole;
    if (frac < 1.0 / 512) frac = 0;
    const int n = static_cast<int>(whole);
    const int period = strip_size * s;
    const size_t stride = static_cast<size_t>(scene_width) * s * 3;
    for (int z = 0; z < base->zone_count; ++z) {
        int first, end;
        draw_zone_lines(base, s, z, &first, &end);
        if (first >= end) continue;
        const uint8_t* texture = nullptr;
        if (pack_texture_cb && !pack_texture_cb(base->strip, s, &texture)) texture = nullptr;
        converted_background scratch{};
        if (!texture) {
            bool fresh = false;
            converted_background* bg = background_for(cache, base->zones[z].palette, scratch, fresh);
            if (fresh) {
                uint8_t rgb[48];
                pal_to_rgb(base->zones[z].palette, rgb);
                bg->width = period, bg->height = period;
                bg->rgb.assign(static_cast<size_t>(period) * period * 3, 0);
                for (int y = 0; y < period; ++y)
                    for (int x = 0; x < period; ++x)
                        std::memcpy(&bg->rgb[(static_cast<size_t>(y) * period + x) * 3],
                                    rgb + 3 * base->strip[y / s][x / s], 3);
            }
            texture = bg->rgb.data();
        }
        const int w256 = static_cast<int>(std::lrint(frac * 256));
        for (int m = first; m < end; ++m) {
            const uint8_t* row = texture + static_cast<size_t>(m % period) * period * 3;
            uint8_t* out = output + m * stride + static_cast<size_t>(playfield_left) * s * 3;
            for (int x = 0; x < ring_width * s; ++x) {
                const int col = floor_mod(x + n, period);
                const uint8_t* c0 = row + 3 * col;
                const uint8_t* c1 = row + 3 * ((col + 1) % period);
                for (int k = 0; k < 3; ++k)
                    out[3 * x + k] = static_cast<uint8_t>((c0[k] * (256 - w256) + c1[k] * w256 + 128) >> 8);
            }
        }
    }
}

namespace {

bool draw_level_picture(const frame_pair& fp, double r, uint8_t* output) {
    const int s = fp.scale;
    const scene_frame* base = fp.base;
    if (!pack_level_cb || fp.a->level_id != fp.b->level_id) return false;
    const uint8_t* pictures[max_palette_zones];
    int heights[max_palette_zones], level_value = 0;
    for (int z = 0; z < base->zone_count; ++z)
        if (!pack_level_cb(fp.a->level_id, base->zones[z].palette, s, &pictures[z], &heights[z], &level_value) ||
            !pictures[z] || heights[z] < 2)
            return false;
    const double v = level_value - static_cast<double>(fp.a->scroll_word) - 1 + r * fp.t;
    const size_t stride = static_cast<size_t>(scene_width) * s * 3, band = static_cast<size_t>(ring_width) * s * 3;
    for (int z = 0; z < base->zone_count; ++z) {
        int first, end;
        draw_zone_lines(base, s, z, &first, &end);
        const int h = heights[z];
        for (int m = first; m < end; ++m) {
            const double pos = m + s * v;
            const double k = std::floor(pos);
            const double frac = pos - k;
            int line = 0, next = 0;
            if (k < 0) {
                line = next = 0;
            } else if (k + 1 >= h) {
                line = h - 2, next = h - 1;
            } else {
                line = static_cast<int>(k), next = line + 1;
            }
            const int w256 = frac < 0.004 ? 0 : static_cast<int>(std::lrint(256 * frac));
            blend_line(output + m * stride + static_cast<size_t>(playfield_left) * s * 3, pictures[z] + line * band,
                       pictures[z] + next * band, w256, band);
        }
    }
    return true;
}

} // namespace

void render_vertical_band(const frame_pair& fp, uint8_t* output) {
    const int s = fp.scale;
    const scene_frame* base = fp.base;
    const double r = static_cast<int8_t>(static_cast<uint8_t>(fp.a->ring_row - fp.b->ring_row));
    if (draw_level_picture(fp, r, output)) return;
    render_cache* cache = fcache(const_cast<scene_frame*>(base), s);
    const double v = 255 - fp.a->ring_row + r * fp.t;
    const size_t stride = static_cast<size_t>(scene_width) * s * 3, band = static_cast<size_t>(ring_width) * s * 3;
    for (int z = 0; z < base->zone_count; ++z) {
        int first, end;
        draw_zone_lines(base, s, z, &first, &end);
        if (first >= end) continue;
        converted_background scratch{};
        bool fresh = false;
        converted_background* bg = background_for(cache, base->zones[z].palette, scratch, fresh);
        if (fresh) {
            // The ring at the output width, one line per ring row.
            uint8_t rgb[48];
            pal_to_rgb(base->zones[z].palette, rgb);
            bg->width = ring_width * s, bg->height = ring_rows;
            bg->rgb.assign(static_cast<size_t>(ring_rows) * band, 0);
            if (base->ring)
                for (int row = 0; row < ring_rows; ++row)
                    for (int x = 0; x < ring_width * s; ++x)
                        std::memcpy(&bg->rgb[row * band + 3 * x], rgb + 3 * base->ring[row * ring_width + x / s], 3);
        }
        for (int m = first; m < end; ++m) {
            const double pos = static_cast<double>(m) / s + v;
            const double k = std::floor(pos);
            const double frac = pos - k;
            const int row = floor_mod(static_cast<int>(k), ring_rows);
            // The part of this output line that falls into the next ring row.
            const double w = std::clamp((frac + 1.0 / s - 1) * s, 0.0, 1.0);
            const int w256 = w < 0.004 ? 0 : static_cast<int>(256 * w);
            const uint8_t* line = bg->rgb.data() + row * band;
            const uint8_t* next = bg->rgb.data() + ((row + 1) % ring_rows) * band;
            blend_line(output + m * stride + static_cast<size_t>(playfield_left) * s * 3, line, next, w256, band);
        }
    }
}
